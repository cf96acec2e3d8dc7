#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "sdk/string_helpers.h"

namespace {

std::string Take(char* text) {
  std::string s = text != nullptr ? text : "<null>";
  std::free(text);
  return s;
}

TEST(StringHelpers, DupMaxAndConcatOwnership) {
  EXPECT_EQ(Take(srStrDupMax("abcdef", 3)), "abc");
  // a NULL, b not to be freed: a new copy of b; b to be freed: b itself; b NULL: a itself.
  const char* b = "ab";
  EXPECT_EQ(Take(srStrConcat(nullptr, 0, const_cast<char*>(b), 0)), "ab");  // frees a copy
  char* owned = srStrDup("xy");
  EXPECT_EQ(srStrConcat(nullptr, 0, owned, 1), owned);
  std::free(owned);
  char* a = srStrDup("ab");
  EXPECT_EQ(srStrConcat(a, 1, nullptr, 0), a);
  EXPECT_EQ(Take(srStrConcat(a, 1, srStrDup("cd"), 1)), "abcd");
}

TEST(StringHelpers, ReplaceAllIsLeftToRightAndNotRescanned) {
  const char* cases[][4] = {{"a&b&", "&", "&amp;", "a&amp;b&amp;"},
                            {"&amp;amp;", "&amp;", "&", "&amp;"},
                            {"aaa", "aa", "b", "ba"}, {"", "&", "x", ""}};
  for (const auto& c : cases)
    EXPECT_EQ(Take(srStrReplaceAll(srStrDup(c[0]), c[1], c[2])), c[3]) << c[0];
  char text[] = "1&2";
  EXPECT_EQ(Take(srStrReplaceAllCopy(text, 0, "&", const_cast<char*>("+"), 0)), "1+2");
}

TEST(StringHelpers, TokenNextWalksAndStopsAtEnd) {
  char text[] = "x&&&&y";
  char* cursor = text;
  for (const char* want : {"x", "", "y", "", ""}) {
    const char* t = srTokenNext("&&", &cursor);
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(t, want);
  }
}

}  // namespace
