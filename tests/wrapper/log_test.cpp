// The wrapper log: the entry layout, the file the enrolment status picks, and the formatter's
// bounded buffer.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "QmtSR.h"
#include "wrapper/log_sandbox.h"

namespace {

namespace fs = std::filesystem;
using qmt_test::Banner;
using qmt_test::LogSandbox;
using qmt_test::ReadFile;
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

TEST(WrapperLog, EntriesAreExactLinesInLocalTime) {
  LogSandbox sandbox;
  QmtSR sr;
  std::string before, after;
  {
    ScopedEnv tz("TZ", "QMT-13:45");  // far from UTC, so a UTC stamp would show
    tzset();
    before = LocalStampNow();
    sr.SRWrapperEnrollmentAuthLogEntry("OTP server index: 3");
    after = LocalStampNow();
  }
  tzset();
  sr.SRWrapperEnrollmentAuthLogEntry("");
  sr.SRWrapperEnrollmentAuthLogEntry("two\nlines");
  const std::string content = ReadFile(sandbox.EnrollmentLog());
  const std::string stamp = content.substr(2, 19);
  EXPECT_TRUE(stamp == before || stamp == after) << stamp << " not " << before << " or " << after;
  const std::string pid = std::to_string(qmt_test::ProcessId());
  EXPECT_EQ(content.substr(0, 21 + 11 + pid.size() + 2 + 19),
            "\n[" + stamp + "] - [pid - " + pid + "] OTP server index: 3");
  // The file starts with an empty line and its last entry has no line feed after it.
  EXPECT_EQ(content.substr(content.size() - 11), "] two\nlines");
  EXPECT_EQ(ReadMessages(sandbox.EnrollmentLog()),
            (Messages{"OTP server index: 3", "", "two\nlines"}));
}

TEST(WrapperLog, FileFollowsTheEnrollmentStatus) {
  for (int status : {1, 0, -1, 2, 1000}) {
    LogSandbox sandbox;
    QmtSR sr;
    sr.SetEnrollmentStatus(status);
    sr.SRWrapperEnrollmentAuthLogEntry("status " + std::to_string(status));
    fs::path written = status == 1 ? sandbox.AuthenticationLog() : sandbox.EnrollmentLog();
    fs::path untouched = status == 1 ? sandbox.EnrollmentLog() : sandbox.AuthenticationLog();
    EXPECT_EQ(ReadMessages(written), Messages{"status " + std::to_string(status)}) << status;
    EXPECT_FALSE(fs::exists(untouched)) << status;
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

// Only formatted lines are cut to the 32767 characters of the buffer; the value stays whole,
// and so does a message handed in directly.
TEST(WrapperLog, FormattedLinesAreCutToTheBuffer) {
  const std::string prefix = "Uniquekey: ";
  for (size_t length : {32767 - prefix.size(), 32768 - prefix.size(), size_t{100000}}) {
    LogSandbox sandbox;
    QmtSR sr;
    const std::string value(length, 'k');
    sr.SetUniquekey(value);
    sr.SRWrapperEnrollmentAuthLogEntry(value);
    EXPECT_EQ(sr.GetUniquekey(), value);
    EXPECT_EQ(ReadMessages(sandbox.EnrollmentLog()),
              (Messages{(prefix + value).substr(0, 32767), value}))
        << length;
  }
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
