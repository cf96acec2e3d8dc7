// The immutable attribute (chattr +i) for one test: a folder that refuses new names and renames
// even to root, or a file nobody can write. It is always cleared again when the object ends.
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
  explicit ImmutableFlag(std::filesystem::path path) : path_(std::move(path)) {
    set_ = Change(true);
  }
  ~ImmutableFlag() {
    if (set_) Change(false);
  }
  ImmutableFlag(const ImmutableFlag&) = delete;
  ImmutableFlag& operator=(const ImmutableFlag&) = delete;

  bool set() const { return set_; }
  // Why the attribute could not be set (the file system or the user cannot).
  const std::string& error() const { return error_; }

 private:
  bool Change(bool on) {
    const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    int flags = 0;
    bool ok = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
      flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
      ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    if (!ok) error_ = path_.string() + ": " + std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return ok;
  }

  std::filesystem::path path_;
  bool set_ = false;
  std::string error_;
};

}  // namespace qmt_test

// Skips the test where the attribute cannot be set, saying why.
#define QMT_REQUIRE_IMMUTABLE(flag)                                                    \
  if (!(flag).set())                                                                   \
  GTEST_SKIP() << "this file system (or user) cannot set the immutable attribute: " \
               << (flag).error()

#endif
