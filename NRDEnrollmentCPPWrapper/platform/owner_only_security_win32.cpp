#ifdef _WIN32

#include <windows.h>

#include <sddl.h>

#include <string>

#include "platform/owner_only_security.h"

namespace SRCppWrap::platform {

namespace {

// The SID of the user the process runs as, in its "S-1-5-..." form; empty when unknown.
std::string CurrentUserSid() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return "";
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::string buffer(size, '\0');
  std::string sid;
  char* text = nullptr;
  if (size != 0 && ::GetTokenInformation(token, TokenUser, &buffer[0], size, &size) &&
      ::ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(&buffer[0])->User.Sid, &text)) {
    sid = text;
    ::LocalFree(text);
  }
  ::CloseHandle(token);
  return sid;
}

}  // namespace

OwnerOnlySecurity::OwnerOnlySecurity() {
  const std::string user = CurrentUserSid();
  if (user.empty()) return;
  // P: protected, nothing inherited. FA: all file access. SY: SYSTEM; BA: Administrators.
  const std::string sddl = "D:P(A;;FA;;;" + user + ")(A;;FA;;;SY)(A;;FA;;;BA)";
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor_, nullptr)) {
    descriptor_ = nullptr;
    return;
  }
  attributes_.nLength = sizeof attributes_;
  attributes_.lpSecurityDescriptor = descriptor_;
  attributes_.bInheritHandle = FALSE;
}

OwnerOnlySecurity::~OwnerOnlySecurity() {
  if (descriptor_ != nullptr) ::LocalFree(descriptor_);
}

void ProtectUnlessChosen(const char* path) {
  DWORD size = 0;
  ::GetFileSecurityA(path, DACL_SECURITY_INFORMATION, nullptr, 0, &size);
  std::string buffer(size, '\0');
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  if (size != 0 && ::GetFileSecurityA(path, DACL_SECURITY_INFORMATION, &buffer[0], size, &size) &&
      ::GetSecurityDescriptorControl(&buffer[0], &control, &revision) &&
      (control & SE_DACL_PROTECTED) != 0) {
    return;
  }
  const OwnerOnlySecurity security;
  if (security.Descriptor() != nullptr) {
    ::SetFileSecurityA(path, DACL_SECURITY_INFORMATION, security.Descriptor());
  }
}

}  // namespace SRCppWrap::platform

#endif  // _WIN32
