// Saving the seed and status files where the host's installation is locked down, and the files
// the library must never write through.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "support/immutable_flag.h"
#include "wrapper/log_sandbox.h"

namespace {

namespace fs = std::filesystem;
namespace platform = SRCppWrap::platform;
using qmt_test::ImmutableFlag;
using qmt_test::LogSandbox;
using qmt_test::ReadFile;

std::vector<std::string> Names(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

unsigned Mode(const fs::path& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

void Write(const fs::path& path, const std::string& content) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(content.data(), 1, content.size(), file);
  std::fclose(file);
}

TEST(SaveFile, FallsBackToWritingInPlaceAndNeverLosesSilently) {
  struct Case {
    const char* name;
    bool lockFolder;  // refuses new names and renames, the file in it stays writable
    bool lockFile;
    bool saved;
  } cases[] = {{"atomic", false, false, true},
               {"in place", true, false, true},
               {"refused", true, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LogSandbox sandbox;
    fs::create_directory("gen");
    Write("gen/seed.data", "old-seed-with-a-longer-text");
    std::optional<ImmutableFlag> folder, file;
    if (c.lockFile) file.emplace("gen/seed.data");
    if (c.lockFolder) folder.emplace("gen");
    if (c.lockFile) QMT_REQUIRE_IMMUTABLE(*file);
    if (c.lockFolder) QMT_REQUIRE_IMMUTABLE(*folder);

    const platform::SaveOutcome outcome = platform::SaveFile(R"(gen\seed.data)", "new-seed");
    EXPECT_EQ(outcome.saved, c.saved);
    EXPECT_EQ(outcome.error.empty(), c.saved) << outcome.error;
    EXPECT_EQ(ReadFile("gen/seed.data"), c.saved ? "new-seed" : "old-seed-with-a-longer-text");
    EXPECT_EQ(Names("gen"), std::vector<std::string>{"seed.data"});
  }
}

TEST(SaveFile, RefusesAFolderStandingInPlaceOfTheFile) {
  LogSandbox sandbox;
  fs::create_directories("seed.data/inside");
  const platform::SaveOutcome outcome = platform::SaveFile("seed.data", "new-seed");
  EXPECT_FALSE(outcome.saved);
  EXPECT_NE(outcome.error, "");
  EXPECT_TRUE(fs::is_directory("seed.data/inside"));
  EXPECT_EQ(Names("."), std::vector<std::string>{"seed.data"});
}

TEST(SaveFile, MakesOwnerOnlyFilesAndRemovesOnlyLeftoversOfEndedProcesses) {
  LogSandbox sandbox;
  const pid_t ended = ::fork();
  if (ended == 0) ::_exit(0);
  ASSERT_GT(ended, 0);
  ::waitpid(ended, nullptr, 0);
  const std::string dead = std::to_string(ended);
  const std::string self = std::to_string(::getpid());
  const std::vector<std::string> kept = {"other.tmp-" + dead + "-1", "seed.data.tmp-" + self + "-1",
                                         "seed.data.tmp-1-1", "seed.data.tmp-" + dead + "-x"};
  for (const std::string& name : kept) Write(name, "secret");
  Write("seed.data.tmp-" + dead + "-7", "secret");

  ASSERT_TRUE(platform::SaveFile("seed.data", "new-seed").saved);
  EXPECT_EQ(Mode("seed.data"), 0600u);
  std::vector<std::string> expected = kept;
  expected.push_back("seed.data");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Names("."), expected);
}

TEST(CreateEmptyFileIfMissing, NeverEmptiesAFileNorFollowsALink) {
  struct Case {
    const char* name;
    void (*setUp)();
    bool created;
    std::optional<std::string> target;  // content of "target" afterwards; nullopt: absent
  } cases[] = {
      {"nothing there", [] {}, true, std::nullopt},
      {"a file", [] { Write("seed.data", "kept"); }, false, std::nullopt},
      {"a link to a file",
       [] {
         Write("target", "kept");
         fs::create_symlink("target", "seed.data");
       },
       false, "kept"},
      {"a dangling link", [] { fs::create_symlink("target", "seed.data"); }, false, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LogSandbox sandbox;
    c.setUp();
    EXPECT_EQ(platform::CreateEmptyFileIfMissing("seed.data"), c.created);
    if (c.created) {
      EXPECT_EQ(Mode("seed.data"), 0600u);
    }
    if (std::string(c.name) == "a file") {
      EXPECT_EQ(ReadFile("seed.data"), "kept");
    }
    EXPECT_EQ(fs::exists("target"), c.target.has_value());
    if (c.target) {
      EXPECT_EQ(ReadFile("target"), *c.target);
    }
  }
}

TEST(OpenForAppend, RefusesAFinalLink) {
  LogSandbox sandbox;
  Write("target", "kept");
  fs::create_symlink("target", "log.log");
  EXPECT_EQ(platform::OpenForAppend("log.log"), nullptr);
  EXPECT_EQ(ReadFile("target"), "kept");
}

}  // namespace
