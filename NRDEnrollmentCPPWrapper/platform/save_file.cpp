// The save policy of the seed and status files, the same on every platform.
#include "platform/Platform.h"

namespace SRCppWrap::platform {

SaveOutcome SaveFile(const std::string& windowsPath, const std::string& content) {
  SaveOutcome outcome;
  std::string atomicError;
  if (ReplaceFileAtomically(windowsPath, content, &atomicError)) {
    outcome.saved = true;
    return outcome;
  }
  const std::string inPlaceError = OverwriteFileInPlace(windowsPath, content);
  outcome.saved = inPlaceError.empty();
  if (!outcome.saved) outcome.error = atomicError + "; " + inPlaceError;
  return outcome;
}

}  // namespace SRCppWrap::platform
