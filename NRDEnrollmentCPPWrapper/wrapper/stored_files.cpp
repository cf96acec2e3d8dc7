#include "wrapper/stored_files.h"

#include <algorithm>
#include <cstdio>

#include "platform/Platform.h"

namespace SRCppWrap::detail {

namespace {

// White space as the C locale knows it, whatever locale the host has set.
bool IsWordSeparator(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

constexpr unsigned char kUtf8Bom[] = {0xEF, 0xBB, 0xBF};

// The file's bytes after a UTF-8 byte-order mark at its start (all of them when it has none).
class StartReader {
 public:
  StartReader(std::FILE* file, bool skipBom) : file_(file) {
    if (!skipBom) return;
    count_ = std::fread(start_, 1, sizeof start_, file_);
    if (count_ == sizeof start_ && std::equal(start_, start_ + count_, kUtf8Bom)) count_ = 0;
  }
  int Next() { return next_ < count_ ? start_[next_++] : std::getc(file_); }

 private:
  std::FILE* file_;
  unsigned char start_[sizeof kUtf8Bom] = {};
  std::size_t count_ = 0, next_ = 0;
};

}  // namespace

FirstWord ReadFirstWord(const std::string& windowsPath, bool skipUtf8Bom) {
  FirstWord result;
  std::FILE* file = platform::OpenShared(windowsPath, "rb");
  if (file == nullptr) return result;
  result.opened = true;

  StartReader reader(file, skipUtf8Bom);
  int c = reader.Next();
  while (c != EOF && IsWordSeparator(c)) c = reader.Next();
  while (c != EOF && !IsWordSeparator(c)) {
    if (result.word.size() == kMaxWordLength) {
      result.word.clear();
      break;
    }
    result.word.push_back(static_cast<char>(c));
    c = reader.Next();
  }
  std::fclose(file);
  return result;
}

FirstWord ReadSeed() {
  FirstWord pending = ReadFirstWord(kPendingSeedFilePath);
  return pending.word.empty() ? ReadFirstWord(kSeedFilePath) : pending;
}

}  // namespace SRCppWrap::detail
