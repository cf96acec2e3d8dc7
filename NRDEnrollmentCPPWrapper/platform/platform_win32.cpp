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

namespace {

// Overwrites the file where it stands, through a handle that shares everything, and flushes it
// to the disk: the fallback when the file cannot be renamed over because another process holds
// it open without delete sharing (the documented opens share reading and writing only).
bool OverwriteInPlace(const std::string& path, const std::string& content) {
  const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = content.size() <= MAXDWORD &&
            ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written,
                        nullptr) != 0 &&
            written == content.size();
  ok = ok && ::SetEndOfFile(file) != 0 && ::FlushFileBuffers(file) != 0;
  ::CloseHandle(file);
  return ok;
}

}  // namespace

bool ReplaceFileAtomically(const std::string& windowsPath, const std::string& content) {
  static unsigned counter = 0;
  const std::string tempPath = windowsPath + ".tmp-" + std::to_string(::GetCurrentProcessId()) +
                               "-" + std::to_string(++counter);
  std::FILE* file = ::_fsopen(tempPath.c_str(), "wb", _SH_DENYNO);
  if (file == nullptr) return OverwriteInPlace(windowsPath, content);
  bool ok = std::fwrite(content.data(), 1, content.size(), file) == content.size();
  ok = ok && std::fflush(file) == 0 && ::_commit(::_fileno(file)) == 0;
  ok = (std::fclose(file) == 0) && ok;
  if (ok && ::MoveFileExA(tempPath.c_str(), windowsPath.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) {
    return true;
  }
  std::remove(tempPath.c_str());
  return ok && OverwriteInPlace(windowsPath, content);
}

}  // namespace SRCppWrap::platform

#endif  // _WIN32
