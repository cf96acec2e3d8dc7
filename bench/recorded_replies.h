// A loopback HTTP server that answers with recorded bytes: each reply is a whole HTTP response
// (status line, headers, body) captured once from the dev server, chosen by a key that the
// request line contains. Answering costs the same for every client, so two clients timed
// against it differ only by their own work. It serves on its own thread until Stop(), and
// never longer than a fixed bound.
#ifndef NRD_BENCH_RECORDED_REPLIES_H
#define NRD_BENCH_RECORDED_REPLIES_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class RecordedReplies {
 public:
  RecordedReplies() = default;
  RecordedReplies(const RecordedReplies&) = delete;
  RecordedReplies& operator=(const RecordedReplies&) = delete;
  ~RecordedReplies() { Stop(); }

  // A request whose first line contains key gets reply; the first matching key wins.
  void Add(std::string key, std::string reply) {
    replies_.emplace_back(std::move(key), std::move(reply));
  }

  // Binds 127.0.0.1 on a free port and starts serving; returns false when the socket fails.
  bool Start() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listener_ < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(listener_, 16) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
      return false;
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
    return true;
  }

  int Port() const { return port_; }

  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listener_ >= 0) ::close(listener_);
    listener_ = -1;
  }

 private:
  // Benchmarks finish in minutes; a server left running by mistake ends by itself.
  static constexpr std::chrono::minutes kLifetime{30};

  bool Over() const { return stop_ || std::chrono::steady_clock::now() > deadline_; }

  // Waits up to 100 ms for fd to become readable.
  static bool Readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 100) > 0;
  }

  void Serve() {
    deadline_ = std::chrono::steady_clock::now() + kLifetime;
    while (!Over()) {
      if (!Readable(listener_)) continue;
      const int connection = ::accept(listener_, nullptr, nullptr);
      if (connection < 0) continue;
      Converse(connection);
      ::close(connection);
    }
  }

  // Answers the requests of one connection (kept alive, as the dev server does) until the
  // client closes it or a recorded reply says the connection closes.
  void Converse(int connection) {
    std::string pending;
    char chunk[4096];
    while (!Over()) {
      const size_t head_end = pending.find("\r\n\r\n");
      if (head_end == std::string::npos) {
        // One connection at a time: an idle one is closed, as a server may, when another
        // client waits (the library's pool keeps its connection open between logins).
        pollfd p[2] = {{connection, POLLIN, 0}, {listener_, POLLIN, 0}};
        if (::poll(p, 2, 100) <= 0) continue;
        if (!(p[0].revents & (POLLIN | POLLHUP))) {
          if (pending.empty()) return;
          continue;
        }
        const ssize_t got = ::recv(connection, chunk, sizeof chunk, 0);
        if (got <= 0) return;
        pending.append(chunk, static_cast<size_t>(got));
        continue;
      }
      const std::string line = pending.substr(0, pending.find("\r\n"));
      pending.erase(0, head_end + 4);
      const std::string* reply = Find(line);
      if (reply == nullptr) return;
      if (!SendAll(connection, *reply) || reply->find("Connection: close") != std::string::npos)
        return;
    }
  }

  const std::string* Find(const std::string& request_line) const {
    for (const auto& [key, reply] : replies_)
      if (request_line.find(key) != std::string::npos) return &reply;
    return nullptr;
  }

  static bool SendAll(int fd, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
      const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return false;
      sent += static_cast<size_t>(n);
    }
    return true;
  }

  std::vector<std::pair<std::string, std::string>> replies_;
  std::atomic<bool> stop_{false};
  std::chrono::steady_clock::time_point deadline_{};
  std::thread thread_;
  int listener_ = -1;
  int port_ = 0;
};

#endif
