#include "service_peer.h"

#include <gtest/gtest.h>

#include <ctime>
#include <stdexcept>

#include "markup.h"

namespace {

// Both RSA keys are made once for the whole suite: making them dominates a peer's start.
const devserver::ServerKeys& SharedKeys() {
  static const devserver::ServerKeys keys = [] {
    std::string error;
    auto store = devserver::Store::open(":memory:", error);
    auto made = store ? devserver::loadOrCreateKeys(*store, 1024, error) : std::nullopt;
    if (!made) throw std::runtime_error("server keys: " + error);
    return *made;
  }();
  return keys;
}

}  // namespace

ServicePeer::ServicePeer() : settings(devserver::defaultSettings(1700000000)) {
  std::string error;
  store_ = devserver::Store::open(":memory:", error);
  if (!store_) throw std::runtime_error("store: " + error);
  service_ = std::make_unique<devserver::AuthService>(*store_, SharedKeys(), settings);
  code_ = "ACT 7/9";
  devserver::Enrolment enrolment;
  enrolment.code = code_;
  enrolment.login_otp = "12345678";
  enrolment.kind = "mass";
  enrolment.created = static_cast<int64_t>(std::time(nullptr));
  store_->putEnrolment(enrolment);
  ctx_.reset(SRInit(0, "SER 0042", "KEY/77", &ServicePeer::Transport, this));
  Attach(ctx_.get());
}

void ServicePeer::Attach(SRContext* ctx) {
  current_ = ctx;
  SRWsServerSet(ctx, kBase);
  SRMvaultSet(ctx, "mv&1");
  ctx->transport = &ServicePeer::Transport;
  ctx->transport_user = this;
}

void ServicePeer::Activate(const char* pin) {
  ASSERT_EQ(Start(), SR_OK);
  ASSERT_EQ(Finalize(pin), SR_OK);
}

int32_t ServicePeer::Otp(int32_t index, const char* pin) {
  const int32_t result = SROnlineOtpStart(current_, index);
  return result != SR_OK ? result : SROnlineOtpFinalize(current_, index, pin);
}

std::string ServicePeer::OtpText() const {
  const char* otp = SROnlineOtpGet(current_);
  return otp != nullptr ? otp : "(none)";
}

void ServicePeer::Arm(devserver::FaultKind kind, const std::string& action, const std::string& mode,
                      const std::string& result, int32_t count) {
  devserver::Fault fault;
  fault.kind = kind;
  fault.result = result;
  fault.target = "srws";
  fault.action = action;
  fault.mode = mode;
  fault.count = count;
  faults_.arm(fault);
}

devserver::Device ServicePeer::ServerDevice() const {
  return store_->device(current_->device_id).value_or(devserver::Device{});
}

std::optional<std::string> ServicePeer::ExpectedOtp() const {
  return devserver::expectedOtp(ServerDevice(), store_->secrets(current_->device_id));
}

std::optional<std::string> ServicePeer::Answer(const std::string& url) {
  const size_t n = urls.size() - 1;
  if (auto it = replaced_.find(n); it != replaced_.end()) return it->second;
  const std::string action = QueryItem(url, "action"), mode = QueryItem(url, "mode");
  devserver::Fault hit;
  if (faults_.take("/srws/MAC", action, mode, hit)) {
    switch (hit.kind) {
      case devserver::FaultKind::Result:
        return devserver::Reply().add("err", hit.result).document();
      case devserver::FaultKind::Empty:
        return "";
      case devserver::FaultKind::Garbage:
        return "Service confused: this body is neither markup nor JSON.\n";
      case devserver::FaultKind::NoErr:
        return devserver::Reply().add("info", "no result").document();
      default:
        return std::nullopt;  // a transport that failed hands back no body
    }
  }
  const size_t query = url.find('?');
  return service_->handle(query == std::string::npos ? "" : url.substr(query + 1)).body;
}

int32_t ServicePeer::Transport(const char* url, int32_t, void* user) {
  auto* peer = static_cast<ServicePeer*>(user);
  peer->urls.emplace_back(url);
  const std::optional<std::string> body = peer->Answer(url);
  if (body) SRWsResponseSet(peer->current_, body->c_str());
  return body ? 200 : 0;
}

std::string QueryItem(const std::string& url, const std::string& name) {
  for (const char* separator : {"?", "&"}) {
    const std::string key = separator + name + "=";
    const size_t at = url.find(key);
    if (at == std::string::npos) continue;
    const size_t from = at + key.size();
    return url.substr(from, url.find('&', from) - from);
  }
  return "";
}
