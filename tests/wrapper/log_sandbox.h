// Test support for the wrapper: a private working directory laid out like the host's
// installation (so both log files land inside it), environment overrides, and a reader that
// splits a log file into its entries.
#ifndef QMT_TESTS_WRAPPER_LOG_SANDBOX_H
#define QMT_TESTS_WRAPPER_LOG_SANDBOX_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "support/test_os.h"

namespace qmt_test {

namespace fs = std::filesystem;

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs the test inside <tmp>/qmtsr-XXXXXX/a/b/c, with <tmp>/log and <tmp>/a/b/log created: the
// enrolment log "..\log\..." then lives in a/b/log and the authentication log
// "..\..\..\log\..." in log.
class LogSandbox {
 public:
  LogSandbox() : previous_(fs::current_path()), root_(MakeTempFolder("qmtsr-")) {
    fs::create_directories(root_ / "log");
    fs::create_directories(root_ / "a" / "b" / "log");
    fs::create_directories(root_ / "a" / "b" / "c");
    fs::current_path(root_ / "a" / "b" / "c");
  }
  ~LogSandbox() {
    fs::current_path(previous_);
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  LogSandbox(const LogSandbox&) = delete;
  LogSandbox& operator=(const LogSandbox&) = delete;

  const fs::path& Root() const { return root_; }
  fs::path EnrollmentLog() const { return root_ / "a" / "b" / "log" / "SREnrollmentlog.log"; }
  fs::path AuthenticationLog() const { return root_ / "log" / "SRAuthenticationlog.log"; }

 private:
  fs::path previous_;
  fs::path root_;
};

// Sets (or, with nullopt, unsets) an environment variable for the lifetime of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    Apply(value);
  }
  ~ScopedEnv() { Apply(old_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  void Apply(const std::optional<std::string>& value) {
    if (value) {
      SetEnv(name_, *value);
    } else {
      UnsetEnv(name_);
    }
  }
  std::string name_;
  std::optional<std::string> old_;
};

struct LogEntry {
  std::string timestamp;  // between the brackets, e.g. 2024-05-06.14:03:07
  std::string pid;
  std::string message;
};

// "YYYY-MM-DD.hh:mm:ss"
inline bool IsTimestamp(const std::string& text) {
  static const char kShape[] = "dddd-dd-dd.dd:dd:dd";
  if (text.size() != sizeof kShape - 1) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    bool digit = text[i] >= '0' && text[i] <= '9';
    if (kShape[i] == 'd' ? !digit : text[i] != kShape[i]) return false;
  }
  return true;
}

// Reads the entry header "\n[<timestamp>] - [pid - <digits>] " at `pos`; returns its length, or 0
// when there is none.
inline std::size_t ParseHeader(const std::string& content, std::size_t pos, LogEntry& entry) {
  const std::string middle = "] - [pid - ";
  if (content.compare(pos, 2, "\n[") != 0) return 0;
  std::size_t at = pos + 2;
  entry.timestamp = content.substr(at, 19);
  if (!IsTimestamp(entry.timestamp) || content.compare(at + 19, middle.size(), middle) != 0) {
    return 0;
  }
  at += 19 + middle.size();
  std::size_t digits = content.find_first_not_of("0123456789", at);
  if (digits == at || digits == std::string::npos || content.compare(digits, 2, "] ") != 0) {
    return 0;
  }
  entry.pid = content.substr(at, digits - at);
  return digits + 2 - pos;
}

// Splits a log file into entries, checking each entry's header and that it carries this
// process's id. Messages must not contain what looks like an entry header.
inline std::vector<LogEntry> ReadLog(const fs::path& path) {
  const std::string content = ReadFile(path);
  std::vector<LogEntry> entries;
  LogEntry entry;
  std::size_t headerLength = content.empty() ? 0 : ParseHeader(content, 0, entry);
  if (!content.empty() && headerLength == 0) {
    ADD_FAILURE() << "log does not start with an entry header: " << path;
  }
  std::size_t pos = 0;
  while (headerLength != 0) {
    EXPECT_EQ(entry.pid, std::to_string(ProcessId()));
    std::size_t from = pos + headerLength;
    LogEntry next;
    std::size_t nextLength = 0;
    std::size_t to = from;
    for (; to < content.size(); ++to) {
      if ((nextLength = ParseHeader(content, to, next)) != 0) break;
    }
    entry.message = content.substr(from, to - from);
    entries.push_back(std::move(entry));
    entry = std::move(next);
    pos = to;
    headerLength = nextLength;
  }
  return entries;
}

inline std::vector<std::string> ReadMessages(const fs::path& path) {
  std::vector<std::string> messages;
  for (LogEntry& entry : ReadLog(path)) messages.push_back(std::move(entry.message));
  return messages;
}

inline std::string Banner(const std::string& title) {
  return std::string(32, '=') + " " + title + " " + std::string(32, '=');
}

}  // namespace qmt_test

#endif
