#include "markup.h"

namespace devserver {

std::string markupEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

Reply& Reply::add(std::string_view name, std::string_view text) {
  children_ += '<';
  children_ += name;
  children_ += '>';
  children_ += markupEscape(text);
  children_ += "</";
  children_ += name;
  children_ += ">\n";
  return *this;
}

Reply& Reply::add(std::string_view name, int64_t number) {
  return add(name, std::to_string(number));
}

Reply& Reply::warning(std::string_view code, const std::vector<std::string>& args) {
  children_ += "<warning><code>" + markupEscape(code) + "</code>";
  for (const auto& arg : args) children_ += "<arg>" + markupEscape(arg) + "</arg>";
  children_ += "</warning>\n";
  return *this;
}

std::string Reply::document() const {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<srws>\n" + children_ + "</srws>\n";
}

}  // namespace devserver
