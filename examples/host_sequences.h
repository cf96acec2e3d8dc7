// The host's two call sequences as the host guide (docs/host-guide.md) shows them; the
// end-to-end suite runs them against the dev server, so the guide's code compiles and works.
#ifndef QMT_EXAMPLES_HOST_SEQUENCES_H
#define QMT_EXAMPLES_HOST_SEQUENCES_H

#include <string>

namespace host_example {

// What the host knows about its workstation and back end.
struct HostSettings {
  std::string pinFile = "C:\\APP\\qmt\\GEN\\ToolvexPin.txt";  // as the host's file API names it
  std::string statusFile = "C:\\APP\\qmt\\GEN\\Enrollment_Status.txt";
  std::string serviceUrl;  // the authentication service
  std::string codeAndOtpUrl, checkEnrollmentUrl, backendUser, backendPassword;
  std::string enrollmentMessage;  // the host's JSON enrolment message
  std::string uniqueKey, deviceSerial, macId, rrdiCode, biosSerial;
  std::string hostVersion = "9.1";
  std::string enrollmentName = "workstation";
  std::string proxyAddress;  // empty: no proxy
  long proxyPort = 0;
};

// Enrols the workstation; `tellUser` receives the text to show. Returns EnrollmentProcess's
// result (1000: enrolled), or -1 when the PIN file could not be written.
int EnrolWorkstation(const HostSettings& settings, const std::string& pin, std::string& tellUser);

// Makes a login OTP into `otp`; `tellUser` receives the text to show. Returns
// GetOTPforAuthentication's result (0: the OTP is there), or -1 when the PIN file could not be
// written.
int LoginOtp(const HostSettings& settings, const std::string& pin, std::string& otp,
             std::string& tellUser);

}  // namespace host_example

#endif
