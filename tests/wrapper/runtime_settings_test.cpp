#include <gtest/gtest.h>

#include <map>
#include <string>

#include "wrapper/runtime_settings.h"

namespace {

using SRCppWrap::detail::ReadRuntimeSettings;
using SRCppWrap::detail::RuntimeSettings;

std::map<std::string, std::string> g_environment;

const char* Lookup(const char* name) {
  const auto found = g_environment.find(name);
  return found == g_environment.end() ? nullptr : found->second.c_str();
}

TEST(RuntimeSettings, OnlyTheDocumentedValuesTurnHardeningOn) {
  struct Case {
    std::map<std::string, std::string> environment;
    bool verifyTls, logSecrets, proxyAuth;
    long totalTimeoutMs;
    std::string caBundle;
  } cases[] = {
      {{}, false, true, false, 0, ""},
      {{{"QMT_TLS_VERIFY", "1"}, {"QMT_CA_BUNDLE", "/ca.pem"}}, true, true, false, 0, "/ca.pem"},
      {{{"QMT_TLS_VERIFY", "yes"}, {"QMT_LOG_SECRETS", "1"}}, false, true, false, 0, ""},
      {{{"QMT_LOG_SECRETS", "0"}, {"QMT_PROXY_AUTH", "1"}}, false, false, true, 0, ""},
      {{{"QMT_HTTP_TIMEOUT_MS", "2500"}}, false, true, false, 2500, ""},
      {{{"QMT_HTTP_TIMEOUT_MS", "-5"}}, false, true, false, 0, ""},
      {{{"QMT_HTTP_TIMEOUT_MS", "9x"}}, false, true, false, 0, ""},
  };
  for (const Case& c : cases) {
    g_environment = c.environment;
    const RuntimeSettings s = ReadRuntimeSettings(Lookup);
    EXPECT_EQ(s.verifyTls, c.verifyTls);
    EXPECT_EQ(s.logSecrets, c.logSecrets);
    EXPECT_EQ(s.proxyAuth, c.proxyAuth);
    EXPECT_EQ(s.totalTimeoutMs, c.totalTimeoutMs);
    EXPECT_EQ(s.caBundle, c.caBundle);
  }
}

}  // namespace
