// The wrapper log: the entry layout and the formatter's buffer (the file the enrolment status
// picks shows in every golden transcript).
#include <clocale>
#include <ctime>
#include <string>

#include "QmtSR.h"
#include "wrapper/log_sandbox.h"

namespace {

using namespace qmt_test;
using SRCppWrap::QmtSR;

std::string LocalStampNow() {
  std::tm local = LocalTime(std::time(nullptr));
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
  sr.SRWrapperEnrollmentAuthLogEntry("two\nlines");
  const std::string content = ReadFile(sandbox.EnrollmentLog());
  const std::string stamp = content.substr(2, 19), pid = std::to_string(ProcessId());
  EXPECT_TRUE(stamp == before || stamp == after) << stamp << " not " << before << " or " << after;
  // The file starts with an empty line and its last entry has no line feed after it.
  const std::string first = "\n[" + stamp + "] - [pid - " + pid + "] OTP server index: 3";
  EXPECT_EQ(content.substr(0, first.size()), first);
  EXPECT_EQ(content.substr(content.size() - 11), "] two\nlines");
}

// Only formatted lines are cut to the 32767 characters of the buffer, and '%' in values is
// never formatted; the value stays whole, and so does a message handed in directly.
TEST(WrapperLog, FormattedLinesAreCutToTheBuffer) {
  const std::string prefix = "Uniquekey: ";
  for (size_t length : {32767 - prefix.size(), 32768 - prefix.size(), size_t{100000}}) {
    LogSandbox sandbox;
    QmtSR sr;
    const std::string value = "%s%n" + std::string(length - 4, 'k');
    sr.SetUniquekey(value);
    sr.SRWrapperEnrollmentAuthLogEntry(value);
    EXPECT_EQ(sr.GetUniquekey(), value);
    EXPECT_EQ(ReadMessages(sandbox.EnrollmentLog()),
              (Messages{(prefix + value).substr(0, 32767), value}))
        << length;
  }
}

// Another component of the host may call setlocale(LC_ALL, ""): the stamp stays HH:MM:SS.
TEST(WrapperLog, TheTimeStampDoesNotFollowTheProcessLocale) {
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  if (!std::setlocale(LC_ALL, "English_United States.1252")) std::setlocale(LC_ALL, "en_US.UTF-8");
  LogSandbox sandbox;
  QmtSR().SRWrapperEnrollmentAuthLogEntry("");
  std::setlocale(LC_ALL, previous.c_str());  // a 12-hour clock would add " AM" or " PM"
  EXPECT_EQ(ReadFile(sandbox.EnrollmentLog()).find("] - "), 21u);
}

}  // namespace
