#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "sdk/markup_parser.h"
#include "sdk/string_helpers.h"
#include "sdk/ws_exchange.h"
#include "support/naive_entities.h"

namespace {

struct NodeDeleter {
  void operator()(SRNode* node) const { srNodeFree(node); }
};
using NodePtr = std::unique_ptr<SRNode, NodeDeleter>;

// Parses a private writable copy, as the exchange does with a reply body.
NodePtr Parse(const std::string& markup) {
  std::vector<char> buffer(markup.begin(), markup.end());
  buffer.push_back('\0');
  return NodePtr(srMarkupParse(buffer.data()));
}

std::string Decode(const std::string& text) {
  char* decoded = srEntitiesDecode(strdup(text.c_str()));
  std::string result(decoded);
  free(decoded);
  return result;
}

std::string Nested(int depth) {
  std::string markup;
  for (int i = 0; i < depth; i++) markup += "<e>";
  markup += "x";
  for (int i = 0; i < depth; i++) markup += "</e>";
  return markup;
}

TEST(MarkupParse, AcceptedShapes) {
  NodePtr doc =
      Parse("<?xml version=\"1.0\"?>\n<r><err>OK</err><empty></empty><b>1</b><b>2</b></r>");
  ASSERT_TRUE(doc);
  EXPECT_STREQ(doc->name, "r");
  EXPECT_STREQ(srDocText(doc.get(), "err"), "OK");
  EXPECT_EQ(srNodeChild(doc.get(), "empty")->text, nullptr);
  EXPECT_STREQ(srDocText(doc.get(), "empty"), "");
  EXPECT_EQ(srNodeChildCount(doc.get(), "b"), 2);
  EXPECT_STREQ(srNodeChildAt(doc.get(), "b", 1)->text, "2");
  EXPECT_EQ(srNodeChildAt(doc.get(), "b", 2), nullptr);
  EXPECT_EQ(srNodeChildAt(doc.get(), "b", -1), nullptr);
  EXPECT_STREQ(srDocTextAt(doc.get(), "b", 0), "1");
  EXPECT_STREQ(srDocTextAt(doc.get(), "b", 5), "");
  EXPECT_STREQ(srDocText(doc.get(), "missing"), "");
  EXPECT_STREQ(srDocText(nullptr, "err"), "");
  EXPECT_EQ(srNodeChildCount(nullptr, "b"), 0);
}

TEST(MarkupParse, EmptyElementsAttributesAndText) {
  NodePtr doc =
      Parse("< r a=\"1\" b = \"&lt;x&gt;\" ><e/><f k=\"v\"/>  lead <g>t</g>tail</r>after");
  ASSERT_TRUE(doc);
  const SRAttribute* a = doc->attributes;
  ASSERT_NE(a, nullptr);
  EXPECT_STREQ(a->name, "a");
  EXPECT_STREQ(a->value, "1");
  ASSERT_NE(a->next, nullptr);
  EXPECT_STREQ(a->next->name, "b");
  EXPECT_STREQ(a->next->value, "&lt;x&gt;");  // attribute values stay raw
  EXPECT_EQ(a->next->next, nullptr);

  const SRNode* e = srNodeChild(doc.get(), "e");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->text, nullptr);
  EXPECT_EQ(e->children, nullptr);
  const SRNode* f = srNodeChild(doc.get(), "f");
  ASSERT_NE(f, nullptr);
  EXPECT_STREQ(f->attributes->value, "v");
  EXPECT_STREQ(srDocText(doc.get(), "g"), "t");
  // Only the data before the first child is kept: "tail" and the data between children is not.
  EXPECT_EQ(doc->text, nullptr);

  NodePtr spaced = Parse("<r>  two words\n</r>");
  ASSERT_TRUE(spaced);
  EXPECT_STREQ(spaced->text, "  two words\n");
}

TEST(MarkupParse, RefusedShapes) {
  const char* refused[] = {
      "",
      "no markup",
      "<?xml?>",
      "<",
      "<r",
      "<r>",
      "<r>text",
      "<r></s>",
      "<r></rr>",        // extension of the name
      "<rr></r>",        // prefix of the name
      "<r a='1'></r>",   // single quotes do not delimit
      "<r a=\"1></r>",   // unterminated value
      "<r a></r>",       // attribute without a value
      "<a-b>x</a-b>",    // "-" ends the name; "b" then needs a value
      "<r><c></r>",      // failed child
      "<r><c>x</c></r",  // end tag without ">"
      "<r></",
  };
  for (const char* markup : refused) EXPECT_FALSE(Parse(markup)) << markup;
  EXPECT_EQ(srMarkupParse(nullptr), nullptr);
}

TEST(MarkupParse, NestingDepthIsBounded) {
  NodePtr deepest = Parse(Nested(SR_MARKUP_MAX_DEPTH));
  ASSERT_TRUE(deepest);
  const SRNode* node = deepest.get();
  for (int i = 1; i < SR_MARKUP_MAX_DEPTH; i++) node = srNodeChild(node, "e");
  ASSERT_NE(node, nullptr);
  EXPECT_STREQ(node->text, "x");
  EXPECT_FALSE(Parse(Nested(SR_MARKUP_MAX_DEPTH + 1)));
  EXPECT_FALSE(Parse(Nested(100000)));  // refused, not a stack overflow
}

TEST(MarkupParse, ManySiblingsFreeWithoutRecursion) {
  std::string markup = "<r>";
  for (int i = 0; i < 200000; i++) markup += "<s/>";
  markup += "</r>";
  NodePtr doc = Parse(markup);
  ASSERT_TRUE(doc);
  EXPECT_EQ(srNodeChildCount(doc.get(), "s"), 200000);
}

TEST(MarkupParse, ElementParseReportsItsEnd) {
  char text[] = "a>1</a><b/>";
  char* end = nullptr;
  NodePtr node(srElementParse(text, &end));
  ASSERT_TRUE(node);
  EXPECT_STREQ(end, "<b/>");
}

TEST(EntitiesDecode, Table) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"plain", "plain"},
      {"&lt;b&gt;", "<b>"},
      {"&quot;q&quot; &apos;s&apos;", "\"q\" 's'"},
      {"&#65;&#x41;&#x61;", "AAa"},
      {"&#x263A;", ":"},             // low 8 bits only
      {"&#321;", "A"},               // 321 = 0x141
      {"&#-191;", "A"},              // atoi reads the sign; -191 & 0xFF = 0x41
      {"&# 66;", "B"},               // and skips leading white space
      {"&#99999999999;", "\xff"},    // saturates like the 32-bit atoi
      {"&#66abc;", "B"},             // digits stop at the first other character
      {"&#xzz;", ""},                // value 0: NUL
      {"ab&#0;cd", "ab"},            // a NUL ends the text
      {"ab&#x100;cd&#65;", "ab"},    // so does a value whose low 8 bits are 0
      {"&#65", "&#65"},              // no ";": left as it is
      {"&#x41 &#66;", "A"},          // a reference runs to the first ";" after it
      {"&amp;amp;", "&"},            // an escaped escape decodes fully
      {"&amp;amp;amp;lt;", "&lt;"},  // "&lt;" formed after its own pass stays
      {"&amp;#65;", "A"},            // "&amp;" yields a reference for a later pass
      {"&#x26;#x41;", "A"},          // a hex reference yielding "&" starts another
      {"&#38;#65;", "A"},            // the same for decimal
      {"&#x26;#65;", "A"},           // hex yields a decimal reference for the later pass
      {"&#38;#x41;", ""},            // decimal yields "&#x41;": read as decimal, value 0
      {"&#38;lt;", "&lt;"},          // entity passes are over when references run
      {"&&#35;65;", "A"},            // a yielded "#" completes an "&#" before it
      {"&&#35;x41;", ""},            // hex ran first: "&#x41;" is read as decimal, value 0
      {"&#&#x78;41;", "A"},          // a yielded "x" completes an earlier "&#"
      {"&#x&#x41;;", ""},            // first "&#x" with the first ";": value of "&" is 0
  };
  for (const Case& c : cases) EXPECT_EQ(Decode(c.in), c.out) << c.in;
}

TEST(EntitiesDecode, MatchesRestartingPassesOnGeneratedTexts) {
  // Fragments that readily combine into entities and references, including ones that yield
  // "&" (26, 38), "#" (23, 35) and "x" (78, 120).
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
  auto replace = [](const char* text, const char* entity, const char* with) {
    char* out = srEntityReplace(strdup(text), entity, with);
    std::string result(out);
    free(out);
    return result;
  };
  EXPECT_EQ(replace("aab", "ab", "b"), "b");             // rescans across the replacement
  EXPECT_EQ(replace("xabcx", "abc", ""), "xx");          // empty replacement
  EXPECT_EQ(replace("abab", "ab", "abab"), "abababab");  // not shorter: one pass, no loop
  EXPECT_EQ(replace("abc", "", "z"), "abc");
}

}  // namespace
