// What a host meets in the field: a locked-down GEN folder (an unwritable seed and a damaged PIN
// file are workflows with transcripts).
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

}  // namespace
}  // namespace qmt_e2e
