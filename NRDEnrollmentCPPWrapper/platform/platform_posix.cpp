// POSIX stand-in for the Windows calls: the host's Windows paths are mapped onto the local file
// system, everything else uses the plain C library and POSIX calls.
#ifndef _WIN32

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/Platform.h"

namespace SRCppWrap::platform {

namespace {

bool IsDriveLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Where the drive folders live; an unset or empty QMT_DRIVE_ROOT means the file-system root.
std::string DriveRoot() {
  const char* root = std::getenv("QMT_DRIVE_ROOT");
  std::string result = (root != nullptr && *root != '\0') ? root : "/";
  if (result.back() != '/') result += '/';
  return result;
}

std::string DirectoryOf(const std::string& path) {
  std::string::size_type slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool WriteAll(int fd, const std::string& content) {
  const char* data = content.data();
  std::size_t left = content.size();
  while (left > 0) {
    ssize_t written = ::write(fd, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  return true;
}

// Creates a new, not yet existing file next to `path` and returns its descriptor (-1 on
// failure). The creation mode lets the umask decide, as fopen would.
int CreateSiblingTemp(const std::string& path, std::string& tempPath) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
    int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

std::string NativePath(const std::string& windowsPath) {
  std::string path = windowsPath;
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  // "X:" or "X:/rest" -> <drive root>/X/rest, the drive letter kept as written.
  if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':') {
    std::string rest = path.substr(2);
    if (!rest.empty() && rest.front() == '/') rest.erase(0, 1);
    std::string mapped = DriveRoot() + path[0];
    if (!rest.empty() || path.size() > 2) mapped += '/';
    return mapped + rest;
  }
  // Relative paths stay relative: the system resolves them against the working directory.
  return path;
}

unsigned long CurrentProcessId() {
  return static_cast<unsigned long>(::getpid());
}

std::size_t FormatLocalTime(char* buffer, std::size_t size, const char* format) {
  if (size == 0) return 0;
  std::time_t now = std::time(nullptr);
  std::tm local{};
  if (::localtime_r(&now, &local) == nullptr) {
    buffer[0] = '\0';
    return 0;
  }
  std::size_t length = std::strftime(buffer, size, format, &local);
  if (length == 0) buffer[0] = '\0';
  return length;
}

std::FILE* OpenShared(const std::string& windowsPath, const char* mode) {
  // POSIX files carry no sharing locks: other processes may always read and write them.
  return std::fopen(NativePath(windowsPath).c_str(), mode);
}

bool RemoveFile(const std::string& windowsPath) {
  return std::remove(NativePath(windowsPath).c_str()) == 0;
}

bool ReplaceFileAtomically(const std::string& windowsPath, const std::string& content) {
  const std::string path = NativePath(windowsPath);
  std::string tempPath;
  int fd = CreateSiblingTemp(path, tempPath);
  if (fd < 0) return false;

  // The replacement keeps the permissions of the file it replaces.
  struct stat old {};
  bool ok = true;
  if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    ok = ::fchmod(fd, old.st_mode & 07777) == 0;
  }
  ok = ok && WriteAll(fd, content) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(tempPath.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(tempPath.c_str());
    return false;
  }

  // Make the rename itself durable; the content is already replaced, so this is best effort.
  int dirFd = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

}  // namespace SRCppWrap::platform

#endif  // !_WIN32
