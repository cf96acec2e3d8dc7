// The immutable attribute (chattr +i) for one test: a folder that refuses new names and renames
// even to root, or a file nobody can write. Cleared again when the object ends, whatever failed.
#ifndef QMT_TESTS_SUPPORT_IMMUTABLE_FLAG_H
#define QMT_TESTS_SUPPORT_IMMUTABLE_FLAG_H

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

namespace qmt_test {

class ImmutableFlag {
 public:
  explicit ImmutableFlag(std::filesystem::path path) : path_(std::move(path)), set_(Change(true)) {}
  ~ImmutableFlag() {
    if (set_) Change(false);
  }
  ImmutableFlag(const ImmutableFlag&) = delete;
  ImmutableFlag& operator=(const ImmutableFlag&) = delete;
  bool set() const { return set_; }
  const std::string& error() const { return error_; }  // why it could not be set

 private:
  bool Change(bool on) {
    const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    int flags = 0;
    bool ok = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    if (!ok) error_ = path_.string() + ": " + std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return ok;
  }
  std::filesystem::path path_;
  std::string error_;
  bool set_;
};

}  // namespace qmt_test

// Skips the test, saying why, where the file system (or the user) cannot set the attribute.
#define QMT_REQUIRE_IMMUTABLE(flag) \
  if (!(flag).set()) GTEST_SKIP() << "cannot set the immutable attribute: " << (flag).error()

#endif
