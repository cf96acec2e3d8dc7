// The dev server's authentication service as the SDK's peer, in this process: the transport
// hands each request's query to devserver::AuthService and its answer back to the SDK, unless
// an armed fault or a replaced body takes its place.
#ifndef NRD_TESTS_PROTOCOLS_SERVICE_PEER_H
#define NRD_TESTS_PROTOCOLS_SERVICE_PEER_H

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "auth_service.h"
#include "faults.h"
#include "sdk/SRSdk.h"
#include "support/sdk_handles.h"

class ServicePeer {
 public:
  static constexpr const char* kPin = "4711 pin";

  ServicePeer();
  SRContext* ctx() const { return ctx_.get(); }  // the device, its activation code handed out
  int32_t Start() { return SRActivationStart(ctx(), code_.c_str()); }
  int32_t Finalize(const char* pin = kPin) {
    return SRActivationFinalize(ctx(), code_.c_str(), pin, "My PC");
  }
  void Activate() {
    ASSERT_EQ(Start(), SR_OK);
    ASSERT_EQ(Finalize(), SR_OK);
  }
  int32_t Otp(int32_t index, const char* pin = kPin) {
    const int32_t result = SROnlineOtpStart(ctx(), index);
    return result != SR_OK ? result : SROnlineOtpFinalize(ctx(), index, pin);
  }
  std::string OtpText() const {
    const char* otp = SROnlineOtpGet(ctx());
    return otp != nullptr ? otp : "(none)";
  }
  // A fault for the next matching request, as the dev server's control endpoint arms it.
  void Arm(devserver::FaultKind kind, const std::string& action, const std::string& mode,
           const std::string& result = "");
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
  std::string code_ = "ACT 7/9";
  ContextPtr ctx_;
};

// The raw (still encoded) value of a query item of a request URL; "" when absent.
std::string QueryItem(const std::string& url, const std::string& name);

#endif
