// Secrets read from files (or standard input) instead of the command line, where every local
// user could read them in the process list.
#ifndef QMTSR_CLI_SECRET_FILES_H
#define QMTSR_CLI_SECRET_FILES_H

#include <string>

namespace qmtsr {

// Reads the whole file ("-" is standard input) into `text`, without one final line break.
// Returns false with `error` set when it cannot be read.
bool ReadSecretFile(const std::string& path, std::string& text, std::string& error);

}  // namespace qmtsr

#endif
