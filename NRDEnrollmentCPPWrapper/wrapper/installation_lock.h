// How the workflows hold the installation's lock: from the first seed read until the seed (and,
// for an enrolment, the status file) is written back, so that two host processes, or two objects
// on two threads, never interleave their exchanges with the service.
#ifndef NRD_WRAPPER_INSTALLATION_LOCK_H
#define NRD_WRAPPER_INSTALLATION_LOCK_H

#include "sdk/SRSdk.h"

namespace SRCppWrap::detail {

// What a workflow returns when it gave up waiting: the SDK's timeout code, "try again later".
inline constexpr int kInstallationBusyResult = SR_ERR_TIMEOUT;

// True while `owner`'s last attempt gave up and it has not taken the lock since: it read no seed,
// so GetOTP sends nothing and CheckSeedValueAndPersist writes nothing.
bool GaveUpOnInstallation(const void* owner);
void ReleaseInstallation(const void* owner);

// Releases the owner's lock when a workflow ends, whichever way it ends.
class InstallationRelease {
 public:
  explicit InstallationRelease(const void* owner) : owner_(owner) {}
  ~InstallationRelease() { ReleaseInstallation(owner_); }
  InstallationRelease(const InstallationRelease&) = delete;
  InstallationRelease& operator=(const InstallationRelease&) = delete;

 private:
  const void* owner_;
};

}  // namespace SRCppWrap::detail

#endif
