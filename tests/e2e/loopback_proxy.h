// A tiny HTTP proxy on 127.0.0.1 for the tests: it records the request line of every
// connection, tunnels CONNECT requests and forwards absolute-form requests to their target.
#ifndef QMT_TESTS_E2E_LOOPBACK_PROXY_H
#define QMT_TESTS_E2E_LOOPBACK_PROXY_H

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qmt_e2e {

class LoopbackProxy {
 public:
  LoopbackProxy();   // listens on a free port and serves connections one at a time
  ~LoopbackProxy();  // stops within a fraction of a second
  LoopbackProxy(const LoopbackProxy&) = delete;
  LoopbackProxy& operator=(const LoopbackProxy&) = delete;

  int port() const { return port_; }
  std::vector<std::string> requestLines() const;

 private:
  void Serve();
  void Handle(int client);

  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> requestLines_;
  std::thread thread_;
};

}  // namespace qmt_e2e

#endif
