// POSIX stand-in for the Windows calls: the host's Windows paths are mapped onto the local file
// system, everything else uses the plain C library and POSIX calls.
#ifndef _WIN32

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/Platform.h"
#include "platform/in_place_file.h"

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

std::string BaseName(const std::string& path) {
  const std::string::size_type slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Failure(const char* what) {
  return std::string(what) + ": " + std::strerror(errno);
}

// Writes the whole content at `offset`, or where the file stands when `offset` is negative.
bool WriteAllAt(int fd, const std::string& content, off_t offset) {
  const char* data = content.data();
  std::size_t left = content.size();
  while (left > 0) {
    const ssize_t written = offset < 0 ? ::write(fd, data, left) : ::pwrite(fd, data, left, offset);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    if (offset >= 0) offset += written;
    left -= static_cast<std::size_t>(written);
  }
  return true;
}

constexpr char kTempMarker[] = ".tmp-";

// The process id in "<base>.tmp-<pid>-<counter>", or 0 when `name` is not such a name.
pid_t LeftoverOwner(const std::string& name, const std::string& base) {
  const std::string prefix = base + kTempMarker;
  if (name.compare(0, prefix.size(), prefix) != 0) return 0;
  const char* cursor = name.c_str() + prefix.size();
  char* end = nullptr;
  const long pid = std::strtol(cursor, &end, 10);
  if (end == cursor || *end != '-' || pid <= 0) return 0;
  cursor = end + 1;
  std::strtoul(cursor, &end, 10);
  if (end == cursor || *end != '\0') return 0;
  return static_cast<pid_t>(pid);
}

// A kill during a replace leaves its temporary file (a full copy of the secret) behind. Only
// names of our own form beside `path`, whose process no longer runs, are removed.
void RemoveLeftoverTemps(const std::string& path) {
  const std::string base = BaseName(path);
  DIR* dir = ::opendir(DirectoryOf(path).c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = ::readdir(dir)) {
    const pid_t owner = LeftoverOwner(entry->d_name, base);
    if (owner == 0 || static_cast<unsigned long>(owner) == CurrentProcessId()) continue;
    if (::kill(owner, 0) != 0 && errno == ESRCH) ::unlinkat(::dirfd(dir), entry->d_name, 0);
  }
  ::closedir(dir);
}

// Creates a new, not yet existing file next to `path` and returns its descriptor (-1 on
// failure), readable by its owner only until it takes the old file's mode.
int CreateSiblingTemp(const std::string& path, std::string& tempPath) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath =
        path + kTempMarker + std::to_string(CurrentProcessId()) + "-" + std::to_string(++counter);
    int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
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

namespace {
std::atomic<pid_t> cachedProcessId{0};
void ForgetProcessId() {
  cachedProcessId.store(0, std::memory_order_relaxed);
}
}  // namespace

const char* EnvironmentValue(const char* name) {
  return std::getenv(name);
}

// Every log entry carries the process id; asking the system each time is a system call.
unsigned long CurrentProcessId() {
  pid_t pid = cachedProcessId.load(std::memory_order_relaxed);
  if (pid == 0) {
    static const int forgetInChild = ::pthread_atfork(nullptr, nullptr, ForgetProcessId);
    (void)forgetInChild;
    pid = ::getpid();
    cachedProcessId.store(pid, std::memory_order_relaxed);
  }
  return static_cast<unsigned long>(pid);
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

bool Exists(const std::string& windowsPath) {
  struct stat status {};
  return ::lstat(NativePath(windowsPath).c_str(), &status) == 0;
}

bool RemoveFile(const std::string& windowsPath) {
  return std::remove(NativePath(windowsPath).c_str()) == 0;
}

bool RemoveFileIfPresent(const std::string& windowsPath, std::string& why) {
  if (::unlink(NativePath(windowsPath).c_str()) == 0 || errno == ENOENT) return true;
  why = Failure("cannot delete the file");
  return false;
}

bool AppendToFile(const std::string& windowsPath, const std::string& bytes) {
  // O_APPEND makes the single write one append, whole even beside other processes' entries.
  const int fd = ::open(NativePath(windowsPath).c_str(),
                        O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  const bool written = WriteAllAt(fd, bytes, -1);
  ::close(fd);
  return written;
}

bool CreateEmptyFileIfMissing(const std::string& windowsPath) {
  // O_EXCL fails on any existing name, a symbolic link (even a dangling one) included.
  const int fd = ::open(NativePath(windowsPath).c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

bool CanTakeFile(const std::string& windowsPath) {
  const std::string path = NativePath(windowsPath);
  int fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0) {
    ::close(fd);
    return true;
  }
  std::string tempPath;
  fd = CreateSiblingTemp(path, tempPath);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(tempPath.c_str());
  return true;
}

bool ReplaceFileAtomically(const std::string& windowsPath, const std::string& content,
                           std::string* why) {
  const std::string path = NativePath(windowsPath);
  std::string error;
  std::string tempPath;
  const int fd = CreateSiblingTemp(path, tempPath);
  if (fd < 0) {
    if (why != nullptr) *why = Failure("cannot create a temporary file");
    return false;
  }

  // The replacement keeps the permissions of the file it replaces.
  struct stat old {};
  if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode) &&
      ::fchmod(fd, old.st_mode & 07777) != 0) {
    error = Failure("cannot keep the file's mode");
  }
  if (error.empty() && (!WriteAllAt(fd, content, 0) || ::fsync(fd) != 0)) {
    error = Failure("cannot write the temporary file");
  }
  if (::close(fd) != 0 && error.empty()) error = Failure("cannot write the temporary file");
  if (error.empty() && ::rename(tempPath.c_str(), path.c_str()) != 0) {
    error = Failure("cannot rename the temporary file");
  }
  if (!error.empty()) {
    ::unlink(tempPath.c_str());
    if (why != nullptr) *why = error;
    return false;
  }

  // Make the rename itself durable; the content is already replaced, so this is best effort.
  int dirFd = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  // Only after the new content is in place: the caller is often waiting to save a seed.
  RemoveLeftoverTemps(path);
  return true;
}

InPlaceFile::InPlaceFile(const std::string& windowsPath)
    : handle_(::open(NativePath(windowsPath).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC,
                     0600)) {}

InPlaceFile::~InPlaceFile() {
  if (IsOpen()) ::close(static_cast<int>(handle_));
}

bool InPlaceFile::IsOpen() const {
  return handle_ >= 0;
}

bool InPlaceFile::Size(std::uint64_t& size) {
  struct stat status {};
  if (::fstat(static_cast<int>(handle_), &status) != 0) return false;
  size = static_cast<std::uint64_t>(status.st_size);
  return true;
}

bool InPlaceFile::ReadStart(std::size_t count, std::string& bytes) {
  bytes.assign(count, '\0');
  std::size_t done = 0;
  while (done < count) {
    const ssize_t n =
        ::pread(static_cast<int>(handle_), &bytes[done], count - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  bytes.resize(done);
  return true;
}

bool InPlaceFile::WriteStart(const std::string& bytes) {
  return WriteAllAt(static_cast<int>(handle_), bytes, 0);
}

bool InPlaceFile::Truncate(std::uint64_t size) {
  return ::ftruncate(static_cast<int>(handle_), static_cast<off_t>(size)) == 0;
}

bool InPlaceFile::Flush() {
  return ::fsync(static_cast<int>(handle_)) == 0;
}

std::string InPlaceFile::Failure(const char* what) const {
  return platform::Failure(what);
}

}  // namespace SRCppWrap::platform

#endif  // !_WIN32
