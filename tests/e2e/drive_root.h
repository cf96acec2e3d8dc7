// A temporary installation for one test: a drive root (QMT_DRIVE_ROOT) holding the host's
// folders, and a working directory inside it so that the relative log and PIN paths land there.
// On Windows the host's paths are the real C: drive's: the installation is made there, which
// only Wine's throwaway prefix allows.
#ifndef QMT_TESTS_E2E_DRIVE_ROOT_H
#define QMT_TESTS_E2E_DRIVE_ROOT_H

#include <filesystem>
#include <optional>
#include <string>

namespace qmt_e2e {

class DriveRoot {
 public:
  // Creates <tmp>/C/APP/qmt/{GEN,BIN,log} and <tmp>/C/log (C:\ itself on Windows), points
  // QMT_DRIVE_ROOT at <tmp> and makes C/APP/qmt/BIN the working directory: "..\GEN\ToolvexPin.txt"
  // is then the fixed PIN file, "..\log" the enrolment log folder and "..\..\..\log" the
  // authentication log folder.
  DriveRoot();
  ~DriveRoot();
  // Makes <C:\>/<folder> the working directory, with the log folders the relative paths name
  // from there; the relative PIN path then names another file than the fixed one.
  void MoveTo(const std::string& folder);
  DriveRoot(const DriveRoot&) = delete;
  DriveRoot& operator=(const DriveRoot&) = delete;

  const std::filesystem::path& root() const { return root_; }
  // Where the host's C:\ is.
  const std::filesystem::path& driveC() const { return driveC_; }
  std::filesystem::path gen() const { return driveC_ / "APP/qmt/GEN"; }
  std::filesystem::path seedFile() const { return gen() / "seed.data"; }
  std::filesystem::path pinFile() const { return gen() / "ToolvexPin.txt"; }
  std::filesystem::path statusFile() const { return gen() / "Enrollment_Status.txt"; }
  std::filesystem::path relativePinFile() const { return work_ / "../GEN/ToolvexPin.txt"; }
  std::filesystem::path enrollmentLog() const { return work_ / "../log/SREnrollmentlog.log"; }
  std::filesystem::path authenticationLog() const {
    return work_ / "../../../log/SRAuthenticationlog.log";
  }

  void WritePin(const std::string& pin) const;

 private:
  std::filesystem::path root_;
  std::filesystem::path driveC_;
  std::filesystem::path work_;
  std::filesystem::path previousDirectory_;
  std::optional<std::string> previousDriveRoot_;
};

// The whole file, or nothing when it cannot be read.
std::optional<std::string> ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& content);

}  // namespace qmt_e2e

#endif
