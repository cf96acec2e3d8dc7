// cpp-httplib's server with every connection read through a RequestStream: the library parses
// and routes as usual, but only ever sees requests that keep to RequestLimits.
#pragma once

#include <httplib.h>

#include <functional>
#include <string>

#include "request_limits.h"

namespace devserver {

class BoundedServer : public httplib::Server {
 public:
  // Told of every request refused before the library saw it (status and reason).
  using RefusalLog = std::function<void(int status, const std::string& reason)>;

  BoundedServer(const RequestLimits& limits, RefusalLog refusalLog);

 private:
  bool process_and_close_socket(socket_t sock) override;

  RequestLimits limits_;
  RefusalLog refusalLog_;
};

}  // namespace devserver
