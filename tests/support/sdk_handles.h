// Owning handles for SDK records and texts in tests, a transport that never answers, and a
// bare context to set texts in.
#ifndef NRD_TESTS_SUPPORT_SDK_HANDLES_H
#define NRD_TESTS_SUPPORT_SDK_HANDLES_H

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "sdk/SRSdk.h"
#include "sdk/markup_parser.h"
#include "sdk/string_helpers.h"

struct ContextDeleter {
  void operator()(SRContext* ctx) const { SRContextFree(ctx); }
};
using ContextPtr = std::unique_ptr<SRContext, ContextDeleter>;

struct NodeDeleter {
  void operator()(SRNode* node) const { srNodeFree(node); }
};
using NodePtr = std::unique_ptr<SRNode, NodeDeleter>;

// A text the SDK allocated, as a string; the text is freed.
inline std::string Take(char* text) {
  std::string copy = text != nullptr ? text : "<NULL>";
  std::free(text);
  return copy;
}

inline int32_t NoTransport(const char*, int32_t, void*) {
  return 0;
}

inline ContextPtr NewContext() {
  return ContextPtr(SRInit(0, "serial", "key", NoTransport, nullptr));
}

// Sets one of a record's SDK-owned texts.
inline void SetText(char*& field, const char* value) {
  field = srStrReplace(field, srStrDup(value));
}

#endif
