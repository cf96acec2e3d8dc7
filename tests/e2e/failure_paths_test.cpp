// What a host meets in the field: a locked-down GEN folder, an unwritable seed, a damaged PIN
// file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <string>

#include "platform/in_place_file.h"
#include "sdk/SRSdk.h"
#include "support/immutable_flag.h"
#include "workflow_fixture.h"

namespace qmt_e2e {
namespace {

using testing::HasSubstr;
constexpr char kSeedNotSaved[] =
    "The new seed value could not be saved, the old seed file is kept: ";
constexpr char kSeedNotRestored[] =
    "The new seed value could not be saved and the old seed file could not be restored: ";

TEST_F(WorkflowTest, ALockedGenFolderStillTakesTheNewSeedOrTheLogSaysItWasNot) {
  const std::string login = EnrolOrFail();
  static const char* refused;  // in-place steps made to fail
  SRCppWrap::platform::g_inPlaceStepAllowed = [](const char* step) {
    return refused == nullptr || std::strstr(refused, step) == nullptr;
  };
  const struct {
    bool seedLocked;
    const char* refuse;
  } cases[] = {{false, nullptr}, {true, nullptr}, {false, "truncate restore"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.seedLocked ? "seed file locked too" : c.refuse ? "no restore" : "GEN locked");
    const std::string before = ReadFile(drive_.seedFile());
    // An hour back, so that a rewrite cannot go unnoticed.
    fs::last_write_time(drive_.seedFile(),
                        fs::last_write_time(drive_.seedFile()) - std::chrono::hours(1));
    const auto writtenBefore = fs::last_write_time(drive_.seedFile());
    std::optional<qmt_test::ImmutableFlag> seed;
    if (c.seedLocked) seed.emplace(drive_.seedFile());
    qmt_test::ImmutableFlag gen(drive_.gen());
    QMT_REQUIRE_IMMUTABLE(gen);
    if (c.seedLocked) QMT_REQUIRE_IMMUTABLE(*seed);
    refused = c.refuse;

    SRCppWrap::QmtSR qmt;
    Configure(qmt, 1);
    std::string otp;
    ASSERT_EQ(qmt.GetOTPforAuthentication(otp), 0) << server_.RequestLog();
    EXPECT_EQ(server_.Login(login, otp), "OK");
    const std::string log = AuthenticationLog();
    EXPECT_EQ(fs::last_write_time(drive_.seedFile()) != writtenBefore, !c.seedLocked);
    EXPECT_EQ(CountLogged(log, kSeedNotRestored), c.refuse ? 1 : 0);
    if (c.seedLocked) {
      EXPECT_EQ(ReadFile(drive_.seedFile()), before);
      EXPECT_THAT(LastLogged(log, kSeedNotSaved), HasSubstr("cannot open the file for writing"));
    } else if (!c.refuse) {
      EXPECT_EQ(LastLogged(log, "New seed value from sentrel: "), ReadFile(drive_.seedFile()));
      EXPECT_EQ(CountLogged(log, kSeedNotSaved), 0);
    }
  }
  SRCppWrap::platform::g_inPlaceStepAllowed = nullptr;
}

TEST_F(WorkflowTest, AnEnrolmentWhoseSeedCannotBeSavedIsNotConfirmed) {
  fs::create_directories(drive_.seedFile() / "in-the-way");
  drive_.WritePin(kPin);
  SRCppWrap::QmtSR qmt;
  Configure(qmt, 0);
  bool reached = false;
  EXPECT_EQ(qmt.EnrollmentProcess(server_.massEnrolmentUrl(), kMessage, kUser, kPassword, reached),
            200);
  const std::string log = EnrollmentLog();
  EXPECT_EQ(CountLogged(log, kSeedNotSaved), 1);
  EXPECT_EQ(CountLogged(log, "Enrollment not confirmed: the seed could not be saved"), 1);
  EXPECT_EQ(CountLogged(log, "Request to Sentrel Check Enrollment url: "), 0);
  EXPECT_FALSE(fs::exists(drive_.statusFile()));
}

TEST_F(WorkflowTest, APinHoldingAZeroByteIsRefusedBeforeItIsSent) {
  EnrolOrFail();
  drive_.WritePin(std::string("24\0" "8", 4));
  const auto serviceRequests = [this] {
    const std::string log = server_.RequestLog();
    int count = 0;
    const std::string mac = "/srws/MAC";
    for (auto at = log.find(mac); at != std::string::npos; at = log.find(mac, at + 1)) {
      ++count;
    }
    return count;
  };
  const int requestsBefore = serviceRequests();
  SRCppWrap::QmtSR qmt;
  Configure(qmt, 1);
  std::string otp;
  EXPECT_EQ(qmt.GetOTPforAuthentication(otp), SR_ERR_PINREFUSED);
  EXPECT_EQ(otp, "");
  EXPECT_EQ(serviceRequests(), requestsBefore + 1);  // only the OTP start, which carries no PIN
  EXPECT_EQ(CountLogged(AuthenticationLog(), "The PIN file holds a zero byte"), 1);
}

}  // namespace
}  // namespace qmt_e2e
