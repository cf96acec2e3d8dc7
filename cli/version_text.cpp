// POSIX: qmtsr and the library are built from one tree, so both carry its version; libcurl and
// OpenSSL are the versions the library was built against (the system's shared libraries).
#include "version_text.h"

namespace qmtsr {

std::string VersionText() {
  return "qmtsr " QMTSR_VERSION "\nNRDEnrollmentCPPWrapper " QMTSR_VERSION
         "\nlibcurl " QMTSR_LIBCURL_VERSION "\nOpenSSL libcrypto " QMTSR_OPENSSL_VERSION "\n";
}

}  // namespace qmtsr
