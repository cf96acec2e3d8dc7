// The native Windows calls behind the platform interface; paths are used as the host gives them.
#ifdef _WIN32

#include <windows.h>

#include <io.h>
#include <share.h>
#include <time.h>

#include <cstdio>
#include <ctime>
#include <string>

#include "platform/Platform.h"

namespace SRCppWrap::platform {

std::string NativePath(const std::string& windowsPath) {
  return windowsPath;
}

unsigned long CurrentProcessId() {
  return static_cast<unsigned long>(::GetCurrentProcessId());
}

std::size_t FormatLocalTime(char* buffer, std::size_t size, const char* format) {
  if (size == 0) return 0;
  __time64_t now = ::_time64(nullptr);
  struct tm* local = ::_localtime64(&now);
  std::size_t length = local != nullptr ? std::strftime(buffer, size, format, local) : 0;
  if (length == 0) buffer[0] = '\0';
  return length;
}

std::FILE* OpenShared(const std::string& windowsPath, const char* mode) {
  return ::_fsopen(windowsPath.c_str(), mode, _SH_DENYNO);
}

bool RemoveFile(const std::string& windowsPath) {
  return std::remove(windowsPath.c_str()) == 0;
}

bool ReplaceFileAtomically(const std::string& windowsPath, const std::string& content) {
  static unsigned counter = 0;
  const std::string tempPath = windowsPath + ".tmp-" + std::to_string(::GetCurrentProcessId()) +
                               "-" + std::to_string(++counter);
  std::FILE* file = ::_fsopen(tempPath.c_str(), "wb", _SH_DENYNO);
  if (file == nullptr) return false;
  bool ok = std::fwrite(content.data(), 1, content.size(), file) == content.size();
  ok = ok && std::fflush(file) == 0 && ::_commit(::_fileno(file)) == 0;
  ok = (std::fclose(file) == 0) && ok;
  ok = ok && ::MoveFileExA(tempPath.c_str(), windowsPath.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  if (!ok) {
    std::remove(tempPath.c_str());
    return false;
  }
  return true;
}

}  // namespace SRCppWrap::platform

#endif  // _WIN32
