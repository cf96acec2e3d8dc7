// What the service puts into its replies beyond keys and proofs: the service list, the
// messages, the sync values, the OTP parameters, the back end's credentials. Read from the
// --config file at start and changed at run time through the control endpoint; never stored.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace devserver {

struct ServiceEntry {
  int32_t id = 0;
  std::string name;
  std::string icon;
  std::string secure;
  std::string ksc;
  int32_t connected = 0;
  std::string url;
  std::string pattern;
};

struct MessageEntry {
  int32_t id = 0;
  std::string title;
  std::string content;
  int32_t ack = 0;  // 2: the device must acknowledge it
};

// When the reply carries "dK1", which diversifies k1 on the device.
enum class Dk1Mode { Off, Activate, Always };

struct Settings {
  std::vector<ServiceEntry> services;
  std::vector<MessageEntry> messages;
  int64_t tsync = 0;
  int32_t connected = 3600;
  std::string server;  // the "server" element; empty: not sent
  std::string otp_format = "8LC";
  std::optional<int32_t> defi;  // unset: a fresh random positive value per exchange
  Dk1Mode dk1 = Dk1Mode::Activate;
  std::string user = "sentrel";
  std::string password = "sentrel";
  int32_t pin_attempts = 5;  // wrong PINs in a row before the device is blocked; 0: never

  const ServiceEntry* findService(int32_t id) const;
};

// Two services and two messages (one to acknowledge); tsync is the given start time.
Settings defaultSettings(int64_t now);

// Applies the members present in a JSON object to a copy of the settings and commits it
// only when every member is valid. Returns "" or an error text naming the first bad member.
std::string applySettingsJson(Settings& settings, std::string_view json);

std::string settingsToJson(const Settings& settings);

}  // namespace devserver
