// The dev server's authentication service as the SDK's peer, in this process: the transport
// hands each request's query to devserver::AuthService and its answer back to the SDK, unless
// a fault armed on the dev server's fault board (or a test's own body) takes its place.
#ifndef NRD_TESTS_PROTOCOLS_SERVICE_PEER_H
#define NRD_TESTS_PROTOCOLS_SERVICE_PEER_H

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "auth_service.h"
#include "faults.h"
#include "sdk/SRSdk.h"
#include "settings.h"
#include "store.h"
#include "support/sdk_handles.h"

class ServicePeer {
 public:
  static constexpr const char* kPin = "4711 pin";
  static constexpr const char* kBase = "http://sentrel.test:8080";

  ServicePeer();
  ServicePeer(const ServicePeer&) = delete;
  ServicePeer& operator=(const ServicePeer&) = delete;

  // The device under test: a context wired to this peer, its activation code handed out.
  SRContext* ctx() const { return ctx_.get(); }
  // Wires another context to this peer (a device reloaded from its saved state).
  void Attach(SRContext* ctx);

  int32_t Start() { return SRActivationStart(ctx(), code_.c_str()); }
  int32_t Finalize(const char* pin = kPin) {
    return SRActivationFinalize(ctx(), code_.c_str(), pin, "My PC");
  }
  void Activate(const char* pin = kPin);
  int32_t Otp(int32_t index, const char* pin = kPin);
  std::string OtpText() const;

  // A fault for the matching requests, as the dev server's control endpoint arms it.
  void Arm(devserver::FaultKind kind, const std::string& action, const std::string& mode,
           const std::string& result = "", int32_t count = 1);
  // Hands back this body (nullopt: none) in place of the answer to request number n (0-based).
  void Replace(size_t n, std::optional<std::string> body) { replaced_[n] = std::move(body); }

  // The service's view of the device, and the OTP it expects after the last exchange.
  devserver::Device ServerDevice() const;
  std::optional<std::string> ExpectedOtp() const;

  devserver::Settings settings;
  std::vector<std::string> urls;  // every request, in order

 private:
  static int32_t Transport(const char* url, int32_t timeout, void* user);
  std::optional<std::string> Answer(const std::string& url);

  std::unique_ptr<devserver::Store> store_;
  std::unique_ptr<devserver::AuthService> service_;
  devserver::FaultBoard faults_;
  std::map<size_t, std::optional<std::string>> replaced_;
  std::string code_;
  ContextPtr ctx_;
  SRContext* current_ = nullptr;
};

// The raw (still encoded) value of a query item of a request URL; "" when absent.
std::string QueryItem(const std::string& url, const std::string& name);

#endif
