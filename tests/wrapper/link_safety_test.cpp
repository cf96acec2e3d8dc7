// The files the library creates only where nothing exists, and the links it must never write
// through.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "platform/Platform.h"
#include "wrapper/log_sandbox.h"

namespace {

namespace fs = std::filesystem;
namespace platform = SRCppWrap::platform;
using qmt_test::LogSandbox;
using qmt_test::ReadFile;

void Write(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

bool CreateSeed() {
  return platform::CreateEmptyFileIfMissing("seed.data");
}

bool OpenAsLog() {
  std::FILE* file = platform::OpenForAppend("seed.data");
  if (file != nullptr) std::fclose(file);
  return file != nullptr;
}

TEST(FileCreation, NeverEmptiesAFileNorWritesThroughALink) {
  struct Case {
    const char* link;       // what "seed.data" links to; nullptr: no link
    bool (*write)();        // true when the write went ahead
    const char* seedAfter;  // read through any link
    bool fileThere;
    bool wrote;
  } cases[] = {{nullptr, CreateSeed, "", false, true},
               {nullptr, CreateSeed, "kept", true, false},
               {"target", CreateSeed, "kept", false, false},
               {"target", OpenAsLog, "kept", false, false},
               {"missing", CreateSeed, "", false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.link ? c.link : "no link") + (c.fileThere ? ", a file" : ""));
    LogSandbox sandbox;
    Write("target", "kept");
    if (c.link) fs::create_symlink(c.link, "seed.data");
    if (c.fileThere) Write("seed.data", "kept");
    EXPECT_EQ(c.write(), c.wrote);
    EXPECT_EQ(ReadFile("target"), "kept");
    EXPECT_FALSE(fs::exists("missing"));
    EXPECT_EQ(ReadFile("seed.data"), c.seedAfter);
    struct stat info {};
    EXPECT_TRUE(!c.wrote || (::stat("seed.data", &info) == 0 && (info.st_mode & 0777) == 0600));
  }
}

}  // namespace
