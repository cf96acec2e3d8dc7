// A literal rendering of the entity passes of reply text: each pass searches again from the
// beginning after every replacement. Quadratic; tests and the fuzzer check the linear passes
// of the parser against it.
#ifndef NRD_TESTS_SUPPORT_NAIVE_ENTITIES_H
#define NRD_TESTS_SUPPORT_NAIVE_ENTITIES_H

#include <cstdint>
#include <string>

#include "sdk/markup_parser.h"
#include "sdk/string_helpers.h"

namespace naive {

inline std::string Entity(std::string text, const std::string& entity, const std::string& with) {
  for (size_t at; (at = text.find(entity)) != std::string::npos;)
    text = text.substr(0, at) + with + text.substr(at + entity.size());
  return text;
}

inline std::string Refs(std::string text, const std::string& prefix, bool hex) {
  for (;;) {
    size_t at = text.find(prefix);
    if (at == std::string::npos) return text;
    size_t semicolon = text.find(';', at);
    if (semicolon == std::string::npos) return text;
    std::string digits = text.substr(at + prefix.size());
    uint32_t value =
        hex ? srHexValue(digits.c_str()) : static_cast<uint32_t>(srAtoi(digits.c_str()));
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
