// The few operating-system calls the tests make, for POSIX and Windows alike, and a file reader.
#ifndef QMT_TESTS_SUPPORT_TEST_OS_H
#define QMT_TESTS_SUPPORT_TEST_OS_H

#include <stdlib.h>
#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include <atomic>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>

namespace qmt_test {

inline unsigned long ProcessId() {
#ifdef _WIN32
  return static_cast<unsigned long>(::_getpid());
#else
  return static_cast<unsigned long>(::getpid());
#endif
}

inline void SetEnv(const std::string& name, const std::string& value) {
#ifdef _WIN32
  ::_putenv_s(name.c_str(), value.c_str());
#else
  ::setenv(name.c_str(), value.c_str(), 1);
#endif
}

inline void UnsetEnv(const std::string& name) {
#ifdef _WIN32
  ::_putenv_s(name.c_str(), "");  // an empty value removes the variable
#else
  ::unsetenv(name.c_str());
#endif
}

inline std::tm LocalTime(std::time_t when) {
  std::tm local{};
#ifdef _WIN32
  ::localtime_s(&local, &when);
#else
  ::localtime_r(&when, &local);
#endif
  return local;
}

// A file's whole content; "" when it cannot be read.
inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A new, empty folder of this process's own under the temporary folder.
inline std::filesystem::path MakeTempFolder(const std::string& prefix) {
  static std::atomic<unsigned> counter{0};
  std::random_device entropy;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path candidate =
        std::filesystem::temp_directory_path() /
        (prefix + std::to_string(ProcessId()) + "-" + std::to_string(++counter) + "-" +
         std::to_string(entropy()));
    if (std::filesystem::create_directory(candidate)) return candidate;
  }
  throw std::runtime_error("cannot make a temporary folder");
}

}  // namespace qmt_test

#endif
