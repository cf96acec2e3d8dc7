#include "result_names.h"

namespace qmtsr {

std::string SdkResultName(int result) {
  switch (result) {
    case 0:
      return "success";
    case 1:
      return "no usable reply from the authentication service";
    case 2:
      return "activation code refused (NOK:CODE)";
    case 3:
      return "serial refused, or stored seed not recognised (NOK:SN)";
    case 4:
      return "access refused (NOK:ACCESS)";
    case 5:
      return "client version refused (NOK:VERSION)";
    case 6:
      return "refused by the service (NOK:SAT)";
    case 7:
      return "device blocked (OK:BLOCKED)";
    case 8:
      return "wrong state at the service (NOK:STATE)";
    case 9:
      return "the service no longer knows this device; enrol again (NOK:NODEVICE)";
    case 10:
      return "no certificate authority (NOK:NOCA)";
    case 11:
      return "no such service (NOK:NOSRV)";
    case 12:
      return "PIN already used (NOK:PINREUSED)";
    case 13:
      return "synchronisation failed (NOK:SYNCHROFAILED)";
    case 14:
      return "not allowed now: not enrolled, or service index out of range (NOK:FORBIDDEN)";
    case 15:
      return "PIN refused (NOK:PINREFUSED)";
    case 16:
      return "timed out at the service (NOK:TIMEOUT), or another workflow of this installation "
             "was still running: try again";
    case 17:
      return "URL refused (NOK:URL)";
    case 999:
      return "refused by the service (NOK), or unknown OTP format";
    default:
      return "unknown result";
  }
}

std::string EnrollmentResultName(int result) {
  if (result == 1000) return "enrolment confirmed";
  if (result == 0) return "the enrolment back end could not be reached";
  if (result == 1001) {
    return "enrolment confirmed, but the enrolment-status file could not be written: enrol again "
           "with status -1 once it can be";
  }
  if (result == 1002) return "nothing activated: the seed file cannot be written in its folder";
  if (result == 200) {
    return "no OTP could be produced, or the back end did not confirm the enrolment";
  }
  if (result >= 100 && result < 600) {
    return "the enrolment back end answered HTTP " + std::to_string(result);
  }
  return "activation failed: " + SdkResultName(result);
}

}  // namespace qmtsr
