// The files the library creates only where nothing exists, and the links it must never write
// through.
#include "platform/Platform.h"
#include "wrapper/log_sandbox.h"

namespace {

using namespace qmt_test;
namespace platform = SRCppWrap::platform;

TEST(FileCreation, NeverEmptiesAFileNorWritesThroughALink) {
  const auto create = [] { return platform::CreateEmptyFileIfMissing("seed.data"); };
  const auto append = [] { return platform::AppendToFile("seed.data", "entry"); };
  const struct {
    const char* link;       // what "seed.data" links to; nullptr: no link
    bool (*write)();        // true when the write went ahead
    const char* seedAfter;  // read through any link
    bool fileThere, wrote;
  } cases[] = {{nullptr, create, "", false, true},
               {nullptr, create, "kept", true, false},
               {"target", create, "kept", false, false},
               {"target", append, "kept", false, false},
               {"missing", create, "", false, false}};
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
    EXPECT_TRUE(!c.wrote || fs::status("seed.data").permissions() ==
                                (fs::perms::owner_read | fs::perms::owner_write));
  }
}

}  // namespace
