// Command-line options of sentrel-devserver.
#pragma once

#include <string>

#include "request_limits.h"

namespace devserver {

struct ServerOptions {
  int port = 8080;  // 0: any free port
  std::string db_path = "sentrel-devserver.db";
  std::string cert_path;  // with key_path: HTTPS instead of plain HTTP
  std::string key_path;
  std::string config_path;  // JSON settings applied over the defaults at start
  int key_bits = 1024;      // size of the RSA keys made at the first start
  bool log_requests = true;
  // Bearer token of the control endpoint; "" makes a random one at start.
  std::string control_token;
  RequestLimits limits;
};

// Reads argv into options. Returns "" or an error text; help is set for --help.
std::string parseOptions(int argc, const char* const* argv, ServerOptions& options, bool& help);

std::string usageText();

}  // namespace devserver
