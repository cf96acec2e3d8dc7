// Wrong-OTP lockout of the login check: after kFreeAttempts wrong OTPs in a row a device is
// locked, first for kFirstLock, and each further wrong OTP doubles the lock (up to kLongestLock),
// so an 8-digit OTP cannot be guessed at request speed. A right OTP starts the count afresh.
// Kept in memory: a restart forgets the counts.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <string>

namespace devserver {

class LoginGuard {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr int kFreeAttempts = 5;
  static constexpr std::chrono::seconds kFirstLock{30};
  static constexpr std::chrono::seconds kLongestLock{3600};

  // Seconds (rounded up) the device stays locked, 0 when it may try now.
  int64_t lockedFor(const std::string& deviceId, Clock::time_point now = Clock::now()) const;
  void failed(const std::string& deviceId, Clock::time_point now = Clock::now());
  void succeeded(const std::string& deviceId) { entries_.erase(deviceId); }
  void clear() { entries_.clear(); }

 private:
  struct Entry {
    int failures = 0;
    Clock::time_point until;
  };
  std::map<std::string, Entry> entries_;  // only devices that exist, so bounded by them
};

}  // namespace devserver
