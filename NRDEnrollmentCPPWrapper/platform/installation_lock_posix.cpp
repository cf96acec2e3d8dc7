// The installation lock on POSIX: flock on the seed file's folder. The folder outlives every
// replace of the seed (a rename gives the seed a new file, which would drop a lock on the file),
// needs no new file, and its lock ends with the last descriptor, that is with its process.
#ifndef _WIN32

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/Platform.h"
#include "platform/installation_lock_system.h"

namespace SRCppWrap::platform {

namespace {

void Say(std::string* unguarded, const std::string& step, const std::string& path, int error) {
  if (unguarded != nullptr) *unguarded = step + " " + path + ": " + std::strerror(error);
}

}  // namespace

bool SystemLockAcquire(const std::string& seedWindowsPath, long waitMs, std::intptr_t& handle,
                       std::string* unguarded) {
  using namespace std::chrono;
  handle = kNoSystemLock;
  const std::string seed = NativePath(seedWindowsPath);
  const std::string::size_type slash = seed.rfind('/');
  const std::string folder = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                                        : seed.substr(0, slash);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    Say(unguarded, "open", folder, errno);
    return true;
  }
  // flock has no timed wait: poll, briefly at first, so that a short hold costs little.
  const steady_clock::time_point deadline = steady_clock::now() + milliseconds(waitMs);
  milliseconds pause(1);
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    if (error == EINTR) continue;
    const steady_clock::time_point now = steady_clock::now();
    if (error != EWOULDBLOCK || now >= deadline) {
      ::close(fd);
      if (error == EWOULDBLOCK) return false;
      Say(unguarded, "flock", folder, error);  // a file system without locks lets the owner in
      return true;
    }
    std::this_thread::sleep_for(std::min<steady_clock::duration>(pause, deadline - now));
    pause = std::min(pause * 2, milliseconds(50));
  }
  handle = fd;
  return true;
}

std::string SystemLockRelease(std::intptr_t handle) {
  if (handle == kNoSystemLock || ::close(static_cast<int>(handle)) == 0) return "";
  return std::string("close: ") + std::strerror(errno);
}

// Closing the child's descriptor leaves the parent's, and with it the parent's flock.
void SystemLockForget(std::intptr_t handle) {
  SystemLockRelease(handle);
}

}  // namespace SRCppWrap::platform

#endif  // !_WIN32
