#include "workflow_fixture.h"

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cstdio>

#include "support/log_entries.h"
#include "support/test_os.h"

namespace qmt_e2e {

void WorkflowTest::Configure(SRCppWrap::QmtSR& qmt, int enrollmentStatus) const {
  qmt.QmtSRInitialize(kUniqueKey, seedPath_, "C:\\APP\\qmt\\GEN\\Enrollment_Status.txt", "9.1",
                      server_.url(), "mac-1", "workstation-1", 10000, 0, "DEV-0001", "RRDI42",
                      enrollmentStatus);
  qmt.InitializeEnrollmenturls(server_.massEnrolmentUrl(), server_.checkEnrolmentUrl(), "", "",
                               "");
  qmt.InitQMTParameters("BIOS-77");
  qmt.InitializeProxyParameters("", "", "", 0, "");
}

std::string WorkflowTest::EnrolOrFail() {
  drive_.WritePin(kPin);
  SRCppWrap::QmtSR qmt;
  Configure(qmt, 0);
  bool reached = false;
  int result = 0;
  {
    const QuietStdout quiet;
    result = qmt.EnrollmentProcess(server_.massEnrolmentUrl(), kMessage, kUser, kPassword, reached);
  }
  EXPECT_EQ(result, 1000) << server_.RequestLog();
  return LastLogged(EnrollmentLog(), "Login OTP: ");
}

#ifdef _WIN32
constexpr char kNullDevice[] = "NUL";
#else
constexpr char kNullDevice[] = "/dev/null";
#endif

QuietStdout::QuietStdout() : saved(::dup(::fileno(stdout))) {
  std::fflush(stdout);
  const int devNull = ::open(kNullDevice, O_WRONLY);
  ::dup2(devNull, ::fileno(stdout));
  ::close(devNull);
}

QuietStdout::~QuietStdout() {
  std::fflush(stdout);
  ::dup2(saved, ::fileno(stdout));
  ::close(saved);
}

std::string LastLogged(const std::string& log, const std::string& prefix) {
  const std::string mark = "] " + prefix;
  std::string found;
  for (size_t at = log.find(mark); at != std::string::npos; at = log.find(mark, at + 1)) {
    const size_t from = at + mark.size();
    const size_t end = log.find("\n[", from);
    found = log.substr(from, end == std::string::npos ? std::string::npos : end - from);
  }
  return found;
}

int CountLogged(const std::string& log, const std::string& message) {
  const std::string pid = std::to_string(qmt_test::ProcessId());
  int count = 0;
  for (size_t at = log.find("\n["); at != std::string::npos; at = log.find("\n[", at + 1)) {
    const size_t header = qmt_test::HeaderLength(log, at, pid);
    count += header != 0 && log.compare(at + header, message.size(), message) == 0 ? 1 : 0;
  }
  return count;
}

std::string Normalised(const std::string& log, const std::string& serverUrl) {
  auto replaceAll = [](std::string text, const std::string& value, const std::string& name) {
    if (value.empty()) return text;
    for (size_t at = text.find(value); at != std::string::npos; at = text.find(value, at)) {
      text.replace(at, value.size(), name);
      at += name.size();
    }
    return text;
  };
  // The text after the first `key`, up to any of `ends`; "" when the key is absent.
  auto after = [](const std::string& text, const std::string& key, const char* ends) {
    const size_t at = text.find(key);
    if (at == std::string::npos) return std::string();
    const size_t from = at + key.size();
    return text.substr(from, text.find_first_of(ends, from) - from);
  };
  const std::string pid = std::to_string(qmt_test::ProcessId());
  std::string text;
  for (size_t at = 0; at < log.size();) {
    const size_t header = qmt_test::HeaderLength(log, at, pid);
    text += header != 0 ? "\n[T] - [pid - P] " : log.substr(at, 1);
    at += header != 0 ? header : 1;
  }
  text = replaceAll(text, serverUrl, "<server>");
  for (size_t at = text.find("0.2.7&&"); at != std::string::npos; at = text.find("0.2.7&&", at)) {
    text.replace(at, text.find_first_of(" \n\"", at) - at, "<seed>");
  }
  // Each value is named where it first appears and replaced wherever it appears.
  text = replaceAll(text, after(text, "ment_code\":\"", "\""), "<code>");
  text = replaceAll(text, after(text, "Login OTP: ", "\n"), "<login>");
  return replaceAll(text, after(text, "OTP value: ", "\n"), "<otp>");
}

}  // namespace qmt_e2e
