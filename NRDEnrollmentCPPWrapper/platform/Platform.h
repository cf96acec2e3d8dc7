// The few operating-system calls the wrapper makes, behind one interface. On Windows they are
// the native calls; elsewhere Windows paths are mapped onto the local file system:
// "\" becomes "/", "X:\a\b" becomes $QMT_DRIVE_ROOT/X/a/b (QMT_DRIVE_ROOT defaults to "/"),
// and relative paths resolve against the working directory.
#ifndef NRD_PLATFORM_PLATFORM_H
#define NRD_PLATFORM_PLATFORM_H

#include <cstddef>
#include <cstdio>
#include <string>

namespace SRCppWrap::platform {

std::string NativePath(const std::string& windowsPath);
unsigned long CurrentProcessId();
// Formats the current local time with strftime; returns the number of characters written.
std::size_t FormatLocalTime(char* buffer, std::size_t size, const char* format);
// Opens a file with shared access (other processes may read and write it meanwhile).
std::FILE* OpenShared(const std::string& windowsPath, const char* mode);
bool RemoveFile(const std::string& windowsPath);
// Replaces a file's content atomically: a sibling temporary file is written, flushed and
// renamed over the old one, so a crash never leaves a truncated file.
bool ReplaceFileAtomically(const std::string& windowsPath, const std::string& content);

}  // namespace SRCppWrap::platform

#endif
