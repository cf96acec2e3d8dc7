// The query text of a service request: "&"-separated name=value items whose values are
// form-encoded by the client (letters and digits kept, space as "+", every other byte "%xx").
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace devserver {

// Decodes one form-encoded value: "+" is a space, "%xx" a byte (hex of either case).
// A "%" not followed by two hex digits gives nullopt.
std::optional<std::string> formDecode(std::string_view text);

// The part of a request target after its "?", or "" when there is none.
std::string_view queryOf(std::string_view target);

struct QueryItems {
  std::map<std::string, std::string> items;  // the first occurrence of a name wins
  std::string error;                         // non-empty when some item could not be decoded
};

// Splits and decodes a query text. Empty pieces ("&&") are skipped; an item without "="
// has the empty value.
QueryItems parseQuery(std::string_view query);

}  // namespace devserver
