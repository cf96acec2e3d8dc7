// Test support for the wrapper: a private working directory laid out like the host's
// installation (so both log files land inside it), environment overrides, and a reader that
// splits a log file into the messages of its entries.
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

#include "support/log_entries.h"
#include "support/test_os.h"

namespace qmt_test {

namespace fs = std::filesystem;

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs the test inside <tmp>/qmtsr-XXXXXX/a/b/c: the enrolment log "..\log\..." then lives
// in a/b/log and the authentication log "..\..\..\log\..." in log.
class LogSandbox {
 public:
  LogSandbox() : previous_(fs::current_path()), root_(MakeTempFolder("qmtsr-")) {
    for (const char* folder : {"log", "a/b/log", "a/b/c"}) fs::create_directories(root_ / folder);
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

// The messages of a log file's entries, each entry checked for its header (time stamp and this
// process's id). Text before the first header fails the test.
inline std::vector<std::string> ReadMessages(const fs::path& path) {
  const std::string content = ReadFile(path);
  const std::string pid = std::to_string(ProcessId());
  std::vector<std::string> messages;
  if (!content.empty() && HeaderLength(content, 0, pid) == 0)
    ADD_FAILURE() << "no header: " << path;
  for (size_t at = 0; at < content.size();) {
    const size_t header = HeaderLength(content, at, pid);
    if (header != 0) {
      messages.emplace_back();
      at += header;
    } else {
      if (!messages.empty()) messages.back() += content[at];
      ++at;
    }
  }
  return messages;
}

inline std::string Banner(const std::string& title) {
  const std::string rule(32, '=');
  return rule + " " + title + " " + rule;
}

}  // namespace qmt_test

#endif
