#include "library_stdout.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace qmtsr {

LibraryStdout::LibraryStdout(bool verbose) {
  std::fflush(stdout);
  saved_ = ::dup(STDOUT_FILENO);
  if (saved_ < 0) return;
  const int target = verbose ? ::dup(STDERR_FILENO) : ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (target >= 0) {
    ::dup2(target, STDOUT_FILENO);
    ::close(target);
  }
}

LibraryStdout::~LibraryStdout() {
  if (saved_ < 0) return;
  std::fflush(stdout);
  ::dup2(saved_, STDOUT_FILENO);
  ::close(saved_);
}

}  // namespace qmtsr
