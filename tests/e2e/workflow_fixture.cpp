#include "workflow_fixture.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include <regex>
#include <utility>

namespace qmt_e2e {

void WorkflowTest::Configure(SRCppWrap::QmtSR& qmt, int enrollmentStatus) const {
  Configure(qmt, enrollmentStatus, server_.url(), server_.checkEnrolmentUrl());
}

void WorkflowTest::Configure(SRCppWrap::QmtSR& qmt, int enrollmentStatus,
                             const std::string& serviceUrl, const std::string& checkUrl) const {
  qmt.QmtSRInitialize(kUniqueKey, seedPath_, "C:\\APP\\qmt\\GEN\\Enrollment_Status.txt", "9.1",
                      serviceUrl, "mac-1", "workstation-1", 10000, 0, "DEV-0001", "RRDI42",
                      enrollmentStatus);
  qmt.InitializeEnrollmenturls(server_.massEnrolmentUrl(), checkUrl, "", "", "");
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
    QuietStdout quiet;
    result = qmt.EnrollmentProcess(server_.massEnrolmentUrl(), kMessage, kUser, kPassword, reached);
  }
  EXPECT_EQ(result, 1000) << server_.RequestLog();
  return LastLogged(EnrollmentLog(), "Login OTP: ");
}

QuietStdout::QuietStdout() : saved_(::dup(STDOUT_FILENO)) {
  std::fflush(stdout);
  const int devNull = ::open("/dev/null", O_WRONLY);
  ::dup2(devNull, STDOUT_FILENO);
  ::close(devNull);
}

QuietStdout::~QuietStdout() {
  std::fflush(stdout);
  ::dup2(saved_, STDOUT_FILENO);
  ::close(saved_);
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

std::string Normalised(const std::string& log, const std::string& serverUrl) {
  auto replaceAll = [](std::string text, const std::string& value, const std::string& name) {
    if (value.empty()) return text;
    for (size_t at = text.find(value); at != std::string::npos; at = text.find(value, at)) {
      text.replace(at, value.size(), name);
      at += name.size();
    }
    return text;
  };
  const std::string pid = std::to_string(::getpid());
  std::string text = std::regex_replace(
      log,
      std::regex("\n\\[[0-9]{4}-[0-9]{2}-[0-9]{2}\\.[0-9]{2}:[0-9]{2}:[0-9]{2}\\] - \\[pid - " +
                 pid + "\\] "),
      "\n[T] - [pid - P] ");
  text = replaceAll(text, serverUrl, "<server>");
  text = std::regex_replace(text, std::regex("0\\.2\\.7&&[^\\s\"]*"), "<seed>");
  // Each value is named where it first appears and replaced wherever it appears.
  const std::pair<const char*, const char*> values[] = {
      {"\"enrol+ment_code\":\"([^\"]+)\"", "<code>"},
      {"Login OTP: ([^\n]+)", "<login>"},
      {"OTP value: ([^\n]+)", "<otp>"},
  };
  for (const auto& [pattern, name] : values) {
    std::smatch match;
    if (std::regex_search(text, match, std::regex(pattern)))
      text = replaceAll(text, match[1], name);
  }
  return text;
}

}  // namespace qmt_e2e
