// qmtsr: enrols this workstation or prints a login OTP, through the exported class alone.
#include <iostream>
#include <string>

#include "commands.h"
#include "options.h"
#include "version_text.h"

int main(int argc, char** argv) {
  if (argc >= 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::cout << qmtsr::UsageText();
    return 0;
  }
  if (argc == 2 && std::string(argv[1]) == "--version") {
    std::cout << qmtsr::VersionText();
    return 0;
  }
  std::string error;
  const std::optional<qmtsr::Options> options = qmtsr::ParseOptions(argc - 1, argv + 1, error);
  if (!options) {
    std::cerr << "qmtsr: " << error << "\n" << qmtsr::UsageText();
    return 2;
  }
  if (options->help) {
    std::cout << qmtsr::HelpText(options->command);
    return 0;
  }
  return options->command == qmtsr::Command::kEnroll ? qmtsr::RunEnroll(*options)
                                                     : qmtsr::RunOtp(*options);
}
