#include "options.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "secret_files.h"

namespace qmtsr {

namespace {

bool ParseLong(const std::string& text, long low, long high, long& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

bool ParseInt(const std::string& text, int& value) {
  long parsed = 0;
  if (!ParseLong(text, INT_MIN, INT_MAX, parsed)) return false;
  value = static_cast<int>(parsed);
  return true;
}

// HOST or HOST:PORT; the port stays 0 (libcurl's default proxy port) when not given.
bool ParseProxy(const std::string& text, std::string& address, long& port) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos) {
    address = text;
    port = 0;
    return !text.empty();
  }
  address = text.substr(0, colon);
  return !address.empty() && ParseLong(text.substr(colon + 1), 1, 65535, port);
}

struct Flag {
  const char* name;
  bool enrollOnly;
  bool takesValue;
  // Stores the value; returns false when it is not acceptable.
  std::function<bool(Options&, const std::string&)> store;
};

std::vector<Flag> Flags() {
  auto text = [](std::string Options::*field) {
    return [field](Options& o, const std::string& v) {
      o.*field = v;
      return true;
    };
  };
  auto number = [](int Options::*field) {
    return [field](Options& o, const std::string& v) { return ParseInt(v, o.*field); };
  };
  return {
      {"--help", false, false, [](Options& o, const std::string&) { return o.help = true; }},
      {"--verbose", false, false, [](Options& o, const std::string&) { return o.verbose = true; }},
      {"--service-url", false, true, text(&Options::serviceUrl)},
      {"--macid", false, true, text(&Options::macId)},
      {"--host-version", false, true, text(&Options::hostVersion)},
      {"--timeout", false, true, number(&Options::timeout)},
      {"--service-index", false, true, number(&Options::serviceIndex)},
      {"--device-serial", false, true, text(&Options::deviceSerial)},
      {"--unique-key", false, true, text(&Options::uniqueKey)},
      {"--rrdi", false, true, text(&Options::rrdiCode)},
      {"--bios-serial", false, true, text(&Options::biosSerial)},
      {"--name", false, true, text(&Options::enrollmentName)},
      {"--status", false, true,
       [](Options& o, const std::string& v) {
         int status = 0;
         if (!ParseInt(v, status)) return false;
         o.enrollmentStatus = status;
         return true;
       }},
      {"--seed-path", false, true, text(&Options::seedPath)},
      {"--status-file", false, true, text(&Options::statusFilePath)},
      {"--proxy", false, true,
       [](Options& o, const std::string& v) { return ParseProxy(v, o.proxyAddress, o.proxyPort); }},
      {"--pin", false, true,
       [](Options& o, const std::string& v) {
         o.pin = v;
         return true;
       }},
      {"--pin-file", false, true, text(&Options::pinFile)},
      {"--code-otp-url", true, true, text(&Options::codeAndOtpUrl)},
      {"--check-url", true, true, text(&Options::checkEnrollmentUrl)},
      {"--user", true, true, text(&Options::user)},
      {"--password", true, true, text(&Options::password)},
      {"--message", true, true, text(&Options::message)},
      {"--password-file", true, true, text(&Options::passwordFile)},
      {"--message-file", true, true, text(&Options::messageFile)},
  };
}

// Replaces the values given through files; standard input can serve one of them only.
bool ReadSecretFiles(Options& o, std::string& error) {
  int fromStdin = 0;
  for (const std::string* path : {&o.pinFile, &o.passwordFile, &o.messageFile}) {
    if (*path == "-") ++fromStdin;
  }
  if (fromStdin > 1) {
    error = "only one of --pin-file, --password-file and --message-file can read '-'";
    return false;
  }
  std::string text;
  if (!o.pinFile.empty()) {
    if (!ReadSecretFile(o.pinFile, text, error)) return false;
    o.pin = text;
  }
  if (!o.passwordFile.empty()) {
    if (!ReadSecretFile(o.passwordFile, o.password, error)) return false;
  }
  if (!o.messageFile.empty()) {
    if (!ReadSecretFile(o.messageFile, o.message, error)) return false;
  }
  return true;
}

std::string MissingRequired(const Options& o) {
  std::vector<std::pair<const char*, const std::string*>> required = {
      {"--service-url", &o.serviceUrl},
      {"--device-serial", &o.deviceSerial},
      {"--unique-key", &o.uniqueKey}};
  if (o.command == Command::kEnroll) {
    required.insert(required.end(), {{"--code-otp-url", &o.codeAndOtpUrl},
                                     {"--check-url", &o.checkEnrollmentUrl},
                                     {"--message", &o.message}});
  }
  std::string missing;
  for (const auto& [name, value] : required) {
    if (!value->empty()) continue;
    missing += missing.empty() ? "" : ", ";
    missing += name;
  }
  return missing;
}

}  // namespace

std::optional<Options> ParseOptions(int argc, char** argv, std::string& error) {
  if (argc < 1) {
    error = "no command given";
    return std::nullopt;
  }
  Options options;
  const std::string command = argv[0];
  if (command == "enroll") {
    options.command = Command::kEnroll;
  } else if (command == "otp") {
    options.command = Command::kOtp;
  } else {
    error = "unknown command '" + command + "'";
    return std::nullopt;
  }

  const std::vector<Flag> flags = Flags();
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    bool inlineValue = false;
    if (const std::size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg.resize(eq);
      inlineValue = true;
    }
    const Flag* flag = nullptr;
    for (const Flag& f : flags) {
      if (arg == f.name) flag = &f;
    }
    if (flag == nullptr) {
      error = "unknown option '" + arg + "'";
      return std::nullopt;
    }
    if (flag->enrollOnly && options.command != Command::kEnroll) {
      error = arg + " belongs to 'qmtsr enroll' only";
      return std::nullopt;
    }
    if (flag->takesValue && !inlineValue) {
      if (i + 1 >= argc) {
        error = arg + " needs a value";
        return std::nullopt;
      }
      value = argv[++i];
    } else if (!flag->takesValue && inlineValue) {
      error = arg + " takes no value";
      return std::nullopt;
    }
    if (!flag->store(options, value)) {
      error = "invalid value '" + value;
      error += "' for " + arg;
      return std::nullopt;
    }
  }
  if (options.help) return options;
  if (!ReadSecretFiles(options, error)) return std::nullopt;
  if (const std::string missing = MissingRequired(options); !missing.empty()) {
    error = "missing " + missing;
    return std::nullopt;
  }
  return options;
}

std::string UsageText() {
  return "usage: qmtsr enroll [options]   enrol this workstation\n"
         "       qmtsr otp [options]      print a login one-time password\n"
         "Run 'qmtsr enroll --help' or 'qmtsr otp --help' for the options,\n"
         "'qmtsr --version' for the versions of qmtsr and the library.\n";
}

std::string HelpText(Command command) {
  const std::string common =
      "  --service-url URL       base URL of the authentication web service (required)\n"
      "  --device-serial TEXT    device serial (required)\n"
      "  --unique-key TEXT       the workstation's unique key (required)\n"
      "  --macid TEXT            mVault id sent to the service (default empty)\n"
      "  --host-version TEXT     host software version (default 1.0)\n"
      "  --timeout MS            web-service timeout handed to the SDK (default 10000)\n"
      "  --service-index N       OTP service index (default 0)\n"
      "  --rrdi CODE             RRDI code\n"
      "  --bios-serial TEXT      BIOS serial number\n"
      "  --name TEXT             enrolment name of the device\n"
      "  --seed-path PATH        configured seed file path (default C:\\APP\\qmt\\GEN\\seed.data)\n"
      "  --status-file PATH      enrolment-status file path\n"
      "                          (default C:\\APP\\qmt\\GEN\\Enrollment_Status.txt)\n"
      "  --proxy HOST[:PORT]     HTTP proxy for every request (default none)\n"
      "  --pin PIN               the user's PIN; without it qmtsr asks for it (no echo)\n"
      "  --pin-file FILE         read the PIN from FILE ('-' = standard input)\n"
      "  --verbose               show the library's transfer diagnostics on stderr\n"
      "  --help                  this text\n"
      "\n"
      "Prefer the -file forms to --pin, --password and --message: every local user can\n"
      "read a command line in the process list, but not a file readable by you alone.\n"
      "The PIN is written to C:\\APP\\qmt\\GEN\\ToolvexPin.txt, where the library reads it.\n"
      "Windows paths are mapped under $QMT_DRIVE_ROOT (default /): C:\\a\\b is\n"
      "$QMT_DRIVE_ROOT/C/a/b; relative paths, such as the logs ..\\log\\SREnrollmentlog.log\n"
      "and ..\\..\\..\\log\\SRAuthenticationlog.log, resolve against the working directory.\n"
      "Exit status: 0 success, 1 the workflow failed (its result is named on stderr),\n"
      "2 bad command line.\n";
  if (command == Command::kEnroll) {
    return "usage: qmtsr enroll [options]\n"
           "Enrols this workstation: asks the enrolment back end for an activation code,\n"
           "activates at the authentication service with it and the PIN, stores the seed,\n"
           "and has the back end confirm the enrolment with a first OTP.\n"
           "\n"
           "  --code-otp-url URL      back end URL that returns the activation code and login\n"
           "                          OTP (required)\n"
           "  --check-url URL         back end URL that confirms the enrolment (required)\n"
           "  --user NAME             back end user name\n"
           "  --password TEXT         back end password\n"
           "  --password-file FILE    read the back end password from FILE ('-' = stdin)\n"
           "  --message JSON          the enrolment message sent to the back end (required,\n"
           "                          or --message-file FILE, '-' = stdin)\n"
           "  --status N              enrolment status: 0 enrol (default), -1 only repeat the\n"
           "                          confirmation with the stored seed\n" +
           common;
  }
  return "usage: qmtsr otp [options]\n"
         "Prints a login one-time password made from the stored seed; the seed file is\n"
         "rewritten when the exchange changed it.\n"
         "\n"
         "  --status N              enrolment status (default 1: log to the authentication log)\n" +
         common;
}

}  // namespace qmtsr
