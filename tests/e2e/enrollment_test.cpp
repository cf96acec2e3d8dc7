// Enrolment against the dev server: both back-end flavours, the files it leaves, the log
// entries and where they go, and what each failure leaves behind.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "workflow_fixture.h"

namespace qmt_e2e {
namespace {

constexpr char kBase36[] = "0123456789abcdefghijklmnopqrstuvwxyz";

using testing::HasSubstr;
using testing::Not;
using testing::StartsWith;

struct FlavourCase {
  const char* name;
  const char* path;
  const char* readLine;
};

// Names the case in test output.
void PrintTo(const FlavourCase& c, std::ostream* os) {
  *os << c.name;
}

class EnrollmentFlavourTest : public WorkflowTest,
                              public testing::WithParamInterface<FlavourCase> {};

TEST_P(EnrollmentFlavourTest, ConfirmsWritesTheFilesAndSwitchesToTheAuthenticationLog) {
  drive_.WritePin(kPin);
  SRCppWrap::QmtSR qmt;
  Configure(qmt, 0);
  bool reached = false;
  const int result =
      qmt.EnrollmentProcess(server_.url(GetParam().path), kMessage, kUser, kPassword, reached);
  ASSERT_EQ(result, 1000) << server_.RequestLog();
  EXPECT_TRUE(reached);
  EXPECT_EQ(qmt.GetEnrollmentStatus(), 1);

  const std::string log = EnrollmentLog();
  const std::string login = LastLogged(log, "Login OTP: ");
  EXPECT_TRUE(login.size() == 8 && login.find_first_not_of("0123456789") == std::string::npos)
      << login;
  EXPECT_EQ(ReadFile(drive_.statusFile()),
            "Enrollment_Status,YES\nOTP Login," + login + "\nUnique Key," + kUniqueKey);

  const auto seed = ReadFile(drive_.seedFile());
  ASSERT_TRUE(seed);
  EXPECT_THAT(*seed, StartsWith("0.2.7&&"));
  EXPECT_THAT(*seed, Not(HasSubstr("\n")));
  EXPECT_EQ(LastLogged(log, "New seed value from sentrel: "), *seed);

  // Every entry of the enrolment is in the enrolment log, its last line included.
  EXPECT_THAT(log, StartsWith("\n["));
  EXPECT_EQ(CountLogged(log, GetParam().readLine), 1);
  EXPECT_EQ(LastLogged(log,
                       "Input message received from EnrollmentModule with secret_code is "
                       "(secret code hidden) : "),
            R"({"rrdi_code":"RRDI42","secret_code":"XXXX"})");
  EXPECT_THAT(log, Not(HasSubstr(kSecret)));
  EXPECT_EQ(CountLogged(log, "SRStorageDataChanged(mVault object) returned: "), 2);
  EXPECT_EQ(LastLogged(log, "Request to Sentrel Check Enrollment url: "),
            R"({"rrdi_code":"RRDI42","login":")" + login +
                R"(","serial_number":"BIOS-77","token":")" + LastLogged(log, "OTP value: ") +
                R"("})");
  EXPECT_EQ(LastEntry(log), Banner("Enrollment Process Ended"));
  EXPECT_EQ(AuthenticationLog(), "");

  qmt.SRWrapperEnrollmentAuthLogEntry("next step");
  EXPECT_EQ(LastEntry(AuthenticationLog()), "next step");
  EXPECT_EQ(LastEntry(EnrollmentLog()), Banner("Enrollment Process Ended"));
}

INSTANTIATE_TEST_SUITE_P(BackEnds, EnrollmentFlavourTest,
                         testing::Values(FlavourCase{"Mass", "/api/enrollmentinit",
                                                     "for Mass enrollment url read login_otp"},
                                         FlavourCase{"Rlx", "/api/rlx/activation",
                                                     "for RLX Activation url read login_OTP"}),
                         [](const testing::TestParamInfo<FlavourCase>& info) {
                           return std::string(info.param.name);
                         });

// What a failure leaves behind.
struct FaultCase {
  const char* name;
  const char* fault;  // armed at the dev server before the enrolment
  int result;
  bool reached;
  bool seedKept;  // the seed file exists afterwards (it is created by the first SDK step)
  bool pinKept;
  const char* lastEntry;  // the enrolment log's last message
  const char* logged;     // a message the enrolment log must hold
};

// Names the case in test output.
void PrintTo(const FaultCase& c, std::ostream* os) {
  *os << c.name;
}

constexpr char kEnded[] =
    "================================ Enrollment Process Ended "
    "================================";
// This one banner has a shorter rule after its title.
constexpr char kStartFailed[] =
    "================================ Enrollment Process Ended with SRActivationStart failure "
    "==================";
constexpr char kFinalizeFailed[] =
    "================================ Enrollment Process Ended with SRActivationFinalize "
    "failure ================================";

class EnrollmentFaultTest : public WorkflowTest, public testing::WithParamInterface<FaultCase> {};

TEST_P(EnrollmentFaultTest, ReturnsTheFailureAndKeepsOrDeletesTheRightFiles) {
  const FaultCase& c = GetParam();
  server_.ArmFault(c.fault);
  drive_.WritePin(kPin);
  WriteFile(drive_.statusFile(), "from an earlier enrolment");
  SRCppWrap::QmtSR qmt;
  Configure(qmt, 0);
  bool reached = false;
  const int result =
      qmt.EnrollmentProcess(server_.massEnrolmentUrl(), kMessage, kUser, kPassword, reached);

  EXPECT_EQ(result, c.result) << server_.RequestLog();
  EXPECT_EQ(reached, c.reached);
  EXPECT_EQ(qmt.GetEnrollmentStatus(), 0);
  EXPECT_EQ(ReadFile(drive_.statusFile()), "from an earlier enrolment");
  EXPECT_EQ(std::filesystem::exists(drive_.seedFile()), c.seedKept);
  EXPECT_EQ(std::filesystem::exists(drive_.pinFile()), c.pinKept);
  const std::string log = EnrollmentLog();
  EXPECT_EQ(LastEntry(log), c.lastEntry);
  EXPECT_EQ(CountLogged(log, c.logged), 1) << log;
  EXPECT_EQ(AuthenticationLog(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Faults, EnrollmentFaultTest,
    testing::Values(
        FaultCase{
            "CodeAndOtp500",
            R"({"kind":"http_status","value":500,"target":"backend","path":"enrollmentinit"})", 500,
            false, false, true, kEnded, "The response from Sentrel Code and OTP url is: 500"},
        FaultCase{"CodeAndOtpGarbage",
                  R"({"kind":"garbage","target":"backend","path":"enrollmentinit"})", 999, true,
                  true, true, kStartFailed, "SRActivationStart(mVault object, ) returned: 999"},
        FaultCase{
            "ActivationCodeRefused",
            R"({"kind":"result","value":"NOK:CODE","target":"srws","action":"ActionSetup","mode":"activate"})",
            2, true, true, true, kStartFailed, "SRActivationStart() failed with Error code: 2"},
        FaultCase{"ActivationEmptyBody",
                  R"({"kind":"empty","target":"srws","action":"ActionSetup","mode":"activate"})", 1,
                  true, true, true, kStartFailed, "SRActivationStart() failed with Error code: 1"},
        FaultCase{
            "FinalizeBlocked",
            R"({"kind":"result","value":"OK:BLOCKED","target":"srws","action":"ActionFinalize","mode":"activate"})",
            7, true, true, true, kFinalizeFailed, "SRActivationFinalize failed with error code 7"},
        FaultCase{
            "FinalizeGarbage",
            R"({"kind":"garbage","target":"srws","action":"ActionFinalize","mode":"activate"})", 1,
            true, true, true, kFinalizeFailed, "SRActivationFinalize failed with error code 1"},
        FaultCase{"NoOtp",
                  R"({"kind":"empty","target":"srws","action":"ActionSetup","mode":"otp"})", 200,
                  true, true, true, kEnded, "OTP value is empty"},
        FaultCase{
            "Check404",
            R"({"kind":"http_status","value":404,"target":"backend","path":"checkenrollment"})",
            404, true, false, false, kEnded,
            "Request to Sentrel Check Enrollment url failed with error code: 404"},
        FaultCase{"CheckNotOk",
                  R"({"kind":"result","value":"NOK","target":"backend","path":"checkenrollment"})",
                  200, true, true, true, kEnded,
                  "Output received from Sentrel Check Enrollment url: {\"status\":\"NOK\"}"},
        FaultCase{"CheckGarbage",
                  R"({"kind":"garbage","target":"backend","path":"checkenrollment"})", 200, true,
                  true, true, kEnded, "Output received from Sentrel Check Enrollment url: "},
        FaultCase{"CheckEmpty", R"({"kind":"empty","target":"backend","path":"checkenrollment"})",
                  200, true, true, true, kEnded,
                  "Output received from Sentrel Check Enrollment url: "},
        FaultCase{"CheckWithoutStatus",
                  R"({"kind":"no_err","target":"backend","path":"checkenrollment"})", 200, true,
                  true, true, kEnded, "Output received from Sentrel Check Enrollment url: {}"}),
    [](const testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

TEST_F(WorkflowTest, EnrolmentWithTheBackEndDownReturnsZero) {
  const std::string deadUrl = "http://127.0.0.1:1/api/enrollmentinit";
  drive_.WritePin(kPin);
  SRCppWrap::QmtSR qmt;
  Configure(qmt, 0);
  bool reached = false;
  testing::internal::CaptureStderr();
  const int result = qmt.EnrollmentProcess(deadUrl, kMessage, kUser, kPassword, reached);
  EXPECT_THAT(testing::internal::GetCapturedStderr(), HasSubstr("curl_easy_perform() failed: "));
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(reached);
  EXPECT_EQ(LastLogged(EnrollmentLog(), "The response from Sentrel Code and OTP url is: "), "0");
  EXPECT_FALSE(std::filesystem::exists(drive_.seedFile()));
}

TEST_F(WorkflowTest, CheckWithTheBackEndDownDeletesPinAndSeedAndReturnsZero) {
  drive_.WritePin(kPin);
  SRCppWrap::QmtSR qmt;
  Configure(qmt, 0, server_.url(), "http://127.0.0.1:1/api/checkenrollment");
  bool reached = false;
  testing::internal::CaptureStderr();
  const int result =
      qmt.EnrollmentProcess(server_.massEnrolmentUrl(), kMessage, kUser, kPassword, reached);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(reached);
  EXPECT_FALSE(std::filesystem::exists(drive_.seedFile()));
  EXPECT_FALSE(std::filesystem::exists(drive_.pinFile()));
  // The failed transfer left the first reply in place, and the log shows it again.
  const std::string log = EnrollmentLog();
  EXPECT_EQ(LastLogged(log, "Output received from Sentrel Check Enrollment url: "),
            LastLogged(log, "Output received from Sentrel code and OTP url: "));
}

TEST_F(WorkflowTest, StatusMinusOneSkipsTheActivationAndConfirmsWithTheStoredSeed) {
  EnrolOrFail();
  const std::string firstLog = EnrollmentLog();
  std::filesystem::remove(drive_.enrollmentLog());

  SRCppWrap::QmtSR qmt;
  Configure(qmt, -1);
  bool reached = false;
  const int result =
      qmt.EnrollmentProcess(server_.massEnrolmentUrl(), kMessage, kUser, kPassword, reached);
  const std::string log = EnrollmentLog();
  // The back end hands out a new login that no activation has claimed, so it does not
  // confirm; what matters here is the road taken.
  EXPECT_EQ(result, 200);
  EXPECT_EQ(CountLogged(log, "SRActivationStart"), 0);
  EXPECT_EQ(CountLogged(log, "SRActivationFinalize"), 0);
  EXPECT_EQ(CountLogged(log, "SRStorageDataChanged(mVault object) returned: "), 1);
  const std::string otp = LastLogged(log, "OTP value: ");
  EXPECT_TRUE(otp.size() == 8 && otp.find_first_not_of(kBase36) == std::string::npos) << otp;
  EXPECT_THAT(LastLogged(log, "Request to Sentrel Check Enrollment url: "),
              HasSubstr("\"token\":\"" + LastLogged(log, "OTP value: ") + "\""));
  EXPECT_THAT(firstLog, HasSubstr("SRActivationStart"));
}

}  // namespace
}  // namespace qmt_e2e
