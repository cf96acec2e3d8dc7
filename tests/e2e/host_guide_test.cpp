// The host guide's two call sequences (examples/host_sequences.cpp, quoted in the guide) against
// the dev server: an enrolment, then logins whose OTPs the service accepts.
#include <gtest/gtest.h>

#include <string>

#include "host_sequences.h"
#include "workflow_fixture.h"

namespace qmt_e2e {
namespace {

class HostGuideTest : public WorkflowTest {
 protected:
  host_example::HostSettings Settings() const {
    host_example::HostSettings s;
    s.pinFile = drive_.pinFile().string();  // where C:\APP\qmt\GEN\ToolvexPin.txt lands here
    s.serviceUrl = server_.url();
    s.codeAndOtpUrl = server_.massEnrolmentUrl();
    s.checkEnrollmentUrl = server_.checkEnrolmentUrl();
    s.backendUser = kUser;
    s.backendPassword = kPassword;
    s.enrollmentMessage = kMessage;
    s.uniqueKey = kUniqueKey;
    s.deviceSerial = "DEV-0001";
    s.macId = "mac-1";
    s.rrdiCode = "RRDI42";
    s.biosSerial = "BIOS-77";
    return s;
  }
};

TEST_F(HostGuideTest, TheGuidesEnrolmentAndLoginSequencesWork) {
  const QuietStdout quiet;
  std::string tell;
  ASSERT_EQ(host_example::EnrolWorkstation(Settings(), kPin, tell), 1000) << server_.RequestLog();
  EXPECT_EQ(tell, "This workstation is enrolled.");
  EXPECT_EQ(ReadFile(drive_.statusFile()).rfind("Enrollment_Status,YES", 0), 0U);
  const std::string login = LastLogged(EnrollmentLog(), "Login OTP: ");

  for (int round = 0; round < 2; ++round) {
    std::string otp;
    ASSERT_EQ(host_example::LoginOtp(Settings(), kPin, otp, tell), 0) << server_.RequestLog();
    EXPECT_EQ(tell, "Log in with the one-time password.");
    ASSERT_EQ(otp.size(), 8U);
    EXPECT_EQ(server_.Login(login, otp), "OK") << "round " << round;
  }
  EXPECT_NE(LastLogged(AuthenticationLog(), "OTP value: "), "") << "logins log to their own file";
}

TEST_F(HostGuideTest, AWrongPinIsNamedForTheUser) {
  const QuietStdout quiet;
  std::string tell;
  ASSERT_EQ(host_example::EnrolWorkstation(Settings(), kPin, tell), 1000) << server_.RequestLog();
  std::string otp = "untouched";
  EXPECT_EQ(host_example::LoginOtp(Settings(), "9999", otp, tell), 15);
  EXPECT_EQ(otp, "untouched");
  EXPECT_EQ(tell, "The PIN was refused. Check the PIN and try again.");
}

}  // namespace
}  // namespace qmt_e2e
