// The library's connection pool: one connection per host for each workflow, a connection the
// server dropped while idle replaced unnoticed, and nothing of the pool left after an unload.
#include <gtest/gtest.h>

#include <string>

#include "workflow_fixture.h"

namespace qmt_e2e {
namespace {

TEST_F(WorkflowTest, EachWorkflowTakesOneConnectionAndOutlivesAServerRestart) {
  drive_.WritePin(kPin);
  SRCppWrap::QmtSR qmt;
  Configure(qmt, 0);
  bool reached = false;
  std::string otp;
  auto quietly = [](auto workflow) {
    const QuietStdout quiet;
    return workflow();
  };
  ASSERT_EQ(quietly([&] {
              return qmt.EnrollmentProcess(server_.massEnrolmentUrl(), kMessage, kUser, kPassword,
                                           reached);
            }),
            1000);
  EXPECT_EQ(server_.Connections(), 1) << server_.RequestLog();
  // The enrolment's connection waits in the pool; the restart closes it under it.
  server_.Restart();
  ASSERT_EQ(quietly([&] { return qmt.GetOTPforAuthentication(otp); }), 0);
  EXPECT_EQ(server_.Connections(), 1) << server_.RequestLog();
}

}  // namespace
}  // namespace qmt_e2e
