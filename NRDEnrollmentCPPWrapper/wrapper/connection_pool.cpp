#include "wrapper/connection_pool.h"

#include <mutex>

namespace SRCppWrap::detail {

namespace {

class ConnectionPool {
 public:
  ConnectionPool() {
    holdsGlobalState_ = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;
    share_ = holdsGlobalState_ ? curl_share_init() : nullptr;
    if (share_ == nullptr) return;
    // The host may call from more than one thread (one at a time, but the pool outlives calls).
    curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, Lock);
    curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, Unlock);
    curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
    for (const curl_lock_data data :
         {CURL_LOCK_DATA_CONNECT, CURL_LOCK_DATA_SSL_SESSION, CURL_LOCK_DATA_DNS}) {
      curl_share_setopt(share_, CURLSHOPT_SHARE, data);
    }
  }
  ~ConnectionPool() { ReleasePoolAtUnload(share_, holdsGlobalState_); }
  ConnectionPool(const ConnectionPool&) = delete;
  ConnectionPool& operator=(const ConnectionPool&) = delete;

  CURLSH* share() const { return share_; }

 private:
  static void Lock(CURL* /*curl*/, curl_lock_data data, curl_lock_access /*access*/, void* user) {
    static_cast<ConnectionPool*>(user)->locks_[data].lock();
  }
  static void Unlock(CURL* /*curl*/, curl_lock_data data, void* user) {
    static_cast<ConnectionPool*>(user)->locks_[data].unlock();
  }

  CURLSH* share_ = nullptr;
  bool holdsGlobalState_ = false;
  std::mutex locks_[CURL_LOCK_DATA_LAST];
};

}  // namespace

CURL* PooledEasyInit() {
  // Made by the first transfer, destroyed with the library's static objects at unload.
  static ConnectionPool pool;
  CURL* curl = curl_easy_init();
  if (curl != nullptr && pool.share() != nullptr) {
    curl_easy_setopt(curl, CURLOPT_SHARE, pool.share());
    WatchPoolSockets(curl);
  }
  return curl;
}

}  // namespace SRCppWrap::detail
