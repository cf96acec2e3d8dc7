// Keeps the library's transfer diagnostics (every reply chunk goes to standard output) off
// qmtsr's own standard output, which carries only the OTP.
#ifndef QMTSR_CLI_LIBRARY_STDOUT_H
#define QMTSR_CLI_LIBRARY_STDOUT_H

namespace qmtsr {

// While alive, standard output goes to standard error (verbose) or nowhere.
class LibraryStdout {
 public:
  explicit LibraryStdout(bool verbose);
  ~LibraryStdout();
  LibraryStdout(const LibraryStdout&) = delete;
  LibraryStdout& operator=(const LibraryStdout&) = delete;

 private:
  int saved_ = -1;
};

}  // namespace qmtsr

#endif
