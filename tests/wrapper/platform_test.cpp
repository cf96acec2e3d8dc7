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
      {unset, R"(C:/mixed\separators)", "/C/mixed/separators"},
      {std::string(""), R"(C:\a)", "/C/a"},  // empty means unset
      {std::string("/srv/drives/"), R"(C:\APP\qmt)", "/srv/drives/C/APP/qmt"},
      {std::string("relative/root"), R"(Z:\f)", "relative/root/Z/f"},
      // Relative and already native paths are not touched by the drive root.
      {std::string("/srv/drives"), R"(..\..\log\SREnrollmentlog.log)", "../../log/SREnrollmentlog.log"},
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

}  // namespace
