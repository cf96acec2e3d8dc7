// The transport echoes every reply body on standard output. A benchmark program sends that to
// /dev/null and keeps its report in memory for the original standard output at the end.
// (Opening that again by its /proc name would write at an offset of its own, which a caller's
// later output to the same file overwrites.)
#ifndef NRD_BENCH_DIVERTED_STDOUT_H
#define NRD_BENCH_DIVERTED_STDOUT_H

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>
#include <string>

class DivertedStdout {
 public:
  DivertedStdout() {
    std::fflush(stdout);
    original_ = ::dup(STDOUT_FILENO);
    const int devNull = ::open("/dev/null", O_WRONLY);
    ::dup2(devNull, STDOUT_FILENO);
    ::close(devNull);
  }
  DivertedStdout(const DivertedStdout&) = delete;
  DivertedStdout& operator=(const DivertedStdout&) = delete;
  // Writes the report to the original standard output.
  ~DivertedStdout() {
    const std::string text = report.str();
    for (size_t written = 0; written < text.size();) {
      const ssize_t n = ::write(original_, text.data() + written, text.size() - written);
      if (n <= 0) break;
      written += static_cast<size_t>(n);
    }
    ::close(original_);
  }

  std::ostringstream report;

 private:
  int original_ = -1;
};

#endif
