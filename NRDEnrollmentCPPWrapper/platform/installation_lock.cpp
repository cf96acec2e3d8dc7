// The installation lock's process half: one owner per seed file inside this process, so that two
// objects on two threads wait for each other as two processes do (a system lock does not always
// exclude the threads of its own process). The system half is then taken by that one owner.
#ifndef _WIN32
#include <pthread.h>
#endif

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>

#include "platform/Platform.h"
#include "platform/installation_lock_system.h"

namespace SRCppWrap::platform {

namespace {

struct Holder {
  const void* owner = nullptr;
  std::intptr_t system = kNoSystemLock;
};

struct Holders {
  std::mutex mutex;
  std::condition_variable released;
  std::map<std::string, Holder> bySeed;

  Holders();
  // A library unloaded while a lock is held gives it back rather than leave it to process end.
  ~Holders() {
    for (auto& held : bySeed) SystemLockRelease(held.second.system);
  }
};

// Made while the library loads, so that it outlives every object of the host, whose destructor
// may release a lock (a host's static object included).
Holders gHolders;

Holders& TheHolders() {
  return gHolders;
}

#ifndef _WIN32
// A process made by fork holds none of its parent's locks: it drops the descriptors it inherited
// (a flock lives as long as any descriptor of it) and the record of who holds what. The lock's
// mutex is held across the fork so that the record is whole in the child.
void BeforeFork() {
  TheHolders().mutex.lock();
}
void AfterForkInParent() {
  TheHolders().mutex.unlock();
}
void AfterForkInChild() {
  Holders& holders = TheHolders();
  for (auto& held : holders.bySeed) {
    SystemLockForget(held.second.system);
    held.second = Holder{};
  }
  holders.mutex.unlock();
}
#endif

Holders::Holders() {
#ifndef _WIN32
  ::pthread_atfork(BeforeFork, AfterForkInParent, AfterForkInChild);
#endif
}

}  // namespace

bool AcquireInstallationLock(const std::string& seedWindowsPath, const void* owner, long waitMs,
                             std::string* unguarded) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  Holders& holders = TheHolders();
  std::unique_lock<std::mutex> lock(holders.mutex);
  Holder& holder = holders.bySeed[seedWindowsPath];
  if (holder.owner == owner) return true;
  if (!holders.released.wait_until(lock, deadline, [&holder] { return holder.owner == nullptr; })) {
    return false;
  }
  holder.owner = owner;  // the other threads of this process wait above while the system is asked
  lock.unlock();
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  std::intptr_t system = kNoSystemLock;
  const bool acquired =
      SystemLockAcquire(seedWindowsPath, left > 0 ? static_cast<long>(left) : 0, system, unguarded);
  lock.lock();
  if (!acquired) {
    holder.owner = nullptr;
    holders.released.notify_all();
    return false;
  }
  holder.system = system;
  return true;
}

bool InstallationLockHeldBy(const std::string& seedWindowsPath, const void* owner) {
  Holders& holders = TheHolders();
  const std::lock_guard<std::mutex> lock(holders.mutex);
  const auto found = holders.bySeed.find(seedWindowsPath);
  return found != holders.bySeed.end() && found->second.owner == owner;
}

std::string ReleaseInstallationLock(const std::string& seedWindowsPath, const void* owner) {
  Holders& holders = TheHolders();
  const std::lock_guard<std::mutex> lock(holders.mutex);
  const auto found = holders.bySeed.find(seedWindowsPath);
  if (found == holders.bySeed.end() || found->second.owner != owner) return "";
  std::string error = SystemLockRelease(found->second.system);
  found->second = Holder{};
  holders.released.notify_all();
  return error;
}

}  // namespace SRCppWrap::platform
