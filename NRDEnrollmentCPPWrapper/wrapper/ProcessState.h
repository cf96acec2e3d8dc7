// The values kept beside every QmtSR object, one set per process. They exist because the SDK's
// transport callback is a plain function that receives no wrapper object.
#ifndef NRD_WRAPPER_PROCESS_STATE_H
#define NRD_WRAPPER_PROCESS_STATE_H

#include <string>

#include "sdk/SRSdk.h"

namespace SRCppWrap::detail {

struct ProcessState {
  SRContext* context = nullptr;  // the current SDK context ("mVault object")
  std::string proxyAddress;      // empty = no proxy
  long proxyPort = 0;
  std::string proxyUser;  // sent to the proxy only when the host opts in (QMT_PROXY_AUTH=1)
  std::string proxyPassword;
};

ProcessState& Process();

// Makes ctx the current SDK context. Contexts it replaces stay alive while the library is
// loaded (the host may still hold them) and are released when the library unloads.
void AdoptContext(SRContext* ctx);

}  // namespace SRCppWrap::detail

#endif
