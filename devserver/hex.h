// Hexadecimal text as the service sends and accepts it: lower-case out, either case in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace devserver {

using Bytes = std::vector<uint8_t>;

std::string hexEncode(const uint8_t* data, size_t size);
inline std::string hexEncode(const Bytes& bytes) {
  return hexEncode(bytes.data(), bytes.size());
}

// Strict decoding: an odd length or any non-hex character gives nullopt.
std::optional<Bytes> hexDecode(std::string_view hex);

std::string toLower(std::string_view text);

}  // namespace devserver
