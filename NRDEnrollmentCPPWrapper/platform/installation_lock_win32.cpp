// The installation lock on Windows: a named mutex, its name the seed path as the file system
// compares it (case-insensitively; a name may not hold "\"). A holder that ends without
// releasing leaves the mutex abandoned, which the next waiter takes like a released one: the
// seed it left is whole, since every save replaces the file atomically or rolls back.
#ifdef _WIN32

#include <windows.h>

#include <cctype>
#include <string>

#include "platform/Platform.h"
#include "platform/installation_lock_system.h"

namespace SRCppWrap::platform {

bool SystemLockAcquire(const std::string& seedWindowsPath, long waitMs, std::intptr_t& handle,
                       std::string* unguarded) {
  handle = kNoSystemLock;
  std::string name = "QmtSR installation ";
  for (const char c : seedWindowsPath) {
    name += c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  HANDLE mutex = ::CreateMutexA(nullptr, FALSE, name.c_str());
  if (mutex == nullptr) {
    if (unguarded != nullptr) *unguarded = "CreateMutex: error " + std::to_string(::GetLastError());
    return true;
  }
  const DWORD waited = ::WaitForSingleObject(mutex, static_cast<DWORD>(waitMs));
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
    handle = reinterpret_cast<std::intptr_t>(mutex);
    return true;
  }
  if (waited != WAIT_TIMEOUT && unguarded != nullptr) {
    *unguarded = "WaitForSingleObject: error " + std::to_string(::GetLastError());
  }
  ::CloseHandle(mutex);
  return waited != WAIT_TIMEOUT;
}

void SystemLockForget(std::intptr_t /*handle*/) {}  // no fork on Windows

void SystemLockRelease(std::intptr_t handle) {
  if (handle == kNoSystemLock) return;
  HANDLE mutex = reinterpret_cast<HANDLE>(handle);
  ::ReleaseMutex(mutex);
  ::CloseHandle(mutex);
}

}  // namespace SRCppWrap::platform

#endif  // _WIN32
