#include "devserver_process.h"

#include <httplib.h>

#include <cstdlib>
#include <stdexcept>

#include "devserver_spawn.h"
#include "drive_root.h"
#include "wrapper/json_reply.h"

namespace qmt_e2e {

namespace fs = std::filesystem;

namespace {

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

DevServerProcess::DevServerProcess() : folder_(MakeServerFolder()) {
  const fs::path log = folder_ / "requests.log";
  WriteFile(folder_ / "settings.json", kSettings);
  std::string line;
  pid_ = StartServer({"--port", "0", "--db", ServerPath(folder_ / "sentrel.db"), "--config",
                      ServerPath(folder_ / "settings.json")},
                     log, folder_, line);
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
  StopServer(pid_);
  pid_ = -1;
  std::error_code ignored;
  fs::remove_all(folder_, ignored);
}

std::string DevServerProcess::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void DevServerProcess::ArmFault(const std::string& faultJson) const {
  httplib::Client client("127.0.0.1", port_);
  const auto answer = client.Put("/control/faults", faultJson, "application/json");
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
