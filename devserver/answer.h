// What a request handler gives back to the HTTP layer.
#pragma once

#include <string>

namespace devserver {

struct Answer {
  int status = 200;
  std::string body;
  std::string result;  // one short text for the request log: the reply's result or the problem
};

}  // namespace devserver
