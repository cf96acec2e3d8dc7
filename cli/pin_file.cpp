#include "pin_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

namespace qmtsr {

namespace {

constexpr char kGenFolder[] = "C/APP/qmt/GEN";
constexpr char kPinFileName[] = "ToolvexPin.txt";

std::string DriveRoot() {
  const char* root = std::getenv("QMT_DRIVE_ROOT");
  std::string path = root != nullptr && *root != '\0' ? root : "/";
  if (path.back() != '/') path += '/';
  return path;
}

bool MakeFolders(const std::string& path, std::string& error) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string prefix = path.substr(0, slash);
    if (::mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) {
      error = "cannot create folder " + prefix + ": " + std::strerror(errno);
      return false;
    }
    if (slash == std::string::npos) return true;
  }
}

}  // namespace

bool PromptPin(std::string& pin, std::string& error) {
  const bool terminal = ::isatty(STDIN_FILENO) == 1;
  termios saved{};
  if (terminal) {
    std::cerr << "PIN: " << std::flush;
    ::tcgetattr(STDIN_FILENO, &saved);
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  const bool read = static_cast<bool>(std::getline(std::cin, pin));
  if (terminal) {
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::cerr << "\n";
  }
  if (!read || pin.empty()) {
    error = "no PIN given";
    return false;
  }
  return true;
}

bool WritePinFile(const std::string& pin, std::string& error) {
  const std::string folder = DriveRoot() + kGenFolder;
  if (!MakeFolders(folder, error)) return false;
  const std::string path = folder + "/" + kPinFileName;
  // A link planted at the PIN path is refused rather than followed.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    error = "cannot write the PIN file " + path + ": " + std::strerror(errno);
    return false;
  }
  const bool written = ::write(fd, pin.data(), pin.size()) == static_cast<ssize_t>(pin.size());
  const int savedErrno = errno;
  ::close(fd);
  if (!written) {
    error = "cannot write the PIN file " + path + ": " + std::strerror(savedErrno);
    return false;
  }
  return true;
}

}  // namespace qmtsr
