#include "wrapper/secret_masking.h"

#include <cstring>

namespace SRCppWrap::detail {

namespace {

constexpr char kSecretKey[] = "secret_code";
constexpr char kMask[] = "XXXX";

bool IsJsonSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::size_t SkipSpaces(const std::string& text, std::size_t pos) {
  while (pos < text.size() && IsJsonSpace(text[pos])) ++pos;
  return pos;
}

// Position of the quote that closes the string opened just before `pos`, honouring
// backslash escapes; npos when the string never closes.
std::size_t ClosingQuote(const std::string& text, std::size_t pos) {
  for (; pos < text.size(); ++pos) {
    if (text[pos] == '\\') {
      ++pos;  // the escaped character cannot close the string
    } else if (text[pos] == '"') {
      return pos;
    }
  }
  return std::string::npos;
}

std::string ReplaceRange(const std::string& text, std::size_t begin, std::size_t end) {
  return text.substr(0, begin) + kMask + text.substr(end);
}

}  // namespace

bool HasSecretCode(const std::string& message) {
  return message.find(kSecretKey) != std::string::npos;
}

std::string MaskSecretCode(const std::string& message) {
  const std::size_t key = message.find(kSecretKey);
  if (key == std::string::npos) return message;
  const std::size_t afterKey = key + std::strlen(kSecretKey);

  // The key's closing quote comes next, then a colon and the value.
  std::size_t pos = message.find('"', afterKey);
  if (pos == std::string::npos) return ReplaceRange(message, afterKey, message.size());
  pos = SkipSpaces(message, pos + 1);
  if (pos >= message.size() || message[pos] != ':') {
    return ReplaceRange(message, afterKey, message.size());
  }
  const std::size_t value = SkipSpaces(message, pos + 1);

  if (value < message.size() && message[value] == '"') {
    const std::size_t close = ClosingQuote(message, value + 1);
    if (close != std::string::npos) return ReplaceRange(message, value + 1, close);
    return ReplaceRange(message, value + 1, message.size());
  }
  // A nested value may hold commas: hide the rest of the message.
  if (value < message.size() && (message[value] == '{' || message[value] == '[')) {
    return ReplaceRange(message, value, message.size());
  }
  // A number or a literal: hide it up to the member's end.
  std::size_t end = message.find_first_of(",}", value);
  if (end == std::string::npos) end = message.size();
  return ReplaceRange(message, value, end);
}

}  // namespace SRCppWrap::detail
