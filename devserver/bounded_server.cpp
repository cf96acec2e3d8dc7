#include "bounded_server.h"

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

bool BoundedServer::process_and_close_socket(socket_t sock) {
  RequestStream stream(sock, limits_, svr_sock_);
  for (size_t n = 1; n <= limits_.requests_per_connection && stream.awaitRequest(); ++n) {
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
  return true;
}

}  // namespace devserver
