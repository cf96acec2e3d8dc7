// The SDK's text helpers: copies, joins, numbers read as atoi reads them, replacement, tokens.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "sdk/string_helpers.h"
#include "support/sdk_handles.h"

namespace {

TEST(StringHelpers, CopiesAndJoinsPassNullThrough) {
  EXPECT_EQ(Take(srStrDup(nullptr)) + Take(srStrDupMax(nullptr, 3)), "<NULL><NULL>");
  EXPECT_EQ(Take(srStrDupMax("abc", 2)) + "|" + Take(srStrDupMax("abc", -1)) + "|" +
                Take(srStrDupMax("a\0b", 3)),
            "ab||a");
  char b[] = "b";  // joined without being freed
  EXPECT_EQ(Take(srStrConcat(nullptr, 1, b, 0)) + Take(srStrConcat(strdup("a"), 1, nullptr, 1)) +
                Take(srStrConcat(strdup("c"), 1, b, 0)),
            "bacb");
  EXPECT_EQ(Take(srIntToStr(INT32_MIN)), "-2147483648");
}

TEST(StringHelpers, AtoiSkipsSpaceTakesASignAndSaturates) {
  // clang-format off
  const std::pair<const char*, int32_t> cases[] = {
      {" \t\n\v\f\r-12x", -12}, {"+7", 7}, {"x1", 0}, {"- 1", 0}, {"", 0}, {"\x1f" "5", 0},
      {"2147483647", INT32_MAX}, {"2147483648", INT32_MAX}, {"-2147483648", INT32_MIN},
      {"-99999999999", INT32_MIN}};
  // clang-format on
  for (const auto& [text, value] : cases) EXPECT_EQ(srAtoi(text), value) << text;
  EXPECT_EQ(srAtoi(nullptr), 0);
}

TEST(StringHelpers, ReplaceAllAndTokens) {
  EXPECT_EQ(Take(srStrReplaceAll(strdup("a--b--"), "--", "+")), "a+b+");
  EXPECT_EQ(Take(srStrReplaceAll(strdup("aaa"), "aa", nullptr)), "a");
  EXPECT_EQ(Take(srStrReplaceAll(strdup("abc"), "", "x")), "abc");
  char text[] = "a&&&b&&";
  char* cursor = text;
  std::string tokens;
  for (int i = 0; i < 4; i++) tokens += std::string(srTokenNext("&&", &cursor)) + "|";
  char rest[] = "x&&y";  // no separator: the whole rest is one token
  cursor = rest;
  tokens += srTokenNext("", &cursor);
  EXPECT_EQ(tokens + "|" + srTokenNext("", &cursor), "a|&b|||x&&y|");
}

}  // namespace
