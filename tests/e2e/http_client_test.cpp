// The wrapper's two HTTP paths against a loopback server: what goes on the wire, what comes
// back, and what a failed transfer leaves behind.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "QmtSR.h"
#include "loopback_proxy.h"
#include "recording_server.h"
#include "sdk/SRSdk.h"
#include "wrapper/ProcessState.h"
#include "wrapper/http_transport.h"

namespace {

using qmt_e2e::LoopbackProxy;
using qmt_e2e::RecordingServer;

// A port on which nothing listens: a server that was started and stopped again.
std::string DeadUrl() {
  std::string url;
  {
    RecordingServer server(200, "");
    url = server.url("/gone");
  }
  return url;
}

SRContext* FreshContext() {
  SRContext* context = SRInit(0, "serial", "key", SRCppWrap::detail::SdkTransport, nullptr);
  SRCppWrap::detail::AdoptContext(context);  // released when the library unloads
  return context;
}

struct PutCase {
  int status;
  std::string body;
};

void PrintTo(const PutCase& c, std::ostream* os) {
  *os << "HTTP " << c.status;
}

class MakeCURLRequestTest : public testing::TestWithParam<PutCase> {};

TEST_P(MakeCURLRequestTest, PutsJsonWithBasicCredentialsAndReturnsStatusAndBody) {
  RecordingServer server(GetParam().status, GetParam().body);
  SRCppWrap::QmtSR qmt;
  std::string reply = "stale";
  const long status = qmt.MakeCURLRequest(server.url("/api/enrollmentinit"), R"({"a":"b"})",
                                          "alice", "s3cret", reply);
  EXPECT_EQ(status, GetParam().status);
  EXPECT_EQ(reply, GetParam().body);
  const auto seen = server.last();
  EXPECT_EQ(seen.method, "PUT");
  EXPECT_EQ(seen.target, "/api/enrollmentinit");
  EXPECT_EQ(seen.contentType, "application/json");
  EXPECT_EQ(seen.authorization, "Basic YWxpY2U6czNjcmV0");  // alice:s3cret
  EXPECT_EQ(seen.body, R"({"a":"b"})");
}

INSTANTIATE_TEST_SUITE_P(Statuses, MakeCURLRequestTest,
                         testing::Values(PutCase{200, R"({"status":"OK"})"},
                                         PutCase{404, "not here"}, PutCase{500, ""}));

TEST(MakeCURLRequest, ThreeArgumentOverloadSendsNoCredentials) {
  RecordingServer server(200, "{}");
  SRCppWrap::QmtSR qmt;
  std::string reply;
  EXPECT_EQ(qmt.MakeCURLRequest(server.url("/x"), "", reply), 200);
  EXPECT_EQ(server.last().authorization, "");
  EXPECT_EQ(server.last().method, "PUT");
}

TEST(MakeCURLRequest, ReplyIsCutAtItsFirstZeroByte) {
  RecordingServer server(200, std::string("ab\0cd", 5));
  SRCppWrap::QmtSR qmt;
  std::string reply;
  EXPECT_EQ(qmt.MakeCURLRequest(server.url(), "{}", "u", "p", reply), 200);
  EXPECT_EQ(reply, "ab");
}

TEST(MakeCURLRequest, FailedTransferReturnsZeroAndLeavesTheReply) {
  SRCppWrap::QmtSR qmt;
  std::string reply = "previous reply";
  testing::internal::CaptureStderr();
  const long status = qmt.MakeCURLRequest(DeadUrl(), "{}", "u", "p", reply);
  const std::string diagnostics = testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, 0);
  EXPECT_EQ(reply, "previous reply");
  EXPECT_NE(diagnostics.find("curl_easy_perform() failed: "), std::string::npos) << diagnostics;
}

TEST(MakeCURLRequest, GoesThroughTheObjectsProxyAndPublishesIt) {
  RecordingServer server(200, R"({"status":"OK"})");
  LoopbackProxy proxy;
  SRCppWrap::QmtSR qmt;
  qmt.Sethttp_address("127.0.0.1");
  qmt.Sethttp_port(proxy.port());
  std::string reply;
  EXPECT_EQ(qmt.MakeCURLRequest(server.url("/check"), "{}", "u", "p", reply), 200);
  EXPECT_EQ(reply, R"({"status":"OK"})");
  ASSERT_EQ(proxy.requestLines().size(), 1u);
  EXPECT_EQ(proxy.requestLines()[0], "PUT " + server.url("/check") + " HTTP/1.1");
  EXPECT_EQ(SRCppWrap::detail::Process().proxyAddress, "127.0.0.1");
  EXPECT_EQ(SRCppWrap::detail::Process().proxyPort, proxy.port());

  // Back to no proxy: the next request goes straight to the server.
  qmt.Sethttp_address("");
  qmt.Sethttp_port(0);
  EXPECT_EQ(qmt.MakeCURLRequest(server.url("/check"), "{}", "u", "p", reply), 200);
  EXPECT_EQ(proxy.requestLines().size(), 1u);
}

class SdkTransportTest : public testing::Test {
 protected:
  void SetUp() override {
    SRCppWrap::detail::Process().proxyAddress.clear();
    SRCppWrap::detail::Process().proxyPort = 0;
    context_ = FreshContext();
  }
  void TearDown() override {
    SRCppWrap::detail::Process().proxyAddress.clear();
    SRCppWrap::detail::Process().proxyPort = 0;
  }
  SRContext* context_ = nullptr;
};

TEST_F(SdkTransportTest, GetsTheUrlAndHandsTheBodyToTheCurrentContext) {
  RecordingServer server(200, "<r><err>OK</err></r>");
  const std::string url = server.url("/srws/MAC?action=ActionSetup&mode=otp");
  testing::internal::CaptureStdout();
  EXPECT_EQ(SRCppWrap::detail::SdkTransport(url.c_str(), 10000, nullptr), 0);
  const std::string echoed = testing::internal::GetCapturedStdout();
  ASSERT_NE(context_->response_body, nullptr);
  EXPECT_STREQ(context_->response_body, "<r><err>OK</err></r>");
  EXPECT_EQ(echoed, "\n<r><err>OK</err></r>");
  const auto seen = server.last();
  EXPECT_EQ(seen.method, "GET");
  EXPECT_EQ(seen.target, "/srws/MAC?action=ActionSetup&mode=otp");
  EXPECT_EQ(seen.userAgent, "libcurl-agent/1.0");
}

TEST_F(SdkTransportTest, HandsOverBodiesOfErrorStatusesToo) {
  RecordingServer server(503, "busy");
  EXPECT_EQ(SRCppWrap::detail::SdkTransport(server.url().c_str(), 10000, nullptr), 0);
  EXPECT_STREQ(context_->response_body, "busy");
}

TEST_F(SdkTransportTest, HandsAnEmptyBodyOverAsAnEmptyText) {
  RecordingServer server(200, "");
  SRWsResponseSet(context_, "left from an earlier exchange");
  EXPECT_EQ(SRCppWrap::detail::SdkTransport(server.url().c_str(), 10000, nullptr), 0);
  ASSERT_NE(context_->response_body, nullptr);
  EXPECT_STREQ(context_->response_body, "");
}

TEST_F(SdkTransportTest, FailedTransferStillHandsOverAnEmptyTextAndReturnsZero) {
  SRWsResponseSet(context_, "left from an earlier exchange");
  testing::internal::CaptureStderr();
  EXPECT_EQ(SRCppWrap::detail::SdkTransport(DeadUrl().c_str(), 10000, nullptr), 0);
  const std::string diagnostics = testing::internal::GetCapturedStderr();
  ASSERT_NE(context_->response_body, nullptr);
  EXPECT_STREQ(context_->response_body, "");
  EXPECT_NE(diagnostics.find("curl_easy_perform() failed: "), std::string::npos) << diagnostics;
}

TEST_F(SdkTransportTest, IgnoresTheSdkTimeout) {
  RecordingServer server(200, "late", 300);
  EXPECT_EQ(SRCppWrap::detail::SdkTransport(server.url().c_str(), 1, nullptr), 0);
  EXPECT_STREQ(context_->response_body, "late");
}

TEST_F(SdkTransportTest, TunnelsThroughTheProcessWideProxy) {
  RecordingServer server(200, "via proxy");
  LoopbackProxy proxy;
  SRCppWrap::detail::Process().proxyAddress = "127.0.0.1";
  SRCppWrap::detail::Process().proxyPort = proxy.port();
  EXPECT_EQ(SRCppWrap::detail::SdkTransport(server.url("/srws/MAC").c_str(), 10000, nullptr), 0);
  EXPECT_STREQ(context_->response_body, "via proxy");
  ASSERT_EQ(proxy.requestLines().size(), 1u);
  EXPECT_EQ(proxy.requestLines()[0].rfind("CONNECT 127.0.0.1:", 0), 0u) << proxy.requestLines()[0];
}

}  // namespace
