#include "control.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "auth_service.h"
#include "json_util.h"

namespace devserver {

namespace {

Answer json(std::string body, std::string result = "OK") {
  return Answer{200, std::move(body), std::move(result)};
}

Answer refused(int status, const std::string& why) {
  return Answer{status, jsonStringObject({{"error", why}}), why};
}

const char* otpStateName(int32_t state) {
  switch (state) {
    case Device::kOtpExpected:
      return "expected";
    case Device::kOtpUsed:
      return "used";
    default:
      return "none";
  }
}

}  // namespace

Answer Control::armFault(const std::string& body) {
  Fault fault;
  const std::string error = faultFromJson(body, fault);
  if (!error.empty()) return refused(400, error);
  faults_.arm(fault);
  return json(faultsToJson(faults_.armed()), "fault armed");
}

Answer Control::listFaults() const {
  return json(faultsToJson(faults_.armed()));
}

Answer Control::clearFaults() {
  faults_.clear();
  return json("[]", "faults cleared");
}

Answer Control::clearLoginLocks() {
  loginGuard_.clear();
  return json("{}", "login locks cleared");
}

Answer Control::showSettings() const {
  return json(settingsToJson(settings_));
}

Answer Control::changeSettings(const std::string& body) {
  const std::string error = applySettingsJson(settings_, body);
  if (!error.empty()) return refused(400, error);
  return json(settingsToJson(settings_), "settings changed");
}

Answer Control::listDevices() {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> w(buffer);
  auto text = [&w](const char* key, const std::string& value) {
    w.Key(key);
    w.String(value.c_str(), static_cast<rapidjson::SizeType>(value.size()));
  };
  w.StartArray();
  for (const auto& d : store_.devices()) {
    w.StartObject();
    text("id", d.id);
    text("code", d.code);
    text("identity", d.identity);
    text("name", d.name);
    w.Key("blocked");
    w.Bool(d.blocked);
    w.Key("pin_failures");
    w.Int(d.pin_failures);
    w.Key("secrets");
    w.StartArray();
    for (const auto& entry : store_.secrets(d.id)) w.Int(entry.first);
    w.EndArray();
    w.Key("acked");
    w.StartArray();
    for (const int32_t id : d.acked) w.Int(id);
    w.EndArray();
    text("otp_state", otpStateName(d.otp_state));
    w.Key("created");
    w.Int64(d.created);
    w.EndObject();
  }
  w.EndArray();
  return json(buffer.GetString());
}

Answer Control::showExpectedOtp(const std::string& deviceId) {
  const auto device = store_.device(deviceId);
  if (!device) return refused(404, "no device " + deviceId);
  const auto otp = expectedOtp(*device, store_.secrets(device->id));
  return json(jsonStringObject({{"device_id", device->id},
                                {"otp", otp.value_or("")},
                                {"state", otpStateName(device->otp_state)},
                                {"format", device->otp_format},
                                {"defi", std::to_string(device->otp_defi)}}));
}

}  // namespace devserver
