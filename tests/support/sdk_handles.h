// Owning handles for SDK records and texts in tests, and a transport that never answers.
#ifndef NRD_TESTS_SUPPORT_SDK_HANDLES_H
#define NRD_TESTS_SUPPORT_SDK_HANDLES_H

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "sdk/SRSdk.h"
#include "sdk/markup_parser.h"

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

#endif
