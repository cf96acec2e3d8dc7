#include "wrapper/json_reply.h"

#include <rapidjson/document.h>

namespace SRCppWrap::detail {

std::string JsonStringMember(const std::string& reply, const char* name) {
  rapidjson::Document dom;  // default memory-pool allocator
  dom.Parse(reply.c_str());
  if (dom.HasParseError() || !dom.IsObject()) return "";
  const auto member = dom.FindMember(name);
  if (member == dom.MemberEnd() || !member->value.IsString()) return "";
  return std::string(member->value.GetString(), member->value.GetStringLength());
}

}  // namespace SRCppWrap::detail
