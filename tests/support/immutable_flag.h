// The immutable attribute (chattr +i) for one test: a folder that refuses new names and renames
// even to root, or a file nobody can write. Cleared again when the object ends, whatever failed.
#ifndef QMT_TESTS_SUPPORT_IMMUTABLE_FLAG_H
#define QMT_TESTS_SUPPORT_IMMUTABLE_FLAG_H

#include <cstdlib>
#include <filesystem>
#include <string>

namespace qmt_test {

class ImmutableFlag {
 public:
  explicit ImmutableFlag(const std::filesystem::path& path)
      : path_("'" + path.string() + "'"), set_(Chattr("+i")) {}
  ~ImmutableFlag() {
    if (set_) Chattr("-i");
  }
  ImmutableFlag(const ImmutableFlag&) = delete;
  bool set() const { return set_; }
  const std::string& path() const { return path_; }

 private:
  bool Chattr(const std::string& change) const {
    return std::system(("chattr " + change + " " + path_ + " 2>/dev/null").c_str()) == 0;
  }
  std::string path_;
  bool set_;
};

}  // namespace qmt_test

// Skips the test where this file system (or user) cannot set the attribute.
#define QMT_REQUIRE_IMMUTABLE(flag) \
  if (!(flag).set())                \
  GTEST_SKIP() << "this file system cannot make " << (flag).path() << " immutable"

#endif
