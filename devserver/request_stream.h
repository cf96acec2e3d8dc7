// One client connection read under RequestLimits: the request head is read and checked here
// before the HTTP library parses it, and every later read keeps to the request's deadline and
// body budget. Plain TCP, or TLS once acceptTls() succeeded.
#pragma once

#include <httplib.h>
#include <openssl/ssl.h>

#include <atomic>
#include <chrono>
#include <string>
#include <string_view>

#include "request_limits.h"

namespace devserver {

enum class HeadStatus {
  Complete,
  Incomplete,
  LineTooLong,     // 414
  TooLarge,        // 431: too many bytes
  TooManyHeaders,  // 431: too many lines
  BodyTooLarge,    // 413: a Content-Length over max_body (refused without waiting for it)
};

// Checks the start of a request (the bytes received so far). On Complete, headEnd is the
// offset just past the empty line that ends the head.
HeadStatus checkHead(std::string_view data, const RequestLimits& limits, size_t& headEnd);

class RequestStream : public httplib::Stream {
 public:
  enum class Start { Ready, Closed, TimedOut, LineTooLong, TooLarge, TooManyHeaders, BodyTooLarge };

  // listening: the server's listening socket, INVALID_SOCKET once it stops.
  RequestStream(socket_t sock, const RequestLimits& limits, const std::atomic<socket_t>& listening);
  ~RequestStream() override;
  RequestStream(const RequestStream&) = delete;
  RequestStream& operator=(const RequestStream&) = delete;

  // The TLS handshake, within the request deadline; false when it fails or takes longer.
  bool acceptTls(SSL_CTX* context);

  // Waits (at most the keep-alive time) for the next request on the connection.
  bool awaitRequest();
  // Reads the next request's head within the limits; its deadline starts now.
  Start readHead();
  // Drops what the last request consumed, keeping any pipelined bytes.
  void endRequest();
  // Answers a refused request with a short text and status, before the connection closes.
  void refuse(int status, const char* reason);

  bool is_readable() const override;
  bool is_writable() const override;
  ssize_t read(char* ptr, size_t size) override;
  ssize_t write(const char* ptr, size_t size) override;
  void get_remote_ip_and_port(std::string& ip, int& port) const override;
  void get_local_ip_and_port(std::string& ip, int& port) const override;
  socket_t socket() const override { return sock_; }

 private:
  using Clock = std::chrono::steady_clock;
  bool waitFor(short events, Clock::time_point until) const;
  // Receives what is there into buffer_ (at most `most` bytes); 0 on end, -1 on error/timeout.
  ssize_t fill(size_t most);
  // One receive or send, over TLS when there is a session, waiting until `until` at most.
  ssize_t receiveSome(char* data, size_t size, Clock::time_point until);
  ssize_t sendSome(const char* data, size_t size, Clock::time_point until);
  bool hasBuffered() const;

  socket_t sock_;
  const RequestLimits& limits_;
  const std::atomic<socket_t>& listening_;
  std::string buffer_;   // received, not yet consumed by the HTTP library
  size_t pos_ = 0;       // next byte of buffer_ to hand out
  size_t consumed_ = 0;  // bytes of this request handed out
  size_t budget_ = 0;    // most bytes this request may consume: head, body, chunk framing
  Clock::time_point deadline_;
  SSL* ssl_ = nullptr;
};

}  // namespace devserver
