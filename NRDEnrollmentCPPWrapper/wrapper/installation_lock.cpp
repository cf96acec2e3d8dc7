// The installation's lock as the workflows take it. Its span follows the building blocks, which
// the host may also call one by one: CreateSRObject takes it (its new context replaces the
// process-wide one that another object's exchange may be using) or else SetSRParameters, before
// the seed is read, or else GetOTP before its exchange; the whole workflows take it before they
// start, so that giving up wastes nothing. CheckSeedValueAndPersist and the end of either
// workflow release it, and so does the object's destructor: a host that stops before
// CheckSeedValueAndPersist keeps the lock until it destroys the object (or its process ends),
// and other workflows give up after the bounded wait. A span's end also closes the pool's idle
// connections: none stays open between workflows.
#include <mutex>
#include <set>
#include <string>

#include "QmtSR.h"
#include "platform/Platform.h"
#include "wrapper/connection_pool.h"
#include "wrapper/installation_lock.h"
#include "wrapper/runtime_settings.h"
#include "wrapper/stored_files.h"

namespace SRCppWrap {

namespace {

// The objects whose last attempt gave up, until they take or release the lock; a few at most,
// one per host thread that waited.
struct GaveUp {
  std::mutex mutex;
  std::set<const void*> owners;
};

// Made while the library loads, so that it outlives every object of the host.
GaveUp gGaveUp;

GaveUp& Given() {
  return gGaveUp;
}

void NoteGaveUp(const void* owner, bool gaveUp) {
  GaveUp& given = Given();
  const std::lock_guard<std::mutex> lock(given.mutex);
  if (gaveUp) {
    given.owners.insert(owner);
  } else {
    given.owners.erase(owner);
  }
}

}  // namespace

bool QmtSR::HoldInstallation() {
  const long waitMs = detail::Settings().lockWaitMs;
  std::string unguarded;
  if (platform::AcquireInstallationLock(detail::kSeedFilePath, this, waitMs, &unguarded)) {
    NoteGaveUp(this, false);
    // Not another holder: the system refused the lock itself, and nothing else would say so.
    if (!unguarded.empty()) {
      LogLine("The installation lock could not be taken (%s): the workflow runs without it",
              unguarded.c_str());
    }
    return true;
  }
  NoteGaveUp(this, true);
  LogLine(
      "Another workflow of this installation is still running: gave up after %ld ms (result %d)",
      waitMs, detail::kInstallationBusyResult);
  return false;
}

QmtSR::~QmtSR() {
  // A holder that never reached CheckSeedValueAndPersist ends its span here, as that would have;
  // for any other object this only forgets an attempt that gave up.
  try {
    const std::string error = detail::ReleaseInstallation(this);
    if (!error.empty()) LogLine(detail::kReleaseFailedLine, error.c_str());
  } catch (...) {  // NOLINT(bugprone-empty-catch): the system drops the lock at process end
  }
}

namespace detail {

bool GaveUpOnInstallation(const void* owner) {
  GaveUp& given = Given();
  const std::lock_guard<std::mutex> lock(given.mutex);
  return given.owners.count(owner) != 0;
}

bool HoldsInstallation(const void* owner) {
  return platform::InstallationLockHeldBy(kSeedFilePath, owner);
}

std::string ReleaseInstallation(const void* owner) {
  const bool held = HoldsInstallation(owner);
  std::string error = platform::ReleaseInstallationLock(kSeedFilePath, owner);
  NoteGaveUp(owner, false);
  if (held) CloseIdleConnections();  // the span that used them is over
  return error;
}

}  // namespace detail

}  // namespace SRCppWrap
