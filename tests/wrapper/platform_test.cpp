#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "wrapper/log_sandbox.h"

namespace {

namespace fs = std::filesystem;
namespace platform = SRCppWrap::platform;
using qmt_test::LogSandbox;
using qmt_test::ReadFile;
using qmt_test::ScopedEnv;

TEST(NativePath, MapsWindowsPathsUnderTheDriveRoot) {
  struct Case {
    std::optional<std::string> driveRoot;
    const char* windowsPath;
    const char* expected;
  } cases[] = {
      {std::nullopt, R"(C:\APP\qmt\GEN\seed.txt)", "/C/APP/qmt/GEN/seed.txt"},
      {std::nullopt, R"(d:\x)", "/d/x"},  // the drive letter as written
      {std::nullopt, R"(z:\x)", "/z/x"},
      {std::nullopt, R"(Z:\x)", "/Z/x"},
      {std::nullopt, R"(C:\)", "/C/"},
      {std::nullopt, "C:", "/C"},
      {std::nullopt, R"(C:/mixed\separators)", "/C/mixed/separators"},
      {std::string(""), R"(C:\a)", "/C/a"},  // empty means unset
      {std::string("/srv/drives"), R"(C:\APP\qmt)", "/srv/drives/C/APP/qmt"},
      {std::string("/srv/drives/"), R"(C:\APP\qmt)", "/srv/drives/C/APP/qmt"},
      {std::string("relative/root"), R"(E:\f)", "relative/root/E/f"},
      // Relative and already native paths are not touched by the drive root.
      {std::string("/srv/drives"), R"(..\log\SREnrollmentlog.log)", "../log/SREnrollmentlog.log"},
      {std::nullopt, R"(..\..\..\log\SRAuthenticationlog.log)",
       "../../../log/SRAuthenticationlog.log"},
      {std::nullopt, R"(..\GEN\ToolvexPin.txt)", "../GEN/ToolvexPin.txt"},
      {std::nullopt, "seed.txt", "seed.txt"},
      {std::nullopt, "/already/native", "/already/native"},
      {std::nullopt, "", ""},
      {std::nullopt, R"(1:\not\a\drive)", "1:/not/a/drive"},
  };
  for (const Case& c : cases) {
    ScopedEnv env("QMT_DRIVE_ROOT", c.driveRoot);
    EXPECT_EQ(platform::NativePath(c.windowsPath), c.expected)
        << c.windowsPath << " with QMT_DRIVE_ROOT=" << c.driveRoot.value_or("<unset>");
  }
}

TEST(Platform, FileCallsUseTheMappedPath) {
  LogSandbox sandbox;
  ScopedEnv env("QMT_DRIVE_ROOT", sandbox.Root().string());
  fs::create_directories(sandbox.Root() / "C" / "APP");

  std::FILE* file = platform::OpenShared(R"(C:\APP\file.txt)", "wb");
  ASSERT_NE(file, nullptr);
  std::fputs("content", file);
  std::fclose(file);
  EXPECT_EQ(ReadFile(sandbox.Root() / "C" / "APP" / "file.txt"), "content");

  EXPECT_TRUE(platform::RemoveFile(R"(C:\APP\file.txt)"));
  EXPECT_FALSE(fs::exists(sandbox.Root() / "C" / "APP" / "file.txt"));
  EXPECT_FALSE(platform::RemoveFile(R"(C:\APP\file.txt)"));
  EXPECT_EQ(platform::OpenShared(R"(C:\missing\file.txt)", "rb"), nullptr);
}

TEST(Platform, ProcessIdAndLocalTime) {
  EXPECT_EQ(platform::CurrentProcessId(), static_cast<unsigned long>(::getpid()));

  char buffer[80];
  std::size_t length = platform::FormatLocalTime(buffer, sizeof buffer, "%Y-%m-%d");
  EXPECT_EQ(length, 10u);
  EXPECT_EQ(std::strlen(buffer), length);
  // A result that does not fit yields an empty text, never a cut one.
  char tiny[4];
  EXPECT_EQ(platform::FormatLocalTime(tiny, sizeof tiny, "%Y-%m-%d"), 0u);
  EXPECT_STREQ(tiny, "");
}

class ReplaceFileAtomically : public ::testing::Test {
 protected:
  // Every test must leave exactly the expected names in the folder: no temporary file.
  static std::vector<std::string> Names(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  LogSandbox sandbox_;
};

TEST_F(ReplaceFileAtomically, CreatesAFileWithExactBytes) {
  const std::string content("seed\0with\nbinary\r\n", 18);
  ASSERT_TRUE(platform::ReplaceFileAtomically(R"(..\GEN.txt)", content));
  EXPECT_EQ(ReadFile("../GEN.txt"), content);
  EXPECT_EQ(Names(".."), (std::vector<std::string>{"GEN.txt", "c", "log"}));
}

TEST_F(ReplaceFileAtomically, ReplacesContentAndKeepsPermissions) {
  ASSERT_TRUE(platform::ReplaceFileAtomically("seed.txt", std::string(1000, 'x')));
  ASSERT_EQ(::chmod("seed.txt", 0640), 0);
  ASSERT_TRUE(platform::ReplaceFileAtomically("seed.txt", "short"));
  EXPECT_EQ(ReadFile("seed.txt"), "short");
  struct stat info {};
  ASSERT_EQ(::stat("seed.txt", &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  ASSERT_TRUE(platform::ReplaceFileAtomically("seed.txt", ""));
  EXPECT_EQ(ReadFile("seed.txt"), "");
  EXPECT_EQ(Names("."), std::vector<std::string>{"seed.txt"});
}

TEST_F(ReplaceFileAtomically, MapsDrivePaths) {
  ScopedEnv env("QMT_DRIVE_ROOT", sandbox_.Root().string());
  fs::create_directories(sandbox_.Root() / "C" / "GEN");
  ASSERT_TRUE(platform::ReplaceFileAtomically(R"(C:\GEN\seed.txt)", "abc"));
  EXPECT_EQ(ReadFile(sandbox_.Root() / "C" / "GEN" / "seed.txt"), "abc");
}

TEST_F(ReplaceFileAtomically, FailsWithoutTouchingAnything) {
  // Missing folder: nothing can be written.
  EXPECT_FALSE(platform::ReplaceFileAtomically(R"(missing\seed.txt)", "abc"));
  EXPECT_FALSE(fs::exists("missing"));

  // The target cannot be replaced (a non-empty folder): the old one stays, the temporary goes.
  fs::create_directories("target");
  ASSERT_TRUE(platform::ReplaceFileAtomically(R"(target\keep.txt)", "old"));
  EXPECT_FALSE(platform::ReplaceFileAtomically("target", "new"));
  EXPECT_EQ(ReadFile("target/keep.txt"), "old");
  EXPECT_EQ(Names("."), std::vector<std::string>{"target"});
}

}  // namespace
