// Builds the markup document that answers a service request: one root element whose child
// elements carry the values as text, repeated elements listed in order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace devserver {

class Reply {
 public:
  Reply& add(std::string_view name, std::string_view text);
  Reply& add(std::string_view name, int64_t number);
  // A "warning" element with a "code" child and one "arg" child per argument.
  Reply& warning(std::string_view code, const std::vector<std::string>& args);

  std::string document() const;

 private:
  std::string children_;
};

// Escapes the five markup-special characters of element text.
std::string markupEscape(std::string_view text);

}  // namespace devserver
