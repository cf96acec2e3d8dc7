#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "sdk/crypto/encodings.h"

namespace {

std::string UrlEncode(const std::string& text) {
  char* encoded = srUrlEncode(text.c_str());
  std::string result(encoded);
  free(encoded);
  return result;
}

std::vector<unsigned char> HexDecode(const char* hex) {
  std::vector<unsigned char> bytes(static_cast<size_t>(srHexDecode(hex, nullptr)));
  srHexDecode(hex, bytes.data());
  return bytes;
}

TEST(UrlEncode, OnlyAsciiLettersAndDigitsPass) {
  EXPECT_EQ(UrlEncode(""), "");
  EXPECT_EQ(UrlEncode("a b"), "a+b");
  EXPECT_EQ(UrlEncode("1-2"), "1%2d2");
  EXPECT_EQ(UrlEncode("\xE9"), "%e9");
  EXPECT_EQ(UrlEncode("AZaz09"), "AZaz09");
  EXPECT_EQ(UrlEncode("-_.*/:+%&="), "%2d%5f%2e%2a%2f%3a%2b%25%26%3d");
  EXPECT_EQ(UrlEncode("\x01\x7f\xff"), "%01%7f%ff");
}

TEST(HexDecode, PairsCaseAndOddLength) {
  EXPECT_EQ(HexDecode("0A"), std::vector<unsigned char>{0x0A});
  EXPECT_EQ(HexDecode("0a"), std::vector<unsigned char>{0x0A});
  EXPECT_EQ(HexDecode("zz"), std::vector<unsigned char>{0x00});
  EXPECT_EQ(HexDecode("abc"), (std::vector<unsigned char>{0xAB, 0xC0}));
  EXPECT_EQ(HexDecode("FfeE"), (std::vector<unsigned char>{0xFF, 0xEE}));
  EXPECT_EQ(srHexDecode("", nullptr), 0);

  int32_t count = -1;
  unsigned char* bytes = srHexDecodeNew("00ff7", &count);
  ASSERT_EQ(count, 3);
  EXPECT_EQ(bytes[0], 0x00);
  EXPECT_EQ(bytes[1], 0xFF);
  EXPECT_EQ(bytes[2], 0x70);
  EXPECT_EQ(bytes[3], 0x00);  // terminated
  free(bytes);
  bytes = srHexDecodeNew("", nullptr);
  EXPECT_EQ(bytes[0], 0x00);
  free(bytes);
}

TEST(HexEncode, LowerCaseAndRoundTrip) {
  const unsigned char bytes[] = {0x00, 0xFF, 0x5A, 0xC3};
  char out[9];
  srHexEncode(bytes, 2, out);
  EXPECT_STREQ(out, "00ff");
  srHexEncode(bytes, 0, out);
  EXPECT_STREQ(out, "");
  srHexEncode(bytes, 4, out);
  EXPECT_STREQ(out, "00ff5ac3");
  EXPECT_EQ(HexDecode(out), std::vector<unsigned char>(bytes, bytes + 4));
}

TEST(Base36Format, LeastSignificantDigitFirst) {
  struct Case {
    uint64_t value;
    const char* out;
  } cases[] = {
      {0, "aaaaaaaa"},
      {1, "baaaaaaa"},
      {35, "9aaaaaaa"},
      {36, "abaaaaaa"},
      {26, "0aaaaaaa"},
      {2821109907455ULL, "99999999"},  // 36^8 - 1: every position used
      {2821109907456ULL, "aaaaaaaa"},  // 36^8: cut to the eight low-order digits
      {UINT64_MAX, nullptr},
  };
  for (const Case& c : cases) {
    char out[9];
    srBase36Format(out, c.value, 8);
    if (c.out != nullptr) {
      EXPECT_STREQ(out, c.out) << c.value;
    }
    EXPECT_EQ(std::string(out).size(), 8u);
  }
  char out[1];
  srBase36Format(out, 5, 0);
  EXPECT_STREQ(out, "");
}

TEST(DecimalFormat, ZeroPaddedOrAllZeros) {
  struct Case {
    int64_t value;
    const char* out;
  } cases[] = {
      {42, "00000042"}, {7, "00000007"},         {8388607, "08388607"},
      {0, "00000000"},  {99999999, "99999999"},  {100000000, "00000000"},
      {-5, "000000-5"}, {INT64_MIN, "00000000"},
  };
  for (const Case& c : cases) {
    char out[9];
    srDecimalFormat(out, c.value, 8);
    EXPECT_STREQ(out, c.out) << c.value;
  }
}

}  // namespace
