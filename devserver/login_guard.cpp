#include "login_guard.h"

#include <algorithm>

namespace devserver {

int64_t LoginGuard::lockedFor(const std::string& deviceId, Clock::time_point now) const {
  const auto it = entries_.find(deviceId);
  if (it == entries_.end() || it->second.until <= now) return 0;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(it->second.until - now);
  return (left.count() + 999) / 1000;
}

void LoginGuard::failed(const std::string& deviceId, Clock::time_point now) {
  Entry& entry = entries_[deviceId];
  ++entry.failures;
  if (entry.failures < kFreeAttempts) return;
  const int doublings = std::min(entry.failures - kFreeAttempts, 16);
  const auto lock =
      std::min<std::chrono::seconds>(kFirstLock * (int64_t{1} << doublings), kLongestLock);
  entry.until = now + lock;
}

}  // namespace devserver
