#include "json_util.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace devserver {

std::string jsonStringObject(const JsonMembers& members) {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  writer.StartObject();
  for (const auto& [name, value] : members) {
    writer.Key(name.c_str(), static_cast<rapidjson::SizeType>(name.size()));
    writer.String(value.c_str(), static_cast<rapidjson::SizeType>(value.size()));
  }
  writer.EndObject();
  return buffer.GetString();
}

std::optional<std::map<std::string, std::string>> jsonStringMembers(std::string_view text) {
  rapidjson::Document doc;
  doc.Parse(text.data(), text.size());
  if (doc.HasParseError() || !doc.IsObject()) return std::nullopt;
  std::map<std::string, std::string> out;
  for (const auto& member : doc.GetObject()) {
    if (member.value.IsString()) {
      out.emplace(std::string(member.name.GetString(), member.name.GetStringLength()),
                  std::string(member.value.GetString(), member.value.GetStringLength()));
    }
  }
  return out;
}

}  // namespace devserver
