// The dev server's authentication service as the SDK's in-process peer: it answers each request
// unless an armed fault takes its place (HttpStatus: the transport fails, no body).
#ifndef NRD_TESTS_PROTOCOLS_SERVICE_PEER_H
#define NRD_TESTS_PROTOCOLS_SERVICE_PEER_H

#include <gtest/gtest.h>

#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "auth_service.h"
#include "faults.h"
#include "markup.h"
#include "query.h"
#include "sdk/SRSdk.h"
#include "support/sdk_handles.h"

// The decoded value of a query item of a request URL; "" when absent.
inline std::string QueryItem(const std::string& url, const std::string& name) {
  return devserver::parseQuery(devserver::queryOf(url)).items[name];
}

class ServicePeer {
 public:
  static constexpr const char* kPin = "4711 pin";

  ServicePeer() : settings(devserver::defaultSettings(1700000000)) {
    std::string error;
    store_ = devserver::Store::open(":memory:", error);
    // Both RSA keys are made once for the whole suite: making them dominates a peer's start.
    static const devserver::ServerKeys keys = *devserver::loadOrCreateKeys(*store_, 1024, error);
    service_ = std::make_unique<devserver::AuthService>(*store_, keys, settings);
    devserver::Enrolment enrolment;
    enrolment.code = code_;
    enrolment.created = static_cast<int64_t>(std::time(nullptr));
    store_->putEnrolment(enrolment);
    ctx_.reset(SRInit(0, "SER 0042", "KEY/77", &ServicePeer::Transport, this));
    SRWsServerSet(ctx(), "http://sentrel.test:8080");
  }
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
           const std::string& result = "") {
    faults_.arm(devserver::Fault{kind, result, 0, 0, "srws", "", action, mode, 1});
  }
  // The service's view of the device, and the OTP it expects after the last exchange.
  devserver::Device ServerDevice() const {
    return store_->device(ctx()->device_id).value_or(devserver::Device{});
  }
  std::optional<std::string> ExpectedOtp() const {
    return devserver::expectedOtp(ServerDevice(), store_->secrets(ctx()->device_id));
  }

  devserver::Settings settings;
  std::vector<std::string> urls;  // every request, in order

 private:
  static int32_t Transport(const char* url, int32_t, void* user) {
    auto* peer = static_cast<ServicePeer*>(user);
    peer->urls.emplace_back(url);
    const std::optional<std::string> body = peer->Answer(url);
    if (body) SRWsResponseSet(peer->ctx(), body->c_str());
    return body ? 200 : 0;
  }
  std::optional<std::string> Answer(const std::string& url) {
    devserver::Fault hit;
    if (faults_.take("/srws/MAC", QueryItem(url, "action"), QueryItem(url, "mode"), hit)) {
      switch (hit.kind) {
        case devserver::FaultKind::Result:
          return devserver::Reply().add("err", hit.result).document();
        case devserver::FaultKind::Garbage:
          return "Service confused: this body is neither markup nor JSON.\n";
        case devserver::FaultKind::NoErr:
          return devserver::Reply().add("info", "no result").document();
        case devserver::FaultKind::HttpStatus:
          return std::nullopt;
        default:
          return "";
      }
    }
    return service_->handle(url.substr(url.find('?') + 1)).body;
  }

  std::unique_ptr<devserver::Store> store_;
  std::unique_ptr<devserver::AuthService> service_;
  devserver::FaultBoard faults_;
  std::string code_ = "ACT 7/9";
  ContextPtr ctx_;
};

#endif
