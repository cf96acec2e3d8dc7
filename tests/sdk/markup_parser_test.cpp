#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "sdk/markup_parser.h"
#include "sdk/string_helpers.h"
#include "sdk/ws_exchange.h"
#include "support/naive_entities.h"
#include "support/sdk_handles.h"

namespace {

// Parses a private writable copy, as the exchange does with a reply body.
NodePtr Parse(const std::string& markup) {
  std::vector<char> buffer(markup.begin(), markup.end());
  buffer.push_back('\0');
  return NodePtr(srMarkupParse(buffer.data()));
}

std::string Decode(const std::string& text) {
  return Take(srEntitiesDecode(strdup(text.c_str())));
}

TEST(MarkupParse, AcceptedShapes) {
  NodePtr doc = Parse(
      "<?xml version=\"1.0\"?>\n< r a=\"1\" b = \"&lt;x&gt;\" >lead<empty></empty><e/>"
      "<f k=\"v\"/><b>1</b><b>&#50;&lt;</b>tail</r>after");
  ASSERT_TRUE(doc);
  EXPECT_STREQ(doc->text, "lead");  // only the data before the first child is kept
  const SRAttribute* a = doc->attributes;
  ASSERT_TRUE(a != nullptr && a->next != nullptr);
  EXPECT_STREQ(a->next->value, "&lt;x&gt;");  // attribute values stay raw
  EXPECT_STREQ(srNodeChild(doc.get(), "f")->attributes->value, "v");
  EXPECT_EQ(srNodeChildCount(doc.get(), "b"), 2);
  EXPECT_STREQ(srDocTextAt(doc.get(), "b", 1), "2<");  // texts are decoded
  EXPECT_EQ(srNodeChildAt(doc.get(), "b", 2), nullptr);
  EXPECT_EQ(srNodeChildAt(doc.get(), "b", -1), nullptr);
  EXPECT_STREQ(srDocText(nullptr, "b"), "");
  EXPECT_STREQ(Parse("<r>  two words\n</r>")->text, "  two words\n");
}

TEST(MarkupParse, RefusedShapes) {
  const char* refused[] = {
      "",      "no markup", "<?xml?>", "<", "<r>", "<r>text", "<r b",
      "<r></rr>",        "<rr></r>",  // extension or prefix of the name
      "<r a='1'></r>",   // single quotes do not delimit
      "<r a=\"1></r>",   "<r a></r>",  // unterminated value, attribute without a value
      "<a-b>x</a-b>",    // "-" ends the name; "b" then needs a value
      "<r><c></r>",      "<r><c>x</c></r",  // failed child, end tag without ">"
  };
  for (const char* markup : refused) EXPECT_FALSE(Parse(markup)) << markup;
  EXPECT_EQ(srMarkupParse(nullptr), nullptr);
  srNodeFree(nullptr);  // freeing no document is allowed
}

TEST(MarkupParse, NestingDepthIsBoundedAndSiblingsFreeWithoutRecursion) {
  for (int depth : {SR_MARKUP_MAX_DEPTH, SR_MARKUP_MAX_DEPTH + 1, 100000}) {
    std::string open, close;
    for (int i = 0; i < depth; i++) open += "<e>", close += "</e>";
    EXPECT_EQ(!!Parse(open + "x" + close), depth <= SR_MARKUP_MAX_DEPTH) << depth;
  }
  std::string markup = "<r>";
  for (int i = 0; i < 200000; i++) markup += "<s/>";
  EXPECT_EQ(srNodeChildCount(Parse(markup + "</r>").get(), "s"), 200000);
}

TEST(EntitiesDecode, Table) {
  const char* cases[][2] = {
      {"&lt;b&gt;", "<b>"},
      {"&quot;q&quot; &apos;s&apos;", "\"q\" 's'"},
      {"&#65;&#x41;&#x6f;", "AAo"},
      {"&#x263A;", ":"},             // low 8 bits only
      {"&#-191;", "A"},              // atoi reads the sign; -191 & 0xFF = 0x41
      {"&# 66;", "B"},               // and skips leading white space
      {"&#99999999999;", "\xff"},    // saturates like the 32-bit atoi
      {"&#66abc;", "B"},             // digits stop at the first other character
      {"&#xzz;", ""},                // value 0: NUL
      {"ab&#x100;cd&#65;", "ab"},    // so does a value whose low 8 bits are 0
      {"&#65", "&#65"},              // no ";": left as it is
      {"&#x41 &#66;", "A"},          // a reference runs to the first ";" after it
      {"&amp;amp;amp;lt;", "&lt;"},  // "&lt;" formed after its own pass stays
      {"&amp;#65;", "A"},            // "&amp;" yields a reference for a later pass
      {"&#x26;#x41;", "A"},          // a hex reference yielding "&" starts another
      {"&#38;#x41;", ""},            // decimal yields "&#x41;": read as decimal, value 0
      {"&#38;lt;", "&lt;"},          // entity passes are over when references run
      {"&&#35;65;", "A"},            // a yielded "#" completes an "&#" before it
      {"&&#35;x41;", ""},            // hex ran first: "&#x41;" is read as decimal, value 0
      {"&#&#x78;41;", "A"},          // a yielded "x" completes an earlier "&#"
      {"&#x&#x41;;", ""},            // first "&#x" with the first ";": value of "&" is 0
  };
  for (const auto& c : cases) EXPECT_EQ(Decode(c[0]), c[1]) << c[0];
}

TEST(EntitiesDecode, MatchesRestartingPassesOnGeneratedTexts) {
  // Fragments that combine into entities and references yielding "&", "#" and "x".
  const char* pieces[] = {"&",   "#",  "x",  ";",  "amp;", "lt;", "quot;", "apos;", "&amp;", "26",
                          "38",  "23", "35", "78", "120",  "41",  "65",    "0",     "a",     "-",
                          "&#x", "&#", " ",  "2",  "6",    "3",   "8",     "F",     "c"};
  std::mt19937 random(12345);
  std::uniform_int_distribution<size_t> pick(0, sizeof pieces / sizeof pieces[0] - 1);
  std::uniform_int_distribution<int> length(1, 14);
  for (int round = 0; round < 20000; round++) {
    std::string text;
    for (int n = length(random); n > 0; n--) text += pieces[pick(random)];
    ASSERT_EQ(Decode(text), naive::Decode(text)) << text;
  }
}

TEST(EntityReplace, GeneralPairs) {
  // Rescans across the replacement; empty replacement; not shorter: one pass, no loop.
  const char* cases[][4] = {{"aab", "ab", "b", "b"}, {"xabcx", "abc", "", "xx"},
                            {"xaby", "ab", "c", "xcy"}, {"abab", "ab", "abab", "abababab"},
                            {"abc", "", "z", "abc"}, {"abc", nullptr, "z", "abc"}};
  for (const auto& c : cases) EXPECT_EQ(Take(srEntityReplace(strdup(c[0]), c[1], c[2])), c[3]);
}

}  // namespace
