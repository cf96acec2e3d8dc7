#include "wrapper/stored_files.h"

#include <cstdio>

#include "platform/Platform.h"

namespace SRCppWrap::detail {

namespace {

// White space as the C locale knows it, whatever locale the host has set.
bool IsWordSeparator(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
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

}  // namespace SRCppWrap::detail
