// Wrapper test support: a private working directory laid out like the host's installation (so
// both log files land inside it), environment overrides, and a reader of log entries.
#ifndef QMT_TESTS_WRAPPER_LOG_SANDBOX_H
#define QMT_TESTS_WRAPPER_LOG_SANDBOX_H

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/log_entries.h"
#include "support/test_os.h"

namespace qmt_test {

namespace fs = std::filesystem;
using Messages = std::vector<std::string>;

// Runs the test in <tmp>/qmtsr-XXXXXX/a/b/c: the enrolment log "..\log\..." then lives in
// a/b/log and the authentication log "..\..\..\log\..." in log.
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
  const fs::path& Root() const { return root_; }
  fs::path EnrollmentLog() const { return root_ / "a" / "b" / "log" / "SREnrollmentlog.log"; }
  fs::path AuthenticationLog() const { return root_ / "log" / "SRAuthenticationlog.log"; }

 private:
  fs::path previous_, root_;
};

// Sets (or, with nullopt, unsets) an environment variable for the lifetime of the object.
struct ScopedEnv {
  ScopedEnv(const char* name, std::optional<std::string> value) : name(name) {
    if (const char* previous = std::getenv(name)) old = previous;
    value ? SetEnv(name, *value) : UnsetEnv(name);
  }
  ~ScopedEnv() { old ? SetEnv(name, *old) : UnsetEnv(name); }
  ScopedEnv(const ScopedEnv&) = delete;
  std::string name;
  std::optional<std::string> old;
};

// The messages of a log file's entries, each checked for its header (time stamp and this
// process's id); text before the first header fails the test.
inline Messages ReadMessages(const fs::path& path) {
  const std::string content = ReadFile(path), pid = std::to_string(ProcessId());
  Messages messages;
  if (!content.empty() && HeaderLength(content, 0, pid) == 0) ADD_FAILURE() << "no header: " << path;
  for (size_t at = 0; at < content.size();) {
    const size_t header = HeaderLength(content, at, pid);
    if (header != 0) messages.emplace_back();
    if (header == 0 && !messages.empty()) messages.back() += content[at];
    at += header != 0 ? header : 1;
  }
  return messages;
}

}  // namespace qmt_test

#endif
