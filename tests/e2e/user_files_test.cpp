// The host's files as users leave them: a PIN file an editor or a .NET host wrote, a folder
// that is missing, a status file that cannot be written, a confirmation that fails after the
// activation. Each case runs the same way on Linux and under Wine.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#ifdef _WIN32
#include <windows.h>

#include <chrono>
#include <thread>
#else
#include "support/immutable_flag.h"
#endif
#include "workflow_fixture.h"

namespace qmt_e2e {
namespace {

using testing::HasSubstr;
using testing::Not;

struct PinFileCase {
  const char* name;
  std::string content;
  int result;
};

// A UTF-8 byte-order mark before the PIN is not part of it; UTF-16 stays refused unsent (its
// zero bytes), and anything but one whole mark is still part of the PIN the service refuses.
TEST_F(WorkflowTest, APinFileIsReadPastAUtf8ByteOrderMarkOnly) {
  const std::string login = EnrolOrFail();
  const std::string bom = "\xEF\xBB\xBF";
  const PinFileCase cases[] = {
      {"UTF-8 mark", bom + kPin + "\r\n", 0},
      {"UTF-8 mark, blank line first", bom + "\r\n  " + kPin, 0},
      {"UTF-16 LE",
       std::string("\xFF\xFE"
                   "2\0"
                   "4\0"
                   "6\0"
                   "8\0",
                   10),
       15},
      {"two marks", bom + bom + kPin, 15},
      {"a mark's first two bytes", "\xEF\xBB" + std::string(kPin), 15},
  };
  for (const PinFileCase& c : cases) {
    SCOPED_TRACE(c.name);
    drive_.WritePin(c.content);
    SRCppWrap::QmtSR qmt;
    Configure(qmt, 1);
    std::string otp;
    const QuietStdout quiet;
    EXPECT_EQ(qmt.GetOTPforAuthentication(otp), c.result) << server_.RequestLog();
    if (c.result == 0) {
      EXPECT_EQ(server_.Login(login, otp), "OK");
    }
  }
}

struct EnrolmentCase {
  const char* name;
  void (*arrange)(const DriveRoot& drive, SRCppWrap::QmtSR& qmt);
  int result;
  const char* logged;  // the line that says why
  bool activated;      // whether the service saw the activation
};
void PrintTo(const EnrolmentCase& c, std::ostream* os) {
  *os << c.name;
}

class EnrolmentFilesTest : public WorkflowTest,
                           public testing::WithParamInterface<EnrolmentCase> {};

// An activation uses up the code: it is not started when the seed could not be kept or no PIN
// was chosen, and nothing goes to the service. 1000 comes only with the status file written.
TEST_P(EnrolmentFilesTest, StopsOrSaysSoWhenTheWorkstationsFilesStandInTheWay) {
  const EnrolmentCase& c = GetParam();
  drive_.WritePin(kPin);
  SRCppWrap::QmtSR qmt;
  Configure(qmt, 0);
  c.arrange(drive_, qmt);
  bool reached = false;
  const int result = [&] {
    const QuietStdout quiet;
    return qmt.EnrollmentProcess(server_.massEnrolmentUrl(), kMessage, kUser, kPassword, reached);
  }();
  EXPECT_EQ(result, c.result) << server_.RequestLog();
  const std::string log = EnrollmentLog();
  EXPECT_EQ(CountLogged(log, c.logged), 1) << log;
  EXPECT_EQ(server_.RequestLog().find("/srws/") != std::string::npos, c.activated);
  // Enrolled only when the back end confirmed it.
  EXPECT_EQ(qmt.GetEnrollmentStatus(), c.activated ? 1 : 0);
  EXPECT_EQ(fs::exists(drive_.statusFile()), false);
}

// 1001: confirmed and enrolled, only the record is missing; the object is enrolled and its
// next login OTP is accepted.
TEST_F(WorkflowTest, AConfirmationWhoseStatusFileWasNotWrittenStillEnrolsTheWorkstation) {
  drive_.WritePin(kPin);
  SRCppWrap::QmtSR qmt;
  Configure(qmt, 0);
  qmt.SetEnrollFilePath("C:\\APP\\qmt\\NOWHERE\\Enrollment_Status.txt");
  bool reached = false;
  const QuietStdout quiet;
  ASSERT_EQ(qmt.EnrollmentProcess(server_.massEnrolmentUrl(), kMessage, kUser, kPassword, reached),
            1001)
      << server_.RequestLog();
  EXPECT_EQ(qmt.GetEnrollmentStatus(), 1);
  std::string otp;
  EXPECT_EQ(qmt.GetOTPforAuthentication(otp), 0);
  EXPECT_EQ(server_.Login(LastLogged(EnrollmentLog(), "Login OTP: "), otp), "OK");
  EXPECT_EQ(CountLogged(AuthenticationLog(), "OTP value: "), 1);
}

constexpr char kNoPin[] = "The PIN file gave no PIN: the activation is not started (result 15)";

INSTANTIATE_TEST_SUITE_P(
    UserFiles, EnrolmentFilesTest,
    testing::Values(
        EnrolmentCase{
            "GEN_missing",
            [](const DriveRoot& drive, SRCppWrap::QmtSR&) { fs::remove_all(drive.gen()); }, 1002,
            "The seed file C:\\APP\\qmt\\GEN\\seed.data cannot be written: the "
            "activation is not started (result 1002)",
            false},
        EnrolmentCase{
            "no_PIN_file",
            [](const DriveRoot& drive, SRCppWrap::QmtSR&) { fs::remove(drive.pinFile()); }, 15,
            kNoPin, false},
        EnrolmentCase{
            "blank_PIN_file",
            [](const DriveRoot& drive, SRCppWrap::QmtSR&) { drive.WritePin("\xEF\xBB\xBF \r\n"); },
            15, kNoPin, false},
        EnrolmentCase{"status_folder_missing",
                      [](const DriveRoot&, SRCppWrap::QmtSR& qmt) {
                        qmt.SetEnrollFilePath("C:\\APP\\qmt\\NOWHERE\\Enrollment_Status.txt");
                      },
                      1001, "The enrollment status file could not be saved: ", true}),
    [](const testing::TestParamInfo<EnrolmentCase>& info) { return std::string(info.param.name); });

// A file this test keeps from being deleted: held open without delete sharing on Windows (a
// scanner's way), immutable on POSIX.
class Undeletable {
 public:
  explicit Undeletable(const fs::path& path)
#ifdef _WIN32
      : handle_(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {
  }
  ~Undeletable() {
    if (held()) ::CloseHandle(handle_);
  }
  bool held() const {
    return handle_ != INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
#else
      : flag_(path) {
  }
  bool held() const {
    return flag_.set();
  }

 private:
  qmt_test::ImmutableFlag flag_;
#endif
};

constexpr char kCheck404[] =
    R"({"kind":"http_status","value":404,"target":"backend","path":"checkenrollment"})";
constexpr char kNotDeleted[] = "This file could not be deleted: ";

// A failed confirmation leaves no activated seed behind, wherever the host configured its seed
// path and whatever attribute the seed has, and says which file it could not delete.
TEST_F(WorkflowTest, AFailedConfirmationRemovesTheActivatedSeedOrSaysWhatItCouldNotDelete) {
  enum Layout { kSeedPathElsewhere, kReadOnlySeed, kPinUndeletable };
  for (const Layout layout : {kSeedPathElsewhere, kReadOnlySeed, kPinUndeletable}) {
    SCOPED_TRACE(layout);
    drive_.WritePin(kPin);
    fs::remove(drive_.enrollmentLog());
    SRCppWrap::QmtSR qmt;
    seedPath_ = layout == kSeedPathElsewhere ? "C:\\APP\\qmt\\DATA\\configured.seed"
                                             : "C:\\APP\\qmt\\GEN\\seed.data";
    if (layout == kSeedPathElsewhere) {
      fs::create_directories(drive_.gen() / "../DATA");
      WriteFile(drive_.gen() / "../DATA/configured.seed", "configured");
    }
    if (layout == kReadOnlySeed) {  // read as an empty seed; the new one keeps the attribute
      WriteFile(drive_.seedFile(), "");
      fs::permissions(drive_.seedFile(), fs::perms::owner_read);
    }
    std::optional<Undeletable> pin;
    if (layout == kPinUndeletable) {
      pin.emplace(drive_.pinFile());
      if (!pin->held()) GTEST_SKIP() << "cannot keep the PIN file from being deleted here";
    }
    Configure(qmt, 0);
    server_.ArmFault(kCheck404);
    bool reached = false;
    int result = 0;
    {
      const QuietStdout quiet;
      result =
          qmt.EnrollmentProcess(server_.massEnrolmentUrl(), kMessage, kUser, kPassword, reached);
    }
    EXPECT_EQ(result, 404) << server_.RequestLog();
    const std::string log = EnrollmentLog();
    EXPECT_FALSE(fs::exists(drive_.seedFile())) << log;
    EXPECT_FALSE(fs::exists(drive_.gen() / "../DATA/configured.seed"));
    EXPECT_EQ(fs::exists(drive_.pinFile()), layout == kPinUndeletable);
    EXPECT_EQ(CountLogged(log, kNotDeleted), layout == kPinUndeletable ? 1 : 0) << log;
    if (layout == kPinUndeletable) {
      EXPECT_THAT(LastLogged(log, kNotDeleted), HasSubstr("..\\GEN\\ToolvexPin.txt: "));
    }
    // The documented line stays.
    EXPECT_EQ(CountLogged(log, "Request to Sentrel Check Enrollment url failed. so, deleting"), 1);
    pin.reset();
    std::error_code ignored;
    fs::remove(drive_.pinFile(), ignored);
  }
}

// A seed left pending by an earlier login is the one used, and the seed file catches up: with
// the next new seed, or with the pending one when the seed did not change.
TEST_F(WorkflowTest, APendingSeedIsUsedFirstAndTheSeedFileCatchesUp) {
  const std::string login = EnrolOrFail();
  server_.ChangeSettings(R"({"dk1":"always"})");
  const fs::path pending = drive_.gen() / "seed.data.pending";
  constexpr char kNoOtp[] =
      R"({"kind":"empty","target":"srws","action":"ActionSetup","mode":"otp"})";
  for (const bool seedChanges : {true, false}) {
    SCOPED_TRACE(seedChanges ? "new seed" : "seed unchanged");
    const std::string current = ReadFile(drive_.seedFile());
    WriteFile(pending, current);
    WriteFile(drive_.seedFile(), "0.2.7&&an-older-seed");
    fs::remove(drive_.authenticationLog());
    if (!seedChanges) server_.ArmFault(kNoOtp);
    SRCppWrap::QmtSR qmt;
    Configure(qmt, 1);
    std::string otp;
    {
      const QuietStdout quiet;
      EXPECT_EQ(qmt.GetOTPforAuthentication(otp), seedChanges ? 0 : 1) << server_.RequestLog();
    }
    const std::string log = AuthenticationLog();
    if (seedChanges) {
      EXPECT_EQ(server_.Login(login, otp), "OK");
      EXPECT_EQ(LastLogged(log, "New seed value from sentrel: "), ReadFile(drive_.seedFile()));
    } else {
      EXPECT_EQ(ReadFile(drive_.seedFile()), current);
    }
    EXPECT_EQ(LastLogged(log, "current seed value in GEN folder: "), seedChanges ? current : "");
    EXPECT_FALSE(fs::exists(pending));
    EXPECT_EQ(CountLogged(log,
                          "The seed file caught up with the seed value kept in "
                          "C:\\APP\\qmt\\GEN\\seed.data.pending"),
              1)
        << log;
  }
}

#ifdef _WIN32
// A handle on a file as a backup program or a virus scanner takes it, for a while.
class Holder {
 public:
  Holder(const fs::path& path, DWORD share)
      : handle_(::CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~Holder() { Release(); }
  bool held() const { return handle_ != INVALID_HANDLE_VALUE; }
  void Release() {
    if (held()) ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }
  // Lets go of the file after `ms` on a thread of its own.
  std::thread ReleaseAfter(int ms) {
    return std::thread([this, ms] {
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      Release();
    });
  }

 private:
  HANDLE handle_;
};

struct HolderCase {
  const char* name;
  DWORD share;
  int releaseAfterMs;  // -1: held for the whole login
  int result;          // of the login while held
  const char* logged;  // a line the login while held logs, or ""
};

constexpr char kPending[] = "The seed file is held by another program: the new seed value is kept";

// With the service changing k1 at every OTP, a login whose new seed was lost makes every later
// one fail: whatever the holder shares, the new seed is the one the next login uses.
TEST_F(WorkflowTest, ANewSeedSurvivesAReaderThatDoesNotShareTheSeedFile) {
  const std::string login = EnrolOrFail();
  server_.ChangeSettings(R"({"dk1":"always"})");
  const HolderCase cases[] = {
      {"read sharing only, for the whole login", FILE_SHARE_READ, -1, 0, kPending},
      {"read sharing only, for a moment", FILE_SHARE_READ, 300, 0, ""},
      {"read and write sharing", FILE_SHARE_READ | FILE_SHARE_WRITE, -1, 0, ""},
      {"no sharing", 0, -1, 14, "The seed file exists but cannot be opened"},
  };
  for (const HolderCase& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(drive_.authenticationLog());
    {
      Holder holder(drive_.seedFile(), c.share);
      ASSERT_TRUE(holder.held());
      std::thread releasing;
      if (c.releaseAfterMs >= 0) releasing = holder.ReleaseAfter(c.releaseAfterMs);
      SRCppWrap::QmtSR qmt;
      Configure(qmt, 1);
      std::string otp;
      {
        const QuietStdout quiet;
        EXPECT_EQ(qmt.GetOTPforAuthentication(otp), c.result) << server_.RequestLog();
      }
      if (releasing.joinable()) releasing.join();
      if (c.result == 0) {
        EXPECT_EQ(server_.Login(login, otp), "OK");
      }
      const std::string log = AuthenticationLog();
      EXPECT_EQ(CountLogged(log, kPending), c.logged == kPending ? 1 : 0) << log;
      if (*c.logged != '\0') {
        EXPECT_EQ(CountLogged(log, c.logged), 1) << log;
      }
      // What the log calls the new seed is what the next login reads.
      if (c.result == 0) {
        EXPECT_EQ(LastLogged(log, "New seed value from sentrel: "),
                  ReadFile(fs::exists(drive_.gen() / "seed.data.pending")
                               ? drive_.gen() / "seed.data.pending"
                               : drive_.seedFile()));
      }
    }
    // The next login, nobody holding the file: the service accepts its OTP, and the seed file
    // has caught up.
    fs::remove(drive_.authenticationLog());
    SRCppWrap::QmtSR qmt;
    Configure(qmt, 1);
    std::string otp;
    {
      const QuietStdout quiet;
      ASSERT_EQ(qmt.GetOTPforAuthentication(otp), 0) << server_.RequestLog();
    }
    EXPECT_EQ(server_.Login(login, otp), "OK");
    EXPECT_FALSE(fs::exists(drive_.gen() / "seed.data.pending"));
    EXPECT_EQ(LastLogged(AuthenticationLog(), "New seed value from sentrel: "),
              ReadFile(drive_.seedFile()));
  }
}
#endif

}  // namespace
}  // namespace qmt_e2e
