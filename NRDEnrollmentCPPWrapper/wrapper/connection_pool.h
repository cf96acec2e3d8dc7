// One process-wide pool of connections, TLS sessions and DNS answers for every transfer of the
// wrapper, so that the requests of one workflow to one host share one connection.
#ifndef NRD_WRAPPER_CONNECTION_POOL_H
#define NRD_WRAPPER_CONNECTION_POOL_H

#include <curl/curl.h>

namespace SRCppWrap::detail {

// curl_easy_init for one transfer of the pool. The first call makes the pool and takes one
// reference on libcurl's global state, held until the library unloads (so a transfer's own
// curl_global_init/curl_global_cleanup pair only counts). Every handle still gets its own
// options; a handle the pool cannot take works unpooled. NULL when no handle can be made.
CURL* PooledEasyInit();

// What the library's unload does with the pool (connection_pool_unload.cpp), kept apart
// because it differs by platform.
void WatchPoolSockets(CURL* curl);
void ReleasePoolAtUnload(CURLSH* share, bool holdsGlobalState);

}  // namespace SRCppWrap::detail

#endif
