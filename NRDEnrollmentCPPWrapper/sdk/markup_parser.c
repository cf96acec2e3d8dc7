/* The SDK's minimal recursive-descent parser for the service's reply markup, and the entity
 * passes that decode element text.
 *
 * Each entity pass behaves as if it searched the text from its beginning again after every
 * replacement (so "&amp;amp;" decodes to "&", and a character reference that yields "&" can
 * start another reference of the same pass). Rescanning from the beginning would cost quadratic
 * time on a body full of escapes; the passes below get the same result in one left-to-right
 * sweep over the text, in place, by handing a replacement back to the unread input so that it is
 * examined together with what precedes and follows it.
 *
 * A parsed document lives in one arena (sdk/markup_arena.h): nodes, attributes and their texts
 * cost no malloc of their own, and srNodeFree of the root releases the whole document. */
#include "sdk/markup_parser.h"

#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#include "sdk/markup_arena.h"
#include "sdk/string_helpers.h"

/* ---- Scanning ---------------------------------------------------------------------------- */

/* strchr without the library call: under the address sanitizer's strict string checks every
 * strchr measures the whole remaining body, which would make a parse quadratic. */
static char* srCharFind(char* p, char c) {
  while (*p != '\0' && *p != c) p++;
  return *p == c ? p : NULL;
}

static int srIsNameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         c == ':';
}

char* srNameStartFind(char* p) {
  while (*p != '\0' && !srIsNameChar(*p)) p++;
  return *p != '\0' ? p : NULL;
}

char* srNameOrTagEndFind(char* p) {
  while (*p != '\0' && *p != '>' && !srIsNameChar(*p)) p++;
  return *p != '\0' ? p : NULL;
}

char* srNameEndFind(char* p, int32_t* length) {
  char* e = p;
  while (srIsNameChar(*e)) e++;
  if (length != NULL) *length = (int32_t)(e - p);
  return *e != '\0' ? e : NULL;
}

char* srTagEndFind(char* p) {
  char* close = srCharFind(p, '>');
  return close != NULL ? close + 1 : NULL;
}

SRNode* srSiblingsReverse(SRNode* head) {
  SRNode* reversed = NULL;
  while (head != NULL) {
    SRNode* next = head->next;
    head->next = reversed;
    reversed = head;
    head = next;
  }
  return reversed;
}

static SRAttribute* srAttributesReverse(SRAttribute* head) {
  SRAttribute* reversed = NULL;
  while (head != NULL) {
    SRAttribute* next = head->next;
    head->next = reversed;
    reversed = head;
    head = next;
  }
  return reversed;
}

/* ---- Entity passes ----------------------------------------------------------------------- */

/* All passes work in place: the result so far occupies text[0, out) and the unread input
 * text[in, ...); out never overtakes in because every replacement is shorter than what it
 * replaces. A replacement is written back just before `in`, so it is read again as input.
 * Every entity and reference starts with "&", so the text before the first "&" stays as it is. */
static size_t srAmpOffset(const char* text) {
  const char* p = text;
  while (*p != '\0' && *p != '&') p++;
  return (size_t)(p - text);
}

/* memcmp for the few bytes of an entity or prefix: on a body dense with escapes a library call
 * per candidate costs more than the comparison itself. Stops at the first difference, so it
 * never reads past the end of a text shorter than the pattern. */
static int srSameBytes(const char* text, const char* pattern, size_t length) {
  for (size_t i = 0; i < length; i++)
    if (text[i] != pattern[i]) return 0;
  return 1;
}

/* Replaces every occurrence of entity with replacement, rescanning what a replacement forms.
 * All occurrences have the entity's length, so the first to end while reading from the left is
 * also the first to start: the one a search from the beginning would find. A replacement that is
 * not shorter than the entity could form its own entity again forever; such a pair is replaced in
 * a single left-to-right pass instead. */
char* srEntityReplace(char* text, const char* entity, const char* replacement) {
  if (text == NULL || entity == NULL || entity[0] == '\0') return text;
  if (replacement == NULL) replacement = "";
  size_t entity_length = strlen(entity);
  size_t replacement_length = strlen(replacement);
  if (replacement_length >= entity_length) return srStrReplaceAll(text, entity, replacement);

  char last = entity[entity_length - 1];
  size_t out = entity[0] == '&' ? srAmpOffset(text) : 0;
  size_t in = out;
  while (text[in] != '\0') {
    char c = text[in++];
    text[out++] = c;
    if (c == last && out >= entity_length &&
        srSameBytes(text + out - entity_length, entity, entity_length)) {
      out -= entity_length;
      in -= replacement_length;
      memcpy(text + in, replacement, replacement_length);
    }
  }
  text[out] = '\0';
  return text;
}

/* Value of an "&#" reference: as atoi reads it (white space, sign, digits), saturating at the
 * 32-bit range as the platform's atoi does; only its low 8 bits are used. */
static uint32_t srDecimalRefValue(const char* digits) {
  return (uint32_t)srAtoi(digits);
}

/* One character-reference pass: every `prefix` ... ";" becomes the single byte given by the low
 * 8 bits of value(characters after the prefix). The reference that is decoded is always the
 * first prefix of the text with the first ";" after it; with no ";" after it, the pass stops.
 * A byte 0 ends the text there. */
static char* srCharRefsDecode(char* text, const char* prefix, uint32_t (*value)(const char*)) {
  if (text == NULL) return NULL;
  size_t prefix_length = strlen(prefix);
  char prefix_last = prefix[prefix_length - 1];
  size_t out = srAmpOffset(text); /* the prefixes used here start with "&" */
  size_t in = out;
  ptrdiff_t open = -1; /* start of the first prefix in the result, awaiting its ";" */
  while (text[in] != '\0') {
    char c = text[in++];
    text[out++] = c;
    if (open < 0) {
      if (c == prefix_last && out >= prefix_length &&
          srSameBytes(text + out - prefix_length, prefix, prefix_length))
        open = (ptrdiff_t)(out - prefix_length);
      continue;
    }
    if (c != ';') continue;
    unsigned char byte = (unsigned char)(value(text + open + prefix_length) & 0xFFu);
    out = (size_t)open;
    open = -1;
    if (byte == 0) break; /* the NUL ends the text; nothing after it survives */
    text[--in] = (char)byte;
  }
  text[out] = '\0';
  return text;
}

char* srHexCharRefsDecode(char* text) {
  return srCharRefsDecode(text, "&#x", srHexValue);
}

char* srDecCharRefsDecode(char* text) {
  return srCharRefsDecode(text, "&#", srDecimalRefValue);
}

uint32_t srHexValue(const char* text) {
  uint32_t value = 0;
  for (;; text++) {
    char c = *text;
    uint32_t digit;
    if (c >= '0' && c <= '9')
      digit = (uint32_t)(c - '0');
    else if (c >= 'a' && c <= 'f')
      digit = (uint32_t)(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F')
      digit = (uint32_t)(c - 'A' + 10);
    else
      return value;
    value = value * 16u + digit;
  }
}

/* Copies text[in, ...) down to text[out, ...) up to the next "&" or the end, advancing both. */
static void srCopyToAmp(char* text, size_t* out, size_t* in) {
  size_t o = *out, i = *in;
  if (o == i) {
    i += srAmpOffset(text + i);
    o = i;
  } else {
    while (text[i] != '\0' && text[i] != '&') text[o++] = text[i++];
  }
  *out = o;
  *in = i;
}

/* The five named entities in one left-to-right sweep, with the result of five passes each
 * searching again from the beginning after every replacement ("&lt;", "&gt;", "&amp;",
 * "&quot;", "&apos;", in this order). Every entity starts with the only "&" it holds, so
 * decisions are taken at each "&" and what precedes it is final:
 * - "&lt;" and "&gt;" are replaced where they stand in the text; "<" and ">" take part in no
 *   entity, so nothing a later pass yields or removes can make or break one;
 * - otherwise the "&" begins "&amp;" exactly when "amp;" follows, and the "&" it yields stands
 *   at the ";" and is examined again, until no "amp;" follows;
 * - the surviving "&" then begins "&quot;" or "&apos;" exactly when "quot;" or "apos;" follows
 *   (those hold no "&", "<" or ">", so the following text is as the earlier passes left it).
 * A "&lt;" that "&amp;" yields therefore stays, as it does when its pass is over. */
static void srNamedEntitiesReplace(char* text) {
  size_t out = 0, in = 0;
  srCopyToAmp(text, &out, &in);
  while (text[in] != '\0') { /* text[in] is "&" */
    const char* after = text + in + 1;
    char replacement = '&';
    size_t consumed = 1;
    if (srSameBytes(after, "lt;", 3)) {
      replacement = '<';
      consumed = 4;
    } else if (srSameBytes(after, "gt;", 3)) {
      replacement = '>';
      consumed = 4;
    } else {
      while (srSameBytes(text + in + 1, "amp;", 4)) in += 4; /* the yielded "&" is at in */
      after = text + in + 1;
      if (srSameBytes(after, "quot;", 5)) {
        replacement = '"';
        consumed = 6;
      } else if (srSameBytes(after, "apos;", 5)) {
        replacement = '\'';
        consumed = 6;
      }
    }
    text[out++] = replacement;
    in += consumed;
    srCopyToAmp(text, &out, &in);
  }
  text[out] = '\0';
}

/* The seven decoding steps, in their order, in place. */
static void srEntitiesDecodeInPlace(char* text) {
  if (text[srAmpOffset(text)] == '\0') return; /* nothing to decode */
  srNamedEntitiesReplace(text);
  srHexCharRefsDecode(text);
  srDecCharRefsDecode(text);
}

char* srEntitiesDecode(char* text) {
  if (text != NULL) srEntitiesDecodeInPlace(text);
  return text;
}

/* ---- Tree -------------------------------------------------------------------------------- */

void srAttributesFree(SRAttribute* attribute) {
  while (attribute != NULL) {
    SRAttribute* next = attribute->next;
    srFree(attribute->name);
    srFree(attribute->value);
    free(attribute);
    attribute = next;
  }
}

/* A document comes from the parser whole, its root first in its arena. */
void srNodeFree(SRNode* node) {
  if (node != NULL) srArenaClose(srArenaOfFirst(node));
}

SRNode* srNodeChildAt(const SRNode* node, const char* name, int32_t index) {
  if (node == NULL || name == NULL || index < 0) return NULL;
  for (SRNode* child = node->children; child != NULL; child = child->next) {
    if (strcmp(child->name, name) != 0) continue;
    if (index == 0) return child;
    index--;
  }
  return NULL;
}

int32_t srNodeChildCount(const SRNode* node, const char* name) {
  if (node == NULL || name == NULL) return 0;
  int32_t count = 0;
  for (const SRNode* child = node->children; child != NULL; child = child->next)
    if (strcmp(child->name, name) == 0) count++;
  return count;
}

SRNode* srNodeChild(const SRNode* node, const char* name) {
  return srNodeChildAt(node, name, 0);
}

/* ---- Parsing ----------------------------------------------------------------------------- */

/* Reads the attributes from pos (a name character) up to the ">" of the start tag. Returns the
 * position of that ">", or NULL when the tag is malformed or unterminated. */
static char* srAttributesParse(SRArena* arena, SRNode* node, char* pos) {
  while (*pos != '>') {
    char* name_end = srNameEndFind(pos, NULL);
    if (name_end == NULL) return NULL;
    *name_end = '\0'; /* ends the name; the "=" normally standing here is consumed */
    char* value = srCharFind(name_end + 1, '"');
    if (value == NULL) return NULL;
    value++;
    char* close = srCharFind(value, '"');
    if (close == NULL) return NULL;
    *close = '\0';
    SRAttribute* attribute = (SRAttribute*)srArenaAlloc(arena, sizeof *attribute);
    if (attribute == NULL) return NULL;
    attribute->name = srArenaCopy(arena, pos, (size_t)(name_end - pos));
    attribute->value = srArenaCopy(arena, value, (size_t)(close - value));
    attribute->next = node->attributes;
    node->attributes = attribute;
    if (attribute->name == NULL || attribute->value == NULL) return NULL;
    pos = srNameOrTagEndFind(close + 1);
    if (pos == NULL) return NULL;
  }
  return pos;
}

/* One document being parsed: where its nodes go and where its text ends. */
typedef struct SRParse {
  SRArena* arena;
  const char* limit; /* the NUL that ends the text */
} SRParse;

/* The next c at or after p, as srCharFind, knowing where the text ends: the parser's own NULs
 * all lie behind the positions it searches from, so the library's memchr may run over whole
 * element texts at once. */
static char* srCharFindBefore(const SRParse* parse, char* p, char c) {
  return (char*)memchr(p, c, (size_t)(parse->limit - p));
}

static SRNode* srElementParseAt(const SRParse* parse, char* p, char** end, int depth);

/* Reads the content after the start tag's ">" at pos up to and past the matching end tag.
 * Returns the position just past the element, or NULL on failure. */
static char* srContentParse(const SRParse* parse, SRNode* node, char* pos, const char* name,
                            int32_t name_length, int depth) {
  char* text_start = pos + 1; /* only the data before the first "<" becomes the text */
  for (;;) {
    char* open = srCharFindBefore(parse, pos, '<');
    if (open == NULL) return NULL;
    if (text_start != NULL && open > text_start) {
      node->text = srArenaCopy(parse->arena, text_start, (size_t)(open - text_start));
      if (node->text == NULL) return NULL;
      srEntitiesDecodeInPlace(node->text);
    }
    char* q = open + 1;
    if (*q == '/') {
      int32_t length = 0;
      char* n = srNameStartFind(q);
      char* ne = n != NULL ? srNameEndFind(n, &length) : NULL;
      char* past = ne != NULL ? srTagEndFind(ne) : NULL;
      if (past == NULL || length != name_length || memcmp(n, name, (size_t)length) != 0)
        return NULL;
      node->children = srSiblingsReverse(node->children);
      return past;
    }
    char* after_child = NULL;
    SRNode* child = srElementParseAt(parse, q, &after_child, depth + 1);
    if (child == NULL) return NULL;
    child->next = node->children;
    node->children = child;
    pos = after_child;
    text_start = NULL;
  }
}

/* Parses one element into the arena; NULL on failure, leaving what it took in the arena. */
static SRNode* srElementParseAt(const SRParse* parse, char* p, char** end, int depth) {
  if (depth > SR_MARKUP_MAX_DEPTH) return NULL;
  int32_t name_length = 0;
  char* name = srNameStartFind(p);
  char* name_end = name != NULL ? srNameEndFind(name, &name_length) : NULL;
  if (name_end == NULL) return NULL;

  SRNode* node = (SRNode*)srArenaAlloc(parse->arena, sizeof *node);
  if (node == NULL) return NULL;
  node->name = srArenaCopy(parse->arena, name, (size_t)name_length);
  char* pos = srNameOrTagEndFind(name_end);
  if (node->name != NULL && pos != NULL) pos = srAttributesParse(parse->arena, node, pos);
  if (node->name == NULL || pos == NULL) return NULL;
  node->attributes = srAttributesReverse(node->attributes);

  if (pos[-1] == '/') { /* empty element: no text, no children */
    if (end != NULL) *end = pos + 1;
    return node;
  }
  /* The name is compared with the end tag's; the copy in node->name is exactly those bytes. */
  char* past = srContentParse(parse, node, pos, node->name, name_length, depth);
  if (past == NULL) return NULL;
  if (end != NULL) *end = past;
  return node;
}

/* Parses the element at p into a new arena whose first allocation is the element's node, as
 * srNodeFree expects; on failure the arena goes at once. */
static SRNode* srDocumentParse(char* p, char** end) {
  size_t length = strlen(p);
  SRParse parse = {srArenaOpen(length), p + length};
  if (parse.arena == NULL) return NULL;
  SRNode* root = srElementParseAt(&parse, p, end, 1);
  if (root == NULL) srArenaClose(parse.arena);
  return root;
}

SRNode* srElementParse(char* p, char** end) {
  if (p == NULL) return NULL;
  return srDocumentParse(p, end);
}

SRNode* srMarkupParse(char* text) {
  if (text == NULL) return NULL;
  char* open = srCharFind(text, '<');
  while (open != NULL && open[1] == '?') open = srCharFind(open + 1, '<');
  if (open == NULL) return NULL;
  return srDocumentParse(open + 1, NULL);
}
