#include "otp.h"

#include <cstdio>

#include "crypto.h"

namespace devserver {

namespace {

uint32_t bigEndian32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

}  // namespace

uint64_t otpValue38(std::string_view text) {
  const Bytes digest = sha256(text);
  const uint64_t hi = bigEndian32(digest.data()) & 0x0FFFFFFFu;
  const uint64_t lo = bigEndian32(digest.data() + 4) & 0x3FFu;
  return hi * 1024 + lo;
}

std::optional<std::string> otpFormat(uint64_t value, std::string_view format) {
  if (format == "8LC") {
    static const char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string out;
    for (int i = 0; i < 8; ++i) {
      out.push_back(kAlphabet[value % 36]);
      value /= 36;
    }
    return out;
  }
  if (format == "8C") {
    char text[16];
    std::snprintf(text, sizeof text, "%08llu", static_cast<unsigned long long>(value & 0x7FFFFFu));
    return std::string(text);
  }
  return std::nullopt;
}

std::optional<std::string> otpCompute(std::string_view k1, int32_t defi, std::string_view secret,
                                      std::string_view format) {
  std::string input(k1);
  input += ':';
  input += std::to_string(defi);
  input += ':';
  input += secret;
  return otpFormat(otpValue38(input), format);
}

}  // namespace devserver
