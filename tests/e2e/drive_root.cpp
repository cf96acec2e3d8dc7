#include "drive_root.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <system_error>

namespace qmt_e2e {

namespace fs = std::filesystem;

DriveRoot::DriveRoot() {
  std::string pattern = (fs::temp_directory_path() / "qmt-e2e-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  for (const char* folder : {"C/APP/qmt/GEN", "C/APP/qmt/BIN", "C/APP/qmt/log", "C/log"}) {
    fs::create_directories(root_ / folder);
  }
  if (const char* value = std::getenv("QMT_DRIVE_ROOT")) previousDriveRoot_ = value;
  ::setenv("QMT_DRIVE_ROOT", root_.c_str(), 1);
  previousDirectory_ = fs::current_path();
  MoveTo("C/APP/qmt/BIN");
}

void DriveRoot::MoveTo(const std::string& folder) {
  work_ = root_ / folder;
  fs::create_directories(work_);
  for (const char* logs : {"../log", "../../../log"}) {
    fs::create_directories((work_ / logs).lexically_normal());
  }
  fs::current_path(work_);
}

DriveRoot::~DriveRoot() {
  std::error_code ignored;
  fs::current_path(previousDirectory_, ignored);
  if (previousDriveRoot_) {
    ::setenv("QMT_DRIVE_ROOT", previousDriveRoot_->c_str(), 1);
  } else {
    ::unsetenv("QMT_DRIVE_ROOT");
  }
  fs::remove_all(root_, ignored);
}

void DriveRoot::WritePin(const std::string& pin) const {
  WriteFile(pinFile(), pin);
}

std::optional<std::string> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteFile(const fs::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  ASSERT_TRUE(out.good()) << "cannot write " << path;
}

}  // namespace qmt_e2e
