#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "QmtSR.h"
#include "wrapper/log_sandbox.h"

namespace {

namespace fs = std::filesystem;
using qmt_test::Banner;
using qmt_test::IsTimestamp;
using qmt_test::LogSandbox;
using qmt_test::ReadFile;
using qmt_test::ReadLog;
using qmt_test::ReadMessages;
using qmt_test::ScopedEnv;
using SRCppWrap::QmtSR;
using Messages = std::vector<std::string>;

std::string LocalStampNow() {
  std::tm local = qmt_test::LocalTime(std::time(nullptr));
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d.%H:%M:%S", &local);
  return text;
}

TEST(WrapperLog, EntryLayoutIsExact) {
  LogSandbox sandbox;
  QmtSR sr;
  sr.SRWrapperEnrollmentAuthLogEntry("OTP server index: 3");
  const std::string content = ReadFile(sandbox.EnrollmentLog());
  ASSERT_GT(content.size(), 21u);
  const std::string stamp = content.substr(2, 19);
  EXPECT_TRUE(IsTimestamp(stamp)) << stamp;
  EXPECT_EQ(content,
            "\n[" + stamp + "] - [pid - " + std::to_string(qmt_test::ProcessId()) + "] OTP server index: 3");
}

TEST(WrapperLog, TimestampIsLocalTime) {
  LogSandbox sandbox;
  QmtSR sr;
  std::string before, after;
  {
    ScopedEnv tz("TZ", "QMT-13:45");  // far from UTC, so a UTC stamp would show
    tzset();
    before = LocalStampNow();
    sr.SRWrapperEnrollmentAuthLogEntry("tick");
    after = LocalStampNow();
  }
  tzset();
  auto entries = ReadLog(sandbox.EnrollmentLog());
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_TRUE(entries[0].timestamp == before || entries[0].timestamp == after)
      << entries[0].timestamp << " not in [" << before << ", " << after << "]";
}

TEST(WrapperLog, EntriesAreAppendedOneLineEach) {
  LogSandbox sandbox;
  QmtSR sr;
  sr.SRWrapperEnrollmentAuthLogEntry("first");
  sr.SRWrapperEnrollmentAuthLogEntry("");
  sr.SRWrapperEnrollmentAuthLogEntry("two\nlines");
  const std::string content = ReadFile(sandbox.EnrollmentLog());
  // The file starts with an empty line and its last entry has no line feed after it.
  EXPECT_EQ(content.front(), '\n');
  EXPECT_EQ(content.substr(content.size() - 11), "] two\nlines");
  EXPECT_EQ(ReadMessages(sandbox.EnrollmentLog()), (Messages{"first", "", "two\nlines"}));
}

TEST(WrapperLog, FileFollowsTheEnrollmentStatus) {
  struct Case {
    int status;
    bool authentication;
  } cases[] = {{1, true}, {0, false}, {-1, false}, {2, false}, {1000, false}};
  for (const Case& c : cases) {
    LogSandbox sandbox;
    QmtSR sr;
    sr.SetEnrollmentStatus(c.status);
    sr.SRWrapperEnrollmentAuthLogEntry("status " + std::to_string(c.status));
    fs::path written = c.authentication ? sandbox.AuthenticationLog() : sandbox.EnrollmentLog();
    fs::path untouched = c.authentication ? sandbox.EnrollmentLog() : sandbox.AuthenticationLog();
    EXPECT_EQ(ReadMessages(written), Messages{"status " + std::to_string(c.status)}) << c.status;
    EXPECT_FALSE(fs::exists(untouched)) << c.status;
  }
}

TEST(WrapperLog, MissingFolderLosesEntriesSilently) {
  LogSandbox sandbox;
  fs::remove_all(sandbox.Root() / "a" / "b" / "log");
  QmtSR sr;
  sr.SetUniquekey("lost");
  sr.SRWrapperEnrollmentAuthLogEntry("lost too");
  EXPECT_EQ(sr.GetUniquekey(), "lost");
  EXPECT_FALSE(fs::exists(sandbox.EnrollmentLog()));

  // No handle is kept between entries: once the folder is back, the next entry lands.
  fs::create_directories(sandbox.Root() / "a" / "b" / "log");
  sr.SRWrapperEnrollmentAuthLogEntry("found");
  EXPECT_EQ(ReadMessages(sandbox.EnrollmentLog()), Messages{"found"});
}

TEST(WrapperLog, FormattedLinesAreCutToTheBuffer) {
  const std::string prefix = "Uniquekey: ";  // 11 characters before the value
  struct Case {
    std::size_t valueLength;
    std::size_t loggedLength;
  } cases[] = {
      {32767 - 11, 32767},  // fits exactly
      {32767 - 10, 32767},  // one character too many
      {100000, 32767},
  };
  for (const Case& c : cases) {
    LogSandbox sandbox;
    QmtSR sr;
    const std::string value(c.valueLength, 'k');
    sr.SetUniquekey(value);
    EXPECT_EQ(sr.GetUniquekey(), value);  // only the log line is cut, never the value
    Messages messages = ReadMessages(sandbox.EnrollmentLog());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].size(), c.loggedLength) << c.valueLength;
    EXPECT_EQ(messages[0], (prefix + value).substr(0, c.loggedLength));
  }
}

TEST(WrapperLog, HostMessagesAreWrittenWhole) {
  // Only the formatter has a buffer limit; a message handed in directly is written unchanged.
  LogSandbox sandbox;
  QmtSR sr;
  const std::string message(100000, 'm');
  sr.SRWrapperEnrollmentAuthLogEntry(message);
  EXPECT_EQ(ReadMessages(sandbox.EnrollmentLog()), Messages{message});
}

TEST(WrapperLog, PercentSignsInValuesAreNotFormatted) {
  LogSandbox sandbox;
  QmtSR sr;
  sr.Setsentrel_server_url("http://h/%s%n%d");
  sr.InitQMTParameters("100%");
  EXPECT_EQ(ReadMessages(sandbox.EnrollmentLog()),
            (Messages{"Sentrel server url: http://h/%s%n%d",
                      Banner("Initializing QMT parameters started"),
                      "QMT parameter: Bios Serial Number \t\t: 100%",
                      Banner("Initializing QMT parameters End")}));
}

}  // namespace
