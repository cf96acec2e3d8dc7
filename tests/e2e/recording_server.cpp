#include "recording_server.h"

#include <chrono>
#include <stdexcept>

namespace qmt_e2e {

RecordingServer::RecordingServer(int status, std::string body, int delayMillis)
    : status_(status), body_(std::move(body)), delayMillis_(delayMillis) {
  const auto handler = [this](const httplib::Request& request, httplib::Response& response) {
    Answer(request, response);
  };
  server_.Get(".*", handler);
  server_.Put(".*", handler);
  port_ = server_.bind_to_any_port("127.0.0.1");
  if (port_ <= 0) throw std::runtime_error("the test server cannot listen");
  thread_ = std::thread([this] { server_.listen_after_bind(); });
  // stop() only reaches a server whose accept loop runs; wait for it (a few milliseconds).
  for (int waited = 0; !server_.is_running() && waited < 5000; ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

RecordingServer::~RecordingServer() {
  server_.stop();
  thread_.join();
}

std::string RecordingServer::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

RecordedRequest RecordingServer::last() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return last_;
}

void RecordingServer::Answer(const httplib::Request& request, httplib::Response& response) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    last_ = {request.method,
             request.target,
             request.get_header_value("Content-Type"),
             request.get_header_value("Authorization"),
             request.get_header_value("User-Agent"),
             request.body,
             last_.count + 1};
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(delayMillis_));
  response.status = status_;
  response.set_content(body_, "application/json");
}

}  // namespace qmt_e2e
