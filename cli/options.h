// The command line of qmtsr: one command and its flags.
#ifndef QMTSR_CLI_OPTIONS_H
#define QMTSR_CLI_OPTIONS_H

#include <optional>
#include <string>

namespace qmtsr {

enum class Command { kEnroll, kOtp };

struct Options {
  Command command = Command::kOtp;
  bool help = false;
  bool verbose = false;

  // The authentication service and the workstation.
  std::string serviceUrl;
  std::string macId;
  std::string hostVersion = "1.0";
  int timeout = 10000;
  int serviceIndex = 0;
  std::string deviceSerial;
  std::string uniqueKey;
  std::string rrdiCode;
  std::string biosSerial;
  std::string enrollmentName;
  std::optional<int> enrollmentStatus;  // default: 0 to enrol, 1 for a login OTP
  std::string seedPath = "C:\\APP\\qmt\\GEN\\seed.data";
  std::string statusFilePath = "C:\\APP\\qmt\\GEN\\Enrollment_Status.txt";
  std::string proxyAddress;
  long proxyPort = 0;
  std::optional<std::string> pin;  // unset: prompt for it
  // --pin-file, --password-file, --message-file ("-" = standard input); read after parsing.
  std::string pinFile;
  std::string passwordFile;
  std::string messageFile;

  // The enrolment back end.
  std::string codeAndOtpUrl;
  std::string checkEnrollmentUrl;
  std::string user;
  std::string password;
  std::string message;
};

// Parses argv (after the program name). Returns the options, or sets `error` to a sentence
// for the user and returns nothing.
std::optional<Options> ParseOptions(int argc, char** argv, std::string& error);

std::string UsageText();
std::string HelpText(Command command);

}  // namespace qmtsr

#endif
