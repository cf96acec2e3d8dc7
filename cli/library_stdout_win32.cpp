// Standard output redirection around library calls, with the Windows C runtime's descriptors.
#ifdef _WIN32

#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "library_stdout.h"

namespace qmtsr {

LibraryStdout::LibraryStdout(bool verbose) {
  std::fflush(stdout);
  saved_ = ::_dup(_fileno(stdout));
  if (saved_ < 0) return;
  const int target = verbose ? ::_dup(_fileno(stderr)) : ::_open("NUL", _O_WRONLY);
  if (target >= 0) {
    ::_dup2(target, _fileno(stdout));
    ::_close(target);
  }
}

LibraryStdout::~LibraryStdout() {
  if (saved_ < 0) return;
  std::fflush(stdout);
  ::_dup2(saved_, _fileno(stdout));
  ::_close(saved_);
}

}  // namespace qmtsr

#endif  // _WIN32
