// The OTP rule the device and the service share: SHA-256 of k1 ":" defi ":" secret, reduced to
// a 38-bit number and printed as 8 characters.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace devserver {

// hi = first 4 digest bytes & 0x0FFFFFFF, lo = next 4 bytes & 0x3FF, value = hi * 1024 + lo.
uint64_t otpValue38(std::string_view text);

// "8LC": base 36, least significant digit first, alphabet a-z then 0-9.
// "8C": the low 23 bits in decimal, zero-padded to 8. Any other format gives nullopt.
std::optional<std::string> otpFormat(uint64_t value, std::string_view format);

// The whole rule: the OTP the device must produce for these inputs.
std::optional<std::string> otpCompute(std::string_view k1, int32_t defi, std::string_view secret,
                                      std::string_view format);

}  // namespace devserver
