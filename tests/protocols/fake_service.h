// An in-process stand-in for the authentication web service, plugged in as the SDK's transport.
// It checks every request URL item by item, keeps its own copy of the device's keys and
// secrets, answers with markup it builds, and computes proofs and OTPs with OpenSSL only.
#ifndef NRD_TESTS_PROTOCOLS_FAKE_SERVICE_H
#define NRD_TESTS_PROTOCOLS_FAKE_SERVICE_H

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sdk/SRSdk.h"
#include "support/rsa_test_keys.h"

namespace fake {

using Bytes = rsa_test::Bytes;
using Elements = std::vector<std::pair<std::string, std::string>>;

std::string Sha256Hex(const std::string& text);
std::string AesEcbHex(const std::string& plain_hex, const std::string& key_hex, bool encrypt);
std::string RandomHex(size_t bytes);
std::string UrlDecode(const std::string& value);
// A reply document: one root whose children are the elements, in order, text escaped.
std::string Markup(const Elements& elements);
void Set(Elements& elements, const std::string& name, const std::string& value);
void Remove(Elements& elements, const std::string& name);
// The OTP the service expects: k1 ":" defi ":" secret, reduced to 38 bits and formatted.
std::string OtpOf(const std::string& k1, int32_t defi, const std::string& secret,
                  const std::string& format);

// One request as the transport received it: the query items in order, values still encoded.
struct Request {
  std::string url, base, action;
  std::vector<std::pair<std::string, std::string>> items;
  std::vector<std::string> Names() const;
  std::string Raw(const std::string& name) const;  // "" when absent
  std::string Value(const std::string& name) const { return UrlDecode(Raw(name)); }
};
Request ParseUrl(const std::string& url);

struct ServiceEntry {
  int32_t id;
  std::string name;
};
struct MessageEntry {
  int32_t id;
  std::string title;
  int32_t ack;
};

// What the service puts into its replies; tests change it before or between calls.
struct Config {
  std::string base = "http://sentrel.test:8080";
  std::string code = "ACT 7/9";
  std::string device_id = "dev-42";
  std::string mvault = "mv&1";
  std::string version = "0.2.7";
  std::string new_server;  // "server" of the activation finalize reply when not empty
  int32_t pin_mode = 1;
  std::vector<ServiceEntry> services = {{7, "Main & co"}, {9, "Backup"}};
  std::vector<int32_t> secret_ids = {7, 9};  // "ms_n" items of the activation finalize reply
  std::vector<int32_t> otp_secret_ids;       // "ms_n" items of the OTP finalize reply
  std::vector<MessageEntry> messages;
  std::string dk1;  // "dK1" of the activation finalize reply when not empty
  int32_t tsync = 1700000000;
  int32_t defi = 12345;
  std::string format = "8LC";
};

class Service {
 public:
  Service();
  static int32_t Transport(const char* url, int32_t timeout, void* user);

  void Attach(SRContext* ctx) { ctx_ = ctx; }
  // Replaces the reply to the request with this 0-based number (nullopt: hand back no body).
  void Override(size_t request, std::optional<std::string> body) { overrides_[request] = body; }
  // Lets a test change the elements of every normal reply before it is sent.
  std::function<void(const Request&, Elements&)> edit;

  Config config;
  std::vector<Request> requests;

  // The service's view of the device.
  std::string identity, pin, pin_key, k0, k1, challenge;
  std::map<int32_t, std::string> secrets;  // service id -> plain secret (32 hex)
  int32_t last_sync = 0;

  // OTP for the last OTP finalize request, from the service's own state.
  std::string ExpectedOtp() const;
  // Secret as the device stores it: AES-encrypted under the PIN key.
  std::string StoredSecret(int32_t service_id) const;

 private:
  std::optional<std::string> Answer(const Request& request);
  Elements SetupActivate(const Request& r);
  Elements FinalizeActivate(const Request& r);
  Elements SetupOtp(const Request& r);
  Elements FinalizeOtp(const Request& r);
  Elements Secrets(const Request& r);
  void AddSecretsRequest(Elements& e, const std::vector<int32_t>& ids, std::string& next);
  void CheckCommon(const Request& r, const std::string& mode,
                   const std::vector<std::string>& own_names, bool finalize) const;
  void CheckProofs(const Request& r, const std::string& proof_pin) const;
  std::string RecoverableHex(const rsa_test::RsaTestKey& key) const;

  SRContext* ctx_ = nullptr;
  std::map<size_t, std::optional<std::string>> overrides_;
  // Applied only when the normal reply reaches the device (not when a test replaced it).
  std::function<void()> on_delivery_;
  std::string device_id_, server_;
  std::vector<MessageEntry> device_messages_;
  int32_t otp_defi_ = 0, otp_service_ = 0;
  std::string otp_format_;
  int challenges_ = 0;
};

}  // namespace fake

#endif
