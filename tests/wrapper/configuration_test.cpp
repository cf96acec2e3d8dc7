#include <cstdlib>
#include <map>
#include <new>
#include <string>
#include <utility>

#include "QmtSR.h"
#include "wrapper/log_sandbox.h"
#include "wrapper/runtime_settings.h"

namespace {

bool g_failNextAllocation = false;

}  // namespace

// Fails the next allocation when armed: all a setter can throw is an allocation failure. (The
// delete below frees what this new took from malloc, which GCC cannot see.)
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(std::size_t size) {
  void* memory = g_failNextAllocation ? nullptr : std::malloc(size != 0 ? size : 1);
  g_failNextAllocation = false;
  if (memory == nullptr) throw std::bad_alloc();
  return memory;
}
void operator delete(void* memory) noexcept {
  std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  ::operator delete(memory);
}

namespace {

using namespace qmt_test;
using SRCppWrap::QmtSR;

// A setter that throws (here the copy of its log line cannot be allocated) is logged by its
// initialiser, which still closes its block.
TEST(Initializers, LogASetterThatThrowsAndStillCloseTheirBlock) {
  const std::pair<void (*)(QmtSR&), std::string> cases[] = {
      {[](QmtSR& sr) { sr.QmtSRInitialize("K", "S", "E", "V", "U", "M", "W", 1, 2, "D", "R", 0); },
       "QmtSRInitialize"},
      {[](QmtSR& sr) { sr.InitializeEnrollmenturls("a", "b", "c", "d", "e"); },
       "Initializing Enrollmenturls"},
      {[](QmtSR& sr) { sr.InitQMTParameters("BIOS"); }, "Initializing QMT parameters"},
      {[](QmtSR& sr) { sr.InitializeProxyParameters("u", "p", "a", 1, "o"); },
       "Initializing Proxy Parameters"}};
  for (const auto& [initialise, name] : cases) {
    LogSandbox sandbox;
    QmtSR sr;
    g_failNextAllocation = true;  // the copy of the first line: the start banner
    initialise(sr);
    const Messages logged = ReadMessages(sandbox.EnrollmentLog());
    ASSERT_EQ(logged.size(), 2u) << name;
    EXPECT_EQ(logged[0], "error while " + name + " is: " + std::bad_alloc().what());
    EXPECT_NE(logged[1].find(" End ="), std::string::npos) << logged[1];
  }
}

// The opt-ins switch on only at their exact values; anything else keeps the documented default.
TEST(RuntimeSettings, OptInsReadFromTheEnvironment) {
  static std::map<std::string, std::string> environment;
  const auto lookup = [](const char* name) -> const char* {
    const auto found = environment.find(name);
    return found == environment.end() ? nullptr : found->second.c_str();
  };
  const struct {
    const char *timeout, *verify, *secrets, *proxyAuth;  // nullptr: unset
    long timeoutMs, lockWaitMs;
    bool verifies, logsSecrets, sendsProxyAuth;
  } cases[] = {{nullptr, nullptr, nullptr, nullptr, 0, 60000, false, true, false},
               {"2500", "1", "0", "1", 2500, 2500, true, false, true},
               {"25ms", "yes", "no", "true", 0, 60000, false, true, false},
               {"-5", "", "1", "0", 0, 60000, false, true, false},
               {"99999999999999999999", nullptr, nullptr, nullptr, 2147483647, 2147483647, false,
                true, false}};
  for (const auto& c : cases) {
    environment.clear();
    const char* names[] = {"QMT_HTTP_TIMEOUT_MS", "QMT_TLS_VERIFY", "QMT_LOG_SECRETS",
                           "QMT_PROXY_AUTH", "QMT_LOCK_WAIT_MS"};
    const char* values[] = {c.timeout, c.verify, c.secrets, c.proxyAuth, c.timeout};
    for (int i = 0; i < 5; i++)
      if (values[i] != nullptr) environment[names[i]] = values[i];
    const SRCppWrap::detail::RuntimeSettings read = SRCppWrap::detail::ReadRuntimeSettings(lookup);
    EXPECT_EQ(read.totalTimeoutMs, c.timeoutMs) << (c.timeout ? c.timeout : "unset");
    EXPECT_EQ(read.lockWaitMs, c.lockWaitMs) << (c.timeout ? c.timeout : "unset");
    EXPECT_EQ(read.verifyTls, c.verifies);
    EXPECT_EQ(read.logSecrets, c.logsSecrets);
    EXPECT_EQ(read.proxyAuth, c.sendsProxyAuth);
  }
}

}  // namespace
