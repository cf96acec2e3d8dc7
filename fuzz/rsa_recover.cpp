// srRsaRecoverHex on arbitrary text (and srRsaRecover on the raw bytes) with a fixed 1024-bit
// modulus: no crash, no read past the input, results no longer than the block count allows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "sdk/crypto/keyed.h"

namespace {

// The public half of a key made with OpenSSL for the seed corpus, whose blocks are valid.
const char kModulus[] =
    "c7c6610b3e136858dc8a950e9777fbe628d586c75a94caf0324d78458f8b8d7c59a0ec4aa4a225dc13e2296d"
    "822cbef163f34e3796c9d74822411c052b82e0a6d490756fe3cbadb7df304330670e5f2e9a39fcf84edb3d2c"
    "8a82c2e56da93c43c03a1cdfb5b1a0600b9f40856203115c0d705cf5890ed13a668b859bcf408bad";
const size_t kBlock = 128;
const size_t kMessage = kBlock - 66;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 16 * 2 * kBlock) return 0;  // sixteen blocks are plenty; keep runs fast
  // Exactly size + 1 bytes, so the sanitizer sees any read past the text.
  char* text = static_cast<char*>(std::malloc(size + 1));
  std::memcpy(text, data, size);
  text[size] = '\0';
  char* recovered = srRsaRecoverHex(text, kModulus);
  size_t blocks = (std::strlen(text) + 2 * kBlock - 1) / (2 * kBlock);
  if (recovered == nullptr || std::strlen(recovered) > 2 * kMessage * blocks) __builtin_trap();
  std::free(recovered);
  std::free(text);

  std::vector<unsigned char> bytes(data, data + size);
  int32_t room = srRsaRecover(kModulus, SR_RSA_EXPONENT_HEX, bytes.data(),
                              static_cast<int32_t>(size), nullptr);
  std::vector<unsigned char> out(static_cast<size_t>(room));
  int32_t written = srRsaRecover(kModulus, SR_RSA_EXPONENT_HEX, bytes.data(),
                                 static_cast<int32_t>(size), out.data());
  if (written < 0 || written > room) __builtin_trap();
  return 0;
}
