// The seed file's neighbourhood: what an interrupted replace left behind, and the links the
// library must never write through.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "wrapper/log_sandbox.h"

namespace {

namespace fs = std::filesystem;
namespace platform = SRCppWrap::platform;
using qmt_test::LogSandbox;
using qmt_test::ReadFile;

std::vector<std::string> Names() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(".")) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

unsigned Mode(const char* path) {
  struct stat info {};
  return ::lstat(path, &info) == 0 ? info.st_mode & 07777 : 0;
}

void Write(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

TEST(SaveFile, MakesOwnerOnlyFilesAndRemovesOnlyLeftoversOfEndedProcesses) {
  LogSandbox sandbox;
  const pid_t ended = ::fork();
  if (ended == 0) ::_exit(0);
  ASSERT_GT(ended, 0);
  ::waitpid(ended, nullptr, 0);
  const std::string dead = std::to_string(ended);
  const std::string self = std::to_string(::getpid());
  std::vector<std::string> kept = {"other.tmp-" + dead + "-1", "seed.data.tmp-" + self + "-1",
                                   "seed.data.tmp-1-1", "seed.data.tmp-" + dead + "-x"};
  for (const std::string& name : kept) Write(name, "secret");
  Write("seed.data.tmp-" + dead + "-7", "secret");

  ASSERT_TRUE(platform::SaveFile("seed.data", "new-seed").saved);
  EXPECT_EQ(Mode("seed.data"), 0600u);
  kept.push_back("seed.data");
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(Names(), kept);
}

TEST(FileCreation, NeverEmptiesAFileNorWritesThroughALink) {
  struct Case {
    const char* name;
    void (*setUp)();
    bool (*write)();  // the library's write at "seed.data"; true when it went ahead
    bool wrote;
    const char* seedAfter;  // read through any link
  } cases[] = {
      {"nothing there", [] {}, [] { return platform::CreateEmptyFileIfMissing("seed.data"); }, true,
       ""},
      {"a file", [] { Write("seed.data", "kept"); },
       [] { return platform::CreateEmptyFileIfMissing("seed.data"); }, false, "kept"},
      {"a link to a file", [] { fs::create_symlink("target", "seed.data"); },
       [] { return platform::CreateEmptyFileIfMissing("seed.data"); }, false, "kept"},
      {"a link for the log", [] { fs::create_symlink("target", "seed.data"); },
       [] {
         std::FILE* file = platform::OpenForAppend("seed.data");
         if (file != nullptr) std::fclose(file);
         return file != nullptr;
       },
       false, "kept"},
      {"a dangling link", [] { fs::create_symlink("missing", "seed.data"); },
       [] { return platform::CreateEmptyFileIfMissing("seed.data"); }, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LogSandbox sandbox;
    Write("target", "kept");
    c.setUp();
    EXPECT_EQ(c.write(), c.wrote);
    EXPECT_EQ(ReadFile("target"), "kept");
    EXPECT_FALSE(fs::exists("missing"));
    EXPECT_EQ(ReadFile("seed.data"), c.seedAfter);
    if (c.wrote) {
      EXPECT_EQ(Mode("seed.data"), 0600u);
    }
  }
}

}  // namespace
