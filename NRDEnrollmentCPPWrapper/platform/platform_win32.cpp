// The native Windows calls behind the platform interface; paths are used as the host gives them.
#ifdef _WIN32

#include <windows.h>

#include <io.h>
#include <share.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <mutex>
#include <string>

#include "platform/Platform.h"
#include "platform/in_place_file.h"
#include "platform/owner_only_security.h"

namespace SRCppWrap::platform {

std::string NativePath(const std::string& windowsPath) {
  return windowsPath;
}

const char* EnvironmentValue(const char* name) {
  static std::mutex lock;
  static std::map<std::string, std::string> values;  // one stable copy per name asked
  const DWORD size = ::GetEnvironmentVariableA(name, nullptr, 0);
  if (size == 0 && ::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return nullptr;
  std::string value(size, '\0');
  const DWORD length = ::GetEnvironmentVariableA(name, &value[0], size);
  value.resize(length < size ? length : 0);
  const std::lock_guard<std::mutex> guard(lock);
  std::string& kept = values[name];
  kept = value;
  return kept.c_str();
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

namespace {

constexpr char kTempMarker[] = ".tmp-";

std::string Failure(const char* what) {
  const DWORD code = ::GetLastError();
  char text[256] = "";
  const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, text, sizeof text, nullptr);
  std::string result = std::string(what) + ": ";
  if (length == 0) return result + "system error " + std::to_string(code);
  std::string message(text, length);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return result + message;
}

// Backup programs, virus scanners and Explorer open a file that was just written for a moment,
// often without write or delete sharing. A step that meets one is tried again after 50, 100,
// 200, 400 and 800 ms (1.55 s in all) before its failure counts; its last error stays set.
template <typename Step>
bool WhileShared(Step step) {
  DWORD pause = 50;
  for (;;) {
    if (step()) return true;
    const DWORD code = ::GetLastError();
    if ((code != ERROR_SHARING_VIOLATION && code != ERROR_LOCK_VIOLATION) || pause > 800) {
      return false;
    }
    ::Sleep(pause);
    pause *= 2;
  }
}

}  // namespace

std::FILE* OpenShared(const std::string& windowsPath, const char* mode) {
  std::FILE* file = nullptr;
  WhileShared([&] { return (file = ::_fsopen(windowsPath.c_str(), mode, _SH_DENYNO)) != nullptr; });
  return file;
}

bool Exists(const std::string& windowsPath) {
  return ::GetFileAttributesA(windowsPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

std::string::size_type FolderEnd(const std::string& path) {
  const std::string::size_type separator = path.find_last_of("\\/");
  return separator == std::string::npos ? 0 : separator + 1;
}

// The process id in "<base>.tmp-<pid>-<counter>", or 0 when `name` is not such a name.
DWORD LeftoverOwner(const std::string& name, const std::string& base) {
  const std::string prefix = base + kTempMarker;
  if (name.size() <= prefix.size() || _strnicmp(name.c_str(), prefix.c_str(), prefix.size()) != 0) {
    return 0;
  }
  const char* cursor = name.c_str() + prefix.size();
  char* end = nullptr;
  const unsigned long pid = std::strtoul(cursor, &end, 10);
  if (end == cursor || *end != '-' || pid == 0) return 0;
  cursor = end + 1;
  std::strtoul(cursor, &end, 10);
  if (end == cursor || *end != '\0') return 0;
  return static_cast<DWORD>(pid);
}

bool ProcessRuns(DWORD pid) {
  HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (process == nullptr) return ::GetLastError() != ERROR_INVALID_PARAMETER;
  const bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  ::CloseHandle(process);
  return running;
}

// A kill during a replace leaves its temporary file (a full copy of the secret) behind. Only
// names of our own form beside `path`, whose process no longer runs, are removed.
void RemoveLeftoverTemps(const std::string& path) {
  const std::string folder = path.substr(0, FolderEnd(path));
  const std::string base = path.substr(FolderEnd(path));
  WIN32_FIND_DATAA found{};
  HANDLE search = ::FindFirstFileA((path + kTempMarker + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const DWORD owner = LeftoverOwner(found.cFileName, base);
    if (owner != 0 && owner != ::GetCurrentProcessId() && !ProcessRuns(owner)) {
      ::DeleteFileA((folder + found.cFileName).c_str());
    }
  } while (::FindNextFileA(search, &found));
  ::FindClose(search);
}

bool WriteAll(HANDLE file, const std::string& content) {
  const char* data = content.data();
  std::size_t left = content.size();
  while (left > 0) {
    const DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
    DWORD written = 0;
    if (!::WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    left -= written;
  }
  return true;
}

// Creates a new, not yet existing file next to `path`; INVALID_HANDLE_VALUE on failure. A
// leftover of an ended process whose id this one now has may hold the first names.
HANDLE CreateSiblingTemp(const std::string& path, std::string& tempPath) {
  static unsigned counter = 0;
  OwnerOnlySecurity security;  // a full copy of the secret: the user's, as the file it becomes
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = path + kTempMarker + std::to_string(::GetCurrentProcessId()) + "-" +
               std::to_string(++counter);
    HANDLE file = ::CreateFileA(tempPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                security.Attributes(), CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD code = ::GetLastError();
    if (file != INVALID_HANDLE_VALUE ||
        (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS)) {
      return file;
    }
  }
  return INVALID_HANDLE_VALUE;
}

std::string FullPath(const std::string& path) {
  char full[MAX_PATH];
  const DWORD length = ::GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  return length > 0 && length < sizeof full ? std::string(full, length) : path;
}

// Puts the written temporary file in place of `path`. An existing file is replaced with
// ReplaceFileA, which gives the new content the old file's identity: its ACL, creation time
// and streams; its attributes (hidden, read-only, ...) are set again afterwards. A read-only
// file is made writable for the moment of the replace and comes back read-only with the new
// content, as a POSIX file keeps its mode.
bool PutInPlace(const std::string& tempPath, const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return ::MoveFileExA(tempPath.c_str(), path.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  }
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    ::SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  }
  // A handle held without delete sharing makes the replace fail (and Wine's then leaves a
  // stray temporary file behind): ask for the access it needs first.
  const HANDLE old = ::CreateFileA(path.c_str(), GENERIC_READ | DELETE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  bool replaced = old != INVALID_HANDLE_VALUE;
  if (replaced) {
    ::CloseHandle(old);
    // Full paths: Wine's ReplaceFileA refuses a bare file name ("Directory name invalid").
    replaced = ::ReplaceFileA(FullPath(path).c_str(), FullPath(tempPath).c_str(), nullptr,
                              REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0;
    if (replaced) ProtectUnlessChosen(path.c_str());
  }
  const DWORD code = ::GetLastError();
  // The old file is gone and the new one kept its temporary name: finish the move.
  if (!replaced &&
      (code == ERROR_UNABLE_TO_MOVE_REPLACEMENT || code == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)) {
    replaced = ::MoveFileExA(tempPath.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
  }
  ::SetFileAttributesA(path.c_str(), attributes);
  if (!replaced) ::SetLastError(code);
  return replaced;
}

}  // namespace

bool AppendToFile(const std::string& windowsPath, const std::string& bytes) {
  // Append-only access makes each write one append, whole even beside other processes' entries.
  HANDLE file =
      ::CreateFileA(windowsPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool written = WriteAll(file, bytes);
  ::CloseHandle(file);
  return written;
}

bool CreateEmptyFileIfMissing(const std::string& windowsPath) {
  HANDLE file =
      ::CreateFileA(windowsPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    OwnerOnlySecurity().Attributes(), CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(file);
  return true;
}

bool RemoveFile(const std::string& windowsPath) {
  return std::remove(windowsPath.c_str()) == 0;
}

bool RemoveFileIfPresent(const std::string& windowsPath, std::string& why) {
  const DWORD attributes = ::GetFileAttributesA(windowsPath.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return true;
  }
  const bool readOnly =
      attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  if (readOnly) ::SetFileAttributesA(windowsPath.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  const bool removed = WhileShared([&] { return ::DeleteFileA(windowsPath.c_str()) != 0; });
  if (removed || ::GetLastError() == ERROR_FILE_NOT_FOUND) return true;
  why = Failure("cannot delete the file");
  if (readOnly) ::SetFileAttributesA(windowsPath.c_str(), attributes);
  return false;
}

bool CanTakeFile(const std::string& windowsPath) {
  HANDLE file = ::CreateFileA(windowsPath.c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::string tempPath;
    file = CreateSiblingTemp(windowsPath, tempPath);
    if (file == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(file);
    ::DeleteFileA(tempPath.c_str());
    return true;
  }
  ::CloseHandle(file);
  return true;
}

// New files (the temporary one included) are the user's, SYSTEM's and Administrators' only.
bool ReplaceFileAtomically(const std::string& windowsPath, const std::string& content,
                           std::string* why) {
  std::string tempPath;
  HANDLE file = CreateSiblingTemp(windowsPath, tempPath);
  if (file == INVALID_HANDLE_VALUE) {
    if (why != nullptr) *why = Failure("cannot create a temporary file");
    return false;
  }
  std::string error;
  if (!WriteAll(file, content) || !::FlushFileBuffers(file)) {
    error = Failure("cannot write the temporary file");
  }
  ::CloseHandle(file);
  // Fails while another process holds the file open without delete sharing.
  if (error.empty() && !PutInPlace(tempPath, windowsPath)) {
    error = Failure("cannot rename the temporary file");
  }
  if (!error.empty()) {
    // Unless a half-done replace left the new content under the temporary name only.
    if (::GetFileAttributesA(windowsPath.c_str()) != INVALID_FILE_ATTRIBUTES) {
      ::DeleteFileA(tempPath.c_str());
    }
    if (why != nullptr) *why = error;
    return false;
  }
  // Only after the new content is in place: the caller is often waiting to save a seed.
  RemoveLeftoverTemps(windowsPath);
  return true;
}

InPlaceFile::InPlaceFile(const std::string& windowsPath)
    : handle_(reinterpret_cast<std::intptr_t>(::CreateFileA(
          windowsPath.c_str(), GENERIC_READ | GENERIC_WRITE,
          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OwnerOnlySecurity().Attributes(),
          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr))) {
  const DWORD code = ::GetLastError();
  heldElsewhere_ = !IsOpen() && (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION);
  ::SetLastError(code);
}

InPlaceFile::~InPlaceFile() {
  if (IsOpen()) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool InPlaceFile::IsOpen() const {
  return reinterpret_cast<HANDLE>(handle_) != INVALID_HANDLE_VALUE;
}

bool InPlaceFile::Size(std::uint64_t& size) {
  LARGE_INTEGER length{};
  if (!::GetFileSizeEx(reinterpret_cast<HANDLE>(handle_), &length)) return false;
  size = static_cast<std::uint64_t>(length.QuadPart);
  return true;
}

namespace {
bool Seek(std::intptr_t handle, std::uint64_t offset) {
  LARGE_INTEGER position{};
  position.QuadPart = static_cast<LONGLONG>(offset);
  return ::SetFilePointerEx(reinterpret_cast<HANDLE>(handle), position, nullptr, FILE_BEGIN) != 0;
}
}  // namespace

bool InPlaceFile::ReadStart(std::size_t count, std::string& bytes) {
  bytes.assign(count, '\0');
  std::size_t done = 0;
  if (!Seek(handle_, 0)) return false;
  while (done < count) {
    const DWORD chunk = count - done > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count - done);
    DWORD n = 0;
    if (!::ReadFile(reinterpret_cast<HANDLE>(handle_), &bytes[done], chunk, &n, nullptr)) {
      return false;
    }
    if (n == 0) break;
    done += n;
  }
  bytes.resize(done);
  return true;
}

bool InPlaceFile::WriteStart(const std::string& bytes) {
  return Seek(handle_, 0) && WriteAll(reinterpret_cast<HANDLE>(handle_), bytes);
}

bool InPlaceFile::Truncate(std::uint64_t size) {
  return Seek(handle_, size) && ::SetEndOfFile(reinterpret_cast<HANDLE>(handle_)) != 0;
}

bool InPlaceFile::Flush() {
  return ::FlushFileBuffers(reinterpret_cast<HANDLE>(handle_)) != 0;
}

std::string InPlaceFile::Failure(const char* what) const {
  return platform::Failure(what);
}

}  // namespace SRCppWrap::platform

#endif  // _WIN32
