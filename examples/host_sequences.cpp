#include "host_sequences.h"

#include <fstream>
#include <string>

#include "NRDEnrollmentCPPWrapper/QmtSR.h"
#include "NRDEnrollmentCPPWrapper/QmtSRResults.h"

namespace host_example {

namespace {

//! [pin file]
// The PIN as the file's only word, written just before each workflow (the library reads it
// during the call only).
bool WritePinFile(const std::string& path, const std::string& pin) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  return static_cast<bool>(file << pin) && static_cast<bool>(file.flush());
}
//! [pin file]

//! [configure]
void Configure(SRCppWrap::QmtSR& qmt, const HostSettings& s, int enrollmentStatus) {
  qmt.QmtSRInitialize(s.uniqueKey, "C:\\APP\\qmt\\GEN\\seed.data", s.statusFile, s.hostVersion,
                      s.serviceUrl, s.macId, s.enrollmentName, 10000, 0, s.deviceSerial, s.rrdiCode,
                      enrollmentStatus);
  qmt.InitializeEnrollmenturls(s.codeAndOtpUrl, s.checkEnrollmentUrl, "", "", "");
  qmt.InitQMTParameters(s.biosSerial);
  qmt.InitializeProxyParameters("", "", s.proxyAddress, s.proxyPort, "");
}
//! [configure]

}  // namespace

//! [enrolment]
int EnrolWorkstation(const HostSettings& settings, const std::string& pin, std::string& tellUser) {
  if (!WritePinFile(settings.pinFile, pin)) return -1;
  SRCppWrap::QmtSR qmt;
  Configure(qmt, settings, 0);  // 0: not enrolled yet
  bool reached = false;
  const int result = qmt.EnrollmentProcess(settings.codeAndOtpUrl, settings.enrollmentMessage,
                                           settings.backendUser, settings.backendPassword, reached);
  tellUser = SRCppWrap::QmtSRResultOf(SRCppWrap::kQmtSREnrollment, result).tellUser;
  return result;  // 1000: enrolled
}
//! [enrolment]

//! [login]
int LoginOtp(const HostSettings& settings, const std::string& pin, std::string& otp,
             std::string& tellUser) {
  if (!WritePinFile(settings.pinFile, pin)) return -1;
  SRCppWrap::QmtSR qmt;
  Configure(qmt, settings, 1);  // 1: enrolled, log to the authentication log
  const int result = qmt.GetOTPforAuthentication(otp);
  tellUser = SRCppWrap::QmtSRResultOf(SRCppWrap::kQmtSRLogin, result).tellUser;
  return result;  // 0: otp holds the 8-character OTP
}
//! [login]

}  // namespace host_example
