// The control endpoint: arms faults, changes settings at run time and shows what the service
// knows, for tests and demos. Served to loopback clients only.
#pragma once

#include <string>

#include "answer.h"
#include "faults.h"
#include "login_guard.h"
#include "settings.h"
#include "store.h"

namespace devserver {

class Control {
 public:
  Control(Store& store, Settings& settings, FaultBoard& faults, LoginGuard& loginGuard)
      : store_(store), settings_(settings), faults_(faults), loginGuard_(loginGuard) {}

  Answer armFault(const std::string& body);
  Answer listFaults() const;
  Answer clearFaults();
  Answer showSettings() const;
  Answer changeSettings(const std::string& body);
  Answer listDevices();
  // The OTP the device's last OTP exchange expects, without spending it.
  Answer showExpectedOtp(const std::string& deviceId);
  // Unlocks every device the login check locked after wrong OTPs.
  Answer clearLoginLocks();

 private:
  Store& store_;
  Settings& settings_;
  FaultBoard& faults_;
  LoginGuard& loginGuard_;
};

}  // namespace devserver
