// The file calls an in-place overwrite is made of; each platform file implements them.
#ifndef NRD_PLATFORM_IN_PLACE_FILE_H
#define NRD_PLATFORM_IN_PLACE_FILE_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace SRCppWrap::platform {

class InPlaceFile {
 public:
  // Opens the file for reading and writing with shared access, creating it when missing; on
  // POSIX a final symbolic link is not followed.
  explicit InPlaceFile(const std::string& windowsPath);
  ~InPlaceFile();
  InPlaceFile(const InPlaceFile&) = delete;
  InPlaceFile& operator=(const InPlaceFile&) = delete;

  bool IsOpen() const;
  // Not open because another program holds the file without write sharing (Windows only).
  bool HeldElsewhere() const { return heldElsewhere_; }
  bool Size(std::uint64_t& size);
  // Reads the first `count` bytes (fewer when the file is shorter).
  bool ReadStart(std::size_t count, std::string& bytes);
  // Writes the bytes at the start of the file, in one system call where their size allows.
  bool WriteStart(const std::string& bytes);
  bool Truncate(std::uint64_t size);
  bool Flush();
  // `what` and the system's reason for the last failed call.
  std::string Failure(const char* what) const;

 private:
  std::intptr_t handle_;
  bool heldElsewhere_ = false;
};

// Test seam: when set, asked before each step of an overwrite ("truncate" once the padded new
// content is written and flushed, "restore" before the old content is written back); false
// makes that step fail as a refusing system would.
extern bool (*g_inPlaceStepAllowed)(const char* step);

}  // namespace SRCppWrap::platform

#endif
