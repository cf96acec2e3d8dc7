#include "wrapper/runtime_settings.h"

#include <cstdlib>
#include <cstring>

#include "platform/Platform.h"

namespace SRCppWrap::detail {

namespace {

bool IsSet(const char* value, const char* expected) {
  return value != nullptr && std::strcmp(value, expected) == 0;
}

// A count of milliseconds written as decimal digits alone, or -1. One beyond kMaxMilliseconds is
// taken as that (24.8 days, as good as no bound), never dropped as the width of `long` once
// made it on 32-bit targets; the parse itself never overflows.
long Milliseconds(const char* text) {
  if (text == nullptr || *text == '\0') return -1;
  long value = 0;
  for (const char* digit = text; *digit != '\0'; ++digit) {
    if (*digit < '0' || *digit > '9') return -1;
    const long next = *digit - '0';
    value = value > (kMaxMilliseconds - next) / 10 ? kMaxMilliseconds : value * 10 + next;
  }
  return value;
}

const char* Environment(const char* name) {
  return platform::EnvironmentValue(name);
}

// Built while the library loads, before the host can call anything.
RuntimeSettings g_settings = ReadRuntimeSettings(Environment);

}  // namespace

RuntimeSettings ReadRuntimeSettings(const char* (*lookup)(const char*)) {
  RuntimeSettings settings;
  settings.verifyTls = IsSet(lookup("QMT_TLS_VERIFY"), "1");
  if (const char* bundle = lookup("QMT_CA_BUNDLE")) settings.caBundle = bundle;
  if (const long timeout = Milliseconds(lookup("QMT_HTTP_TIMEOUT_MS")); timeout > 0) {
    settings.totalTimeoutMs = timeout;
  }
  if (const long wait = Milliseconds(lookup("QMT_LOCK_WAIT_MS")); wait >= 0) {
    settings.lockWaitMs = wait;
  }
  settings.logSecrets = !IsSet(lookup("QMT_LOG_SECRETS"), "0");
  settings.proxyAuth = IsSet(lookup("QMT_PROXY_AUTH"), "1");
  return settings;
}

RuntimeSettings& Settings() {
  return g_settings;
}

const char* ForLog(const std::string& secret) {
  return g_settings.logSecrets ? secret.c_str() : "XXXX";
}

}  // namespace SRCppWrap::detail
