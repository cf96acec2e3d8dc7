// The library inside a host that forks workers and runs workflows on several threads: a child
// never uses its parent's connections or lock, two threads never share a connection at once,
// and one object's proxy never reaches another object's exchange.
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "QmtSR.h"
#include "platform/Platform.h"
#include "scripted_server.h"
#include "workflow_fixture.h"

namespace qmt_e2e {
namespace {

using SRCppWrap::QmtSR;

// The exit status of a child that ran `body`: 0 when it returned true.
template <typename Body>
int InChild(Body body) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(body() ? 0 : 1);
  int status = -1;
  ::waitpid(child, &status, 0);
  return status;
}

TEST(Fork, AChildGetsItsOwnConnectionAndTheParentKeepsItsOwn) {
  const ScriptedServer server;
  QmtSR qmt{};
  std::string reply;
  ASSERT_EQ(qmt.MakeCURLRequest(server.url("/warm"), "{}", reply), 200);  // pooled: connection 1
  EXPECT_EQ(InChild([&] {
              std::string own;
              return qmt.MakeCURLRequest(server.url("/child"), "{}", own) == 200 && own == "/child";
            }),
            0);
  ASSERT_EQ(qmt.MakeCURLRequest(server.url("/parent"), "{}", reply), 200);
  EXPECT_EQ(reply, "/parent");
  const std::vector<ScriptedServer::Request> seen = server.requests();
  ASSERT_EQ(seen.size(), 3U);
  EXPECT_EQ(seen[1].line, "PUT /child");
  EXPECT_NE(seen[1].connection, 1);  // never the parent's
  EXPECT_EQ(seen[2].line, "PUT /parent");
  EXPECT_EQ(seen[2].connection, 1);  // the parent's still works
}

TEST(Fork, AChildHoldsNoneOfItsParentsLock) {
  const DriveRoot drive;
  const std::string seed = "C:\\APP\\qmt\\GEN\\seed.data";
  const int first = 0, second = 0;
  ASSERT_TRUE(SRCppWrap::platform::AcquireInstallationLock(seed, &first, 0));
  int toChild[2], fromChild[2];
  ASSERT_EQ(::pipe(toChild), 0);
  ASSERT_EQ(::pipe(fromChild), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    // The parent holds it: the child's copy of the same owner is just another waiter.
    const char held = SRCppWrap::platform::AcquireInstallationLock(seed, &first, 0) ? 'y' : 'n';
    char go = 0;
    const bool told = ::write(fromChild[1], &held, 1) == 1 && ::read(toChild[0], &go, 1) == 1;
    ::_exit(told ? 0 : 1);  // a parent that died ends the read too
  }
  char held = 0;
  ASSERT_EQ(::read(fromChild[0], &held, 1), 1);
  EXPECT_EQ(held, 'n');
  SRCppWrap::platform::ReleaseInstallationLock(seed, &first);
  // The child still lives: it must not keep the lock the parent gave back.
  EXPECT_TRUE(SRCppWrap::platform::AcquireInstallationLock(seed, &second, 0));
  SRCppWrap::platform::ReleaseInstallationLock(seed, &second);
  EXPECT_EQ(::write(toChild[1], "!", 1), 1);
  int status = -1;
  ::waitpid(child, &status, 0);
  EXPECT_EQ(status, 0);
  for (const int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1]}) ::close(fd);
}

TEST(Threads, TransfersAtTheSameMomentNeverShareAConnection) {
  std::mutex mutex;
  std::set<int> busy;  // connections with a request being answered
  std::atomic<int> shared{0};
  const ScriptedServer server([&](int /*n*/, const ScriptedServer::Request& request) {
    {
      const std::lock_guard<std::mutex> lock(mutex);
      if (!busy.insert(request.connection).second) ++shared;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));  // let the other thread overlap
    const std::lock_guard<std::mutex> lock(mutex);
    busy.erase(request.connection);
    return true;
  });
  std::atomic<int> wrong{0};
  const auto requests = [&](const std::string& name) {
    QmtSR qmt{};
    for (int i = 0; i < 20; ++i) {
      std::string reply;
      const std::string path = "/" + name + std::to_string(i);
      if (qmt.MakeCURLRequest(server.url(path), "{}", reply) != 200 || reply != path) ++wrong;
    }
  };
  std::thread other(requests, "a");
  requests("b");
  other.join();
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(shared, 0);
}

TEST_F(WorkflowTest, ARequestThroughADeadProxyOnAnotherThreadLeavesLoginsAlone) {
  const std::string login = EnrolOrFail();
  std::atomic<bool> done{false};
  std::atomic<int> throughProxy{0}, requests{0};
  std::thread other([&] {
    QmtSR qmt{};
    qmt.InitializeProxyParameters("", "", "127.0.0.1", 1, "");  // nothing listens there
    for (int i = 0; i < 500 && !done; ++i) {
      std::string reply;
      if (qmt.MakeCURLRequest(server_.url("/api/checkenrollment"), "{}", reply) == 0) {
        ++throughProxy;
      }
      ++requests;
    }
  });
  std::string otp;
  int results[3];
  {
    const QuietStdout quiet;
    for (int& result : results) {
      QmtSR qmt;
      Configure(qmt, 1);
      result = qmt.GetOTPforAuthentication(otp);
    }
  }
  done = true;
  other.join();
  EXPECT_EQ(results[0] | results[1] | results[2], 0);
  EXPECT_EQ(server_.Login(login, otp), "OK");
  EXPECT_EQ(throughProxy.load(), requests.load());  // each one tried its own proxy
}

// A long-lived host: every login replaces the SDK context, and the replaced one is released, so
// the heap stays flat (each kept context cost about 3 kB).
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
  const long grown = inUse() - before;
  RecordProperty("heap_growth_bytes", static_cast<int>(grown));
  EXPECT_LT(grown, 32 * 1024);
}

}  // namespace
}  // namespace qmt_e2e
