// What an enrolment returns besides 1000, the HTTP statuses and the SDK's codes, when the
// workstation's own files stand in the way.
#ifndef NRD_WRAPPER_ENROLLMENT_RESULTS_H
#define NRD_WRAPPER_ENROLLMENT_RESULTS_H

namespace SRCppWrap::detail {

// The back end confirmed the enrolment, but the enrolment-status file could not be written: the
// device is enrolled and its logins work, only the host's record of it is missing.
inline constexpr int kStatusFileNotSavedResult = 1001;

// Nothing was activated: the seed file could not be written where it goes (a missing GEN
// folder, one that takes no file), so an activation would have used up the code for a device
// that no workstation keeps.
inline constexpr int kSeedPlaceMissingResult = 1002;

}  // namespace SRCppWrap::detail

#endif
