// The wrapper log: one entry per step, appended to the enrolment log or, once the workstation is
// enrolled, to the authentication log.
#include <cstdarg>
#include <cstdio>
#include <exception>
#include <string>

#include "QmtSR.h"
#include "platform/Platform.h"

namespace SRCppWrap {

namespace {

constexpr const char* kEnrollmentLogPath = "..\\log\\SREnrollmentlog.log";
constexpr const char* kAuthenticationLogPath = "..\\..\\..\\log\\SRAuthenticationlog.log";
constexpr const char* kBannerRule = "================================";  // 32 characters

}  // namespace

void QmtSR::SRWrapperEnrollmentAuthLogEntry(std::string message) {
  // A log entry that cannot be written is lost silently: the log never stops a workflow.
  try {
    char stamp[80];
    // "%X" as the C locale gives it, spelled out: strftime's %X follows the process-wide locale,
    // which any other component of the host may change (a 12-hour clock, a "HH' h 'mm" user
    // format), and log readers parse HH:MM:SS.
    std::size_t stampLength =
        platform::FormatLocalTime(stamp, sizeof stamp, "\n[%Y-%m-%d.%H:%M:%S] - ");

    std::string header(stamp, stampLength);
    header += "[pid - ";
    header += std::to_string(platform::CurrentProcessId());
    header += "] ";
    std::string& entry = message.insert(0, header);

    const char* path = enrollmentStatus_ == 1 ? kAuthenticationLogPath : kEnrollmentLogPath;
    // One open, one write of the whole entry and one close: entries of processes sharing the
    // file interleave whole.
    platform::AppendToFile(path, entry);
  } catch (const std::exception&) {
  }
}

void QmtSR::LogLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  // vsnprintf never writes past the buffer: a longer line is cut to its first 32767 characters.
  int length = std::vsnprintf(logBuffer_, sizeof logBuffer_, format, args);
  va_end(args);
  if (length < 0) logBuffer_[0] = '\0';  // a format error still leaves a stamped, empty entry
  SRWrapperEnrollmentAuthLogEntry(logBuffer_);
}

void QmtSR::LogBanner(const char* title) {
  LogLine("%s %s %s", kBannerRule, title, kBannerRule);
}

}  // namespace SRCppWrap
