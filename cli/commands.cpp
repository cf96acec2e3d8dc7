#include "commands.h"

#include <cstdio>
#include <iostream>
#include <string>

#include "NRDEnrollmentCPPWrapper/QmtSR.h"
#include "NRDEnrollmentCPPWrapper/QmtSRResults.h"
#include "library_stdout.h"
#include "pin_file.h"

namespace qmtsr {

namespace {

// Writes the PIN file from --pin or from a prompt, as the host does before each workflow.
bool ProvidePin(const Options& options) {
  std::string pin;
  std::string error;
  if (options.pin) {
    pin = *options.pin;
  } else if (!PromptPin(pin, error)) {
    std::cerr << "qmtsr: " << error << "\n";
    return false;
  }
  if (pin.empty() || pin.find_first_of(" \t\r\n\v\f") != std::string::npos) {
    std::cerr << "qmtsr: the PIN must be one word, without spaces\n";
    return false;
  }
  if (!WritePinFile(pin, error)) {
    std::cerr << "qmtsr: " << error << "\n";
    return false;
  }
  return true;
}

// Names a failed result from the library's results table, then what the user should do.
void ReportResult(const char* what, SRCppWrap::QmtSRResultSource member, int result) {
  const SRCppWrap::QmtSRResult& row = SRCppWrap::QmtSRResultOf(member, result);
  std::cerr << "qmtsr: " << what << result << ": " << row.meaning << " (" << row.name << ")\n"
            << "qmtsr: " << row.tellUser << "\n";
}

void Configure(SRCppWrap::QmtSR& qmt, const Options& o, int defaultStatus) {
  qmt.QmtSRInitialize(o.uniqueKey, o.seedPath, o.statusFilePath, o.hostVersion, o.serviceUrl,
                      o.macId, o.enrollmentName, o.timeout, o.serviceIndex, o.deviceSerial,
                      o.rrdiCode, o.enrollmentStatus.value_or(defaultStatus));
  qmt.InitializeEnrollmenturls(o.codeAndOtpUrl, o.checkEnrollmentUrl, "", "", "");
  qmt.InitQMTParameters(o.biosSerial);
  qmt.InitializeProxyParameters("", "", o.proxyAddress, o.proxyPort, "");
}

}  // namespace

int RunEnroll(const Options& options) {
  if (!ProvidePin(options)) return 1;
  SRCppWrap::QmtSR qmt;
  int result = 0;
  bool reached = false;
  {
    const LibraryStdout quiet(options.verbose);
    Configure(qmt, options, 0);
    result = qmt.EnrollmentProcess(options.codeAndOtpUrl, options.message, options.user,
                                   options.password, reached);
  }
  if (result != 1000) {
    ReportResult("enrolment failed with result ", SRCppWrap::kQmtSREnrollment, result);
    if (reached) std::cerr << "qmtsr: (the enrolment back end was reached)\n";
    return 1;
  }
  std::cout << "enrolment confirmed (result 1000)\n";
  return 0;
}

int RunOtp(const Options& options) {
  if (!ProvidePin(options)) return 1;
  SRCppWrap::QmtSR qmt;
  std::string otp;
  int result = 0;
  {
    const LibraryStdout quiet(options.verbose);
    Configure(qmt, options, 1);
    result = qmt.GetOTPforAuthentication(otp);
  }
  if (result != 0) {
    ReportResult("no OTP, result ", SRCppWrap::kQmtSRLogin, result);
    return 1;
  }
  if (otp.empty()) {
    std::cerr << "qmtsr: the service accepted the exchange but produced no OTP\n";
    return 1;
  }
  std::cout << otp << "\n";
  return 0;
}

}  // namespace qmtsr
