// A one-route HTTP server on 127.0.0.1 for the HTTP client tests: it answers every GET and
// PUT with a set status and body and remembers the last request.
#ifndef QMT_TESTS_E2E_RECORDING_SERVER_H
#define QMT_TESTS_E2E_RECORDING_SERVER_H

#include <httplib.h>

#include <mutex>
#include <string>
#include <thread>

namespace qmt_e2e {

struct RecordedRequest {
  std::string method;
  std::string target;  // path and query string as sent
  std::string contentType;
  std::string authorization;
  std::string userAgent;
  std::string body;
  int count = 0;  // requests seen so far
};

class RecordingServer {
 public:
  // `delayMillis` holds every answer back that long.
  RecordingServer(int status, std::string body, int delayMillis = 0);
  ~RecordingServer();
  RecordingServer(const RecordingServer&) = delete;
  RecordingServer& operator=(const RecordingServer&) = delete;

  std::string url(const std::string& path = "/") const;
  RecordedRequest last() const;

 private:
  void Answer(const httplib::Request& request, httplib::Response& response);

  int status_;
  std::string body_;
  int delayMillis_;
  int port_ = 0;
  mutable std::mutex mutex_;
  RecordedRequest last_;
  httplib::Server server_;
  std::thread thread_;
};

}  // namespace qmt_e2e

#endif
