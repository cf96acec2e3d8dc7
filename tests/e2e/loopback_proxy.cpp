#include "loopback_proxy.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <stdexcept>

namespace qmt_e2e {

namespace {

#ifdef _WIN32
// Winsock under the POSIX names this file uses. Socket handles fit an int, as Windows promises
// for interoperation with 32-bit programs.
using ssize_t = int;
constexpr int MSG_NOSIGNAL = 0;
constexpr int SOCK_CLOEXEC = 0;
int poll(pollfd* fds, unsigned long count, int millis) {
  return ::WSAPoll(fds, count, millis);
}
int close(int fd) {
  return ::closesocket(static_cast<SOCKET>(fd));
}
int accept4(int fd, sockaddr* address, int* length, int) {
  return static_cast<int>(::accept(static_cast<SOCKET>(fd), address, length));
}
struct WinsockUser {
  WinsockUser() {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~WinsockUser() { ::WSACleanup(); }
};
#endif

constexpr int kPollMillis = 100;
constexpr int kIdleLimitMillis = 10000;  // a connection silent this long is dropped

int ConnectLoopback(int port) {
  const int fd = static_cast<int>(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    return fd;
  }
  if (fd >= 0) close(fd);
  return -1;
}

bool SendAll(int fd, const std::string& data) {
  std::size_t sent = 0;
  while (sent < data.size()) {
    const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

pollfd Readable(int fd) {
  pollfd entry{};
  entry.fd = fd;
  entry.events = POLLIN;
  return entry;
}

// Copies bytes both ways until one side closes, the proxy stops, or nothing moves for long.
void Relay(int a, int b, const std::atomic<bool>& stop) {
  char buffer[16384];
  int idle = 0;
  while (!stop && idle < kIdleLimitMillis) {
    pollfd fds[2] = {Readable(a), Readable(b)};
    const int ready = poll(fds, 2, kPollMillis);
    if (ready < 0) return;
    if (ready == 0) {
      idle += kPollMillis;
      continue;
    }
    idle = 0;
    for (int i = 0; i < 2; ++i) {
      if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      const ssize_t n = ::recv(static_cast<int>(fds[i].fd), buffer, sizeof buffer, 0);
      if (n <= 0) return;
      if (!SendAll(fds[1 - i].fd, std::string(buffer, static_cast<std::size_t>(n)))) return;
    }
  }
}

// "127.0.0.1:1234" or "http://127.0.0.1:1234/path" -> 1234 (0 when there is none).
int PortOf(const std::string& target) {
  std::size_t hostStart = target.find("://");
  hostStart = hostStart == std::string::npos ? 0 : hostStart + 3;
  const std::size_t pathStart = target.find('/', hostStart);
  const std::string authority = target.substr(hostStart, pathStart - hostStart);
  const std::size_t colon = authority.rfind(':');
  return colon == std::string::npos ? 0 : std::atoi(authority.c_str() + colon + 1);
}

}  // namespace

LoopbackProxy::LoopbackProxy() {
#ifdef _WIN32
  static WinsockUser winsock;
#endif
  listener_ = static_cast<int>(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
#ifdef _WIN32
  int length = sizeof address;
#else
  socklen_t length = sizeof address;
#endif
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listener_, 8) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("the test proxy cannot listen");
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

LoopbackProxy::~LoopbackProxy() {
  stop_ = true;
  thread_.join();
  close(listener_);
}

std::vector<std::string> LoopbackProxy::requestLines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requestLines_;
}

void LoopbackProxy::Serve() {
  while (!stop_) {
    pollfd listening = Readable(listener_);
    if (poll(&listening, 1, kPollMillis) <= 0) continue;
    const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    Handle(client);
    close(client);
  }
}

void LoopbackProxy::Handle(int client) {
  // Read the request head.
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536 && !stop_) {
    pollfd readable = Readable(client);
    if (poll(&readable, 1, kIdleLimitMillis) <= 0) return;
    const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    head.append(buffer, static_cast<std::size_t>(n));
  }
  const std::string requestLine = head.substr(0, head.find("\r\n"));
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requestLines_.push_back(requestLine);
  }
  const std::size_t methodEnd = requestLine.find(' ');
  const std::size_t targetEnd = requestLine.find(' ', methodEnd + 1);
  if (methodEnd == std::string::npos || targetEnd == std::string::npos) return;
  const std::string method = requestLine.substr(0, methodEnd);
  const std::string target = requestLine.substr(methodEnd + 1, targetEnd - methodEnd - 1);

  const int upstream = ConnectLoopback(PortOf(target));
  if (upstream < 0) {
    SendAll(client, "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    return;
  }
  if (method == "CONNECT") {
    SendAll(client, "HTTP/1.1 200 Connection established\r\n\r\n");
  } else {
    // Absolute form to origin form: "PUT http://host:port/path HTTP/1.1" -> "PUT /path ...".
    const std::size_t hostStart = target.find("://");
    const std::size_t pathStart =
        target.find('/', hostStart == std::string::npos ? 0 : hostStart + 3);
    const std::string path = pathStart == std::string::npos ? "/" : target.substr(pathStart);
    SendAll(upstream, method + " " + path + head.substr(targetEnd));
  }
  Relay(client, upstream, stop_);
  close(upstream);
}

}  // namespace qmt_e2e
