// The system's half of the installation lock; each platform provides it.
#ifndef NRD_PLATFORM_INSTALLATION_LOCK_SYSTEM_H
#define NRD_PLATFORM_INSTALLATION_LOCK_SYSTEM_H

#include <cstdint>
#include <string>

namespace SRCppWrap::platform {

inline constexpr std::intptr_t kNoSystemLock = -1;

// Waits at most `waitMs` for the lock of the installation whose seed file is `seedWindowsPath`.
// True when it is held, `handle` then names it (kNoSystemLock: the system had nothing to lock,
// and `unguarded`, when given, says why).
bool SystemLockAcquire(const std::string& seedWindowsPath, long waitMs, std::intptr_t& handle,
                       std::string* unguarded = nullptr);
// Empty when released, else why the system refused.
std::string SystemLockRelease(std::intptr_t handle);
// In a process made by fork: lets go of an inherited handle without releasing the parent's lock.
void SystemLockForget(std::intptr_t handle);

}  // namespace SRCppWrap::platform

#endif
