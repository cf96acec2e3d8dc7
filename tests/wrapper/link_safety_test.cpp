// The files the library creates only where nothing exists, and the links it must never write
// through.
#include <sys/stat.h>

#include "platform/Platform.h"
#include "wrapper/log_sandbox.h"

namespace {

using namespace qmt_test;
namespace platform = SRCppWrap::platform;

bool CreateSeed() {
  return platform::CreateEmptyFileIfMissing("seed.data");
}

bool OpenAsLog() {
  return platform::AppendToFile("seed.data", "entry");
}

TEST(FileCreation, NeverEmptiesAFileNorWritesThroughALink) {
  const struct {
    const char* link;       // what "seed.data" links to; nullptr: no link
    bool (*write)();        // true when the write went ahead
    const char* seedAfter;  // read through any link
    bool fileThere, wrote;
  } cases[] = {{nullptr, CreateSeed, "", false, true},
               {nullptr, CreateSeed, "kept", true, false},
               {"target", CreateSeed, "kept", false, false},
               {"target", OpenAsLog, "kept", false, false},
               {"missing", CreateSeed, "", false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.link ? c.link : "no link") + (c.fileThere ? ", a file" : ""));
    LogSandbox sandbox;
    std::ofstream("target") << "kept";
    if (c.link) fs::create_symlink(c.link, "seed.data");
    if (c.fileThere) std::ofstream("seed.data") << "kept";
    EXPECT_EQ(c.write(), c.wrote);
    EXPECT_EQ(ReadFile("target"), "kept");
    EXPECT_FALSE(fs::exists("missing"));
    EXPECT_EQ(ReadFile("seed.data"), c.seedAfter);
    struct stat info {};
    EXPECT_TRUE(!c.wrote || (::stat("seed.data", &info) == 0 && (info.st_mode & 0777) == 0600));
  }
}

}  // namespace
