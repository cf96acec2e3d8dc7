// What `qmtsr --version` prints: one line for qmtsr and one for the library it runs.
#ifndef QMTSR_VERSION_TEXT_H
#define QMTSR_VERSION_TEXT_H

#include <string>

namespace qmtsr {

std::string VersionText();

}  // namespace qmtsr

#endif
