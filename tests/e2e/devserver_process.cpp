#include "devserver_process.h"

#include <fcntl.h>
#include <httplib.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "drive_root.h"
#include "wrapper/json_reply.h"

namespace qmt_e2e {

namespace fs = std::filesystem;

namespace {

// Reads the first line the child writes on the pipe, waiting at most `millis`.
std::string FirstLine(int fd, int millis) {
  std::string line;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(millis);
  while (line.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd readable{fd, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&readable, 1, static_cast<int>(left.count())) <= 0) break;
    char buffer[64];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    line.append(buffer, static_cast<std::size_t>(n));
  }
  return line.substr(0, line.find('\n'));
}

// The wrapper reads the seed file up to its first white space, and the seed carries service
// names and message texts as the service sends them: keep them to single words.
constexpr char kSettings[] = R"({
  "services": [
    {"id": 1, "name": "Toolvex_login", "icon": "toolvex", "secure": "1", "connected": 1},
    {"id": 2, "name": "Workshop_portal", "icon": "portal", "secure": "1", "connected": 1,
     "url": "http://127.0.0.1/portal"}
  ],
  "messages": [
    {"id": 1, "title": "Welcome", "content": "Enrolled_with_the_development_service", "ack": 0}
  ]
})";

}  // namespace

DevServerProcess::DevServerProcess() {
  std::string pattern = (fs::temp_directory_path() / "qmt-devserver-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  folder_ = pattern;
  const std::string db = (folder_ / "sentrel.db").string();
  const std::string log = (folder_ / "requests.log").string();
  const std::string config = (folder_ / "settings.json").string();
  WriteFile(config, kSettings);

  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  pid_ = ::fork();
  if (pid_ == 0) {
    const int err = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out[1], STDOUT_FILENO);
    if (err >= 0) ::dup2(err, STDERR_FILENO);
    ::execl(SENTREL_DEVSERVER_PATH, SENTREL_DEVSERVER_PATH, "--port", "0", "--db", db.c_str(),
            "--config", config.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(out[1]);
  const std::string line = pid_ > 0 ? FirstLine(out[0], 20000) : "";
  ::close(out[0]);
  port_ = std::atoi(line.c_str());
  if (port_ <= 0) {
    const std::string log = RequestLog();
    Stop();
    throw std::runtime_error("sentrel-devserver did not start: " + log);
  }
}

DevServerProcess::~DevServerProcess() {
  Stop();
}

void DevServerProcess::Stop() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    bool ended = false;
    for (int waited = 0; waited < 500 && !ended; ++waited) {
      ended = ::waitpid(pid_, &status, WNOHANG) == pid_;
      if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!ended) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
    }
    pid_ = -1;
  }
  std::error_code ignored;
  fs::remove_all(folder_, ignored);
}

std::string DevServerProcess::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void DevServerProcess::ArmFault(const std::string& faultJson) const {
  // The server writes its control token beside the database at start.
  std::string token = ReadFile(folder_ / "sentrel.db.control-token").value_or("");
  token = token.substr(0, token.find('\n'));
  httplib::Client client("127.0.0.1", port_);
  const auto answer = client.Put("/control/faults", {{"Authorization", "Bearer " + token}},
                                 faultJson, "application/json");
  if (!answer || answer->status != 200) {
    throw std::runtime_error("the fault was not armed: " + faultJson);
  }
}

std::string DevServerProcess::Login(const std::string& device, const std::string& otp) const {
  httplib::Client client("127.0.0.1", port_);
  const std::string body = R"({"device":")" + device + R"(","otp":")" + otp + R"("})";
  const auto answer = client.Put("/login", body, "application/json");
  return answer ? SRCppWrap::detail::JsonStringMember(answer->body, "status") : "";
}

std::string DevServerProcess::RequestLog() const {
  return ReadFile(folder_ / "requests.log").value_or("");
}

}  // namespace qmt_e2e
