// Windows: the versions are read from the files' own version resources, qmtsr.exe's and that of
// the DLL Windows actually loaded, so a host installation's DLL can be told apart from another.
// The DLL's resource also names the libcurl and OpenSSL linked into it.
#include <windows.h>

#include <vector>

#include "version_text.h"

namespace qmtsr {
namespace {

// "<original file name> <file version> (<a.b.c.d>), <product name> <product version>", and for
// the DLL "libcurl <version>" and "OpenSSL libcrypto <version>".
std::string ResourceLines(HMODULE module, bool linked_libraries) {
  char path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameA(module, path, MAX_PATH);
  if (length == 0 || length == MAX_PATH) return "? (module path unknown)\n";
  std::vector<char> info(::GetFileVersionInfoSizeA(path, nullptr));
  if (info.empty() ||
      !::GetFileVersionInfoA(path, 0, static_cast<DWORD>(info.size()), info.data())) {
    return std::string(path) + ": no version resource\n";
  }
  const auto text = [&info](const char* name) {
    const std::string key = std::string("\\StringFileInfo\\040904b0\\") + name;
    char* value = nullptr;
    UINT size = 0;
    const bool found =
        ::VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &size);
    return found && size > 0 ? std::string(value) : std::string("?");
  };
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  std::string numbers = "?";
  if (::VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &size) &&
      size >= sizeof *fixed) {
    numbers = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
              std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
              std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
              std::to_string(LOWORD(fixed->dwFileVersionLS));
  }
  std::string lines = text("OriginalFilename") + " " + text("FileVersion") + " (" + numbers +
                      "), " + text("ProductName") + " " + text("ProductVersion") + "\n";
  if (linked_libraries) {
    lines += "libcurl " + text("LibcurlVersion") + "\nOpenSSL libcrypto " + text("OpenSSLVersion") +
             "\n";
  }
  return lines;
}

}  // namespace

std::string VersionText() {
  const HMODULE library = ::GetModuleHandleA("NRDEnrollmentCPPWrapper.dll");
  return ResourceLines(nullptr, false) +
         (library ? ResourceLines(library, true) : "NRDEnrollmentCPPWrapper.dll not loaded\n");
}

}  // namespace qmtsr
