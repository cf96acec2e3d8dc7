// Workflows of one installation run one at a time; a holder makes others give up until it dies.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "platform/Platform.h"
#include "support/immutable_flag.h"
#include "workflow_fixture.h"
#include "wrapper/runtime_settings.h"

namespace qmt_e2e {
namespace {

using SRCppWrap::QmtSR;

TEST_F(WorkflowTest, LoginsStartedTogetherNeverLeaveTheDeviceOutOfStep) {
  const std::string login = EnrolOrFail();
  server_.ChangeSettings(R"({"dk1":"always"})");  // every OTP exchange changes the seed's k1
  const auto loginOtp = [this](std::string& otp) {
    QmtSR qmt;
    Configure(qmt, 1);
    return qmt.GetOTPforAuthentication(otp);
  };
  for (int round = 0; round < 3; ++round) {
    int results[4] = {-1, -1, -1, -1};
    std::string otps[4];  // a seed written out of step makes the last exchange or its login fail
    {
      const QuietStdout quiet;
      pid_t others[2];  // this process and two children
      for (pid_t& other : others) {
        if ((other = ::fork()) == 0) ::_exit(loginOtp(otps[2]));
      }
      results[0] = loginOtp(otps[0]);
      ::waitpid(others[0], &results[1], 0);  // 0: exited with 0
      ::waitpid(others[1], &results[2], 0);
      results[3] = loginOtp(otps[3]);
    }
    EXPECT_THAT(results, testing::Each(0)) << "round " << round;
    ASSERT_EQ(server_.Login(login, otps[3]), "OK") << "round " << round;
  }
}

TEST_F(WorkflowTest, AHolderMakesEveryWorkflowGiveUpUntilItIsKilled) {
  const std::string login = EnrolOrFail();
  const qmt_test::ImmutableFlag gen(drive_.gen());  // refusing new files, where it can
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t holder = ::fork();
  if (holder == 0) {
    static const int owner = 0;
    const bool held = SRCppWrap::platform::AcquireInstallationLock(seedPath_, &owner, 0);
    ::_exit(held && ::write(ready[1], "!", 1) == 1 ? ::sleep(20) : 1);  // ends by itself too
  }
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  SRCppWrap::detail::Settings().lockWaitMs = 150;
  std::string otp = "kept";
  bool reached = false;
  const std::function<int(QmtSR&)> workflows[] = {
      [&](QmtSR& q) { return q.GetOTPforAuthentication(otp); },
      [&](QmtSR& q) {  // the building blocks, as a host may call them
        q.CreateSRObject();
        q.SetSRParameters();
        const int result = q.GetOTP(otp);
        q.CheckSeedValueAndPersist();
        return result;
      },
      [&](QmtSR& q) {
        return q.EnrollmentProcess(server_.massEnrolmentUrl(), kMessage, kUser, kPassword, reached);
      },
      [&](QmtSR& q) { return q.GetOTP(otp); }};  // on its own, as after an earlier persist
  for (int i = 0; i < 4; ++i) {
    QmtSR qmt;
    Configure(qmt, 1);
    EXPECT_EQ(workflows[i](qmt), 16) << "workflow " << i;
    EXPECT_EQ(CountLogged(AuthenticationLog(),
                          "Another workflow of this installation is still running: gave up after "
                          "150 ms (result 16)"),
              i + 1);
  }
  EXPECT_EQ(otp + (reached ? " reached" : ""), "kept");  // and nothing sent

  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  SRCppWrap::detail::Settings().lockWaitMs = 5000;  // fails in 5 s, not a minute, if still held
  QmtSR qmt;
  Configure(qmt, 1);
  EXPECT_EQ(qmt.GetOTPforAuthentication(otp), 0);
  EXPECT_EQ(server_.Login(login, otp), "OK");
  SRCppWrap::detail::Settings().lockWaitMs = 60000;
}

// Between another object's building blocks, a stray CheckSeedValueAndPersist leaves the holder's
// changed seed to the holder, who then writes it.
TEST_F(WorkflowTest, AnotherObjectsPersistLeavesTheHoldersSeedToItsHolder) {
  const std::string login = EnrolOrFail();
  server_.ChangeSettings(R"({"dk1":"always"})");  // every OTP exchange changes the seed's k1
  const QuietStdout quiet;
  QmtSR holder, stray;
  Configure(holder, 1);
  Configure(stray, 1);
  holder.CreateSRObject();
  holder.SetSRParameters();
  std::string otp;
  ASSERT_EQ(holder.GetOTP(otp), 0);
  stray.CheckSeedValueAndPersist();
  holder.CheckSeedValueAndPersist();
  EXPECT_EQ(CountLogged(AuthenticationLog(), "SRStorageDataChanged(mVault object) returned: 1"), 1);
  EXPECT_EQ(LastLogged(AuthenticationLog(), "SRStorageDataChanged(mVault object) returned: "), "1");
  EXPECT_EQ(server_.Login(login, otp), "OK");
  EXPECT_EQ(holder.GetOTPforAuthentication(otp), 0);  // the seed on disk is the device's
}

// A lock the system refuses (here: its folder is gone) is said once, and the workflow goes on.
TEST_F(WorkflowTest, ALockTheSystemRefusesIsLoggedOnce) {
  std::filesystem::remove_all(drive_.gen());
  QmtSR qmt;
  Configure(qmt, 1);
  std::string otp;
  const QuietStdout quiet;
  qmt.GetOTPforAuthentication(otp);
  const std::string log = AuthenticationLog();
  EXPECT_EQ(CountLogged(log, "The installation lock could not be taken (open "), 1) << log;
  EXPECT_NE(LastLogged(log, "The installation lock could not be taken (open ")
                .find("No such file or directory): the workflow runs without it"),
            std::string::npos);
}

}  // namespace
}  // namespace qmt_e2e
