#include "bounded_server.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include "request_stream.h"

namespace devserver {

BoundedServer::BoundedServer(const RequestLimits& limits, RefusalLog refusalLog)
    : limits_(limits), refusalLog_(std::move(refusalLog)) {
  const size_t threads = limits_.worker_threads;
  new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
  set_payload_max_length(limits_.max_body);
}

BoundedServer::BoundedServer(const RequestLimits& limits, RefusalLog refusalLog,
                             const std::string& certPath, const std::string& keyPath)
    : BoundedServer(limits, std::move(refusalLog)) {
  tls_ = true;
  context_ = SSL_CTX_new(TLS_server_method());
  if (context_ != nullptr &&
      (SSL_CTX_use_certificate_chain_file(context_, certPath.c_str()) != 1 ||
       SSL_CTX_use_PrivateKey_file(context_, keyPath.c_str(), SSL_FILETYPE_PEM) != 1 ||
       SSL_CTX_check_private_key(context_) != 1)) {
    SSL_CTX_free(context_);
    context_ = nullptr;
  }
}

BoundedServer::~BoundedServer() {
  SSL_CTX_free(context_);
}

bool BoundedServer::process_and_close_socket(socket_t sock) {
  ++accepted_;
  ++open_;
  // A reply goes out in several writes; without this each one after the first waits for the
  // client's delayed acknowledgement (tens of milliseconds).
  const int noDelay = 1;
  ::setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
  RequestStream stream(sock, limits_, svr_sock_);
  const bool ready = !tls_ || stream.acceptTls(context_);
  for (size_t n = 1; ready && n <= limits_.requests_per_connection && stream.awaitRequest(); ++n) {
    int status = 0;
    const char* reason = "";
    const RequestStream::Start start = stream.readHead();
    switch (start) {
      case RequestStream::Start::Ready:
      case RequestStream::Start::Closed:
        break;
      case RequestStream::Start::TimedOut:
        status = 408;
        reason = "Request Timeout";
        break;
      case RequestStream::Start::LineTooLong:
        status = 414;
        reason = "URI Too Long";
        break;
      case RequestStream::Start::BodyTooLarge:
        status = 413;
        reason = "Payload Too Large";
        break;
      case RequestStream::Start::TooLarge:
      case RequestStream::Start::TooManyHeaders:
        status = 431;
        reason = "Request Header Fields Too Large";
        break;
    }
    if (status != 0) {
      stream.refuse(status, reason);
      if (refusalLog_) refusalLog_(status, reason);
    }
    if (start != RequestStream::Start::Ready) break;
    bool closed = false;
    if (!process_request(stream, n == limits_.requests_per_connection, closed, nullptr) || closed) {
      break;
    }
    stream.endRequest();
  }
  ::shutdown(sock, SHUT_RDWR);
  ::close(sock);
  --open_;
  return true;
}

}  // namespace devserver
