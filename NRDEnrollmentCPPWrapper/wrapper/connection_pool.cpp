#include "wrapper/connection_pool.h"

#ifndef _WIN32
#include <unistd.h>
#endif

#include <atomic>
#include <mutex>
#include <vector>

namespace SRCppWrap::detail {

// A cache and the locks libcurl takes on it. The share keeps TLS sessions and DNS answers for
// the process's life; the open connections live in the cache of one easy handle that every
// transfer on this cache reuses, and go with it when a span ends.
struct Cache {
  CURLSH* share = nullptr;
  CURL* connections = nullptr;  // NULL once closed: the next transfer makes a new one
  std::mutex locks[CURL_LOCK_DATA_LAST];
};

namespace {

long ThisProcess() {
#ifdef _WIN32
  return 0;  // no fork: one process for the pool's whole life
#else
  return static_cast<long>(::getpid());
#endif
}

class ConnectionPool;
// The pool while it exists: a host object destroyed after it (at exit) finds nothing to close.
std::atomic<ConnectionPool*> gLivePool{nullptr};

class ConnectionPool {
 public:
  ConnectionPool() : holdsGlobalState_(curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK) {
    gLivePool = this;
  }
  ~ConnectionPool() {
    gLivePool = nullptr;
    // Caches still lent (a host thread inside a transfer at exit) are left alone, and libcurl
    // stays in use for them.
    std::vector<CURL*> handles;
    std::vector<CURLSH*> shares;
    for (const Cache* cache : idle_) {
      if (cache->connections != nullptr) handles.push_back(cache->connections);
      shares.push_back(cache->share);
    }
    ReleasePoolAtUnload(handles, shares, holdsGlobalState_ && idle_.size() == made_);
#ifndef _WIN32
    for (const Cache* cache : idle_) delete cache;  // released with their shares
#endif
  }
  ConnectionPool(const ConnectionPool&) = delete;
  ConnectionPool& operator=(const ConnectionPool&) = delete;

  // The cache used last, or a new one; NULL when none can be made.
  Cache* Lend() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (owner_ != ThisProcess()) ForgetInherited();
    if (!idle_.empty()) {
      Cache* cache = idle_.back();
      idle_.pop_back();
      return cache;
    }
    CURLSH* share = holdsGlobalState_ ? curl_share_init() : nullptr;
    if (share == nullptr) return nullptr;
    auto* cache = new Cache;
    cache->share = share;
    curl_share_setopt(share, CURLSHOPT_LOCKFUNC, LockData);
    curl_share_setopt(share, CURLSHOPT_UNLOCKFUNC, UnlockData);
    curl_share_setopt(share, CURLSHOPT_USERDATA, cache);
    for (const curl_lock_data data : {CURL_LOCK_DATA_SSL_SESSION, CURL_LOCK_DATA_DNS}) {
      curl_share_setopt(share, CURLSHOPT_SHARE, data);
    }
    ++made_;
    return cache;
  }

  void GiveBack(Cache* cache) {
    const std::lock_guard<std::mutex> lock(mutex_);
    // A cache lent before a fork is the parent's.
    if (owner_ == ThisProcess()) idle_.push_back(cache);
  }

  // Closes the connections of the caches no transfer is using (a TLS close included), under the
  // pool's lock so that no other thread meets those caches meanwhile.
  void CloseIdle() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (owner_ != ThisProcess()) ForgetInherited();
    for (Cache* cache : idle_) {
      if (cache->connections != nullptr) curl_easy_cleanup(cache->connections);
      cache->connections = nullptr;
    }
  }

 private:
  // Every cache of the parent is dropped as it is, never freed: cleaning one up would close its
  // connections with a TLS close on streams the parent still uses.
  void ForgetInherited() {
    DropInheritedSockets();
    idle_.clear();
    made_ = 0;
    owner_ = ThisProcess();
  }

  // One transfer uses a cache at a time; libcurl asks all the same.
  static void LockData(CURL* /*curl*/, curl_lock_data data, curl_lock_access /*access*/,
                       void* user) {
    static_cast<Cache*>(user)->locks[data].lock();
  }
  static void UnlockData(CURL* /*curl*/, curl_lock_data data, void* user) {
    static_cast<Cache*>(user)->locks[data].unlock();
  }

  const bool holdsGlobalState_;
  std::mutex mutex_;
  long owner_ = ThisProcess();
  std::vector<Cache*> idle_;  // the one used last at the back
  std::size_t made_ = 0;      // caches of this process, lent or idle
};

ConnectionPool& Pool() {
  // Made by the first transfer, destroyed with the library's static objects at unload.
  static ConnectionPool pool;
  return pool;
}

}  // namespace

PooledTransfer::PooledTransfer() {
  cache_ = Pool().Lend();
  if (cache_ == nullptr) {
    curl_ = curl_easy_init();  // unpooled
    return;
  }
  if (cache_->connections == nullptr) cache_->connections = curl_easy_init();
  curl_ = cache_->connections;
  if (curl_ == nullptr) return;
  curl_easy_setopt(curl_, CURLOPT_SHARE, cache_->share);
  WatchPoolSockets(curl_);
}

PooledTransfer::~PooledTransfer() {
  if (cache_ == nullptr) {
    if (curl_ != nullptr) curl_easy_cleanup(curl_);
    return;
  }
  // The transfer's options go (none points to its texts any more); the handle's connections
  // and its share stay for the next transfer on this cache.
  if (curl_ != nullptr) curl_easy_reset(curl_);
  Pool().GiveBack(cache_);
}

void CloseIdleConnections() {
  if (ConnectionPool* pool = gLivePool) pool->CloseIdle();
}

}  // namespace SRCppWrap::detail
