// A loopback HTTP/1.1 server at the socket level (POSIX) for what a library server cannot do:
// read a request and then close without answering, and tell which connection carried which
// request. Every request is answered with its own path as the body, unless the script drops it.
#ifndef QMT_TESTS_E2E_SCRIPTED_SERVER_H
#define QMT_TESTS_E2E_SCRIPTED_SERVER_H

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qmt_e2e {

class ScriptedServer {
 public:
  struct Request {
    int connection;    // 1 for the first connection accepted
    std::string line;  // "PUT /path"
  };
  // Called for the n-th request (1-based) before it is answered: false closes its connection
  // instead. Runs on the server's threads.
  using Script = std::function<bool(int n, const Request& request)>;

  explicit ScriptedServer(Script script = nullptr);
  ~ScriptedServer();  // stops within a few hundred milliseconds; also stops by itself after 60 s
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  std::vector<Request> requests() const;

 private:
  void Accept();
  void Serve(int sock, int connection);

  Script script_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<Request> requests_;
  std::vector<std::thread> threads_;
  std::thread acceptor_;
};

}  // namespace qmt_e2e

#endif
