// Each workflow against the dev server: its result, its files, and its whole log against a
// golden transcript (golden/<name>.log; QMT_UPDATE_GOLDEN=1 rewrites them: review the diff).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>

#include "workflow_fixture.h"

namespace qmt_e2e {
namespace {

enum class Workflow { Mass, Rlx, Login };

struct TranscriptCase {
  const char* name;  // also the golden transcript's name
  Workflow workflow;
  int status;         // the enrolment status configured
  bool enrolled;      // a completed enrolment comes first (its log is not part of the transcript)
  const char* fault;  // armed at the dev server just before the workflow, or ""
  int result;
  bool seedKept, pinKept;  // whether the seed and PIN files exist afterwards
  bool moved;  // configured seed path, fixed seed path, working directory and the relative
               // PIN path all differ
};

void PrintTo(const TranscriptCase& c, std::ostream* os) { *os << c.name; }

class TranscriptTest : public WorkflowTest, public testing::WithParamInterface<TranscriptCase> {};

TEST_P(TranscriptTest, ResultFilesAndLogMatchTheGoldenTranscript) {
  const TranscriptCase& c = GetParam();
  if (c.enrolled) {
    EnrolOrFail();
    // Its connection waits in the pool: the restart closes it, the workflow takes a new one.
    server_.Restart();
    // The seed is read as the file's first word.
    WriteFile(drive_.seedFile(), "\n  " + ReadFile(drive_.seedFile()) + "\nsecond line");
  }
  const std::string seedBefore = ReadFile(drive_.seedFile());
  fs::remove(drive_.enrollmentLog());
  drive_.WritePin(std::string(kPin) + " trailing words\nnext line");
  WriteFile(drive_.statusFile(), "from an earlier enrolment");
  if (c.moved) {
    seedPath_ = "C:\\APP\\qmt\\DATA\\configured.seed";
    fs::create_directories(drive_.gen() / "../DATA");
    WriteFile(drive_.gen() / "../DATA/configured.seed", "configured");
    drive_.MoveTo("APP/qmt/BIN/run");
    fs::create_directories(drive_.relativePinFile().parent_path());
    WriteFile(drive_.relativePinFile(), "relative");
  }
  if (*c.fault != '\0') server_.ArmFault(c.fault);

  SRCppWrap::QmtSR qmt;
  Configure(qmt, c.status);
  std::string otp = "untouched";
  bool reached = false;
  int result = 0;
  {
    const QuietStdout quiet;
    const std::string url =
        c.workflow == Workflow::Mass ? server_.massEnrolmentUrl() : server_.rlxActivationUrl();
    result = c.workflow == Workflow::Login
                 ? qmt.GetOTPforAuthentication(otp)
                 : qmt.EnrollmentProcess(url, kMessage, kUser, kPassword, reached);
  }
  EXPECT_EQ(result, c.result) << server_.RequestLog();
  // Every request of a workflow on one connection (a login without a seed sends none); arming
  // the fault took one more.
  EXPECT_EQ(server_.Connections(), (result == 14 ? 0 : 1) + (*c.fault != '\0' ? 1 : 0));

  const std::string transcript = "== enrolment log ==" + EnrollmentLog() +
                                 "\n== authentication log ==" + AuthenticationLog() + "\n";
  const std::string normalised = Normalised(transcript, server_.url());
  const fs::path golden = fs::path(E2E_GOLDEN_DIR) / (std::string(c.name) + ".log");
  if (std::getenv("QMT_UPDATE_GOLDEN") != nullptr) WriteFile(golden, normalised);
  EXPECT_EQ(normalised, ReadFile(golden));

  const std::string seed = ReadFile(drive_.seedFile());
  EXPECT_EQ(fs::exists(c.moved ? drive_.gen() / "../DATA/configured.seed" : drive_.seedFile()),
            c.seedKept);
  EXPECT_EQ(fs::exists(c.moved ? drive_.relativePinFile() : drive_.pinFile()), c.pinKept);
  if (c.moved) {  // the fixed files are not the ones deleted
    EXPECT_TRUE(fs::exists(drive_.pinFile()));
    EXPECT_EQ(fs::exists(drive_.seedFile()), c.workflow != Workflow::Login || c.enrolled);
  }
  // A seed file that changed holds exactly the SDK's text; one that did not keeps its bytes.
  if (fs::exists(drive_.seedFile()) && seed != seedBefore) {
    EXPECT_EQ(LastLogged(transcript, "New seed value from sentrel: "), seed);
  }
  if (result == 1000) {
    EXPECT_EQ(ReadFile(drive_.statusFile()), "Enrollment_Status,YES\nOTP Login," +
                                                 LastLogged(transcript, "Login OTP: ") +
                                                 "\nUnique Key," + kUniqueKey);
    EXPECT_TRUE(reached);
  } else {
    EXPECT_EQ(ReadFile(drive_.statusFile()), "from an earlier enrolment");
  }
  EXPECT_EQ(qmt.GetEnrollmentStatus(), result == 1000 ? 1 : c.status);
  EXPECT_TRUE(c.workflow != Workflow::Login || result == 0 || otp == "untouched") << otp;
}

// Faults as the dev server takes them.
constexpr char kNoFault[] = "";
constexpr char kInit500[] =
    R"({"kind":"http_status","value":500,"target":"backend","path":"enrollmentinit"})";
constexpr char kCode[] =
    R"({"kind":"result","value":"NOK:CODE","target":"srws","action":"ActionSetup","mode":"activate"})";
constexpr char kBlocked[] =
    R"({"kind":"result","value":"OK:BLOCKED","target":"srws","action":"ActionFinalize","mode":"activate"})";
constexpr char kNoOtp[] = R"({"kind":"empty","target":"srws","action":"ActionSetup","mode":"otp"})";
constexpr char kCheck404[] =
    R"({"kind":"http_status","value":404,"target":"backend","path":"checkenrollment"})";
constexpr char kCheckNok[] =
    R"({"kind":"result","value":"NOK","target":"backend","path":"checkenrollment"})";
constexpr char kPinRefused[] =
    R"({"kind":"result","value":"NOK:PINREFUSED","target":"srws","action":"ActionFinalize","mode":"otp"})";
constexpr Workflow kMass = Workflow::Mass, kRlx = Workflow::Rlx, kLogin = Workflow::Login;

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Workflows, TranscriptTest,
    testing::Values(
        TranscriptCase{"mass_enrolment", kMass, 0, false, kNoFault, 1000, true, true, false},
        TranscriptCase{"rlx_enrolment", kRlx, 0, false, kNoFault, 1000, true, true, false},
        TranscriptCase{"code_and_otp_500", kMass, 0, false, kInit500, 500, false, true, false},
        TranscriptCase{"activation_refused", kMass, 0, false, kCode, 2, true, true, false},
        TranscriptCase{"finalize_blocked", kRlx, 0, false, kBlocked, 7, true, true, false},
        TranscriptCase{"no_otp", kMass, 0, false, kNoOtp, 200, true, true, false},
        TranscriptCase{"check_404", kMass, 0, false, kCheck404, 404, false, false, false},
        TranscriptCase{"check_not_ok", kMass, 0, false, kCheckNok, 200, true, true, false},
        TranscriptCase{"status_minus_one", kMass, -1, true, kNoFault, 200, true, true, false},
        TranscriptCase{"login_otp", kLogin, 1, true, kNoFault, 0, true, true, false},
        TranscriptCase{"login_start_fails", kLogin, 1, true, kNoOtp, 1, true, true, false},
        TranscriptCase{"login_pin_refused", kLogin, 1, true, kPinRefused, 15, true, true, false},
        TranscriptCase{"login_without_seed", kLogin, 1, false, kNoFault, 14, true, true, false},
        TranscriptCase{"moved_check_404", kMass, 0, false, kCheck404, 404, false, false, true},
        TranscriptCase{"moved_login_without_seed", kLogin, 1, false, kNoFault, 14, true, true,
                       true}),
    [](const testing::TestParamInfo<TranscriptCase>& info) { return std::string(info.param.name); });
// clang-format on

}  // namespace
}  // namespace qmt_e2e
