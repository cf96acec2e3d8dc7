// The enrolment back end (code-and-OTP requests, check-enrolment) and the login check that
// accepts the OTPs a device produces afterwards. JSON in, JSON out.
#pragma once

#include <optional>
#include <string>

#include "answer.h"
#include "login_guard.h"
#include "settings.h"
#include "store.h"

namespace devserver {

class Backend {
 public:
  Backend(Store& store, const Settings& settings) : store_(store), settings_(settings) {}

  // A new activation code and login OTP for the enrolment message in body. The mass enrolment
  // request answers "enrolment_code"/"login_otp", the RLX activation "enrollment_code"/
  // "login_OTP". authorization is the request's Authorization header.
  Answer codeAndOtp(const std::string& authorization, const std::string& body, bool massEnrolment);

  // {"rrdi_code","login","serial_number","token"}: "OK" when the login names an enrolment whose
  // device's last OTP exchange expects exactly this token. The OTP is then spent.
  Answer checkEnrolment(const std::string& authorization, const std::string& body);

  // {"device","otp"}: "OK" when the OTP is the one the device's last OTP exchange expects.
  // The device is named by its id, its enrolment's login OTP, its identity, or the identity's
  // serial "/" unique key. One use only. Wrong OTPs lock the device for a while (LoginGuard).
  Answer login(const std::string& body);

  LoginGuard& loginGuard() { return loginGuard_; }

 private:
  bool authorised(const std::string& authorization) const;

  Store& store_;
  const Settings& settings_;
  LoginGuard loginGuard_;
};

// Decodes standard base64 (with or without padding); nullopt on any other character.
std::optional<std::string> base64Decode(const std::string& text);

}  // namespace devserver
