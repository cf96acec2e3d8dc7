#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "platform/Platform.h"
#include "platform/in_place_file.h"
#include "wrapper/log_sandbox.h"
#include "wrapper/stored_files.h"

namespace {

using namespace qmt_test;
namespace platform = SRCppWrap::platform;

TEST(NativePath, MapsWindowsPathsUnderTheDriveRoot) {
  const std::optional<std::string> unset;
  const struct {
    std::optional<std::string> driveRoot;
    const char *windowsPath, *expected;
  } cases[] = {
      {unset, R"(C:\APP\qmt\GEN\seed.txt)", "/C/APP/qmt/GEN/seed.txt"},
      {unset, R"(z:\x)", "/z/x"},  // the drive letter as written
      {unset, "C:", "/C"},
      {unset, R"(C:\)", "/C/"},
      {unset, R"(C:/mixed\separators)", "/C/mixed/separators"},
      {std::string(""), R"(C:\a)", "/C/a"},  // empty means unset
      {std::string("/srv/drives/"), R"(C:\APP\qmt)", "/srv/drives/C/APP/qmt"},
      {std::string("relative/root"), R"(Z:\f)", "relative/root/Z/f"},
      // Relative and already native paths are not touched by the drive root.
      {std::string("/srv/drives"), R"(..\..\log\SREnrollmentlog.log)",
       "../../log/SREnrollmentlog.log"},
      {unset, "/already/native", "/already/native"},
  };
  for (const auto& c : cases) {
    ScopedEnv env("QMT_DRIVE_ROOT", c.driveRoot);
    EXPECT_EQ(platform::NativePath(c.windowsPath), c.expected)
        << c.windowsPath << " with QMT_DRIVE_ROOT=" << c.driveRoot.value_or("<unset>");
  }
}

TEST(Platform, FileCallsUseTheMappedPath) {
  LogSandbox sandbox;
  ScopedEnv env("QMT_DRIVE_ROOT", sandbox.Root().string());
  const fs::path app = sandbox.Root() / "C" / "APP";
  fs::create_directories(app);
  std::FILE* file = platform::OpenShared(R"(C:\APP\file.txt)", "wb");
  ASSERT_NE(file, nullptr);
  std::fputs("content", file);
  std::fclose(file);
  EXPECT_EQ(ReadFile(app / "file.txt"), "content");
  ASSERT_TRUE(platform::ReplaceFileAtomically(R"(C:\APP\seed.txt)", "abc"));
  EXPECT_EQ(ReadFile(app / "seed.txt"), "abc");
  EXPECT_TRUE(platform::RemoveFile(R"(C:\APP\file.txt)"));
  EXPECT_FALSE(platform::RemoveFile(R"(C:\APP\file.txt)"));
  EXPECT_EQ(std::distance(fs::directory_iterator(app), fs::directory_iterator()), 1);  // no temp
  EXPECT_EQ(platform::OpenShared(R"(C:\missing\file.txt)", "rb"), nullptr);
}

// A replace removes what killed replaces left, not the files of live processes or other names.
// A 32-bit build without 64-bit file offsets gets EOVERFLOW from readdir wherever the file system
// hands out 64-bit directory offsets (ext4), and the leftover sweep below then sees nothing.
static_assert(sizeof(off_t) == 8, "build with _FILE_OFFSET_BITS=64");

TEST(Platform, ReplaceRemovesOnlyLeftoversOfEndedProcesses) {
  const LogSandbox sandbox;  // the working directory, where the relative names land
  const pid_t ended = ::fork();
  if (ended == 0) ::_exit(0);
  ::waitpid(ended, nullptr, 0);
  const std::string dead = std::to_string(ended), self = std::to_string(ProcessId());
  const std::string kept[] = {"s.tmp-" + self + "-1", "s.tmp-1-1",
                              "s.tmp-" + dead + "-",  "s.tmp-" + dead + "-1x",
                              "s.tmp-" + dead + "_1", "s.tmp--" + dead + "-1",
                              "t.tmp-" + dead + "-1", "xs.tmp-" + dead + "-1"};
  for (const std::string& name : kept) std::ofstream(name) << "secret";
  std::ofstream("s.tmp-" + dead + "-7") << "secret";
  ASSERT_TRUE(platform::ReplaceFileAtomically("s", "abc"));
  EXPECT_EQ(fs::status("s").permissions(), fs::perms::owner_read | fs::perms::owner_write);
  for (const std::string& name : kept) EXPECT_TRUE(fs::exists(name)) << name;
  EXPECT_FALSE(fs::exists("s.tmp-" + dead + "-7"));
}

// A kill between the padded write and the cut leaves the new seed as the first word; a refused
// cut writes the old content back, and a refused restore is said.
TEST(Platform, InPlaceOverwriteLeavesTheOldOrTheNewFirstWord) {
  const LogSandbox sandbox;
  static const char* refused;
  static std::string beforeCut;
  platform::g_inPlaceStepAllowed = [](const char* step) {
    if (std::strcmp(step, "truncate") == 0) beforeCut = SRCppWrap::detail::ReadFirstWord("s").word;
    return refused == nullptr || std::strstr(refused, step) == nullptr;
  };
  const struct {
    const char *old, *fresh, *refuse;
    bool saved, kept;
  } cases[] = {
      {"old-and-longer-seed\ntail", "new-seed", nullptr, true, true},
      {"old", "new-and-longer-seed", nullptr, true, true},
      {"old-and-longer-seed", "new-seed", "truncate", false, true},
      {"old", "new-and-longer-seed", "truncate", false, true},
      {"old-and-longer-seed", "new-seed", "truncate restore", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    std::ofstream("s", std::ios::binary | std::ios::trunc) << c.old;
    refused = c.refuse;
    const platform::SaveOutcome outcome = platform::OverwriteFileInPlace("s", c.fresh);
    EXPECT_EQ(beforeCut, c.fresh);
    EXPECT_EQ(outcome.saved, c.saved);
    EXPECT_EQ(outcome.oldKept, c.kept);
    EXPECT_TRUE(!(c.saved || c.kept) || ReadFile("s") == (c.saved ? c.fresh : c.old));
    EXPECT_EQ(SRCppWrap::detail::ReadFirstWord("s").word, c.saved || !c.kept ? c.fresh : c.old);
  }
  platform::g_inPlaceStepAllowed = nullptr;
}

#if !defined(__SANITIZE_ADDRESS__)
// A huge damaged old file is not read whole: the overwrite fits a small address space.
TEST(Platform, InPlaceOverwriteOfAHugeFileNeedsLittleMemory) {
  const LogSandbox sandbox;
  std::ofstream("s").close();
  ASSERT_EQ(::truncate("s", off_t{4} << 30), 0);  // sparse
  const rlimit limit{std::size_t{1} << 30, std::size_t{1} << 30};
  EXPECT_EXIT((::setrlimit(RLIMIT_AS, &limit),
               std::exit(platform::OverwriteFileInPlace("s", "new-seed").saved ? 0 : 1)),
              testing::ExitedWithCode(0), "");
  EXPECT_EQ(fs::file_size("s"), 8u);  // never read whole here either
}
#endif

}  // namespace
