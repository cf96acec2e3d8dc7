#include "query.h"

namespace devserver {

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<std::string> formDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      out.push_back(' ');
    } else if (c == '%') {
      if (i + 2 >= text.size()) return std::nullopt;
      const int hi = hexValue(text[i + 1]);
      const int lo = hexValue(text[i + 2]);
      if (hi < 0 || lo < 0) return std::nullopt;
      out.push_back(static_cast<char>(hi * 16 + lo));
      i += 2;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string_view queryOf(std::string_view target) {
  const size_t mark = target.find('?');
  if (mark == std::string_view::npos) return {};
  std::string_view query = target.substr(mark + 1);
  const size_t fragment = query.find('#');
  return fragment == std::string_view::npos ? query : query.substr(0, fragment);
}

QueryItems parseQuery(std::string_view query) {
  QueryItems result;
  size_t start = 0;
  while (start <= query.size()) {
    size_t end = query.find('&', start);
    if (end == std::string_view::npos) end = query.size();
    const std::string_view piece = query.substr(start, end - start);
    start = end + 1;
    if (piece.empty()) continue;
    const size_t eq = piece.find('=');
    const std::string_view rawName = piece.substr(0, eq);
    const std::string_view rawValue =
        eq == std::string_view::npos ? std::string_view() : piece.substr(eq + 1);
    auto name = formDecode(rawName);
    auto value = formDecode(rawValue);
    if (!name || !value) {
      if (result.error.empty()) result.error = "bad escape in item " + std::string(rawName);
      continue;
    }
    result.items.emplace(std::move(*name), std::move(*value));
  }
  return result;
}

}  // namespace devserver
