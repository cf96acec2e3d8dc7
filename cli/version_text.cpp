// POSIX: qmtsr and the library are built from one tree, so both carry its version.
#include "version_text.h"

namespace qmtsr {

std::string VersionText() {
  return "qmtsr " QMTSR_VERSION "\nNRDEnrollmentCPPWrapper " QMTSR_VERSION "\n";
}

}  // namespace qmtsr
