// The save policy of the seed and status files, the same on every platform.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <new>
#include <thread>

#include "platform/Platform.h"
#include "platform/in_place_file.h"

namespace SRCppWrap::platform {

bool (*g_inPlaceStepAllowed)(const char* step) = nullptr;

namespace {

// Line ends written after a text that is shorter than what it overwrites, so that a kill before
// the file is cut leaves the text as the file's first word. Beyond this many, only the tail of
// a damaged file larger than any seed can follow them, and only the first word is ever read.
constexpr std::size_t kBlankLimit = std::size_t{64} << 10;

bool StepAllowed(const char* step) {
  return g_inPlaceStepAllowed == nullptr || g_inPlaceStepAllowed(step);
}

// `text` followed by line ends up to `length` bytes (at most kBlankLimit of them).
std::string Padded(const std::string& text, std::uint64_t length) {
  std::string block = text;
  if (length > text.size()) {
    block.append(
        static_cast<std::size_t>(std::min<std::uint64_t>(length - text.size(), kBlankLimit)), '\n');
  }
  return block;
}

// Writes back the old bytes that the overwrite covered, the same way; true when the file holds
// its old content again. `old` is the whole old file of `oldLength` bytes, or only the start
// of a longer one that the overwrite wrote over.
bool Restore(InPlaceFile& file, const std::string& old, std::uint64_t oldLength) {
  std::uint64_t length = 0;
  if (!StepAllowed("restore") || !file.Size(length)) return false;
  try {
    return file.WriteStart(Padded(old, old.size() < oldLength ? 0 : length)) &&
           file.Truncate(oldLength) && file.Flush();
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace

// One write of the new content padded over the old one, a flush, then the cut: a kill at any
// instant leaves the old or the new content as the first word. Only the bytes the write
// covers are kept for a restore, so a huge damaged file costs no more memory than the new one.
SaveOutcome OverwriteFileInPlace(const std::string& windowsPath, const std::string& content) {
  SaveOutcome outcome;
  InPlaceFile file(windowsPath);
  std::uint64_t oldLength = 0;
  std::string block;
  std::string old;
  if (!file.IsOpen()) {
    outcome.error = file.Failure("cannot open the file for writing");
    outcome.held = file.HeldElsewhere();
    return outcome;
  }
  if (!file.Size(oldLength) || !file.ReadStart((block = Padded(content, oldLength)).size(), old)) {
    outcome.error = file.Failure("cannot read the old content");
    return outcome;
  }
  if (file.WriteStart(block) && file.Flush() && StepAllowed("truncate") &&
      file.Truncate(content.size())) {
    file.Flush();  // best effort: the new content already stands first, flushed
    outcome.saved = true;
    return outcome;
  }
  outcome.error = file.Failure("cannot overwrite the file");
  outcome.oldKept = Restore(file, old, oldLength);
  return outcome;
}

SaveOutcome SaveFile(const std::string& windowsPath, const std::string& content) {
  try {
    // Backup programs, virus scanners and Explorer read a file that was just written for a
    // moment, often without write or delete sharing: 1.55 s in all covers them.
    for (int pauseMs = 50;; pauseMs *= 2) {
      std::string atomicError;
      if (ReplaceFileAtomically(windowsPath, content, &atomicError)) {
        SaveOutcome saved;
        saved.saved = true;
        return saved;
      }
      SaveOutcome outcome = OverwriteFileInPlace(windowsPath, content);
      if (!outcome.saved) outcome.error = atomicError + "; " + outcome.error;
      if (outcome.saved || !outcome.held || pauseMs > 800) return outcome;
      std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    }
  } catch (const std::bad_alloc&) {
    SaveOutcome failed;
    failed.oldKept = false;
    failed.error = "out of memory";
    return failed;
  }
}

}  // namespace SRCppWrap::platform
