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
#include "support/naive_entities.h"

namespace {

int32_t NoTransport(const char*, int32_t, void*) {
  return 0;
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
    if (naive::Decode(body) != decoded) abort();
    free(decoded);
  }
  return 0;
}
