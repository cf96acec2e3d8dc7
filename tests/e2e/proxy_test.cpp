// A whole enrolment and a login OTP through an HTTP proxy: the back-end requests go to it in
// absolute form, the service requests through a CONNECT tunnel.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "loopback_proxy.h"
#include "workflow_fixture.h"

namespace qmt_e2e {
namespace {

using testing::Contains;

TEST_F(WorkflowTest, EveryRequestGoesThroughTheConfiguredProxy) {
  LoopbackProxy proxy;
  drive_.WritePin(kPin);
  SRCppWrap::QmtSR qmt;
  Configure(qmt, 0);
  qmt.InitializeProxyParameters("proxy-user", "proxy-secret", "127.0.0.1", proxy.port(), "");
  bool reached = false;
  ASSERT_EQ(qmt.EnrollmentProcess(server_.massEnrolmentUrl(), kMessage, kUser, kPassword, reached),
            1000);
  std::string otp;
  ASSERT_EQ(qmt.GetOTPforAuthentication(otp), 0);

  const auto lines = proxy.requestLines();
  EXPECT_THAT(lines, Contains("PUT " + server_.massEnrolmentUrl() + " HTTP/1.1"));
  EXPECT_THAT(lines, Contains("PUT " + server_.checkEnrolmentUrl() + " HTTP/1.1"));
  EXPECT_THAT(lines, Contains("CONNECT 127.0.0.1:" + std::to_string(server_.port()) + " HTTP/1.1"));
  // Two back-end requests; the rest are the service's exchanges, each in its own tunnel.
  EXPECT_EQ(lines.size(), 2u + 5u + 2u) << testing::PrintToString(lines);
  EXPECT_EQ(LastLogged(AuthenticationLog(), "Proxy parameters:- address= "),
            "127.0.0.1, port= " + std::to_string(proxy.port()));
}

}  // namespace
}  // namespace qmt_e2e
