#include "drive_root.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <system_error>

#include "support/test_os.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace qmt_e2e {

namespace fs = std::filesystem;

namespace {

constexpr const char* kHostFolders[] = {"APP/qmt/GEN", "APP/qmt/BIN", "APP/qmt/log", "log"};

#ifdef _WIN32
// The host's folders on the real C: drive are emptied by every test: never outside Wine.
void RequireScratchDrive() {
  const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
  if (ntdll == nullptr || ::GetProcAddress(ntdll, "wine_get_version") == nullptr) {
    throw std::runtime_error("the end-to-end tests replace C:\\APP: they run under Wine only");
  }
}
#endif

}  // namespace

DriveRoot::DriveRoot() : root_(qmt_test::MakeTempFolder("qmt-e2e-")) {
#ifdef _WIN32
  RequireScratchDrive();
  driveC_ = "C:/";
  std::error_code ignored;
  fs::remove_all(driveC_ / "APP", ignored);
  fs::remove_all(driveC_ / "log", ignored);
#else
  driveC_ = root_ / "C";
#endif
  for (const char* folder : kHostFolders) fs::create_directories(driveC_ / folder);
  if (const char* value = std::getenv("QMT_DRIVE_ROOT")) previousDriveRoot_ = value;
  qmt_test::SetEnv("QMT_DRIVE_ROOT", root_.string());
  previousDirectory_ = fs::current_path();
  MoveTo("APP/qmt/BIN");
}

void DriveRoot::MoveTo(const std::string& folder) {
  work_ = driveC_ / folder;
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
    qmt_test::SetEnv("QMT_DRIVE_ROOT", *previousDriveRoot_);
  } else {
    qmt_test::UnsetEnv("QMT_DRIVE_ROOT");
  }
  fs::remove_all(root_, ignored);
#ifdef _WIN32
  fs::remove_all(driveC_ / "APP", ignored);
  fs::remove_all(driveC_ / "log", ignored);
#endif
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
