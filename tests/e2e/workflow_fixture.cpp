#include "workflow_fixture.h"

#include <chrono>
#include <vector>

namespace qmt_e2e {

namespace {

constexpr char kEntryMark[] = "] - [pid - ";

// The messages of every entry, in order. An entry starts at a line feed followed by "[" and
// carries its message after the process id's "] ".
std::vector<std::string> Messages(const std::string& log) {
  std::vector<std::string> messages;
  std::size_t entry = log.find(kEntryMark);
  while (entry != std::string::npos) {
    const std::size_t message = log.find("] ", entry + sizeof kEntryMark - 1) + 2;
    std::size_t next = log.find(kEntryMark, message);
    const std::size_t end = next == std::string::npos ? log.size() : log.rfind("\n[", next);
    messages.push_back(log.substr(message, end - message));
    entry = next;
  }
  return messages;
}

}  // namespace

void WorkflowTest::Configure(SRCppWrap::QmtSR& qmt, int enrollmentStatus) const {
  Configure(qmt, enrollmentStatus, server_.url(), server_.checkEnrolmentUrl());
}

void WorkflowTest::Configure(SRCppWrap::QmtSR& qmt, int enrollmentStatus,
                             const std::string& serviceUrl, const std::string& checkUrl) const {
  qmt.QmtSRInitialize(kUniqueKey, "C:\\APP\\qmt\\GEN\\seed.data",
                      "C:\\APP\\qmt\\GEN\\Enrollment_Status.txt", "9.1", serviceUrl, "mac-1",
                      "workstation-1", 10000, 0, "DEV-0001", "RRDI42", enrollmentStatus);
  qmt.InitializeEnrollmenturls(server_.massEnrolmentUrl(), checkUrl, "", "", "");
  qmt.InitQMTParameters("BIOS-77");
  qmt.InitializeProxyParameters("", "", "", 0, "");
}

std::string WorkflowTest::EnrolOrFail() {
  drive_.WritePin(kPin);
  SRCppWrap::QmtSR qmt;
  Configure(qmt, 0);
  bool reached = false;
  const int result =
      qmt.EnrollmentProcess(server_.massEnrolmentUrl(), kMessage, kUser, kPassword, reached);
  EXPECT_EQ(result, 1000) << server_.RequestLog();
  return LastLogged(EnrollmentLog(), "Login OTP: ");
}

std::string LastLogged(const std::string& log, const std::string& prefix) {
  std::string found;
  for (const std::string& message : Messages(log)) {
    if (message.rfind(prefix, 0) == 0) found = message.substr(prefix.size());
  }
  return found;
}

int CountLogged(const std::string& log, const std::string& message) {
  int count = 0;
  for (const std::string& m : Messages(log)) count += m.rfind(message, 0) == 0 ? 1 : 0;
  return count;
}

std::string LastEntry(const std::string& log) {
  const std::vector<std::string> messages = Messages(log);
  return messages.empty() ? "" : messages.back();
}

std::string Banner(const std::string& title) {
  const std::string rule(32, '=');
  return rule + " " + title + " " + rule;
}

std::filesystem::file_time_type ModificationTime(const std::filesystem::path& path) {
  return std::filesystem::last_write_time(path);
}

void AgeFile(const std::filesystem::path& path) {
  std::filesystem::last_write_time(path, ModificationTime(path) - std::chrono::hours(1));
}

}  // namespace qmt_e2e
