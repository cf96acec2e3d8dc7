// Parsed reply documents and bare contexts for tests that call the exchange steps directly.
#ifndef NRD_TESTS_PROTOCOLS_REPLY_DOC_H
#define NRD_TESTS_PROTOCOLS_REPLY_DOC_H

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "fake_service.h"
#include "sdk/SRSdk.h"
#include "sdk/markup_parser.h"
#include "support/sdk_handles.h"

inline ContextPtr NewContext() {
  return ContextPtr(SRInit(0, "serial", "key", NoTransport, nullptr));
}

// A reply document parsed by the SDK's own parser; release() hands it to a step that frees it.
class ReplyDoc {
 public:
  explicit ReplyDoc(std::initializer_list<std::pair<std::string, std::string>> elements) {
    std::string body = fake::Markup(fake::Elements(elements));
    std::vector<char> writable(body.begin(), body.end());
    writable.push_back('\0');
    node_ = srMarkupParse(writable.data());
  }
  ~ReplyDoc() { srNodeFree(node_); }
  ReplyDoc(const ReplyDoc&) = delete;
  ReplyDoc& operator=(const ReplyDoc&) = delete;

  const SRNode* get() const { return node_; }
  SRNode* release() {
    SRNode* node = node_;
    node_ = nullptr;
    return node;
  }

 private:
  SRNode* node_;
};

#endif
