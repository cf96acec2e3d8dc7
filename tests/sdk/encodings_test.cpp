#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "sdk/crypto/encodings.h"
#include "support/sdk_handles.h"

namespace {

using ByteVec = std::vector<unsigned char>;

ByteVec HexDecode(const char* hex) {
  ByteVec bytes(static_cast<size_t>(srHexDecode(hex, nullptr)));
  srHexDecode(hex, bytes.data());
  return bytes;
}

TEST(UrlEncode, OnlyAsciiLettersAndDigitsPass) {
  EXPECT_EQ(Take(srUrlEncode("AZaz09 -_.*/:+%&=\x01\x7f\xff")),
            "AZaz09+%2d%5f%2e%2a%2f%3a%2b%25%26%3d%01%7f%ff");
}

TEST(HexCodec, PairsCaseOddLengthAndRoundTrip) {
  EXPECT_EQ(HexDecode("FfeEz"), (ByteVec{0xFF, 0xEE, 0x00}));  // odd length: a high nibble

  int32_t count = -1;
  unsigned char* bytes = srHexDecodeNew("00ff7", &count);
  ASSERT_EQ(count, 3);
  EXPECT_EQ(ByteVec(bytes, bytes + 4), (ByteVec{0x00, 0xFF, 0x70, 0x00}));  // terminated
  free(bytes);

  char out[9];
  srHexEncode(std::vector<unsigned char>{0x00, 0xFF, 0x5A, 0xC3}.data(), 4, out);
  EXPECT_STREQ(out, "00ff5ac3");
}

TEST(OtpFormat, Base36LeastSignificantFirstAndDecimalZeroPadded) {
  const struct {
    uint64_t value;
    const char* out;
  } base36[] = {
      {35, "9aaaaaaa"}, {36, "abaaaaaa"}, {26, "0aaaaaaa"},
      {2821109907455ULL, "99999999"}, {2821109907456ULL, "aaaaaaaa"},  // 36^8 - 1, 36^8
  };
  char out[9];
  for (const auto& c : base36) {
    srBase36Format(out, c.value, 8);
    EXPECT_STREQ(out, c.out) << c.value;
  }
  srBase36Format(out, UINT64_MAX, 8);
  EXPECT_EQ(std::string(out).size(), 8u);

  const struct {
    int64_t value;
    const char* out;
  } decimal[] = {
      {42, "00000042"}, {99999999, "99999999"}, {100000000, "00000000"},
      {-5, "000000-5"}, {INT64_MIN, "00000000"},
  };
  for (const auto& c : decimal) {
    srDecimalFormat(out, c.value, 8);
    EXPECT_STREQ(out, c.out) << c.value;
  }
}

}  // namespace
