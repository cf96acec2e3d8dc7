#include "options.h"

#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace devserver {

namespace {

bool toInt(const char* text, int low, int high, int& out) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (*text == '\0' || *end != '\0' || errno != 0 || v < low || v > high) return false;
  out = static_cast<int>(v);
  return true;
}

}  // namespace

std::string usageText() {
  return "usage: sentrel-devserver [--port N] [--db PATH] [--config FILE] [--cert FILE --key "
         "FILE]\n"
         "                         [--key-bits N] [--control-token TEXT] [--quiet]\n"
         "  --port N       port on 127.0.0.1 (default 8080; 0 picks a free one). The port is\n"
         "                 printed alone on the first line of standard output.\n"
         "  --db PATH      SQLite database (default sentrel-devserver.db; :memory: allowed)\n"
         "  --config FILE  JSON settings (services, messages, otp_format, ...) over the defaults\n"
         "  --cert, --key  PEM certificate and private key: serve HTTPS\n"
         "  --key-bits N   size of the RSA keys made at the first start, 768 to 1024 (default "
         "1024)\n"
         "  --control-token TEXT\n"
         "                 bearer token for /control/* (default: a random one, written to\n"
         "                 PATH.control-token beside the database with mode 0600)\n"
         "  --quiet        no request log on standard error\n";
}

std::string parseOptions(int argc, const char* const* argv, ServerOptions& options, bool& help) {
  help = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      help = true;
      return "";
    }
    if (arg == "--quiet") {
      options.log_requests = false;
      continue;
    }
    if (i + 1 >= argc) return "option " + std::string(arg) + " needs a value";
    const char* value = argv[++i];
    if (arg == "--port") {
      if (!toInt(value, 0, 65535, options.port)) return "--port needs a number from 0 to 65535";
    } else if (arg == "--db") {
      options.db_path = value;
    } else if (arg == "--config") {
      options.config_path = value;
    } else if (arg == "--cert") {
      options.cert_path = value;
    } else if (arg == "--key") {
      options.key_path = value;
    } else if (arg == "--key-bits") {
      if (!toInt(value, 768, 1024, options.key_bits)) return "--key-bits needs 768 to 1024";
    } else if (arg == "--control-token") {
      options.control_token = value;
      const bool visible = options.control_token.find_first_of(" \t\r\n") == std::string::npos;
      if (options.control_token.size() < 16 || !visible) {
        return "--control-token needs 16 characters or more, without white space";
      }
    } else {
      return "unknown option " + std::string(arg);
    }
  }
  if (options.cert_path.empty() != options.key_path.empty()) {
    return "--cert and --key go together";
  }
  if (options.db_path.empty()) return "--db needs a path";
  return "";
}

}  // namespace devserver
