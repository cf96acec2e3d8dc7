// The bounds every request of sentrel-devserver must keep, in bytes and in time, so that floods
// and slow clients cannot take its memory or its worker threads.
#pragma once

#include <chrono>
#include <cstddef>

namespace devserver {

struct RequestLimits {
  size_t max_request_line = 8192;   // method, target and version: 414 beyond
  size_t max_header_bytes = 16384;  // request line and headers together: 431 beyond
  size_t max_header_count = 64;     // header lines: 431 beyond
  size_t max_body = 64 * 1024;      // 413 beyond (chunk framing gets a little more room)
  // From the first byte of a request to the last byte of its body, however slowly it comes.
  std::chrono::milliseconds deadline{10000};
  std::chrono::milliseconds keep_alive{2000};  // idle wait for the next request on a connection
  std::chrono::milliseconds write_timeout{5000};
  size_t requests_per_connection = 100;
  // Each connection holds one thread while it is served: enough that a few dozen slow clients,
  // each cut off at the deadline, leave threads for everyone else.
  size_t worker_threads = 64;
};

}  // namespace devserver
