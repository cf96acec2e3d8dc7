// Reply documents and bare contexts for tests that call the exchange steps directly.
#ifndef NRD_TESTS_PROTOCOLS_REPLY_DOC_H
#define NRD_TESTS_PROTOCOLS_REPLY_DOC_H

#include <initializer_list>
#include <string>
#include <vector>

#include "crypto.h"
#include "markup.h"
#include "sdk/SRSdk.h"
#include "sdk/markup_parser.h"
#include "support/sdk_handles.h"

using Elements = std::vector<std::pair<std::string, std::string>>;

// A reply document built by the dev server's own markup writer.
inline std::string Markup(const Elements& elements) {
  devserver::Reply reply;
  for (const auto& [name, text] : elements) reply.add(name, text);
  return reply.document();
}

// A reply document parsed by the SDK's own parser; release() hands it to a step that frees it.
class ReplyDoc {
 public:
  explicit ReplyDoc(std::initializer_list<std::pair<std::string, std::string>> elements) {
    std::string body = Markup(Elements(elements));
    node_.reset(srMarkupParse(body.data()));
  }
  const SRNode* get() const { return node_.get(); }
  SRNode* release() { return node_.release(); }

 private:
  NodePtr node_;
};

#endif
