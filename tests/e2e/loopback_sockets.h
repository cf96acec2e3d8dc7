// Plain loopback sockets for the suite's own small servers, the same on POSIX and Winsock.
#ifndef QMT_TESTS_E2E_LOOPBACK_SOCKETS_H
#define QMT_TESTS_E2E_LOOPBACK_SOCKETS_H

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

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace qmt_e2e::sockets {

#ifdef _WIN32
// Winsock under the POSIX names used here; socket handles fit an int, as Windows promises.
constexpr int MSG_NOSIGNAL = 0;
inline int poll(pollfd* fds, unsigned long count, int millis) {
  return ::WSAPoll(fds, count, millis);
}
inline int close(int fd) {
  return ::closesocket(static_cast<SOCKET>(fd));
}
#else
using ::close;
#endif

constexpr int kPollMillis = 100, kIdleLimitMillis = 10000;  // silent this long: dropped

inline sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

// A socket listening on 127.0.0.1 at a free port, which it stores in `port`.
inline int Listen(int& port) {
#ifdef _WIN32
  static const int winsock = [] {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data);
  }();
  (void)winsock;
#endif
  const int listener = static_cast<int>(::socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listener, 8) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("a test server cannot listen");
  }
  port = ntohs(address.sin_port);
  return listener;
}

inline bool SendAll(int fd, const std::string& data) {
  for (std::size_t sent = 0; sent < data.size();) {
    const auto n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

// Waits up to `millis` for something to read on either of `fds`; the index of the first
// readable one, -1 after the time, -2 on error.
inline int Readable(std::vector<int> fds, int millis) {
  std::vector<pollfd> entries;
  for (const int fd : fds) entries.push_back({static_cast<decltype(pollfd::fd)>(fd), POLLIN, 0});
  const int ready = poll(entries.data(), static_cast<unsigned>(entries.size()), millis);
  for (std::size_t i = 0; ready > 0 && i < entries.size(); ++i) {
    if ((entries[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0) return static_cast<int>(i);
  }
  return ready < 0 ? -2 : -1;
}

}  // namespace qmt_e2e::sockets

#endif
