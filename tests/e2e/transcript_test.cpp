// Each workflow against the dev server: its result, its files, and its whole log against a
// golden transcript (golden/<name>.log; QMT_UPDATE_GOLDEN=1 rewrites them: review the diff).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>

#include "workflow_fixture.h"
#ifndef QMT_E2E_PORTABLE_CLASS  // a host of QmtSRPortable.h reaches no library internals
#include "wrapper/ProcessState.h"
#include "wrapper/runtime_settings.h"
#endif

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

void PrintTo(const TranscriptCase& c, std::ostream* os) {
  *os << c.name;
}
std::string CaseName(const testing::TestParamInfo<TranscriptCase>& info) {
  return info.param.name;
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
// Not server faults: the check-enrolment URL names a port where nothing listens; a folder
// stands where the seed file goes; the PIN file holds a zero byte.
constexpr char kCheckUnreachable[] = "check unreachable", kSeedUnwritable[] = "seed unwritable",
               kPinZeroByte[] = "PIN zero byte";
bool IsServerFault(const char* fault) {
  return *fault != '\0' && fault != kCheckUnreachable && fault != kSeedUnwritable &&
         fault != kPinZeroByte;
}
constexpr Workflow kMass = Workflow::Mass, kRlx = Workflow::Rlx, kLogin = Workflow::Login;

class TranscriptTest : public WorkflowTest, public testing::WithParamInterface<TranscriptCase> {
 protected:
  // Lays out the installation as the case says and runs its workflow with `qmt`.
  int Run(const TranscriptCase& c, SRCppWrap::QmtSR& qmt) {
    if (c.enrolled) {
      EnrolOrFail();
      // Its connection waits in the pool: the restart closes it, the workflow takes a new one.
      server_.Restart();
      // The seed is read as the file's first word.
      WriteFile(drive_.seedFile(), "\n  " + ReadFile(drive_.seedFile()) + "\nsecond line");
    }
    seedBefore_ = ReadFile(drive_.seedFile());
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
    Configure(qmt, c.status);
    if (c.fault == kCheckUnreachable) {
      qmt.SetsentrelCheckEnrollmenturl("http://127.0.0.1:1/api/checkenrollment");
    } else if (c.fault == kSeedUnwritable) {
      fs::create_directories(drive_.seedFile() / "in-the-way");
    } else if (c.fault == kPinZeroByte) {
      drive_.WritePin(std::string(kPin) + '\0' + "8");
    } else if (*c.fault != '\0') {
      server_.ArmFault(c.fault);
    }
    const QuietStdout quiet;
    const std::string url =
        c.workflow == Workflow::Mass ? server_.massEnrolmentUrl() : server_.rlxActivationUrl();
    return c.workflow == Workflow::Login
               ? qmt.GetOTPforAuthentication(otp_)
               : qmt.EnrollmentProcess(url, kMessage, kUser, kPassword, reached_);
  }
  // Both logs, one after the other.
  std::string Transcript() const {
    return "== enrolment log ==" + EnrollmentLog() +
           "\n== authentication log ==" + AuthenticationLog() + "\n";
  }
  fs::path Golden() const {
    return fs::path(E2E_GOLDEN_DIR) / (GetParam().name + std::string(".log"));
  }

  std::string seedBefore_, otp_ = "untouched";
  bool reached_ = false;
};

TEST_P(TranscriptTest, ResultFilesAndLogMatchTheGoldenTranscript) {
  const TranscriptCase& c = GetParam();
  SRCppWrap::QmtSR qmt;
  const int result = Run(c, qmt);
  EXPECT_EQ(result, c.result) << server_.RequestLog();
  // Every request of a workflow on one connection (a login without a seed sends none); arming
  // the fault took one more.
  EXPECT_EQ(server_.Connections(), (result == 14 ? 0 : 1) + (IsServerFault(c.fault) ? 1 : 0));

  const std::string transcript = Transcript();
  const std::string normalised = Normalised(transcript, server_.url());
  if (std::getenv("QMT_UPDATE_GOLDEN") != nullptr) WriteFile(Golden(), normalised);
  EXPECT_EQ(normalised, ReadFile(Golden()));

  const std::string seed = fs::is_directory(drive_.seedFile()) ? "" : ReadFile(drive_.seedFile());
  EXPECT_EQ(fs::exists(c.moved ? drive_.gen() / "../DATA/configured.seed" : drive_.seedFile()),
            c.seedKept);
  EXPECT_EQ(fs::exists(c.moved ? drive_.relativePinFile() : drive_.pinFile()), c.pinKept);
  if (c.moved) {  // the fixed PIN file is not the one deleted; the activated seed is
    EXPECT_TRUE(fs::exists(drive_.pinFile()));
    EXPECT_EQ(fs::exists(drive_.seedFile()), c.workflow == kLogin ? c.enrolled : c.seedKept);
  }
  // A seed file that changed holds exactly the SDK's text; one that did not keeps its bytes.
  if (fs::exists(drive_.seedFile()) && seed != seedBefore_) {
    EXPECT_EQ(LastLogged(transcript, "New seed value from sentrel: "), seed);
  }
  if (result == 1000) {
    EXPECT_EQ(ReadFile(drive_.statusFile()), "Enrollment_Status,YES\nOTP Login," +
                                                 LastLogged(transcript, "Login OTP: ") +
                                                 "\nUnique Key," + kUniqueKey);
    EXPECT_TRUE(reached_);
  } else {
    EXPECT_EQ(ReadFile(drive_.statusFile()), "from an earlier enrolment");
  }
  EXPECT_EQ(qmt.GetEnrollmentStatus(), result == 1000 ? 1 : c.status);
  EXPECT_TRUE(c.workflow != Workflow::Login || result == 0 || otp_ == "untouched") << otp_;
}

#ifndef QMT_E2E_PORTABLE_CLASS
// With secrets kept out of the log, both logs are the golden transcript with each secret it
// shows (PIN, codes, OTPs, seeds, the message's secret) as "XXXX": cut out on both sides, they
// are equal, so no other line changed and no value is left. Nor is any secret the test knows.
TEST_P(TranscriptTest, WithSecretsKeptOutOfTheLogNeitherLogShowsOne) {
  const SRCppWrap::detail::RuntimeSettings saved = SRCppWrap::detail::Settings();
  SRCppWrap::detail::Settings().logSecrets = false;
  SRCppWrap::QmtSR qmt;
  EXPECT_EQ(Run(GetParam(), qmt), GetParam().result);
  SRCppWrap::detail::Settings() = saved;

  const std::string logs = Unstamped(Transcript(), server_.url());
  std::string expected = ReadFile(Golden());
  // A reply that is not JSON is withheld whole.
  for (const char* secret : {"<code>", "<login>", "<otp>", "<seed>", kPin, "XXXX",
                             "fault injected: HTTP 404\n", "fault injected: HTTP 500\n"}) {
    expected = ReplaceAll(expected, secret, "");
  }
  EXPECT_EQ(ReplaceAll(logs, "XXXX", ""), expected);
  SRContext* context = SRCppWrap::detail::Process().context;  // none when no SDK call was due
  const char* made = context != nullptr ? SROnlineOtpGet(context) : nullptr;
  for (const std::string secret : {kPin, "hush-7731", made && *made ? made : kPin, "&&"}) {
    EXPECT_EQ(logs.find(secret), std::string::npos) << secret << logs;
  }
}
#endif

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
        TranscriptCase{"check_unreachable", kMass, 0, false, kCheckUnreachable, 0, false, false,
                       false},
        TranscriptCase{"status_minus_one", kMass, -1, true, kNoFault, 200, true, true, false},
        TranscriptCase{"status_minus_one_pin_zero_byte", kMass, -1, true, kPinZeroByte, 15, true,
                       true, false},
        TranscriptCase{"login_otp", kLogin, 1, true, kNoFault, 0, true, true, false},
        TranscriptCase{"login_start_fails", kLogin, 1, true, kNoOtp, 1, true, true, false},
        TranscriptCase{"login_pin_refused", kLogin, 1, true, kPinRefused, 15, true, true, false},
        TranscriptCase{"login_pin_zero_byte", kLogin, 1, true, kPinZeroByte, 15, true, true, false},
        TranscriptCase{"login_without_seed", kLogin, 1, false, kNoFault, 14, true, true, false},
        TranscriptCase{"moved_check_404", kMass, 0, false, kCheck404, 404, false, false, true},
        TranscriptCase{"moved_login_without_seed", kLogin, 1, false, kNoFault, 14, true, true,
                       true}),
    CaseName);
#ifndef _WIN32  // a folder where the seed file goes fails in other words on Windows
INSTANTIATE_TEST_SUITE_P(
    PosixWorkflows, TranscriptTest,
    testing::Values(
        TranscriptCase{"seed_unwritable", kMass, 0, false, kSeedUnwritable, 200, true, true, false}),
    CaseName);
#endif
// clang-format on

}  // namespace
}  // namespace qmt_e2e
