// The seed and PIN files the wrapper keeps in the host's installation, and how it reads and
// replaces them. Paths are Windows paths, mapped by the platform layer.
#ifndef NRD_WRAPPER_STORED_FILES_H
#define NRD_WRAPPER_STORED_FILES_H

#include <cstddef>
#include <string>

namespace SRCppWrap::detail {

inline constexpr char kSeedFilePath[] = "C:\\APP\\qmt\\GEN\\seed.data";
inline constexpr char kPinFilePath[] = "C:\\APP\\qmt\\GEN\\ToolvexPin.txt";

// A seed with many services runs to a few kilobytes; a first word longer than this is not a
// seed (or a PIN) but a damaged file, and reads as empty.
inline constexpr std::size_t kMaxWordLength = std::size_t{1} << 20;

struct FirstWord {
  bool opened = false;  // false: the file could not be opened (word is then empty)
  std::string word;
};

// The first white-space-delimited word of the file, read whole (up to kMaxWordLength).
FirstWord ReadFirstWord(const std::string& windowsPath);

// Replaces the file's whole content atomically, unless it already holds exactly `content`:
// then neither its bytes nor its modification time change. Returns false when the file could
// not be replaced (the old content is then intact).
bool ReplaceFileIfDifferent(const std::string& windowsPath, const std::string& content);

}  // namespace SRCppWrap::detail

#endif
