#include "control_token.h"

#include <fcntl.h>
#include <openssl/crypto.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace devserver {

std::string controlTokenPath(const std::string& dbPath) {
  return dbPath == ":memory:" ? std::string() : dbPath + ".control-token";
}

bool writeControlToken(const std::string& path, const std::string& token, std::string& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
  const std::string text = token + "\n";
  // A file left by an earlier run keeps its mode through O_CREAT: set it again.
  const bool ok = fd >= 0 && ::fchmod(fd, 0600) == 0 &&
                  ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  if (!ok) error = "cannot write the control token to " + path + ": " + std::strerror(errno);
  if (fd >= 0) ::close(fd);
  return ok;
}

bool bearerMatches(const std::string& authorization, const std::string& token) {
  static const std::string kBearer = "Bearer ";
  if (token.empty() || authorization.compare(0, kBearer.size(), kBearer) != 0) return false;
  const std::string given = authorization.substr(kBearer.size());
  return given.size() == token.size() &&
         CRYPTO_memcmp(given.data(), token.data(), token.size()) == 0;
}

}  // namespace devserver
