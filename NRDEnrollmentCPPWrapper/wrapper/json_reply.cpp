#include "wrapper/json_reply.h"

#include <rapidjson/document.h>

namespace SRCppWrap::detail {

std::string JsonStringMember(const std::string& reply, const char* name) {
  rapidjson::Document dom;  // default memory-pool allocator
  // Iterative: a deeply nested hostile reply cannot exhaust the host's stack.
  dom.Parse<rapidjson::kParseIterativeFlag>(reply.c_str());
  if (dom.HasParseError() || !dom.IsObject()) return "";
  const auto member = dom.FindMember(name);
  if (member == dom.MemberEnd() || !member->value.IsString()) return "";
  // A "\u0000" in the value ends it, as it ends a C text.
  return member->value.GetString();
}

bool IsJsonDocument(const std::string& reply) {
  rapidjson::Document dom;
  dom.Parse<rapidjson::kParseIterativeFlag>(reply.c_str());
  return !dom.HasParseError();
}

}  // namespace SRCppWrap::detail
