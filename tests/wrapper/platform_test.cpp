#include <sys/wait.h>
#include <unistd.h>

#include "platform/Platform.h"
#include "wrapper/log_sandbox.h"

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

}  // namespace
