// The values that bound and harden every transfer and log line. The opt-in ones come from the
// host's environment, read once when the library loads; none of them changes a documented
// default when it is not set.
#ifndef NRD_WRAPPER_RUNTIME_SETTINGS_H
#define NRD_WRAPPER_RUNTIME_SETTINGS_H

#include <cstddef>
#include <string>

namespace SRCppWrap::detail {

struct RuntimeSettings {
  // Opt-in, from the environment.
  bool verifyTls = false;   // QMT_TLS_VERIFY=1: verify the peer and its host name on HTTPS
  std::string caBundle;     // QMT_CA_BUNDLE=FILE: the CAs to verify against (system's if empty)
  long totalTimeoutMs = 0;  // QMT_HTTP_TIMEOUT_MS=N: bound on a whole transfer; 0 = none
  bool logSecrets = true;   // QMT_LOG_SECRETS=0: PINs, OTPs, codes and seeds logged as "XXXX"
  bool proxyAuth = false;   // QMT_PROXY_AUTH=1: send the stored proxy user and password
  // QMT_LOCK_WAIT_MS=N: how long a workflow waits for another one of this installation
  long lockWaitMs = 60000;

  // Always on: a dead peer ends as a failed transfer instead of a hang, while a slow but live
  // one completes, and a hostile reply cannot exhaust memory.
  long connectTimeoutMs = 30000;
  long stallSeconds = 60;  // abort when less than 1 byte per second arrives for this long
  std::size_t backendReplyLimit = std::size_t{1} << 20;  // JSON replies of the back end
  std::size_t serviceReplyLimit = std::size_t{4} << 20;  // markup replies of the service
};

// The largest millisecond setting; larger values are taken as this one.
inline constexpr long kMaxMilliseconds = 2147483647;

// Reads the opt-in values through `lookup` (getenv's shape); unset or malformed ones keep
// their defaults.
RuntimeSettings ReadRuntimeSettings(const char* (*lookup)(const char*));

// The library's settings, read from the environment at load. Tests may change them in place.
RuntimeSettings& Settings();

// The text to log for a PIN, an OTP, an activation code or a seed: "XXXX" when the host asked for
// secrets to stay out of the log.
const char* ForLog(const std::string& secret);

}  // namespace SRCppWrap::detail

#endif
