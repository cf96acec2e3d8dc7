// The values kept beside every QmtSR object, one set per process. They exist because the SDK's
// transport callback is a plain function that receives no wrapper object.
#ifndef NRD_WRAPPER_PROCESS_STATE_H
#define NRD_WRAPPER_PROCESS_STATE_H

#include <string>

#include "sdk/SRSdk.h"

namespace SRCppWrap::detail {

struct ProcessState {
  SRContext* context = nullptr;  // the current SDK context ("mVault object")
};

ProcessState& Process();

// The proxy values that MakeCURLRequest and GetOTPforAuthentication copy from their object and
// that the SDK's transport reads. They are kept per thread: a workflow runs on one thread, with
// the transport called inside it, so one object's request on another thread never changes the
// proxy of this one's exchange.
struct ProxyValues {
  std::string address;  // empty = no proxy
  long port = 0;
  std::string user;  // sent to the proxy only when the host opts in (QMT_PROXY_AUTH=1)
  std::string password;
};

ProxyValues WorkflowProxy();  // the calling thread's; empty on a thread that never set them
void SetWorkflowProxy(ProxyValues values);

// Makes ctx, made by `owner`, the current SDK context, and releases the one it replaces (called
// under the installation lock, so no call can still use that one). The current one is released
// when the library unloads.
void AdoptContext(SRContext* ctx, const void* owner = nullptr);
// The current SDK context when `owner` made it; NULL when another object made it since.
SRContext* CurrentContextMadeBy(const void* owner);

}  // namespace SRCppWrap::detail

#endif
