/// \file QmtSRResults.h
/// \brief Every result a member of SRCppWrap::QmtSR returns, in one table: its name, what it
/// means and what the host tells the user.
///
/// Header only: nothing here is exported by the library, so a host may include it with or
/// without linking. The same number can mean different things for different members (0 is a
/// login OTP for GetOTPforAuthentication but an unreachable back end for EnrollmentProcess), so
/// a row says which members return it and QmtSRResultOf() looks a result up for one member.
/// The details of each workflow (files touched, log lines) are in QmtSR.h.
#ifndef NRD_QMTSR_RESULTS_H
#define NRD_QMTSR_RESULTS_H

#include <climits>

namespace SRCppWrap {

/// Which members return a result: the bits of QmtSRResult::returnedBy.
enum QmtSRResultSource : unsigned {
  kQmtSRLogin = 1U,       ///< QmtSR::GetOTPforAuthentication and QmtSR::GetOTP
  kQmtSREnrollment = 2U,  ///< QmtSR::EnrollmentProcess
  kQmtSRRequest = 4U,     ///< QmtSR::MakeCURLRequest (both overloads)
};

/// One row of the results table: the codes first to last (one code, or the HTTP statuses).
struct QmtSRResult {
  int first;             ///< first code of the row
  int last;              ///< last code of the row (equal to first for a single code)
  unsigned returnedBy;   ///< the members that return it: QmtSRResultSource bits
  const char* name;      ///< a stable name: the SDK's name for SDK results, else QMT_...
  const char* meaning;   ///< what happened, for the host's developer and its support
  const char* tellUser;  ///< what the host shows the user (English)
};

/// The results table. The first row that matches a member and a code is its meaning; the last
/// row matches everything else.
inline constexpr QmtSRResult kQmtSRResults[] = {
    {0, 0, kQmtSRLogin, "SR_OK", "the login OTP was produced",
     "Log in with the one-time password."},
    {0, 0, kQmtSREnrollment | kQmtSRRequest, "QMT_NO_TRANSFER",
     "the enrolment back end could not be reached: no HTTP transfer completed",
     "The enrolment service could not be reached. Check the network and proxy, then try again."},
    {1000, 1000, kQmtSREnrollment, "QMT_ENROLLED", "enrolment confirmed",
     "This workstation is enrolled."},
    {1001, 1001, kQmtSREnrollment, "QMT_ENROLLED_NO_STATUS_FILE",
     "enrolment confirmed and logins work, but the enrolment-status file could not be written",
     "This workstation is enrolled, but its enrolment record could not be saved. Contact "
     "support."},
    {1002, 1002, kQmtSREnrollment, "QMT_NO_PLACE_FOR_SEED",
     "the seed file cannot be written (missing or read-only GEN folder): nothing was activated",
     "The enrolment could not start: the application's data folder cannot be written. Contact "
     "support."},
    {200, 200, kQmtSREnrollment, "QMT_NOT_CONFIRMED",
     "no OTP could be produced, the seed could not be saved, or the back end did not confirm "
     "the enrolment",
     "The enrolment could not be completed. Try again; if it fails again, contact support."},
    {200, 200, kQmtSRRequest, "QMT_HTTP_OK", "the back end answered HTTP 200",
     "The request was accepted."},
    {100, 599, kQmtSREnrollment | kQmtSRRequest, "QMT_HTTP_STATUS",
     "the enrolment back end answered with this HTTP status",
     "The enrolment service refused the request. Check the enrolment details and try again; "
     "if it fails again, contact support."},
    {1, 1, kQmtSRLogin | kQmtSREnrollment, "SR_ERR_NO_REPLY",
     "no usable reply from the authentication service",
     "The authentication service could not be reached. Check the network, then try again."},
    {2, 2, kQmtSRLogin | kQmtSREnrollment, "SR_ERR_CODE", "activation code refused (NOK:CODE)",
     "The enrolment code was refused. Start the enrolment again."},
    {3, 3, kQmtSRLogin | kQmtSREnrollment, "SR_ERR_SN",
     "serial refused, or stored seed not recognised (NOK:SN)",
     "This workstation's serial number was refused. Contact support."},
    {4, 4, kQmtSRLogin | kQmtSREnrollment, "SR_ERR_ACCESS", "access refused (NOK:ACCESS)",
     "Access was refused by the authentication service. Contact support."},
    {5, 5, kQmtSRLogin | kQmtSREnrollment, "SR_ERR_VERSION", "client version refused (NOK:VERSION)",
     "This version of the application is no longer accepted. Update the application."},
    {6, 6, kQmtSRLogin | kQmtSREnrollment, "SR_ERR_SAT", "refused by the service (NOK:SAT)",
     "The authentication service refused the request. Contact support."},
    {7, 7, kQmtSRLogin | kQmtSREnrollment, "SR_ERR_BLOCKED", "device blocked (OK:BLOCKED)",
     "This workstation is blocked. Contact support to unblock it."},
    {8, 8, kQmtSRLogin | kQmtSREnrollment, "SR_ERR_STATE", "wrong state at the service (NOK:STATE)",
     "The authentication service refused the request. Try again; if it fails again, contact "
     "support."},
    {9, 9, kQmtSRLogin | kQmtSREnrollment, "SR_ERR_NODEVICE",
     "the service no longer knows this device; enrol again (NOK:NODEVICE)",
     "This workstation is no longer enrolled. Enrol it again."},
    {10, 10, kQmtSRLogin | kQmtSREnrollment, "SR_ERR_NOCA", "no certificate authority (NOK:NOCA)",
     "The authentication service refused the request. Contact support."},
    {11, 11, kQmtSRLogin | kQmtSREnrollment, "SR_ERR_NOSRV", "no such service (NOK:NOSRV)",
     "The authentication service refused the request. Contact support."},
    {12, 12, kQmtSRLogin | kQmtSREnrollment, "SR_ERR_PINREUSED", "PIN already used (NOK:PINREUSED)",
     "This PIN was used before. Choose another PIN."},
    {13, 13, kQmtSRLogin | kQmtSREnrollment, "SR_ERR_SYNCHROFAILED",
     "synchronisation failed (NOK:SYNCHROFAILED)",
     "Synchronisation with the authentication service failed. Try again."},
    {14, 14, kQmtSRLogin | kQmtSREnrollment, "SR_ERR_FORBIDDEN",
     "not allowed now: not enrolled, already enrolled, blocked, or service index out of range "
     "(NOK:FORBIDDEN)",
     "This workstation is not enrolled, or is blocked. Enrol it again or contact support."},
    {15, 15, kQmtSRLogin | kQmtSREnrollment, "SR_ERR_PINREFUSED",
     "PIN refused (NOK:PINREFUSED), a PIN file holding a zero byte, or (enrolment) a PIN file "
     "that gave no PIN",
     "The PIN was refused. Check the PIN and try again."},
    {16, 16, kQmtSRLogin | kQmtSREnrollment, "SR_ERR_TIMEOUT",
     "timed out at the service (NOK:TIMEOUT), or another workflow of this installation was "
     "still running: try again",
     "The service is busy. Try again in a moment."},
    {17, 17, kQmtSRLogin | kQmtSREnrollment, "SR_ERR_URL", "URL refused (NOK:URL)",
     "The authentication service refused the request. Contact support."},
    {999, 999, kQmtSRLogin | kQmtSREnrollment, "SR_ERR_NOK",
     "refused by the service (NOK), or unknown OTP format",
     "The authentication service refused the request. Contact support."},
    {INT_MIN, INT_MAX, kQmtSRLogin | kQmtSREnrollment | kQmtSRRequest, "QMT_UNKNOWN",
     "unknown result", "An unexpected error occurred. Contact support."},
};

/// The row of kQmtSRResults that gives `code`'s meaning when `member` returned it.
/// \param member the member that returned the code: one QmtSRResultSource value
/// \param code the result the member returned
/// \return the first matching row; the QMT_UNKNOWN row for a code no row names
constexpr const QmtSRResult& QmtSRResultOf(QmtSRResultSource member, int code) {
  for (const QmtSRResult& row : kQmtSRResults) {
    if ((row.returnedBy & member) != 0 && code >= row.first && code <= row.last) return row;
  }
  return kQmtSRResults[sizeof kQmtSRResults / sizeof kQmtSRResults[0] - 1];
}

}  // namespace SRCppWrap

#endif
