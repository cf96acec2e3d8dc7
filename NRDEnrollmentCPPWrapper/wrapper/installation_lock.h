// How the workflows hold the installation's lock: from the first seed read until the seed (and,
// for an enrolment, the status file) is written back, so that two host processes, or two objects
// on two threads, never interleave their exchanges with the service.
#ifndef NRD_WRAPPER_INSTALLATION_LOCK_H
#define NRD_WRAPPER_INSTALLATION_LOCK_H

#include <functional>
#include <string>
#include <utility>

#include "sdk/SRSdk.h"

namespace SRCppWrap::detail {

// What a workflow returns when it gave up waiting: the SDK's timeout code, "try again later".
inline constexpr int kInstallationBusyResult = SR_ERR_TIMEOUT;

// True while `owner`'s last attempt gave up and it has not taken the lock since: it read no seed,
// so GetOTP sends nothing and CheckSeedValueAndPersist writes nothing.
bool GaveUpOnInstallation(const void* owner);
// True while `owner` holds the lock: its workflow or building-block span is running.
bool HoldsInstallation(const void* owner);
// Ends `owner`'s span: its lock is released and, when it held one, the pool's idle connections
// are closed. Empty when released (or not held), else why the system refused; given up in any
// case.
std::string ReleaseInstallation(const void* owner);

// The line a release the system refused writes to the log, with its reason.
inline constexpr char kReleaseFailedLine[] = "The installation lock could not be released (%s)";

// Releases the owner's lock when a workflow ends, whichever way it ends; `failed` logs a release
// the system refused.
class InstallationRelease {
 public:
  InstallationRelease(const void* owner, std::function<void(const std::string&)> failed)
      : owner_(owner), failed_(std::move(failed)) {}
  ~InstallationRelease() {
    const std::string error = ReleaseInstallation(owner_);
    if (!error.empty()) failed_(error);
  }
  InstallationRelease(const InstallationRelease&) = delete;
  InstallationRelease& operator=(const InstallationRelease&) = delete;

 private:
  const void* owner_;
  std::function<void(const std::string&)> failed_;
};

}  // namespace SRCppWrap::detail

#endif
