#include "wrapper/stored_files.h"

#include <cstdio>
#include <cstring>

#include "platform/Platform.h"

namespace SRCppWrap::detail {

namespace {

// White space as the C locale knows it, whatever locale the host has set.
bool IsWordSeparator(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool FileHolds(const std::string& windowsPath, const std::string& content) {
  std::FILE* file = platform::OpenShared(windowsPath, "rb");
  if (file == nullptr) return false;
  char chunk[4096];
  std::size_t offset = 0;
  bool same = true;
  while (same) {
    const std::size_t got = std::fread(chunk, 1, sizeof chunk, file);
    if (got == 0) break;
    same = offset + got <= content.size() && std::memcmp(chunk, content.data() + offset, got) == 0;
    offset += got;
  }
  same = same && !std::ferror(file) && offset == content.size();
  std::fclose(file);
  return same;
}

}  // namespace

FirstWord ReadFirstWord(const std::string& windowsPath) {
  FirstWord result;
  std::FILE* file = platform::OpenShared(windowsPath, "rb");
  if (file == nullptr) return result;
  result.opened = true;

  int c = std::getc(file);
  while (c != EOF && IsWordSeparator(c)) c = std::getc(file);
  while (c != EOF && !IsWordSeparator(c)) {
    if (result.word.size() == kMaxWordLength) {
      result.word.clear();
      break;
    }
    result.word.push_back(static_cast<char>(c));
    c = std::getc(file);
  }
  std::fclose(file);
  return result;
}

bool ReplaceFileIfDifferent(const std::string& windowsPath, const std::string& content) {
  if (FileHolds(windowsPath, content)) return true;
  return platform::ReplaceFileAtomically(windowsPath, content);
}

}  // namespace SRCppWrap::detail
