// The protection of the files that hold the user's secret on Windows: the seed, the pending
// seed, the status file and their temporary files, as POSIX gives them mode 0600.
#ifndef NRD_PLATFORM_OWNER_ONLY_SECURITY_H
#define NRD_PLATFORM_OWNER_ONLY_SECURITY_H
#ifdef _WIN32

#include <windows.h>

namespace SRCppWrap::platform {

// A protected DACL (nothing inherited from the folder) that gives full access to the user this
// process runs as, to SYSTEM and to the Administrators group, and to nobody else.
class OwnerOnlySecurity {
 public:
  OwnerOnlySecurity();
  ~OwnerOnlySecurity();
  OwnerOnlySecurity(const OwnerOnlySecurity&) = delete;
  OwnerOnlySecurity& operator=(const OwnerOnlySecurity&) = delete;

  // For CreateFile; null when the descriptor could not be built (the file then inherits the
  // folder's permissions, as before).
  SECURITY_ATTRIBUTES* Attributes() { return descriptor_ != nullptr ? &attributes_ : nullptr; }
  PSECURITY_DESCRIPTOR Descriptor() const { return descriptor_; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_{};
};

// Gives a file that an existing one replaced the protection above, unless the replaced file had
// a protected DACL of its own (someone chose it): ReplaceFile keeps the replaced file's DACL,
// which is usually the folder's inherited one.
void ProtectUnlessChosen(const char* path);

}  // namespace SRCppWrap::platform

#endif  // _WIN32
#endif
