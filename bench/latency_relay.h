// A loopback TCP relay that gives a link a round-trip time: every chunk read from one side is
// handed to the other side a set one-way time later, in order, in both directions, and the
// first bytes of a new connection wait one more round trip (the TCP handshake the client would
// have paid on a real link; on loopback it is free). It counts the connections it accepted
// and can drop them all, as a server does with idle ones. Serves until Stop().
#ifndef NRD_BENCH_LATENCY_RELAY_H
#define NRD_BENCH_LATENCY_RELAY_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class LatencyRelay {
 public:
  using Clock = std::chrono::steady_clock;

  LatencyRelay(int targetPort, std::chrono::milliseconds oneWay)
      : targetPort_(targetPort), oneWay_(oneWay) {}
  LatencyRelay(const LatencyRelay&) = delete;
  LatencyRelay& operator=(const LatencyRelay&) = delete;
  ~LatencyRelay() { Stop(); }

  // Listens on 127.0.0.1 at a free port; false when the socket fails.
  bool Start() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener_, 16) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return false;
    }
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { Accept(); });
    return true;
  }

  void Stop() {
    stop_ = true;
    if (acceptor_.joinable()) acceptor_.join();
    for (std::thread& pump : pumps_) pump.join();
    pumps_.clear();
    if (listener_ >= 0) ::close(listener_);
    listener_ = -1;
  }

  int port() const { return port_; }
  int accepted() const { return accepted_; }

  // Ends every connection at once (both sides see it closed), as a server drops idle ones.
  void DropConnections() {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (const int fd : open_) ::shutdown(fd, SHUT_RDWR);
  }

 private:
  struct Chunk {
    Clock::time_point due;
    std::string bytes;  // empty: the end of this direction
  };

  static sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
  }

  void Accept() {
    while (!stop_) {
      pollfd listening{listener_, POLLIN, 0};
      if (::poll(&listening, 1, 50) <= 0) continue;
      const int client = ::accept(listener_, nullptr, nullptr);
      if (client < 0) continue;
      const int server = ::socket(AF_INET, SOCK_STREAM, 0);
      const sockaddr_in target = Loopback(targetPort_);
      if (server < 0 ||
          ::connect(server, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
        ::close(client);
        if (server >= 0) ::close(server);
        continue;
      }
      ++accepted_;
      for (const int fd : {client, server}) {
        const int on = 1;  // the delay is ours alone
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      }
      {
        const std::lock_guard<std::mutex> lock(mutex_);
        open_.push_back(client);
        open_.push_back(server);
      }
      pumps_.emplace_back([this, client, server] { Pump(client, server); });
    }
  }

  // Moves the bytes of one connection both ways, each chunk `oneWay_` late, until both
  // directions have ended (or the relay stops).
  void Pump(int client, int server) {
    const int fds[2] = {client, server};
    std::deque<Chunk> queues[2];  // [0]: client to server, [1]: server to client
    bool reading[2] = {true, true}, ended[2] = {false, false};
    bool first = true;
    char buffer[65536];
    while (!stop_ && !(ended[0] && ended[1])) {
      const Clock::time_point now = Clock::now();
      int wait = 50;
      for (const auto& queue : queues) {
        if (queue.empty()) continue;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(queue.front().due - now);
        wait = std::max(0, std::min(wait, static_cast<int>(left.count()) + 1));
      }
      pollfd entries[2] = {{reading[0] ? client : -1, POLLIN, 0},
                           {reading[1] ? server : -1, POLLIN, 0}};
      ::poll(entries, 2, wait);
      for (int from = 0; from < 2; ++from) {
        if (!reading[from] || (entries[from].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
        const ssize_t n = ::recv(fds[from], buffer, sizeof buffer, 0);
        auto due = Clock::now() + oneWay_ + (from == 0 && first ? 2 * oneWay_ : Clock::duration());
        if (!queues[from].empty()) due = std::max(due, queues[from].back().due);
        first = first && from != 0;
        if (n <= 0) reading[from] = false;
        queues[from].push_back({due, n > 0 ? std::string(buffer, static_cast<size_t>(n)) : ""});
      }
      for (int from = 0; from < 2; ++from) {
        auto& queue = queues[from];
        while (!queue.empty() && queue.front().due <= Clock::now()) {
          const int to = fds[1 - from];
          if (queue.front().bytes.empty()) {
            ::shutdown(to, SHUT_WR);
            ended[from] = true;
          } else {
            const std::string& bytes = queue.front().bytes;
            for (size_t sent = 0; sent < bytes.size();) {
              const ssize_t n = ::send(to, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
              if (n <= 0) break;
              sent += static_cast<size_t>(n);
            }
          }
          queue.pop_front();
        }
      }
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    for (const int fd : fds) {
      open_.erase(std::remove(open_.begin(), open_.end(), fd), open_.end());
      ::close(fd);
    }
  }

  int targetPort_;
  std::chrono::milliseconds oneWay_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> accepted_{0};
  std::mutex mutex_;
  std::vector<int> open_;           // sockets of live connections
  std::vector<std::thread> pumps_;  // used by the acceptor alone until Stop()
  std::thread acceptor_;
};

#endif
