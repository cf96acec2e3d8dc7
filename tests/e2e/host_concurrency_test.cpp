// The library inside a real host: a pooled connection that dies after a request went out, a
// forked worker, another thread with another proxy, and many logins in one process.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "QmtSR.h"
#include "platform/Platform.h"
#include "workflow_fixture.h"
#include "wrapper/http_transport.h"

namespace qmt_e2e {
namespace {

using SRCppWrap::QmtSR;
constexpr char kSeed[] = "C:\\APP\\qmt\\GEN\\seed.data";

// A loopback HTTP/1.1 server at the socket level, for what a library server cannot do: read the
// `drop`-th request and close its connection without a reply, and tell connections apart. Every
// other request is answered with its path. It stops with the test, or by itself after 30 s.
class RawServer {
 public:
  explicit RawServer(int drop = 0) : drop_(drop) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    auto* named = reinterpret_cast<sockaddr*>(&address);
    if (::bind(listener_, named, length) != 0 || ::listen(listener_, 8) != 0 ||
        ::getsockname(listener_, named, &length) != 0) {
      std::abort();
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~RawServer() {
    stop_ = true;
    thread_.join();
    ::close(listener_);
  }
  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  // "PUT /path" with the number of its connection (1 for the first accepted), in arrival order.
  std::vector<std::pair<int, std::string>> seen() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
  }

 private:
  struct Connection {
    int fd, number;
    std::string in;
  };

  void Serve() {
    std::vector<Connection> open;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!stop_ && std::chrono::steady_clock::now() < end) {
      std::vector<pollfd> fds{{listener_, POLLIN, 0}};
      for (const Connection& c : open) fds.push_back({c.fd, POLLIN, 0});
      if (::poll(fds.data(), fds.size(), 50) <= 0) continue;
      for (std::size_t i = fds.size(); i-- > 1;) {  // backwards: a closed one is erased
        if ((fds[i].revents & (POLLIN | POLLHUP)) != 0 && !Read(open[i - 1])) {
          ::close(open[i - 1].fd);
          open.erase(open.begin() + static_cast<long>(i - 1));
        }
      }
      if ((fds[0].revents & POLLIN) != 0) {
        open.push_back({::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC), ++accepted_, ""});
      }
    }
    for (const Connection& c : open) ::close(c.fd);
  }

  // False when the connection is to be closed.
  bool Read(Connection& c) {
    char chunk[4096];
    const ssize_t got = ::recv(c.fd, chunk, sizeof chunk, 0);
    if (got <= 0) return false;
    c.in.append(chunk, static_cast<std::size_t>(got));
    for (std::size_t end; (end = c.in.find("\r\n\r\n")) != std::string::npos;) {
      const std::size_t field = c.in.find("Content-Length: ");
      const std::size_t body = field < end ? std::stoul(c.in.substr(field + 16)) : 0;
      if (c.in.size() < end + 4 + body) return true;
      const std::string line = c.in.substr(0, c.in.find(" HTTP/"));
      c.in.erase(0, end + 4 + body);
      int n = 0;
      {
        const std::lock_guard<std::mutex> lock(mutex_);
        seen_.emplace_back(c.number, line);
        n = static_cast<int>(seen_.size());
      }
      if (n == drop_) return false;
      const std::string path = line.substr(line.find(' ') + 1);
      const std::string reply =
          "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(path.size()) + "\r\n\r\n" + path;
      if (::send(c.fd, reply.data(), reply.size(), MSG_NOSIGNAL) < 0) return false;
    }
    return true;
  }

  const int drop_;
  int listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int port_ = 0, accepted_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<std::pair<int, std::string>> seen_;
  std::thread thread_;
};

// The second request reuses the first's connection, and the server reads it and closes: libcurl
// would send it again on a new connection; it goes out once and the caller sees a failed
// transfer. The pool then works on a new connection.
TEST(DyingConnection, APutReadByTheServerIsNeverResentAndFails) {
  const RawServer server(2);
  const DriveRoot drive;
  QmtSR qmt{};  // in a span, as in an enrolment, until its destructor ends it
  ASSERT_TRUE(SRCppWrap::platform::AcquireInstallationLock(kSeed, &qmt, 0));
  std::string reply = "kept";
  ASSERT_EQ(qmt.MakeCURLRequest(server.url("/first"), "{}", reply), 200);
  reply = "kept";
  testing::internal::CaptureStderr();
  EXPECT_EQ(qmt.MakeCURLRequest(server.url("/second"), "{}", "user", "secret", reply), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "curl_easy_perform() failed: Server returned nothing (no headers, no data)\n");
  EXPECT_EQ(reply, "kept");
  EXPECT_EQ(qmt.MakeCURLRequest(server.url("/third"), "{}", reply), 200);
  EXPECT_EQ(reply, "/third");
  using Seen = std::vector<std::pair<int, std::string>>;
  // Connection 2 was opened for the resend and closed when the send was refused.
  EXPECT_EQ(server.seen(), (Seen{{1, "PUT /first"}, {1, "PUT /second"}, {3, "PUT /third"}}));
}

TEST(DyingConnection, AServiceGetReadByTheServerIsNeverResent) {
  const RawServer server(2);
  testing::internal::CaptureStdout();
  for (const char* path : {"/first", "/second"}) {
    SRCppWrap::detail::SdkTransport(server.url(path).c_str(), 0, nullptr);
  }
  testing::internal::GetCapturedStdout();
  using Seen = std::vector<std::pair<int, std::string>>;
  EXPECT_EQ(server.seen(), (Seen{{1, "GET /first"}, {1, "GET /second"}}));
}

// A worker forked after a transfer sends on a connection of its own; the parent's still works.
TEST(Fork, AChildGetsItsOwnConnectionAndTheParentKeepsItsOwn) {
  const RawServer server;
  const DriveRoot drive;
  QmtSR qmt{};
  ASSERT_TRUE(SRCppWrap::platform::AcquireInstallationLock(kSeed, &qmt, 0));
  std::string reply;
  ASSERT_EQ(qmt.MakeCURLRequest(server.url("/warm"), "{}", reply), 200);
  const pid_t child = ::fork();
  if (child == 0) {
    std::string own;
    ::_exit(qmt.MakeCURLRequest(server.url("/child"), "{}", own) == 200 && own == "/child" ? 0 : 1);
  }
  int status = -1;
  ::waitpid(child, &status, 0);
  EXPECT_EQ(status, 0);
  ASSERT_EQ(qmt.MakeCURLRequest(server.url("/parent"), "{}", reply), 200);
  EXPECT_EQ(reply, "/parent");
  using Seen = std::vector<std::pair<int, std::string>>;
  EXPECT_EQ(server.seen(), (Seen{{1, "PUT /warm"}, {2, "PUT /child"}, {1, "PUT /parent"}}));
}

TEST(Fork, AChildHoldsNoneOfItsParentsLock) {
  const DriveRoot drive;
  const std::string seed = kSeed;
  const int first = 0, second = 0;
  ASSERT_TRUE(SRCppWrap::platform::AcquireInstallationLock(seed, &first, 0));
  int toChild[2], fromChild[2];
  ASSERT_EQ(::pipe(toChild), 0);
  ASSERT_EQ(::pipe(fromChild), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    // The parent holds it: the child's copy of the same owner is just another waiter.
    const char held = SRCppWrap::platform::AcquireInstallationLock(seed, &first, 0) ? 'y' : 'n';
    char go = 0;  // a parent that died ends the read too
    ::_exit(::write(fromChild[1], &held, 1) == 1 && ::read(toChild[0], &go, 1) == 1 ? 0 : 1);
  }
  char held = 0;
  ASSERT_EQ(::read(fromChild[0], &held, 1), 1);
  EXPECT_EQ(held, 'n');
  SRCppWrap::platform::ReleaseInstallationLock(seed, &first);
  // The child still lives: it must not keep the lock the parent gave back.
  EXPECT_TRUE(SRCppWrap::platform::AcquireInstallationLock(seed, &second, 0));
  SRCppWrap::platform::ReleaseInstallationLock(seed, &second);
  EXPECT_EQ(::write(toChild[1], "!", 1), 1);
  ::waitpid(child, nullptr, 0);
  for (const int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1]}) ::close(fd);
}

// Another object's requests through a dead proxy, on another thread, during logins.
TEST_F(WorkflowTest, ARequestThroughADeadProxyOnAnotherThreadLeavesLoginsAlone) {
  const std::string login = EnrolOrFail();
  std::atomic<bool> done{false};
  std::atomic<int> failed{0}, sent{0};
  std::thread other([&] {
    QmtSR qmt{};
    qmt.InitializeProxyParameters("", "", "127.0.0.1", 1, "");  // nothing listens there
    for (std::string reply; sent < 500 && !done; ++sent) {
      failed += qmt.MakeCURLRequest(server_.url("/api/checkenrollment"), "{}", reply) == 0;
    }
  });
  std::string otp;
  int results = 0;
  {
    const QuietStdout quiet;
    for (int i = 0; i < 3; ++i) {
      QmtSR qmt;
      Configure(qmt, 1);
      results |= qmt.GetOTPforAuthentication(otp);
    }
  }
  done = true;
  other.join();
  EXPECT_EQ(results, 0);
  EXPECT_EQ(server_.Login(login, otp), "OK");
  EXPECT_EQ(failed.load(), sent.load());  // each one tried its own proxy
}

// Every login replaces the SDK context; a kept one cost about 3 kB.
TEST_F(WorkflowTest, ManyLoginsInOneProcessLeaveTheHeapFlat) {
  EnrolOrFail();
  QmtSR qmt;
  Configure(qmt, 1);
  std::string otp;
  const QuietStdout quiet;
  const auto inUse = [] { return static_cast<long>(::mallinfo2().uordblks); };
  for (int i = 0; i < 5; ++i) ASSERT_EQ(qmt.GetOTPforAuthentication(otp), 0);
  const long before = inUse();
  for (int i = 0; i < 100; ++i) ASSERT_EQ(qmt.GetOTPforAuthentication(otp), 0);
  EXPECT_LT(inUse() - before, 32 * 1024);
}

}  // namespace
}  // namespace qmt_e2e
