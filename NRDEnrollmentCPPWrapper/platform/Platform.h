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
// The process environment's value of `name`, nullptr when unset. On Windows it is the one
// SetEnvironmentVariable changes: the C runtime's copy that getenv reads was made when the
// runtime started and misses what a host set before it loaded the library. The text stays
// valid until the process ends.
const char* EnvironmentValue(const char* name);
// Asked of the system once per process (again after a fork): log entries carry it.
unsigned long CurrentProcessId();
// Formats the current local time with strftime; returns the number of characters written.
std::size_t FormatLocalTime(char* buffer, std::size_t size, const char* format);
// Opens a file with shared access (other processes may read and write it meanwhile). On Windows
// a file another program holds without sharing is retried for a moment.
std::FILE* OpenShared(const std::string& windowsPath, const char* mode);
// Whether anything exists at the path (a file that cannot be opened included).
bool Exists(const std::string& windowsPath);
// Appends the bytes to a file in one write, opening it (created when missing) with shared access
// and closing it again. On POSIX a final symbolic link is not followed (the open fails instead),
// so a planted link cannot redirect the writes. Returns false when nothing could be written.
bool AppendToFile(const std::string& windowsPath, const std::string& bytes);
// Creates an empty file only when nothing exists at the path: never truncates, and on POSIX
// never follows a link (a dangling one included). New files are readable by their owner only.
bool CreateEmptyFileIfMissing(const std::string& windowsPath);
bool RemoveFile(const std::string& windowsPath);
// Removes the file so that nothing is left at the path: true when it is gone or was never
// there, else false with `why`. A read-only file is removed all the same (on Windows its
// attribute is cleared first, and set again when the file still cannot be removed); on Windows
// a file another program holds without delete sharing is retried for a moment.
bool RemoveFileIfPresent(const std::string& windowsPath, std::string& why);
// Whether a file's new content could be saved at the path now, changing nothing: the existing
// file opens for writing, or its folder takes a new file (one is made and removed again).
// False when the folder is missing, or when neither works.
bool CanTakeFile(const std::string& windowsPath);
// Replaces a file's content atomically: a sibling temporary file is written, flushed and
// renamed over the old one, so a crash never leaves a truncated file. Temporary files that an
// interrupted replace of the same file left behind (their process no longer runs) are removed
// after a successful replace. A new file is readable by its owner only (on Windows: the user,
// SYSTEM and Administrators); an existing one keeps its mode (on Windows a DACL someone set on
// it; one inherited from the folder is replaced). On failure `why` (when given) says why.
bool ReplaceFileAtomically(const std::string& windowsPath, const std::string& content,
                           std::string* why = nullptr);

struct SaveOutcome {
  bool saved = false;
  bool oldKept = true;  // when not saved: the old content is intact
  std::string error;    // why the content could not be saved; empty when saved
  // When not saved: another program held the file without write sharing (Windows), so a later
  // attempt may succeed.
  bool held = false;
};

// Overwrites the file where it stands (it keeps its permissions): the new content padded with
// line ends over the old one in one write, a flush, then the cut, so that a kill at any instant
// leaves the old or the new content as the file's first word. On a failure half-way the old
// content is written back; `oldKept` says whether that worked.
SaveOutcome OverwriteFileInPlace(const std::string& windowsPath, const std::string& content);

// Saves a file's whole new content and never loses it silently: atomically first; when the
// system refuses that (a folder that accepts no new names or renames, a file held open on
// Windows), the file is overwritten in place and flushed. While another program holds the file
// without write sharing, both are tried again after 50, 100, 200, 400 and 800 ms. When all
// fail, `error` says why and `oldKept` whether the old content stayed as it was. Never throws.
SaveOutcome SaveFile(const std::string& windowsPath, const std::string& content);

// One lock per installation, named after its seed file, so that every process (and every thread
// of this one) that keeps that seed waits for the others: at most one owner holds it. On POSIX it
// is an advisory lock on the seed file's folder: no file is created for it, so a folder that
// accepts no new files is locked all the same. On Windows it is a byte-range lock on a file next
// to the seed, "<seed>.lock", which every session of the machine sees. The system drops
// either when its process ends, however it ends. `owner` (not null) tells holders inside this
// process apart; an owner that holds the lock gets it again at once. Waits at most `waitMs`;
// false when others held it all that time. Where the system offers nothing to lock (the folder
// is missing or unreadable, a file system without locks) the owner is let through unguarded,
// and `unguarded` (when given) says why.
bool AcquireInstallationLock(const std::string& seedWindowsPath, const void* owner, long waitMs,
                             std::string* unguarded = nullptr);
// Releases the lock when `owner` holds it, from any thread of this process. Empty when released
// (or not held), else why the system refused; the lock is given up in this process either way.
std::string ReleaseInstallationLock(const std::string& seedWindowsPath, const void* owner);
// True while `owner` holds the lock (unguarded included), from any thread of this process.
bool InstallationLockHeldBy(const std::string& seedWindowsPath, const void* owner);

}  // namespace SRCppWrap::platform

#endif
