// The authentication service: answers "/srws/MAC" requests for the "activate", "otp" and "ms"
// modes, playing the service's side of every key exchange and proof.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "answer.h"
#include "crypto.h"
#include "markup.h"
#include "settings.h"
#include "store.h"

namespace devserver {

// Key A is sent as Kfact and transforms the moduli the device recovers with it; key B is the
// one the device encrypts for (Ksr, and every ms_key modulus).
struct ServerKeys {
  RsaKey factory;
  RsaKey service;
};

// Loads both keys from the store, making them (public exponent 17) at the first start.
std::optional<ServerKeys> loadOrCreateKeys(Store& store, int bits, std::string& error);

// The OTP the device must produce after its last OTP exchange, or nullopt when none is
// expected (no exchange yet, already used, or an OTP format the rule does not know).
std::optional<std::string> expectedOtp(const Device& device,
                                       const std::map<int32_t, std::string>& secrets);

// The protocol text every request must carry in "&version=", alone or after the host's own
// version and a "/".
inline constexpr std::string_view kProtocolVersion = "0.2.7";

class AuthService {
 public:
  AuthService(Store& store, const ServerKeys& keys, const Settings& settings)
      : store_(store), keys_(keys), settings_(settings) {}

  // Answers one request given its raw (still encoded) query text. The caller serialises
  // calls: the service reads and writes the store without locks of its own.
  Answer handle(std::string_view rawQuery);

 private:
  class Items;
  Answer setupActivate(const Items& items);
  Answer finalizeActivate(const Items& items);
  Answer setupOtp(const Items& items);
  Answer finalizeOtp(const Items& items);
  Answer finalizeSecrets(const Items& items);

  Device knownDevice(const Items& items);
  void checkDeviceProofs(const Items& items, Device& device, const std::string& challenge);
  void addSyncBlock(Reply& reply, const Device& device);
  void askForSecrets(Reply& reply, Device& device);

  Store& store_;
  const ServerKeys& keys_;
  const Settings& settings_;
};

}  // namespace devserver
