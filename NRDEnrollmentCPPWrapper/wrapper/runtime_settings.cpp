#include "wrapper/runtime_settings.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/Platform.h"

namespace SRCppWrap::detail {

namespace {

bool IsSet(const char* value, const char* expected) {
  return value != nullptr && std::strcmp(value, expected) == 0;
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
  if (const char* timeout = lookup("QMT_HTTP_TIMEOUT_MS"); timeout != nullptr && *timeout) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(timeout, &end, 10);
    if (errno == 0 && *end == '\0' && value > 0) settings.totalTimeoutMs = value;
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
