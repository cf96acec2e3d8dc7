// The library's connection pool: one connection per host for each workflow, a connection the
// server dropped while idle replaced unnoticed, and nothing of the pool left after an unload.
#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "loopback_sockets.h"
#include "workflow_fixture.h"

namespace qmt_e2e {
namespace {

using namespace sockets;

TEST_F(WorkflowTest, EachWorkflowTakesOneConnectionAndOutlivesAServerRestart) {
  drive_.WritePin(kPin);
  SRCppWrap::QmtSR qmt;
  Configure(qmt, 0);
  bool reached = false;
  std::string otp;
  auto quietly = [](auto workflow) {
    const QuietStdout quiet;
    return workflow();
  };
  ASSERT_EQ(quietly([&] {
              return qmt.EnrollmentProcess(server_.massEnrolmentUrl(), kMessage, kUser, kPassword,
                                           reached);
            }),
            1000);
  EXPECT_EQ(server_.Connections(), 1) << server_.RequestLog();
  // The enrolment's connection waits in the pool; the restart closes it under it.
  server_.Restart();
  ASSERT_EQ(quietly([&] { return qmt.GetOTPforAuthentication(otp); }), 0);
  EXPECT_EQ(server_.Connections(), 1) << server_.RequestLog();
}

// An HTTP peer that keeps every connection open, answers each request with an empty 200, and
// counts the connections it accepted and those the client closed.
class KeepAlivePeer {
 public:
  KeepAlivePeer() : listener_(Listen(port_)), thread_([this] { Serve(); }) {}
  ~KeepAlivePeer() {
    stop_ = true;
    thread_.join();
    close(listener_);
  }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }
  int accepted() const { return accepted_; }
  int closedByClient() const { return closedByClient_; }

 private:
  void Serve() {
    while (!stop_) {
      if (Readable({listener_}, kPollMillis) != 0) continue;
      const int client = static_cast<int>(::accept(listener_, nullptr, nullptr));
      ++accepted_;
      std::string received;
      char buffer[4096];
      for (int idle = 0; client >= 0 && !stop_ && idle < kIdleLimitMillis;) {
        if (Readable({client}, kPollMillis) == -1) {
          idle += kPollMillis;
          continue;
        }
        const auto n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) {
          ++closedByClient_;
          break;
        }
        idle = 0;
        received.append(buffer, static_cast<size_t>(n));
        for (size_t end; (end = received.find("\r\n\r\n")) != std::string::npos;) {
          received.erase(0, end + 4);
          SendAll(client, "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
        }
      }
      if (client >= 0) close(client);
    }
  }

  int port_ = 0;
  int listener_;
  std::atomic<bool> stop_{false};
  std::atomic<int> accepted_{0}, closedByClient_{0};
  std::thread thread_;
};

// The three-argument MakeCURLRequest of the shared library, called as a function that takes
// the object first (the member's calling convention on the x86_64 targets).
using MakeCurlRequest = long (*)(SRCppWrap::QmtSR*, std::string, std::string, std::string&);
constexpr char kMakeCurlRequest[] =
    "_ZN9SRCppWrap5QmtSR15MakeCURLRequestENSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEES6_"
    "RS6_";

TEST(LibraryUnload, ClosesThePooledConnectionAndTheLibraryLoadsAgain) {
  KeepAlivePeer peer;
  for (int cycle = 1; cycle <= 2; ++cycle) {
#ifdef _WIN32
    const HMODULE library = ::LoadLibraryA(QMT_SHARED_LIBRARY);
    const auto request = reinterpret_cast<MakeCurlRequest>(
        reinterpret_cast<void (*)()>(::GetProcAddress(library, kMakeCurlRequest)));
#else
    void* library = ::dlopen(QMT_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    const auto request = reinterpret_cast<MakeCurlRequest>(::dlsym(library, kMakeCurlRequest));
#endif
    ASSERT_NE(request, nullptr);
    SRCppWrap::QmtSR qmt{};
    std::string reply;
    EXPECT_EQ(request(&qmt, peer.url(), "", reply), 200);
    EXPECT_EQ(request(&qmt, peer.url(), "", reply), 200);
    EXPECT_EQ(peer.accepted(), cycle);  // both requests on one pooled connection
#ifdef _WIN32
    ::FreeLibrary(library);
#else
    ::dlclose(library);
#endif
    for (int waited = 0; peer.closedByClient() < cycle && waited < 500; ++waited) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(peer.closedByClient(), cycle);  // by the unload: the peer never closes on its own
  }
}

}  // namespace
}  // namespace qmt_e2e
