// The SDK's HTTP transport, as the wrapper hands it to SRInit.
#ifndef NRD_WRAPPER_HTTP_TRANSPORT_H
#define NRD_WRAPPER_HTTP_TRANSPORT_H

#include <cstdint>

namespace SRCppWrap::detail {

// Fetches `url` with a GET (through the process-wide proxy, when one is set) and hands the
// body - whatever the outcome, even an empty one - to the current SDK context with
// SRWsResponseSet. The timeout and user pointer are ignored. Always returns 0: the SDK judges
// the exchange by the body it was given.
extern "C" int32_t SdkTransport(const char* url, int32_t timeout, void* user);

}  // namespace SRCppWrap::detail

#endif
