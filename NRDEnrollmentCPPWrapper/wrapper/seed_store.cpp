#include "wrapper/seed_store.h"

#include "platform/Platform.h"
#include "wrapper/stored_files.h"

namespace SRCppWrap::detail {

namespace {

// The seed file holds the pending seed now (or a newer one): the pending file goes. When it
// cannot, it must at least not hold an older seed than the seed file.
void ForgetPendingSeed(bool pendingCurrent, std::vector<std::string>& said) {
  std::string why;
  if (platform::RemoveFileIfPresent(kPendingSeedFilePath, why)) {
    said.push_back(std::string("The seed file caught up with the seed value kept in ") +
                   kPendingSeedFilePath);
  } else if (!pendingCurrent) {
    said.push_back(std::string("This file could not be deleted: ") + kPendingSeedFilePath + ": " +
                   why);
  }
}

}  // namespace

bool StoreSeed(const std::string& seed, std::vector<std::string>& said) {
  // The pending seed is the one read: it is brought up to date before the seed file changes, so
  // that a kill in between never leaves an older pending seed preferred to a newer seed file.
  const bool pending = platform::Exists(kPendingSeedFilePath);
  std::string pendingError;
  const bool pendingCurrent =
      pending && platform::ReplaceFileAtomically(kPendingSeedFilePath, seed, &pendingError);
  platform::SaveOutcome outcome = platform::SaveFile(kSeedFilePath, seed);
  if (outcome.saved) {
    if (pending) ForgetPendingSeed(pendingCurrent, said);
    return true;
  }
  if (outcome.held && (pendingCurrent || platform::ReplaceFileAtomically(kPendingSeedFilePath, seed,
                                                                         &pendingError))) {
    said.push_back(std::string("The seed file is held by another program: the new seed value is "
                               "kept in ") +
                   kPendingSeedFilePath + " until the seed file can be written: " + outcome.error);
    return true;
  }
  if (outcome.held) outcome.error += "; cannot keep it pending: " + pendingError;
  said.push_back((outcome.oldKept
                      ? "The new seed value could not be saved, the old seed file is kept: "
                      : "The new seed value could not be saved and the old seed file could not "
                        "be restored: ") +
                 outcome.error);
  return false;
}

void CatchUpPendingSeed(std::vector<std::string>& said) {
  const FirstWord pending = ReadFirstWord(kPendingSeedFilePath);
  if (pending.word.empty()) return;
  if (platform::SaveFile(kSeedFilePath, pending.word).saved) ForgetPendingSeed(true, said);
}

}  // namespace SRCppWrap::detail
