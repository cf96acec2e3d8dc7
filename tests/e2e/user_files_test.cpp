// The host's files as users leave them: a BOM, a missing folder, a held or undeletable file.
#ifdef _WIN32
#include <windows.h>

#include <thread>
#include <utility>
#endif
#include <string>

#include "support/immutable_flag.h"

#include "workflow_fixture.h"

namespace qmt_e2e {
namespace {

class UserFilesTest : public WorkflowTest {
 protected:
  int Login(std::string& otp) {
    SRCppWrap::QmtSR qmt;
    Configure(qmt, 1);
    const QuietStdout quiet;
    return qmt.GetOTPforAuthentication(otp);
  }
  int Enrol(SRCppWrap::QmtSR& qmt, bool reached = false) {
    const QuietStdout quiet;
    return qmt.EnrollmentProcess(server_.massEnrolmentUrl(), kMessage, kUser, kPassword, reached);
  }
};

// One UTF-8 BOM is skipped; UTF-16 stays refused unsent, a second or partial BOM is PIN.
TEST_F(UserFilesTest, APinFileIsReadPastOneUtf8ByteOrderMark) {
  const std::string login = EnrolOrFail(), bom = "\xEF\xBB\xBF";
  const std::string utf16("\xFF\xFE\x32\0\x34\0\x36\0\x38\0", 10);  // kPin
  for (const auto& [pin, result] : {std::pair{bom + kPin + "\r\n", 0},
                                    {utf16, 15},
                                    {bom + bom + kPin, 15},
                                    {bom.substr(1) + kPin, 15}}) {
    drive_.WritePin(pin);
    std::string otp;
    EXPECT_EQ(Login(otp), result) << pin;
    EXPECT_EQ(server_.Login(login, otp) == "OK", result == 0) << pin;
  }
}

// No activation without a place for the seed (GEN missing) or a PIN (blank, no file): nothing
// reaches the service. 1001: confirmed, the status file not written, enrolled all the same.
TEST_F(UserFilesTest, AnEnrolmentStopsOrSaysSoWhenItsFilesStandInTheWay) {
  const int results[] = {1002, 15, 15, 1001};
  const char* const lines[] = {
      "The seed file C:\\APP\\qmt\\GEN\\seed.data cannot be written: the activation is not",
      "The PIN file gave no PIN: the activation is not started (result 15)",
      "The PIN file gave no PIN", "The enrollment status file could not"};
  for (int step = 0; step < 4; ++step) {
    fs::create_directories(drive_.gen());
    drive_.WritePin(step == 1 ? "\xEF\xBB\xBF \r\n" : kPin);
    if (step == 2) fs::remove(drive_.pinFile());
    if (step == 0) fs::remove_all(drive_.gen());
    fs::remove(drive_.enrollmentLog());
    SRCppWrap::QmtSR qmt;
    Configure(qmt, 0);
    if (step == 3) qmt.SetEnrollFilePath("C:\\APP\\qmt\\NOWHERE\\Enrollment_Status.txt");
    EXPECT_EQ(Enrol(qmt), results[step]);
    EXPECT_EQ(CountLogged(EnrollmentLog(), lines[step]), 1) << EnrollmentLog();
    EXPECT_EQ(server_.RequestLog().find("ActionSetup") != std::string::npos, step == 3);
    EXPECT_EQ(qmt.GetEnrollmentStatus(), step == 3 ? 1 : 0);
  }
}

// The seed a failed confirmation activated goes, read-only too; what cannot go is named.
TEST_F(UserFilesTest, AFailedConfirmationLeavesNoActivatedSeedBehind) {
  for (const bool pinUndeletable : {false, true}) {
    drive_.WritePin(kPin);
    const qmt_test::ImmutableFlag pin(pinUndeletable ? drive_.pinFile() : drive_.gen() / "-");
    if (pinUndeletable) QMT_REQUIRE_IMMUTABLE(pin);  // before a read-only seed a skip leaves
    WriteFile(drive_.seedFile(), "");  // read as an empty seed; the new one stays read-only
    fs::permissions(drive_.seedFile(), fs::perms::owner_read);
    SRCppWrap::QmtSR qmt;
    Configure(qmt, 0);
    server_.ArmFault(R"({"kind":"http_status","value":404,"target":"backend","path":"check)"
                     R"(enrollment"})");
    EXPECT_EQ(Enrol(qmt), 404) << server_.RequestLog();
    EXPECT_FALSE(fs::exists(drive_.seedFile())) << EnrollmentLog();
    EXPECT_EQ(LastLogged(EnrollmentLog(), "This file could not be deleted: ").find("..\\GEN\\T"),
              pinUndeletable ? 0 : std::string::npos);
  }
}

#ifdef _WIN32
// With k1 changing at every OTP, the next login must get the new seed whatever a reader shares.
TEST_F(UserFilesTest, ANewSeedSurvivesAReaderThatDoesNotShareTheSeedFile) {
  const std::string login = EnrolOrFail();
  server_.ChangeSettings(R"({"dk1":"always"})");
  const struct {
    DWORD share;
    int releaseMs, result;  // releaseMs -1: held for the whole login
    const char* logged;
  } cases[] = {{FILE_SHARE_READ, -1, 0, "The seed file is held by another program: the new "},
               {FILE_SHARE_READ, 300, 0, "New seed value from sentrel: "},
               {0, -1, 14, "The seed file exists but cannot be opened (another program holds"}};
  for (const auto& c : cases) {
    fs::remove(drive_.authenticationLog());
    HANDLE held = ::CreateFileW(drive_.seedFile().c_str(), GENERIC_READ, c.share, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    std::thread release([&] {
      ::Sleep(c.releaseMs < 0 ? 0 : c.releaseMs);
      if (c.releaseMs >= 0) ::CloseHandle(std::exchange(held, INVALID_HANDLE_VALUE));
    });
    std::string otp;
    EXPECT_EQ(Login(otp), c.result) << c.share;
    release.join();
    ::CloseHandle(held);
    EXPECT_EQ(CountLogged(AuthenticationLog(), c.logged), 1) << AuthenticationLog();
    const fs::path pending = drive_.gen() / "seed.data.pending";  // the next login reads it first
    EXPECT_EQ(LastLogged(AuthenticationLog(), "New seed value from sentrel: "),
              c.result ? "" : ReadFile(fs::exists(pending) ? pending : drive_.seedFile()));
    EXPECT_EQ(Login(otp), 0);  // nobody holds the file now: accepted, and caught up
    EXPECT_EQ(server_.Login(login, otp), "OK");
    EXPECT_FALSE(fs::exists(pending));
  }
}
#endif

}  // namespace
}  // namespace qmt_e2e
