// cpp-httplib's server with every connection read through a RequestStream: the library parses
// and routes as usual, but only ever sees requests that keep to RequestLimits. Plain HTTP, or
// HTTPS with a PEM certificate and key.
#pragma once

#include <httplib.h>
#include <openssl/ssl.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "request_limits.h"

namespace devserver {

class BoundedServer : public httplib::Server {
 public:
  // Told of every request refused before the library saw it (status and reason).
  using RefusalLog = std::function<void(int status, const std::string& reason)>;

  BoundedServer(const RequestLimits& limits, RefusalLog refusalLog);
  // HTTPS: false (is_valid() too) when the certificate or the key cannot be used.
  BoundedServer(const RequestLimits& limits, RefusalLog refusalLog, const std::string& certPath,
                const std::string& keyPath);
  ~BoundedServer() override;
  BoundedServer(const BoundedServer&) = delete;
  BoundedServer& operator=(const BoundedServer&) = delete;

  bool is_valid() const override { return !tls_ || context_ != nullptr; }
  // Connections accepted since the start and those open now, the one asking included in both.
  uint64_t acceptedConnections() const { return accepted_; }
  uint64_t openConnections() const { return open_; }

 private:
  bool process_and_close_socket(socket_t sock) override;

  RequestLimits limits_;
  RefusalLog refusalLog_;
  bool tls_ = false;
  SSL_CTX* context_ = nullptr;
  std::atomic<uint64_t> accepted_{0}, open_{0};
};

}  // namespace devserver
