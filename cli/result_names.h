// Plain-words names of the results the two workflows return.
#ifndef QMTSR_CLI_RESULT_NAMES_H
#define QMTSR_CLI_RESULT_NAMES_H

#include <string>

namespace qmtsr {

// A result code of the authentication SDK (login OTP, activation).
std::string SdkResultName(int result);

// A result of the enrolment: 1000, an HTTP status of the back end, 0 for a back end that
// could not be reached, or an SDK result of the activation.
std::string EnrollmentResultName(int result);

}  // namespace qmtsr

#endif
