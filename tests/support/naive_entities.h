// A literal rendering of the entity passes of reply text, written from their documented rules
// alone (nothing of the SDK is called): each pass searches again from the beginning after every
// replacement, a hexadecimal reference takes the value of its leading hex digits, a decimal one
// is read as by the host's atoi (white space and a sign first; out-of-range values saturate).
// Quadratic; tests and the fuzzer check the linear passes of the parser against it.
#ifndef NRD_TESTS_SUPPORT_NAIVE_ENTITIES_H
#define NRD_TESTS_SUPPORT_NAIVE_ENTITIES_H

#include <cstdint>
#include <cstdlib>
#include <string>

namespace naive {

inline std::string Entity(std::string text, const std::string& entity, const std::string& with) {
  for (size_t at; (at = text.find(entity)) != std::string::npos;)
    text = text.substr(0, at) + with + text.substr(at + entity.size());
  return text;
}

// value = value * 16 + digit over the leading 0-9, A-F, a-f; 0 when there are none.
inline uint32_t HexValue(const std::string& text) {
  uint32_t value = 0;
  for (char c : text) {
    const std::string digits = "0123456789abcdef";
    const size_t digit = digits.find(static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c));
    if (digit == std::string::npos) break;
    value = value * 16 + static_cast<uint32_t>(digit);
  }
  return value;
}

inline std::string Refs(std::string text, const std::string& prefix, bool hex) {
  for (;;) {
    size_t at = text.find(prefix);
    if (at == std::string::npos) return text;
    size_t semicolon = text.find(';', at);
    if (semicolon == std::string::npos) return text;
    std::string digits = text.substr(at + prefix.size());
    const long decimal = std::strtol(digits.c_str(), nullptr, 10);
    const long saturated = decimal > INT32_MAX   ? INT32_MAX
                           : decimal < INT32_MIN ? INT32_MIN
                                                 : decimal;
    uint32_t value = hex ? HexValue(digits) : static_cast<uint32_t>(saturated);
    char byte = static_cast<char>(value & 0xFF);
    if (byte == 0) return text.substr(0, at);
    text = text.substr(0, at) + byte + text.substr(semicolon + 1);
  }
}

inline std::string Decode(std::string text) {
  text = Entity(text, "&lt;", "<");
  text = Entity(text, "&gt;", ">");
  text = Entity(text, "&amp;", "&");
  text = Entity(text, "&quot;", "\"");
  text = Entity(text, "&apos;", "'");
  text = Refs(text, "&#x", true);
  return Refs(text, "&#", false);
}

}  // namespace naive

#endif
