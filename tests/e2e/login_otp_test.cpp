// Login OTPs after an enrolment: accepted by the server's login check, the seed rewritten
// after each, and what a failing exchange leaves of the seed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "workflow_fixture.h"

namespace qmt_e2e {
namespace {

constexpr char kBase36[] = "0123456789abcdefghijklmnopqrstuvwxyz";

using testing::HasSubstr;

TEST_F(WorkflowTest, LoginOtpsAreAcceptedAndTheSeedIsRewrittenAfterEach) {
  const std::string login = EnrolOrFail();
  std::string previousOtp;
  for (int round = 0; round < 2; ++round) {
    AgeFile(drive_.seedFile());
    const auto seedBefore = ModificationTime(drive_.seedFile());
    SRCppWrap::QmtSR qmt;
    Configure(qmt, 1);
    std::string otp;
    ASSERT_EQ(qmt.GetOTPforAuthentication(otp), 0) << server_.RequestLog();
    EXPECT_TRUE(otp.size() == 8 && otp.find_first_not_of(kBase36) == std::string::npos) << otp;
    EXPECT_NE(otp, previousOtp);
    EXPECT_EQ(server_.Login(login, otp), "OK");
    EXPECT_NE(server_.Login(login, otp), "OK") << "an OTP is good for one login";
    const std::string log = AuthenticationLog();
    EXPECT_EQ(LastLogged(log, "SRStorageDataChanged(mVault object) returned: "), "1");
    EXPECT_NE(ModificationTime(drive_.seedFile()), seedBefore);
    EXPECT_EQ(LastLogged(log, "New seed value from sentrel: "), ReadFile(drive_.seedFile()));
    EXPECT_EQ(LastEntry(log), Banner("Get OTP for Authentication Ended"));
    previousOtp = otp;
  }
  EXPECT_EQ(CountLogged(AuthenticationLog(), "OTP got with return value: 0"), 2);
}

struct OtpFaultCase {
  const char* name;
  const char* fault;
  int result;
};

// Names the case in test output.
void PrintTo(const OtpFaultCase& c, std::ostream* os) {
  *os << c.name;
}

class LoginOtpFaultTest : public WorkflowTest, public testing::WithParamInterface<OtpFaultCase> {};

TEST_P(LoginOtpFaultTest, ReturnsTheSdkResultWithoutAnOtp) {
  EnrolOrFail();
  server_.ArmFault(GetParam().fault);
  SRCppWrap::QmtSR qmt;
  Configure(qmt, 1);
  std::string otp = "untouched";
  EXPECT_EQ(qmt.GetOTPforAuthentication(otp), GetParam().result) << server_.RequestLog();
  EXPECT_EQ(otp, "untouched");
  const std::string log = AuthenticationLog();
  EXPECT_EQ(LastLogged(log, "OTP got with return value: "), std::to_string(GetParam().result));
  EXPECT_EQ(LastEntry(log), Banner("Get OTP for Authentication Ended"));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, LoginOtpFaultTest,
    testing::Values(
        OtpFaultCase{"StartEmptyBody",
                     R"({"kind":"empty","target":"srws","action":"ActionSetup","mode":"otp"})", 1},
        OtpFaultCase{"StartGarbage",
                     R"({"kind":"garbage","target":"srws","action":"ActionSetup","mode":"otp"})",
                     1},
        OtpFaultCase{
            "StartBlocked",
            R"({"kind":"result","value":"OK:BLOCKED","target":"srws","action":"ActionSetup","mode":"otp"})",
            7},
        OtpFaultCase{"FinalizeEmptyBody",
                     R"({"kind":"empty","target":"srws","action":"ActionFinalize","mode":"otp"})",
                     1},
        OtpFaultCase{
            "FinalizePinRefused",
            R"({"kind":"result","value":"NOK:PINREFUSED","target":"srws","action":"ActionFinalize","mode":"otp"})",
            15}),
    [](const testing::TestParamInfo<OtpFaultCase>& info) { return std::string(info.param.name); });

TEST_F(WorkflowTest, UnchangedStateLeavesTheSeedFileAlone) {
  EnrolOrFail();
  AgeFile(drive_.seedFile());
  const auto before = ModificationTime(drive_.seedFile());
  const auto bytes = ReadFile(drive_.seedFile());
  server_.ArmFault(R"({"kind":"empty","target":"srws","action":"ActionSetup","mode":"otp"})");

  SRCppWrap::QmtSR qmt;
  Configure(qmt, 1);
  std::string otp;
  EXPECT_EQ(qmt.GetOTPforAuthentication(otp), 1);
  EXPECT_EQ(LastLogged(AuthenticationLog(), "SRStorageDataChanged(mVault object) returned: "), "0");
  EXPECT_EQ(CountLogged(AuthenticationLog(), "Seed value has not changed"), 1);
  EXPECT_EQ(ModificationTime(drive_.seedFile()), before);
  EXPECT_EQ(ReadFile(drive_.seedFile()), bytes);
}

TEST_F(WorkflowTest, ServiceDownGivesNoReplyAndKeepsTheSeed) {
  EnrolOrFail();
  AgeFile(drive_.seedFile());
  const auto before = ModificationTime(drive_.seedFile());
  SRCppWrap::QmtSR qmt;
  Configure(qmt, 1, "http://127.0.0.1:1", server_.checkEnrolmentUrl());
  std::string otp;
  testing::internal::CaptureStderr();
  EXPECT_EQ(qmt.GetOTPforAuthentication(otp), 1);
  EXPECT_THAT(testing::internal::GetCapturedStderr(), HasSubstr("curl_easy_perform() failed: "));
  EXPECT_EQ(otp, "");
  EXPECT_EQ(ModificationTime(drive_.seedFile()), before);
}

TEST_F(WorkflowTest, WithoutSeedFileAnEmptyOneIsCreatedAndNoOtpIsMade) {
  drive_.WritePin(kPin);
  SRCppWrap::QmtSR qmt;
  Configure(qmt, 1);
  std::string otp;
  EXPECT_NE(qmt.GetOTPforAuthentication(otp), 0);
  EXPECT_EQ(otp, "");
  const std::string log = AuthenticationLog();
  EXPECT_EQ(CountLogged(log,
                        "Seed file doesnot exists. so, created a new empty seed file "
                        "seed.data."),
            1);
  EXPECT_EQ(ReadFile(drive_.seedFile()), "");
  // An exchange that never started does not read the PIN.
  EXPECT_EQ(CountLogged(log, "Toolvex Pin to get OTP: "), 0);
}

TEST_F(WorkflowTest, SeedIsReadAsItsFirstWordOnly) {
  EnrolOrFail();
  const std::string seed = *ReadFile(drive_.seedFile());
  WriteFile(drive_.seedFile(), "\n  " + seed + "\nsecond line");
  SRCppWrap::QmtSR qmt;
  Configure(qmt, 1);
  std::string otp;
  EXPECT_EQ(qmt.GetOTPforAuthentication(otp), 0);
  EXPECT_EQ(LastLogged(AuthenticationLog(), "seed data in file: \n"), seed);
  // The rewritten seed is exactly the SDK's text: no padding, no second line.
  EXPECT_EQ(ReadFile(drive_.seedFile())->find_first_of(" \n"), std::string::npos);
}

TEST_F(WorkflowTest, PinIsTheFirstWordOfThePinFile) {
  const std::string login = EnrolOrFail();
  WriteFile(drive_.pinFile(), std::string(kPin) + " trailing words\nnext line");
  SRCppWrap::QmtSR qmt;
  Configure(qmt, 1);
  std::string otp;
  ASSERT_EQ(qmt.GetOTPforAuthentication(otp), 0);
  EXPECT_EQ(LastLogged(AuthenticationLog(), "Toolvex Pin to get OTP: "), kPin);
  EXPECT_EQ(server_.Login(login, otp), "OK");
}

}  // namespace
}  // namespace qmt_e2e
