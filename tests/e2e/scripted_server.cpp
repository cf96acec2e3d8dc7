#include "scripted_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

namespace qmt_e2e {

namespace {

constexpr auto kLifetime = std::chrono::seconds(60);

// Waits up to 100 ms for `sock` to become readable.
bool Readable(int sock) {
  pollfd entry{sock, POLLIN, 0};
  return ::poll(&entry, 1, 100) > 0;
}

}  // namespace

ScriptedServer::ScriptedServer(Script script) : script_(std::move(script)) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listener_, 16) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    std::abort();
  }
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { Accept(); });
}

ScriptedServer::~ScriptedServer() {
  stop_ = true;
  acceptor_.join();
  for (std::thread& thread : threads_) thread.join();
  ::close(listener_);
}

std::vector<ScriptedServer::Request> ScriptedServer::requests() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void ScriptedServer::Accept() {
  const auto end = std::chrono::steady_clock::now() + kLifetime;
  int connections = 0;
  while (!stop_ && std::chrono::steady_clock::now() < end) {
    if (!Readable(listener_)) continue;
    const int sock = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (sock < 0) continue;
    const int connection = ++connections;
    threads_.emplace_back([this, sock, connection] { Serve(sock, connection); });
  }
  stop_ = true;
}

void ScriptedServer::Serve(int sock, int connection) {
  std::string buffer;
  char chunk[4096];
  while (!stop_) {
    const std::string::size_type headerEnd = buffer.find("\r\n\r\n");
    if (headerEnd == std::string::npos) {
      if (!Readable(sock)) continue;
      const ssize_t got = ::recv(sock, chunk, sizeof chunk, 0);
      if (got <= 0) break;
      buffer.append(chunk, static_cast<size_t>(got));
      continue;
    }
    const std::string head = buffer.substr(0, headerEnd);
    std::size_t bodyLength = 0;
    const std::string::size_type field = head.find("Content-Length: ");
    if (field != std::string::npos)
      bodyLength = std::strtoul(head.c_str() + field + 16, nullptr, 10);
    if (buffer.size() < headerEnd + 4 + bodyLength) {
      if (!Readable(sock)) continue;
      const ssize_t got = ::recv(sock, chunk, sizeof chunk, 0);
      if (got <= 0) break;
      buffer.append(chunk, static_cast<size_t>(got));
      continue;
    }
    buffer.erase(0, headerEnd + 4 + bodyLength);
    const std::string firstLine = head.substr(0, head.find(" HTTP/"));
    const Request request{connection, firstLine};
    int n = 0;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
      n = static_cast<int>(requests_.size());
    }
    if (script_ && !script_(n, request)) break;
    const std::string path = firstLine.substr(firstLine.find(' ') + 1);
    const std::string reply = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(path.size()) +
                              "\r\nContent-Type: text/plain\r\n\r\n" + path;
    if (::send(sock, reply.data(), reply.size(), MSG_NOSIGNAL) < 0) break;
  }
  ::close(sock);
}

}  // namespace qmt_e2e
