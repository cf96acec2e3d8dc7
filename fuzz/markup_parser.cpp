// Reply parsing and lookups on arbitrary bodies, through the exchange's reply reader (which also
// collects warnings), plus the entity passes checked against a literal rendering of them: each
// pass searches again from the beginning after every replacement.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sdk/SRSdk.h"
#include "sdk/context.h"
#include "sdk/markup_parser.h"
#include "sdk/string_helpers.h"
#include "sdk/ws_exchange.h"

namespace {

int32_t NoTransport(const char*, int32_t, void*) {
  return 0;
}

std::string NaiveEntity(std::string text, const std::string& entity, const std::string& with) {
  for (size_t at; (at = text.find(entity)) != std::string::npos;)
    text = text.substr(0, at) + with + text.substr(at + entity.size());
  return text;
}

std::string NaiveRefs(std::string text, const std::string& prefix, bool hex) {
  for (;;) {
    size_t at = text.find(prefix);
    if (at == std::string::npos) return text;
    size_t semicolon = text.find(';', at);
    if (semicolon == std::string::npos) return text;
    std::string digits = text.substr(at + prefix.size());
    uint32_t value =
        hex ? srHexValue(digits.c_str()) : static_cast<uint32_t>(srAtoi(digits.c_str()));
    char byte = static_cast<char>(value & 0xFF);
    if (byte == 0) return text.substr(0, at);
    text = text.substr(0, at) + byte + text.substr(semicolon + 1);
  }
}

std::string NaiveDecode(std::string text) {
  text = NaiveEntity(text, "&lt;", "<");
  text = NaiveEntity(text, "&gt;", ">");
  text = NaiveEntity(text, "&amp;", "&");
  text = NaiveEntity(text, "&quot;", "\"");
  text = NaiveEntity(text, "&apos;", "'");
  text = NaiveRefs(text, "&#x", true);
  return NaiveRefs(text, "&#", false);
}

void Lookups(const SRNode* doc) {
  if (doc == nullptr) return;
  volatile size_t sink = strlen(srDocText(doc, "err"));
  for (const SRNode* child = doc->children; child != nullptr; child = child->next) {
    int32_t count = srNodeChildCount(doc, child->name);
    if (count < 1) abort();  // the child itself carries that name
    for (int32_t i = 0; i <= count && i < 8; i++) sink += strlen(srDocTextAt(doc, child->name, i));
    if (srNodeChildAt(doc, child->name, count) != nullptr) abort();
    for (const SRAttribute* a = child->attributes; a != nullptr; a = a->next)
      sink += strlen(a->name) + strlen(a->value);
  }
  (void)sink;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string body(reinterpret_cast<const char*>(data), size);
  body = body.c_str();  // a body is a NUL-terminated text: everything after a NUL is not seen

  static SRContext* ctx = SRInit(0, "serial", "key", NoTransport, nullptr);
  SRWsResponseSet(ctx, body.c_str());
  SRNode* doc = srReplyRead(ctx);
  Lookups(doc);
  srNodeFree(doc);
  srWarningsFree(ctx);

  if (body.size() <= 2048) {  // the literal rendering is quadratic
    char* decoded = srEntitiesDecode(strdup(body.c_str()));
    if (NaiveDecode(body) != decoded) abort();
    free(decoded);
  }
  return 0;
}
