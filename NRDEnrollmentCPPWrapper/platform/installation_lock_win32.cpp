// The installation lock on Windows: a byte-range lock on "<seed>.lock", a file next to the seed
// (the seed itself is replaced by a rename, which would leave a lock on the old file). Unlike a
// named mutex it is not bound to a session (a service in session 0 and an interactive host
// exclude each other) nor to a thread (any thread of the holder may release it), and the system
// drops it when its handle closes, at the latest when the holding process ends.
#ifdef _WIN32

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "platform/Platform.h"
#include "platform/installation_lock_system.h"

namespace SRCppWrap::platform {

namespace {

std::string SystemError(const char* step, DWORD error) {
  return std::string(step) + ": error " + std::to_string(error);
}

bool LockFirstByte(HANDLE file) {
  OVERLAPPED at{};
  return ::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
}

}  // namespace

bool SystemLockAcquire(const std::string& seedWindowsPath, long waitMs, std::intptr_t& handle,
                       std::string* unguarded) {
  using namespace std::chrono;
  handle = kNoSystemLock;
  const std::string path = seedWindowsPath + ".lock";
  // Not inherited by the host's children: a child must not keep the lock alive.
  const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    if (unguarded != nullptr)
      *unguarded = SystemError(("CreateFile " + path).c_str(), ::GetLastError());
    return true;
  }
  // No timed wait for a byte-range lock: poll, briefly at first, so that a short hold costs
  // little.
  const steady_clock::time_point deadline = steady_clock::now() + milliseconds(waitMs);
  milliseconds pause(1);
  while (!LockFirstByte(file)) {
    const DWORD error = ::GetLastError();
    const steady_clock::time_point now = steady_clock::now();
    if (error != ERROR_LOCK_VIOLATION || now >= deadline) {
      ::CloseHandle(file);
      if (error == ERROR_LOCK_VIOLATION) return false;
      if (unguarded != nullptr) *unguarded = SystemError(("LockFileEx " + path).c_str(), error);
      return true;
    }
    std::this_thread::sleep_for(std::min<steady_clock::duration>(pause, deadline - now));
    pause = std::min(pause * 2, milliseconds(50));
  }
  handle = reinterpret_cast<std::intptr_t>(file);
  return true;
}

std::string SystemLockRelease(std::intptr_t handle) {
  if (handle == kNoSystemLock) return "";
  const HANDLE file = reinterpret_cast<HANDLE>(handle);
  OVERLAPPED at{};
  std::string error;
  if (::UnlockFileEx(file, 0, 1, 0, &at) == 0)
    error = SystemError("UnlockFileEx", ::GetLastError());
  // Closing the handle drops the lock in any case.
  if (::CloseHandle(file) == 0 && error.empty()) {
    error = SystemError("CloseHandle", ::GetLastError());
  }
  return error;
}

void SystemLockForget(std::intptr_t /*handle*/) {}  // no fork on Windows

}  // namespace SRCppWrap::platform

#endif  // _WIN32
