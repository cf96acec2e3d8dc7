// The process's pool of connections, TLS sessions and DNS answers for every transfer of the
// wrapper, so that the requests of one workflow to one host share one connection.
//
// The pool holds connection caches, each lent to one transfer at a time: a lone thread always
// gets the cache it used last (and its open connection), two threads at the same moment get two
// caches, so no connection ever serves two transfers at once. Connections stay open only while
// a workflow (or a host's building-block span) runs: its end closes the idle ones, keeping the
// TLS sessions and DNS answers for the next workflow. A process made by fork starts
// with no cache: what it inherited belongs to its parent's connections and is never used, nor
// closed in a way that reaches the peer.
#ifndef NRD_WRAPPER_CONNECTION_POOL_H
#define NRD_WRAPPER_CONNECTION_POOL_H

#include <curl/curl.h>

#include <vector>

namespace SRCppWrap::detail {

struct Cache;

// One transfer's easy handle on a cache of the pool, given back when it ends. The first use
// makes the pool and takes one reference on libcurl's global state, held until the library
// unloads (so a transfer's own curl_global_init/curl_global_cleanup pair only counts). A
// transfer the pool cannot serve works unpooled; handle() is NULL when no handle can be made.
class PooledTransfer {
 public:
  PooledTransfer();
  ~PooledTransfer();
  PooledTransfer(const PooledTransfer&) = delete;
  PooledTransfer& operator=(const PooledTransfer&) = delete;

  CURL* handle() const { return curl_; }

 private:
  CURL* curl_ = nullptr;
  Cache* cache_ = nullptr;
};

// Closes every connection no transfer is using; TLS sessions and DNS answers stay. Nothing
// before the first transfer or after the pool's release.
void CloseIdleConnections();

// What the platform does with the pool's sockets and caches (connection_pool_unload.cpp).
void WatchPoolSockets(CURL* curl);
// In a process made by fork: closes the inherited sockets of the pool without a word to the
// peer (a TLS close would reach the parent's stream).
void DropInheritedSockets();
void ReleasePoolAtUnload(const std::vector<CURL*>& handles, const std::vector<CURLSH*>& caches,
                         bool holdsGlobalState);

}  // namespace SRCppWrap::detail

#endif
