#include "backend.h"

#include <ctime>

#include "auth_service.h"
#include "crypto.h"
#include "json_util.h"
#include "log_mask.h"

namespace devserver {

namespace {

Answer status(const std::string& text) {
  return Answer{200, jsonStringObject({{"status", text}}), text};
}

Answer badRequest(const std::string& why) {
  return Answer{400, jsonStringObject({{"status", "BAD_REQUEST"}, {"error", why}}), why};
}

Answer unauthorised() {
  return Answer{401, jsonStringObject({{"status", "UNAUTHORIZED"}}), "unauthorised"};
}

// count characters from the alphabet, a dash after every group of four.
std::string randomText(const char* alphabet, size_t alphabetSize, size_t count, bool grouped) {
  const Bytes r = randomBytes(count);
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    if (grouped && i > 0 && i % 4 == 0) out.push_back('-');
    out.push_back(alphabet[r[i] % alphabetSize]);
  }
  return out;
}

std::string newActivationCode() {
  static const char kAlphabet[] = "ABCDEFGHJKLMNPQRSTUVWXYZ23456789";  // 32: no bias
  return randomText(kAlphabet, 32, 12, true);
}

std::string newLoginOtp() {
  static const char kAlphabet[] = "0123456789";
  return randomText(kAlphabet, 10, 8, false);
}

}  // namespace

std::optional<std::string> base64Decode(const std::string& text) {
  std::string out;
  uint32_t buffer = 0;
  int bits = 0;
  size_t end = text.size();
  while (end > 0 && text[end - 1] == '=') --end;
  for (size_t i = 0; i < end; ++i) {
    const char c = text[i];
    int v;
    if (c >= 'A' && c <= 'Z')
      v = c - 'A';
    else if (c >= 'a' && c <= 'z')
      v = c - 'a' + 26;
    else if (c >= '0' && c <= '9')
      v = c - '0' + 52;
    else if (c == '+')
      v = 62;
    else if (c == '/')
      v = 63;
    else
      return std::nullopt;
    buffer = (buffer << 6) | static_cast<uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<char>((buffer >> bits) & 0xFF));
    }
  }
  return out;
}

bool Backend::authorised(const std::string& authorization) const {
  static const std::string kBasic = "Basic ";
  if (authorization.compare(0, kBasic.size(), kBasic) != 0) return false;
  const auto credentials = base64Decode(authorization.substr(kBasic.size()));
  return credentials && *credentials == settings_.user + ":" + settings_.password;
}

Answer Backend::codeAndOtp(const std::string& authorization, const std::string& body,
                           bool massEnrolment) {
  if (!authorised(authorization)) return unauthorised();
  if (!jsonStringMembers(body)) return badRequest("the enrolment message is not a JSON object");

  Enrolment e;
  do {
    e.code = newActivationCode();
  } while (store_.enrolmentByCode(e.code));
  do {
    e.login_otp = newLoginOtp();
  } while (store_.enrolmentByLogin(e.login_otp));
  e.kind = massEnrolment ? "mass" : "rlx";
  e.message = body;
  e.created = static_cast<int64_t>(std::time(nullptr));
  store_.putEnrolment(e);

  const std::string reply =
      massEnrolment ? jsonStringObject({{"enrolment_code", e.code}, {"login_otp", e.login_otp}})
                    : jsonStringObject({{"enrollment_code", e.code}, {"login_OTP", e.login_otp}});
  return Answer{200, reply, "code " + maskSecret(e.code) + " login " + maskSecret(e.login_otp)};
}

Answer Backend::checkEnrolment(const std::string& authorization, const std::string& body) {
  if (!authorised(authorization)) return unauthorised();
  const auto members = jsonStringMembers(body);
  if (!members) return badRequest("the request is not a JSON object");
  for (const char* name : {"rrdi_code", "login", "serial_number", "token"}) {
    if (members->count(name) == 0) return badRequest(std::string("missing \"") + name + "\"");
  }
  auto enrolment = store_.enrolmentByLogin(members->at("login"));
  if (!enrolment) return status("UNKNOWN_LOGIN");
  auto device = enrolment->device_id.empty() ? std::nullopt : store_.device(enrolment->device_id);
  if (!device) return status("NOT_ACTIVATED");
  const auto expected = expectedOtp(*device, store_.secrets(device->id));
  if (!expected) return status("NO_OTP");
  if (members->at("token") != *expected) return status("INVALID_TOKEN");

  device->otp_state = Device::kOtpUsed;
  enrolment->confirmed = true;
  enrolment->rrdi_code = members->at("rrdi_code");
  enrolment->serial_number = members->at("serial_number");
  Store::Transaction transaction(store_);
  store_.putDevice(*device);
  store_.putEnrolment(*enrolment);
  transaction.commit();
  return status("OK");
}

Answer Backend::login(const std::string& body) {
  const auto members = jsonStringMembers(body);
  if (!members) return badRequest("the request is not a JSON object");
  if (members->count("device") == 0 || members->count("otp") == 0) {
    return badRequest("missing \"device\" or \"otp\"");
  }
  const std::string& name = members->at("device");
  std::optional<Device> device;
  if (const auto enrolment = store_.enrolmentByLogin(name); enrolment) {
    device = store_.device(enrolment->device_id);
  }
  if (!device) device = store_.device(name);
  if (!device && !name.empty()) {
    for (auto& d : store_.devices()) {  // newest first
      if (d.identity == name || d.identity.compare(0, name.size() + 1, name + "/") == 0) {
        device = std::move(d);
        break;
      }
    }
  }
  if (!device) return status("UNKNOWN_DEVICE");
  if (device->blocked) return status("BLOCKED");
  if (const int64_t wait = loginGuard_.lockedFor(device->id); wait > 0) {
    return Answer{200,
                  jsonStringObject({{"status", "LOCKED"}, {"retry_after", std::to_string(wait)}}),
                  "LOCKED"};
  }
  const auto expected = expectedOtp(*device, store_.secrets(device->id));
  if (!expected) return status("NO_OTP");
  if (members->at("otp") != *expected) {
    loginGuard_.failed(device->id);
    return status("INVALID_OTP");
  }
  loginGuard_.succeeded(device->id);
  device->otp_state = Device::kOtpUsed;
  store_.putDevice(*device);
  return Answer{200, jsonStringObject({{"status", "OK"}, {"device_id", device->id}}), "OK"};
}

}  // namespace devserver
