#include "wrapper/secret_masking.h"

#include <cstring>

namespace SRCppWrap::detail {

namespace {

constexpr char kSecretKey[] = "secret_code";
constexpr char kMask[] = "XXXX";

void AppendUtf8(std::string& out, unsigned long code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

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

// The four hex digits at `pos` as a number; false when there are not four.
bool HexAt(const std::string& raw, std::size_t pos, unsigned long& code) {
  if (pos + 4 > raw.size()) return false;
  code = 0;
  for (std::size_t i = pos; i < pos + 4; ++i) {
    const char c = raw[i];
    const int digit = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                             : -1;
    if (digit < 0) return false;
    code = code * 16 + static_cast<unsigned long>(digit);
  }
  return true;
}

// The value of the string literal whose characters (between its quotes) are `raw`; an escape
// that is not JSON stays as written.
std::string DecodedLiteral(const std::string& raw) {
  static const std::string kEscaped = "bfnrt", kMeant = "\b\f\n\r\t";
  std::string value;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\\' || i + 1 >= raw.size()) {
      value += raw[i];
      continue;
    }
    const char escaped = raw[++i];
    unsigned long code = 0;
    if (kEscaped.find(escaped) != std::string::npos) {
      value += kMeant[kEscaped.find(escaped)];
    } else if (escaped != 'u') {
      value += escaped;  // '"', '\\' and '/' stand for themselves
    } else if (!HexAt(raw, i + 1, code)) {
      value += "\\u";
    } else {
      i += 4;
      unsigned long low = 0;
      // A surrogate pair names one character beyond the first plane.
      if (code >= 0xD800 && code < 0xDC00 && raw.compare(i + 1, 2, "\\u") == 0 &&
          HexAt(raw, i + 3, low) && low >= 0xDC00 && low < 0xE000) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        i += 6;
      }
      AppendUtf8(value, code);
    }
  }
  return value;
}

bool HoldsAny(const std::string& text, const std::vector<std::string>& secrets) {
  for (const std::string& secret : secrets) {
    if (!secret.empty() && text.find(secret) != std::string::npos) return true;
  }
  return false;
}

// `text` (outside any string literal) with each secret written in it as "XXXX".
std::string MaskWritten(std::string text, const std::vector<std::string>& secrets) {
  for (const std::string& secret : secrets) {
    if (secret.empty()) continue;
    for (auto at = text.find(secret); at != std::string::npos;
         at = text.find(secret, at + std::strlen(kMask))) {
      text.replace(at, secret.size(), kMask);
    }
  }
  return text;
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

std::string MaskSecretValues(const std::string& text, const std::vector<std::string>& secrets) {
  std::string masked;
  std::size_t done = 0;  // text before it is in `masked`; the quote closing a literal comes next
  for (std::size_t open = text.find('"'); open != std::string::npos;
       open = text.find('"', done + 1)) {
    const std::size_t close = ClosingQuote(text, open + 1);
    const std::size_t end = close == std::string::npos ? text.size() : close;
    masked += MaskWritten(text.substr(done, open + 1 - done), secrets);
    const std::string raw = text.substr(open + 1, end - open - 1);
    masked += HoldsAny(raw, secrets) || HoldsAny(DecodedLiteral(raw), secrets) ? kMask : raw;
    if (close == std::string::npos) return masked;
    done = close;
  }
  return masked + MaskWritten(text.substr(done), secrets);
}

}  // namespace SRCppWrap::detail
