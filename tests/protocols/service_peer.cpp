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
  devserver::Enrolment enrolment;
  enrolment.code = code_;
  enrolment.login_otp = "12345678";
  enrolment.kind = "mass";
  enrolment.created = static_cast<int64_t>(std::time(nullptr));
  store_->putEnrolment(enrolment);
  ctx_.reset(SRInit(0, "SER 0042", "KEY/77", &ServicePeer::Transport, this));
  SRWsServerSet(ctx(), "http://sentrel.test:8080");
  SRMvaultSet(ctx(), "mv&1");
}

void ServicePeer::Arm(devserver::FaultKind kind, const std::string& action, const std::string& mode,
                      const std::string& result) {
  devserver::Fault fault;
  fault.kind = kind;
  fault.result = result;
  fault.target = "srws";
  fault.action = action;
  fault.mode = mode;
  fault.count = 1;
  faults_.arm(fault);
}

devserver::Device ServicePeer::ServerDevice() const {
  return store_->device(ctx()->device_id).value_or(devserver::Device{});
}

std::optional<std::string> ServicePeer::ExpectedOtp() const {
  return devserver::expectedOtp(ServerDevice(), store_->secrets(ctx()->device_id));
}

std::optional<std::string> ServicePeer::Answer(const std::string& url) {
  if (auto it = replaced_.find(urls.size() - 1); it != replaced_.end()) return it->second;
  devserver::Fault hit;
  if (faults_.take("/srws/MAC", QueryItem(url, "action"), QueryItem(url, "mode"), hit)) {
    switch (hit.kind) {
      case devserver::FaultKind::Result:
        return devserver::Reply().add("err", hit.result).document();
      case devserver::FaultKind::Garbage:
        return "Service confused: this body is neither markup nor JSON.\n";
      case devserver::FaultKind::NoErr:
        return devserver::Reply().add("info", "no result").document();
      default:
        return "";
    }
  }
  return service_->handle(url.substr(url.find('?') + 1)).body;
}

int32_t ServicePeer::Transport(const char* url, int32_t, void* user) {
  auto* peer = static_cast<ServicePeer*>(user);
  peer->urls.emplace_back(url);
  const std::optional<std::string> body = peer->Answer(url);
  if (body) SRWsResponseSet(peer->ctx(), body->c_str());
  return body ? 200 : 0;
}

std::string QueryItem(const std::string& url, const std::string& name) {
  for (const char* separator : {"?", "&"}) {
    const size_t at = url.find(separator + name + "=");
    if (at == std::string::npos) continue;
    const size_t from = at + name.size() + 2;
    return url.substr(from, url.find('&', from) - from);
  }
  return "";
}
