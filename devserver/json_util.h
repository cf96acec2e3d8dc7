// Small JSON helpers for the back end's flat request and reply objects.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace devserver {

using JsonMembers = std::vector<std::pair<std::string, std::string>>;

// {"name":"value",...} with proper escaping, members in the given order.
std::string jsonStringObject(const JsonMembers& members);

// The string members of a JSON object; members of other types are left out. nullopt when the
// text is not a JSON object.
std::optional<std::map<std::string, std::string>> jsonStringMembers(std::string_view text);

}  // namespace devserver
