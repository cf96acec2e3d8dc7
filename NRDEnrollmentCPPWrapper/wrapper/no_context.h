// What the wrapper reports when an SDK call is due but SRInit gave no context.
#ifndef NRD_WRAPPER_NO_CONTEXT_H
#define NRD_WRAPPER_NO_CONTEXT_H

#include "sdk/SRSdk.h"

namespace SRCppWrap::detail {

// The SDK's own code for a call made in the wrong state.
inline constexpr int kNoContextResult = SR_ERR_FORBIDDEN;

// What the wrapper reports for a PIN it refuses to send (a damaged PIN file): the SDK's code
// for a refused PIN.
inline constexpr int kUnsendablePinResult = SR_ERR_PINREFUSED;

}  // namespace SRCppWrap::detail

#endif
