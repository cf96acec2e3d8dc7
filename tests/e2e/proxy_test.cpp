// A whole enrolment and a login OTP through an HTTP proxy: the back-end requests go to it in
// absolute form, the service requests through a CONNECT tunnel.
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
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "workflow_fixture.h"
#include "wrapper/runtime_settings.h"

namespace qmt_e2e {
namespace {

#ifdef _WIN32
// Winsock under the POSIX names used here; socket handles fit an int, as Windows promises.
constexpr int MSG_NOSIGNAL = 0;
int poll(pollfd* fds, unsigned long count, int millis) { return ::WSAPoll(fds, count, millis); }
int close(int fd) { return ::closesocket(static_cast<SOCKET>(fd)); }
#endif

constexpr int kPollMillis = 100, kIdleLimitMillis = 10000;  // silent this long: dropped

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

bool SendAll(int fd, const std::string& data) {
  for (std::size_t sent = 0; sent < data.size();) {
    const auto n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

// Waits up to `millis` for something to read on either of `fds`; the index of the first
// readable one, -1 after the time, -2 on error.
int Readable(std::vector<int> fds, int millis) {
  std::vector<pollfd> entries;
  for (const int fd : fds) entries.push_back({static_cast<decltype(pollfd::fd)>(fd), POLLIN, 0});
  const int ready = poll(entries.data(), static_cast<unsigned>(entries.size()), millis);
  for (std::size_t i = 0; ready > 0 && i < entries.size(); ++i) {
    if ((entries[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0) return static_cast<int>(i);
  }
  return ready < 0 ? -2 : -1;
}

// A tiny HTTP proxy on 127.0.0.1 that serves one connection at a time: it records each
// request line, tunnels CONNECT requests and forwards absolute-form ones to their target, one
// request per connection (it asks the target to close after the reply). Given credentials (Basic,
// encoded), it answers 407 to every request without them.
class LoopbackProxy {
 public:
  explicit LoopbackProxy(std::string credentials) : credentials_(std::move(credentials)) {
#ifdef _WIN32
    static const int winsock = [] { WSADATA data; return ::WSAStartup(MAKEWORD(2, 2), &data); }();
    (void)winsock;
#endif
    listener_ = static_cast<int>(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener_, 8) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      throw std::runtime_error("the test proxy cannot listen");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] {
      while (!stop_) {
        if (Readable({listener_}, kPollMillis) != 0) continue;
        const int client = static_cast<int>(::accept(listener_, nullptr, nullptr));
        if (client < 0) continue;
        Handle(client);
        close(client);
      }
    });
  }
  ~LoopbackProxy() {
    stop_ = true;
    thread_.join();
    close(listener_);
  }
  int port() const { return port_; }
  std::vector<std::string> requestLines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requestLines_;
  }

 private:
  void Handle(int client) {
    std::string head;
    char buffer[16384];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
      if (Readable({client}, kIdleLimitMillis) != 0) return;
      const auto n = ::recv(client, buffer, sizeof buffer, 0);
      if (n <= 0) return;
      head.append(buffer, static_cast<std::size_t>(n));
    }
    if (head.find("\r\nProxy-Authorization: Basic " + credentials_ + "\r\n") == std::string::npos) {
      SendAll(client,
              "HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic "
              "realm=\"qmt\"\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
      // Reads what else the client sent, so that the close does not reset the connection.
      while (Readable({client}, kPollMillis) == 0 && ::recv(client, buffer, sizeof buffer, 0) > 0) {
      }
      return;
    }
    const std::string line = head.substr(0, head.find("\r\n"));
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      requestLines_.push_back(line);
    }
    // "CONNECT 127.0.0.1:1234 HTTP/1.1" or "PUT http://127.0.0.1:1234/path HTTP/1.1".
    const std::size_t methodEnd = line.find(' '), targetEnd = line.find(' ', methodEnd + 1);
    if (targetEnd == std::string::npos) return;
    const std::string method = line.substr(0, methodEnd);
    const std::size_t colon = line.find(':', line.find("127.0.0.1"));
    const std::size_t path = line.find('/', colon), lineEnd = head.find("\r\n");
    // In origin form, the target asked to close after its reply.
    const std::string oneRequest =
        head.substr(path, lineEnd - path) + "\r\nConnection: close" + head.substr(lineEnd);
    const int upstream = static_cast<int>(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in address = Loopback(std::atoi(line.c_str() + colon + 1));
    if (upstream < 0 || ::connect(upstream, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      SendAll(client, "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    } else if (method == "CONNECT" ? SendAll(client, "HTTP/1.1 200 Connection established\r\n\r\n")
                                   : SendAll(upstream, method + " " + oneRequest)) {
      // Copies bytes both ways until one side closes, the proxy stops, or nothing moves for long.
      for (int idle = 0; !stop_ && idle < kIdleLimitMillis;) {
        const int from = Readable({client, upstream}, kPollMillis);
        if (from == -1) idle += kPollMillis;
        if (from < 0) continue;
        idle = 0;
        const auto n = ::recv(from == 0 ? client : upstream, buffer, sizeof buffer, 0);
        if (n <= 0 || !SendAll(from == 0 ? upstream : client,
                               std::string(buffer, static_cast<std::size_t>(n)))) {
          break;
        }
      }
    }
    if (upstream >= 0) close(upstream);
  }

  std::string credentials_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> requestLines_;
  std::thread thread_;
};

TEST_F(WorkflowTest, EveryRequestGoesThroughTheConfiguredProxy) {
  LoopbackProxy proxy("cHJveHktdXNlcjpwcm94eS1zZWNyZXQ=");  // proxy-user:proxy-secret
  SRCppWrap::detail::Settings().proxyAuth = true;           // the host opts in to send them
  drive_.WritePin(kPin);
  SRCppWrap::QmtSR qmt;
  Configure(qmt, 0);
  qmt.InitializeProxyParameters("proxy-user", "proxy-secret", "127.0.0.1", proxy.port(), "");
  bool reached = false;
  ASSERT_EQ(qmt.EnrollmentProcess(server_.massEnrolmentUrl(), kMessage, kUser, kPassword, reached),
            1000);
  const auto lines = proxy.requestLines();
  // Each back-end request on a connection of its own (the proxy closes it); all the service's
  // exchanges in one tunnel.
  ASSERT_THAT(lines, testing::ElementsAre(
                         "PUT " + server_.massEnrolmentUrl() + " HTTP/1.1",
                         "CONNECT 127.0.0.1:" + std::to_string(server_.port()) + " HTTP/1.1",
                         "PUT " + server_.checkEnrolmentUrl() + " HTTP/1.1"));
  std::string otp;
  ASSERT_EQ(qmt.GetOTPforAuthentication(otp), 0);
  // The tunnel again, or a new one when the server closed the idle one meanwhile (while the
  // proxy served the tunnel, the last request waited for that).
  const auto more = proxy.requestLines();
  EXPECT_LE(more.size(), lines.size() + 1);
  EXPECT_THAT(std::vector<std::string>(more.begin() + 3, more.end()), testing::Each(lines[1]));
  EXPECT_EQ(EnrollmentLog().find("proxy-secret"), std::string::npos);  // never logged
  EXPECT_EQ(LastLogged(AuthenticationLog(), "Proxy parameters:- address= "),
            "127.0.0.1, port= " + std::to_string(proxy.port()));
  SRCppWrap::detail::Settings().proxyAuth = false;
  // Back to no proxy: the next request goes straight to the server.
  qmt.InitializeProxyParameters("", "", "", 0, "");
  ASSERT_EQ(qmt.GetOTPforAuthentication(otp), 0);
  EXPECT_EQ(proxy.requestLines().size(), more.size());
}

}  // namespace
}  // namespace qmt_e2e
