// The two commands of qmtsr, each driving one workflow of the exported class.
#ifndef QMTSR_CLI_COMMANDS_H
#define QMTSR_CLI_COMMANDS_H

#include "options.h"

namespace qmtsr {

// Each returns the process exit status: 0 success, 1 the workflow failed.
int RunEnroll(const Options& options);
int RunOtp(const Options& options);

}  // namespace qmtsr

#endif
