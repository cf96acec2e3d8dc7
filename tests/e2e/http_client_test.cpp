// The wrapper's two HTTP paths against a loopback server: what goes on the wire, what comes
// back, and what a failed transfer leaves behind. Proxies are covered by proxy_test.cpp.
#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>

#include "QmtSR.h"
#include "sdk/SRSdk.h"
#include "wrapper/ProcessState.h"
#include "wrapper/http_transport.h"
#include "wrapper/runtime_settings.h"

namespace {

namespace detail = SRCppWrap::detail;

// A one-route server on 127.0.0.1: it answers every GET and PUT with a set status and body,
// `delayMillis` late, and remembers the last request.
class RecordingServer {
 public:
  RecordingServer(int status, const std::string& body, int delayMillis = 0) {
    const auto handler = [=](const httplib::Request& request, httplib::Response& response) {
      {
        const std::lock_guard<std::mutex> lock(mutex_);
        last_ = request;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(delayMillis));
      response.status = status;
      response.set_content(body, "application/json");
    };
    server_.Get(".*", handler);
    server_.Put(".*", handler);
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // stop() only reaches a server whose accept loop runs; wait for it (a few milliseconds).
    for (int waited = 0; !server_.is_running() && waited < 5000; ++waited) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  ~RecordingServer() {
    server_.stop();
    thread_.join();
  }
  std::string url(const std::string& path = "/") const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  httplib::Request last() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return last_;
  }

 private:
  int port_ = 0;
  mutable std::mutex mutex_;
  httplib::Request last_;
  httplib::Server server_;
  std::thread thread_;
};

SRContext* FreshContext() {
  SRContext* context = SRInit(0, "serial", "key", detail::SdkTransport, nullptr);
  detail::AdoptContext(context);  // released when replaced or at unload
  return context;
}

TEST(MakeCURLRequest, PutsJsonWithOrWithoutCredentialsAndReturnsStatusAndBody) {
  const struct {
    int status;
    std::string body, reply;
    bool credentials;
  } cases[] = {{200, R"({"status":"OK"})", R"({"status":"OK"})", true},
               {404, "not here", "not here", true},
               {200, std::string("ab\0cd", 5), "ab", true},  // cut at the first zero byte
               {200, "{}", "{}", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status);
    RecordingServer server(c.status, c.body);
    SRCppWrap::QmtSR qmt;
    std::string reply = "stale";
    const std::string url = server.url("/api/enrollmentinit");
    EXPECT_EQ(c.credentials ? qmt.MakeCURLRequest(url, R"({"a":"b"})", "alice", "s3cret", reply)
                            : qmt.MakeCURLRequest(url, R"({"a":"b"})", reply),
              c.status);
    EXPECT_EQ(reply, c.reply);
    const auto seen = server.last();
    EXPECT_EQ(seen.method, "PUT");
    EXPECT_EQ(seen.target, "/api/enrollmentinit");
    EXPECT_EQ(seen.get_header_value("Content-Type"), "application/json");
    EXPECT_EQ(seen.get_header_value("Authorization"),
              c.credentials ? "Basic YWxpY2U6czNjcmV0" : "");  // alice:s3cret
    EXPECT_EQ(seen.body, R"({"a":"b"})");
  }
}

TEST(SdkTransport, GetsTheUrlAndHandsAnyBodyToTheCurrentContext) {
  detail::SetWorkflowProxy({});
  SRContext* context = FreshContext();
  const struct {
    int status;
    std::string body;
    int delayMillis;  // beyond the SDK's timeout of 1 ms, which the transport ignores
  } cases[] = {{200, "<r><err>OK</err></r>", 0}, {503, "busy", 0}, {200, "", 0}, {200, "late", 300}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    RecordingServer server(c.status, c.body, c.delayMillis);
    SRWsResponseSet(context, "left from an earlier exchange");
    const std::string url = server.url("/srws/MAC?action=ActionSetup&mode=otp");
    testing::internal::CaptureStdout();
    EXPECT_EQ(detail::SdkTransport(url.c_str(), 1, nullptr), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.body.empty() ? "" : "\n" + c.body);
    ASSERT_NE(context->response_body, nullptr);
    EXPECT_EQ(std::string(context->response_body), c.body);
    const auto seen = server.last();
    EXPECT_EQ(seen.method, "GET");
    EXPECT_EQ(seen.target, "/srws/MAC?action=ActionSetup&mode=otp");
    EXPECT_EQ(seen.get_header_value("User-Agent"), "libcurl-agent/1.0");
  }
}

// A port nobody listens on, a peer that stalls past the bound and one whose reply is too
// long: both paths report a failed transfer and hand over nothing.
TEST(TransferBounds, ADeadPeerOrAnOversizedReplyEndsAsAFailedTransfer) {
  const detail::RuntimeSettings saved = detail::Settings();
  detail::Settings().stallSeconds = 1;
  detail::Settings().backendReplyLimit = detail::Settings().serviceReplyLimit = 4096;
  RecordingServer silent(200, "late", 4000);
  RecordingServer huge(200, std::string(4097, 'x'));
  std::string dead;
  {
    RecordingServer gone(200, "");
    dead = gone.url("/gone");
  }
  SRContext* context = FreshContext();
  SRCppWrap::QmtSR qmt;
  for (const std::string& url : {dead, silent.url(), huge.url()}) {
    SCOPED_TRACE(url);
    std::string reply = "untouched";
    testing::internal::CaptureStderr();
    EXPECT_EQ(qmt.MakeCURLRequest(url, "{}", "u", "p", reply), 0);
    EXPECT_EQ(reply, "untouched");
    SRWsResponseSet(context, "left from an earlier exchange");
    EXPECT_EQ(detail::SdkTransport(url.c_str(), 10000, nullptr), 0);
    EXPECT_TRUE(context->response_body == nullptr || *context->response_body == '\0');
    const std::string diagnostics = testing::internal::GetCapturedStderr();
    EXPECT_NE(diagnostics.find("curl_easy_perform() failed: "), std::string::npos) << diagnostics;
  }
  detail::Settings() = saved;
}

}  // namespace
