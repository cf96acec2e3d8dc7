// The seed and PIN files the wrapper keeps in the host's installation, and how it reads
// them. Paths are Windows paths, mapped by the platform layer.
#ifndef NRD_WRAPPER_STORED_FILES_H
#define NRD_WRAPPER_STORED_FILES_H

#include <cstddef>
#include <string>

namespace SRCppWrap::detail {

inline constexpr char kSeedFilePath[] = "C:\\APP\\qmt\\GEN\\seed.data";
inline constexpr char kPinFilePath[] = "C:\\APP\\qmt\\GEN\\ToolvexPin.txt";
// Where a new seed waits while another program holds the seed file without write sharing: the
// seed is read from here while it exists, and the seed file catches up as soon as it can.
inline constexpr char kPendingSeedFilePath[] = "C:\\APP\\qmt\\GEN\\seed.data.pending";

// A seed with many services runs to a few kilobytes; a first word longer than this is not a
// seed (or a PIN) but a damaged file, and reads as empty.
inline constexpr std::size_t kMaxWordLength = std::size_t{1} << 20;

struct FirstWord {
  bool opened = false;  // false: the file could not be opened (word is then empty)
  std::string word;
};

// The first white-space-delimited word of the file, read whole (up to kMaxWordLength). With
// `skipUtf8Bom`, a UTF-8 byte-order mark at the file's start is not part of it: editors and
// .NET hosts write one before a PIN. Nothing else is decoded: UTF-16 still reads as bytes.
FirstWord ReadFirstWord(const std::string& windowsPath, bool skipUtf8Bom = false);

// The seed as the next exchange must use it: the pending seed while there is one, else the
// seed file's.
FirstWord ReadSeed();

}  // namespace SRCppWrap::detail

#endif
