// A pooled connection that dies after a request went out: the request is never sent again (the
// back end's PUTs and the service's GETs change state), and the caller sees a failed transfer.
#include <gtest/gtest.h>

#include <string>

#include "QmtSR.h"
#include "scripted_server.h"
#include "wrapper/http_transport.h"
#include "wrapper/runtime_settings.h"

namespace qmt_e2e {
namespace {

using SRCppWrap::QmtSR;

// The server reads the second request, which arrives on the first request's connection, and
// closes that connection without a reply.
bool DropSecond(int n, const ScriptedServer::Request& /*request*/) {
  return n != 2;
}

TEST(DyingConnection, APutReadByTheServerIsNeverResentAndFails) {
  const ScriptedServer server(DropSecond);
  QmtSR qmt{};
  std::string reply = "kept";
  ASSERT_EQ(qmt.MakeCURLRequest(server.url("/first"), "{}", reply), 200);
  reply = "kept";
  testing::internal::CaptureStderr();
  EXPECT_EQ(qmt.MakeCURLRequest(server.url("/second"), "{}", "user", "secret", reply), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "curl_easy_perform() failed: Server returned nothing (no headers, no data)\n");
  EXPECT_EQ(reply, "kept");
  // The pool still works afterwards, on a new connection.
  EXPECT_EQ(qmt.MakeCURLRequest(server.url("/third"), "{}", reply), 200);
  EXPECT_EQ(reply, "/third");

  const std::vector<ScriptedServer::Request> seen = server.requests();
  ASSERT_EQ(seen.size(), 3U);
  EXPECT_EQ(seen[1].line, "PUT /second");
  EXPECT_EQ(seen[1].connection, 1);
  EXPECT_EQ(seen[2].line, "PUT /third");
}

TEST(DyingConnection, AServiceGetReadByTheServerIsNeverResent) {
  const ScriptedServer server(DropSecond);
  testing::internal::CaptureStdout();
  SRCppWrap::detail::SdkTransport(server.url("/first").c_str(), 0, nullptr);
  SRCppWrap::detail::SdkTransport(server.url("/second").c_str(), 0, nullptr);
  testing::internal::GetCapturedStdout();
  const std::vector<ScriptedServer::Request> seen = server.requests();
  ASSERT_EQ(seen.size(), 2U);
  EXPECT_EQ(seen[1].line, "GET /second");
}

}  // namespace
}  // namespace qmt_e2e
