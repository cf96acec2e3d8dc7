// srHexBlockDecrypt (and srHexBlockEncrypt) on arbitrary text: no crash, no read past the
// input, and the documented result lengths. The first input byte picks the bit count.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "sdk/crypto/keyed.h"

namespace {

const char kKey[] = "000102030405060708090a0b0c0d0e0f";

size_t Length(char* text) {
  if (text == nullptr) __builtin_trap();
  size_t length = std::strlen(text);
  std::free(text);
  return length;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 4096) return 0;
  const int32_t bits = static_cast<int8_t>(data[0]) * 8;  // -1024 .. 1016, zero and odd cuts
  char* text = static_cast<char*>(std::malloc(size));     // exactly the text and its NUL
  std::memcpy(text, data + 1, size - 1);
  text[size - 1] = '\0';
  size_t length = std::strlen(text);

  // Decryption: hex of ceil(bytes / 16) blocks, cut to bits / 4 characters.
  size_t padded_hex = (length + 31) / 32 * 32;
  size_t cut = bits > 0 ? static_cast<size_t>(bits / 4) : 0;
  size_t expected = length == 0 ? 0 : (cut < padded_hex ? cut : padded_hex);
  if (Length(srHexBlockDecrypt(text, kKey, bits)) != expected) __builtin_trap();
  if (Length(srKeyDecrypt128(text, kKey)) != (length == 0 ? 0 : 32)) __builtin_trap();
  // Encryption: whole blocks give the same length, anything else "".
  if (Length(srHexBlockEncrypt(text, kKey)) != (length % 32 == 0 ? length : 0)) __builtin_trap();
  // The text also serves as a key of any length.
  Length(srKeyDecrypt128("00112233445566778899aabbccddeeff", text));
  std::free(text);
  return 0;
}
