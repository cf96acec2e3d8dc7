#include "request_stream.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace devserver {

namespace {

// Chunk sizes, extensions and trailers of a chunked body get this much beyond max_body.
constexpr size_t kFramingAllowance = 16 * 1024;
// Waits are cut into slices so that a stopping server is noticed within one.
constexpr std::chrono::milliseconds kSlice{100};
// After a refusal, what the client still sends is read and dropped for this long (so the
// refusal is not lost to a reset), then the connection closes.
constexpr std::chrono::milliseconds kDrainTime{300};
constexpr size_t kDrainBytes = 1024 * 1024;

void addressOf(const sockaddr_storage& address, socklen_t length, std::string& ip, int& port) {
  char host[NI_MAXHOST] = "";
  char service[NI_MAXSERV] = "";
  if (getnameinfo(reinterpret_cast<const sockaddr*>(&address), length, host, sizeof host, service,
                  sizeof service, NI_NUMERICHOST | NI_NUMERICSERV) == 0) {
    ip = host;
    port = std::atoi(service);
  }
}

// The value of a Content-Length header line, 0 for any other line. A value too long to be a
// number counts as too large.
size_t declaredLength(std::string_view line) {
  static constexpr std::string_view kName = "content-length:";
  if (line.size() < kName.size()) return 0;
  for (size_t i = 0; i < kName.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(line[i])) != kName[i]) return 0;
  }
  const size_t digits = line.find_first_of("0123456789", kName.size());
  if (digits == std::string_view::npos) return 0;
  const size_t stop = line.find_first_not_of("0123456789", digits);
  const std::string_view number = line.substr(digits, stop - digits);
  return number.size() > 12 ? SIZE_MAX : std::stoull(std::string(number));
}

}  // namespace

HeadStatus checkHead(std::string_view data, const RequestLimits& limits, size_t& headEnd) {
  size_t start = 0;
  size_t lines = 0;
  for (;;) {
    const size_t end = data.find('\n', start);
    const size_t lineLength = (end == std::string_view::npos ? data.size() : end) - start;
    if (lines == 0 && lineLength > limits.max_request_line) return HeadStatus::LineTooLong;
    if (end == std::string_view::npos) break;
    if (end + 1 > limits.max_header_bytes) return HeadStatus::TooLarge;
    const bool empty = lineLength == 0 || (lineLength == 1 && data[start] == '\r');
    if (empty && lines > 0) {
      headEnd = end + 1;
      return HeadStatus::Complete;
    }
    if (lines > 0 && declaredLength(data.substr(start, lineLength)) > limits.max_body) {
      return HeadStatus::BodyTooLarge;
    }
    if (++lines > limits.max_header_count + 1) return HeadStatus::TooManyHeaders;
    start = end + 1;
  }
  return data.size() > limits.max_header_bytes ? HeadStatus::TooLarge : HeadStatus::Incomplete;
}

RequestStream::RequestStream(socket_t sock, const RequestLimits& limits,
                             const std::atomic<socket_t>& listening)
    : sock_(sock), limits_(limits), listening_(listening) {}

RequestStream::~RequestStream() {
  if (ssl_ == nullptr) return;
  SSL_shutdown(ssl_);  // one try: the socket is non-blocking and about to close
  SSL_free(ssl_);
}

bool RequestStream::acceptTls(SSL_CTX* context) {
  ssl_ = SSL_new(context);
  const int flags = ::fcntl(sock_, F_GETFL);
  if (ssl_ == nullptr || flags < 0 || ::fcntl(sock_, F_SETFL, flags | O_NONBLOCK) != 0 ||
      SSL_set_fd(ssl_, sock_) != 1) {
    return false;
  }
  const auto until = Clock::now() + limits_.deadline;
  for (;;) {
    const int done = SSL_accept(ssl_);
    if (done == 1) return true;
    const int error = SSL_get_error(ssl_, done);
    const short wait = error == SSL_ERROR_WANT_READ    ? POLLIN
                       : error == SSL_ERROR_WANT_WRITE ? POLLOUT
                                                       : 0;
    if (wait == 0 || !waitFor(wait, until)) return false;
  }
}

ssize_t RequestStream::receiveSome(char* data, size_t size, Clock::time_point until) {
  for (;;) {
    short wait = POLLIN;
    if (ssl_ == nullptr) {
      const ssize_t n = ::recv(sock_, data, size, MSG_DONTWAIT);
      if (n >= 0) return n;
      if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return -1;
    } else {
      const int n = SSL_read(ssl_, data, static_cast<int>(std::min<size_t>(size, INT32_MAX)));
      if (n > 0) return n;
      const int error = SSL_get_error(ssl_, n);
      if (error == SSL_ERROR_ZERO_RETURN) return 0;
      if (error == SSL_ERROR_WANT_WRITE) {
        wait = POLLOUT;
      } else if (error != SSL_ERROR_WANT_READ) {
        return -1;
      }
    }
    if (!waitFor(wait, until)) return -1;
  }
}

ssize_t RequestStream::sendSome(const char* data, size_t size, Clock::time_point until) {
  for (;;) {
    short wait = POLLOUT;
    if (ssl_ == nullptr) {
      const ssize_t n = ::send(sock_, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) return n;
      if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) return -1;
    } else {
      const int n = SSL_write(ssl_, data, static_cast<int>(std::min<size_t>(size, INT32_MAX)));
      if (n > 0) return n;
      const int error = SSL_get_error(ssl_, n);
      if (error == SSL_ERROR_WANT_READ) {
        wait = POLLIN;
      } else if (error != SSL_ERROR_WANT_WRITE) {
        return -1;
      }
    }
    if (!waitFor(wait, until)) return -1;
  }
}

// TLS may hold decrypted bytes the socket no longer shows as readable.
bool RequestStream::hasBuffered() const {
  return pos_ < buffer_.size() || (ssl_ != nullptr && SSL_pending(ssl_) > 0);
}

bool RequestStream::waitFor(short events, Clock::time_point until) const {
  for (;;) {
    if (listening_ == INVALID_SOCKET) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
    if (left.count() <= 0) return false;
    pollfd p{sock_, events, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(std::min(left, kSlice).count()));
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
}

ssize_t RequestStream::fill(size_t most) {
  char chunk[4096];
  const ssize_t n = receiveSome(chunk, std::min(most, sizeof chunk), deadline_);
  if (n > 0) buffer_.append(chunk, static_cast<size_t>(n));
  return n;
}

bool RequestStream::awaitRequest() {
  return hasBuffered() || waitFor(POLLIN, Clock::now() + limits_.keep_alive);
}

RequestStream::Start RequestStream::readHead() {
  deadline_ = Clock::now() + limits_.deadline;
  consumed_ = 0;
  for (;;) {
    size_t headEnd = 0;
    switch (checkHead(std::string_view(buffer_).substr(pos_), limits_, headEnd)) {
      case HeadStatus::Complete:
        budget_ = headEnd + limits_.max_body + kFramingAllowance;
        return Start::Ready;
      case HeadStatus::LineTooLong:
        return Start::LineTooLong;
      case HeadStatus::TooLarge:
        return Start::TooLarge;
      case HeadStatus::TooManyHeaders:
        return Start::TooManyHeaders;
      case HeadStatus::BodyTooLarge:
        return Start::BodyTooLarge;
      case HeadStatus::Incomplete:
        break;
    }
    // Never hold more than one byte past the limit: the next check refuses it.
    const size_t held = buffer_.size() - pos_;
    const ssize_t n = fill(limits_.max_header_bytes + 1 - std::min(held, limits_.max_header_bytes));
    if (n == 0) return Start::Closed;
    if (n < 0) return held == 0 ? Start::Closed : Start::TimedOut;
  }
}

void RequestStream::endRequest() {
  buffer_.erase(0, pos_);
  pos_ = 0;
}

void RequestStream::refuse(int status, const char* reason) {
  const std::string body = std::string(reason) + "\n";
  const std::string reply =
      "HTTP/1.1 " + std::to_string(status) + " " + reason +
      "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
      "\r\nConnection: close\r\n\r\n" + body;
  write(reply.data(), reply.size());
  if (ssl_ == nullptr) ::shutdown(sock_, SHUT_WR);
  const auto until = Clock::now() + kDrainTime;
  char sink[4096];
  for (size_t drained = 0; drained < kDrainBytes;) {
    const ssize_t n = receiveSome(sink, sizeof sink, until);
    if (n <= 0) break;
    drained += static_cast<size_t>(n);
  }
}

bool RequestStream::is_readable() const {
  return hasBuffered() || waitFor(POLLIN, deadline_);
}

bool RequestStream::is_writable() const {
  return waitFor(POLLOUT, Clock::now() + limits_.write_timeout);
}

ssize_t RequestStream::read(char* ptr, size_t size) {
  if (consumed_ >= budget_ || size == 0) return -1;
  if (pos_ == buffer_.size()) {
    endRequest();
    const ssize_t n = fill(budget_ - consumed_);
    if (n <= 0) return n;
  }
  const size_t n = std::min({size, buffer_.size() - pos_, budget_ - consumed_});
  std::memcpy(ptr, buffer_.data() + pos_, n);
  pos_ += n;
  consumed_ += n;
  return static_cast<ssize_t>(n);
}

ssize_t RequestStream::write(const char* ptr, size_t size) {
  for (size_t sent = 0; sent < size;) {
    const ssize_t n = sendSome(ptr + sent, size - sent, Clock::now() + limits_.write_timeout);
    if (n <= 0) return -1;
    sent += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(size);
}

void RequestStream::get_remote_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getpeername(sock_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    addressOf(address, length, ip, port);
  }
}

void RequestStream::get_local_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getsockname(sock_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    addressOf(address, length, ip, port);
  }
}

}  // namespace devserver
