#include <map>

#include "QmtSR.h"
#include "wrapper/log_sandbox.h"
#include "wrapper/runtime_settings.h"

namespace {

using namespace qmt_test;
using SRCppWrap::QmtSR;

// A setter stores its value and writes one entry, the proxy ones none; the texts of the entries
// are part of every workflow's golden transcript.
TEST(Configuration, SettersStoreAndLogOnce) {
  struct Case {
    void (QmtSR::*set)(std::string);
    std::string (QmtSR::*get)();  // null: the field has no getter
    bool logs;
  } cases[] = {
      {&QmtSR::SetUniquekey, &QmtSR::GetUniquekey, true},
      {&QmtSR::Setsentrel_server_url, &QmtSR::Getsentrel_server_url, true},
      {&QmtSR::SetgetPDVurl, nullptr, true},
      {&QmtSR::Setproxy_user, &QmtSR::Getproxy_user, false},
      {&QmtSR::Setproxy_password, &QmtSR::Getproxy_password, false},
      {&QmtSR::Sethttp_address, &QmtSR::Gethttp_address, false},
      {&QmtSR::Sethttp_proxy_override, &QmtSR::Gethttp_proxy_override, false},
  };
  for (const Case& c : cases) {
    LogSandbox sandbox;
    QmtSR sr;
    (sr.*c.set)("V%s");
    const Messages logged = ReadMessages(sandbox.EnrollmentLog());
    EXPECT_EQ(logged.size(), c.logs ? 1u : 0u) << &c - cases;
    EXPECT_TRUE(logged.empty() || logged[0].substr(logged[0].size() - 5) == ": V%s") << logged[0];
    EXPECT_EQ(c.get ? (sr.*c.get)() : "V%s", "V%s");
  }
}

// The block goes to the file of the new status, whatever the status was before.
TEST(Initializers, QmtSRInitializeStoresStatusBeforeItsFirstLine) {
  for (auto [previous, status] : {std::pair{0, 1}, {1, 0}, {1, -1}, {0, 7}}) {
    LogSandbox sandbox;
    QmtSR sr;
    sr.SetEnrollmentStatus(previous);
    sr.QmtSRInitialize("UK", "S", "E", "9.1", "U", "MAC", "W", 15000, 2, "SERIAL", "RRDI", status);
    const bool auth = status == 1;
    EXPECT_EQ(ReadMessages(auth ? sandbox.AuthenticationLog() : sandbox.EnrollmentLog()).size(),
              13u);
    EXPECT_FALSE(fs::exists(auth ? sandbox.EnrollmentLog() : sandbox.AuthenticationLog()));
    EXPECT_EQ(sr.GetEnrollmentStatus(), status);
    EXPECT_EQ(sr.GetOTP_service_index(), 2);
  }
}

TEST(Initializers, ProxyParametersNeverLogThePassword) {
  LogSandbox sandbox;
  QmtSR sr;
  sr.InitializeProxyParameters("proxy-user", "Pa55-w0rd!", "proxy.local", 3128L, "*.local");
  EXPECT_EQ(ReadMessages(sandbox.EnrollmentLog()).size(), 6u);
  EXPECT_EQ(ReadFile(sandbox.EnrollmentLog()).find("Pa55-w0rd!"), std::string::npos);
  EXPECT_EQ(sr.Getproxy_user() + sr.Getproxy_password(), "proxy-userPa55-w0rd!");
  EXPECT_EQ(sr.Gethttp_port(), 3128L);
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
