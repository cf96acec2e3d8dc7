#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "sdk/string_helpers.h"

namespace {

std::string Take(char* text) {
  std::string s = text != nullptr ? text : "<null>";
  std::free(text);
  return s;
}

TEST(StringHelpers, DupAndDupMaxHandleNullAndCuts) {
  EXPECT_EQ(srStrDup(nullptr), nullptr);
  EXPECT_EQ(srStrDupMax(nullptr, 3), nullptr);
  EXPECT_EQ(Take(srStrDup("abc")), "abc");
  EXPECT_EQ(Take(srStrDupMax("abcdef", 3)), "abc");
  EXPECT_EQ(Take(srStrDupMax("ab", 3)), "ab");
  EXPECT_EQ(Take(srStrDupMax("abc", 0)), "");
  std::string hundred(100, 's');
  EXPECT_EQ(Take(srStrDupMax(hundred.c_str(), 64)).size(), 64u);
}

TEST(StringHelpers, ConcatOwnershipRules) {
  // a NULL, b not to be freed: a new copy of b.
  const char* b = "ab";
  char* copy = srStrConcat(nullptr, 0, const_cast<char*>(b), 0);
  EXPECT_NE(copy, b);
  EXPECT_EQ(Take(copy), "ab");
  // a NULL, b to be freed: b itself.
  char* owned = srStrDup("xy");
  EXPECT_EQ(srStrConcat(nullptr, 0, owned, 1), owned);
  std::free(owned);
  // b NULL: a itself, not freed.
  char* a = srStrDup("ab");
  EXPECT_EQ(srStrConcat(a, 1, nullptr, 0), a);
  EXPECT_STREQ(a, "ab");
  EXPECT_EQ(Take(srStrConcat(a, 1, srStrDup("cd"), 1)), "abcd");
}

TEST(StringHelpers, ReplaceAllIsLeftToRightAndNotRescanned) {
  struct Case {
    const char* text;
    const char* needle;
    const char* with;
    const char* want;
  } cases[] = {
      {"a&b&", "&", "&amp;", "a&amp;b&amp;"},
      {"a&amp;b&amp;", "&amp;", "&", "a&b&"},
      {"&amp;amp;", "&amp;", "&", "&amp;"},
      {"aaa", "aa", "b", "ba"},
      {"none", "&", "x", "none"},
      {"", "&", "x", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Take(srStrReplaceAll(srStrDup(c.text), c.needle, c.with)), c.want) << c.text;
  }
  char* text = srStrDup("1&2");
  EXPECT_EQ(Take(srStrReplaceAllCopy(text, 0, "&", const_cast<char*>("+"), 0)), "1+2");
  EXPECT_STREQ(text, "1&2");
  std::free(text);
}

TEST(StringHelpers, TokenNextWalksAndStopsAtEnd) {
  char text[] = "a&&b";
  char* cursor = text;
  EXPECT_STREQ(srTokenNext("&&", &cursor), "a");
  EXPECT_STREQ(srTokenNext("&&", &cursor), "b");
  for (int i = 0; i < 3; i++) {
    const char* t = srTokenNext("&&", &cursor);
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(t, "");
  }
  char trailing[] = "x&&&&y&&";
  cursor = trailing;
  EXPECT_STREQ(srTokenNext("&&", &cursor), "x");
  EXPECT_STREQ(srTokenNext("&&", &cursor), "");
  EXPECT_STREQ(srTokenNext("&&", &cursor), "y");
  EXPECT_STREQ(srTokenNext("&&", &cursor), "");
}

TEST(StringHelpers, IntToStrCoversTheInt32Range) {
  EXPECT_EQ(Take(srIntToStr(0)), "0");
  EXPECT_EQ(Take(srIntToStr(-42)), "-42");
  EXPECT_EQ(Take(srIntToStr(INT32_MIN)), "-2147483648");
  EXPECT_EQ(Take(srIntToStr(INT32_MAX)), "2147483647");
}

}  // namespace
