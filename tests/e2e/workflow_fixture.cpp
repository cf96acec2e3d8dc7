#include "workflow_fixture.h"

#include <httplib.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include "support/log_entries.h"
#include "support/test_os.h"
#include "wrapper/json_reply.h"

namespace qmt_e2e {

namespace {

constexpr const char* kHostFolders[] = {"APP/qmt/GEN", "APP/qmt/BIN", "APP/qmt/log", "log"};

#ifdef _WIN32
// The host's folders on the real C: drive are emptied by every test: never outside Wine.
void RequireScratchDrive() {
  const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
  if (ntdll == nullptr || ::GetProcAddress(ntdll, "wine_get_version") == nullptr) {
    throw std::runtime_error("the end-to-end tests replace C:\\APP: they run under Wine only");
  }
}
#endif

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

DriveRoot::DriveRoot() : root_(qmt_test::MakeTempFolder("qmt-e2e-")) {
#ifdef _WIN32
  RequireScratchDrive();
  driveC_ = "C:/";
  std::error_code ignored;
  fs::remove_all(driveC_ / "APP", ignored);
  fs::remove_all(driveC_ / "log", ignored);
#else
  driveC_ = root_ / "C";
#endif
  for (const char* folder : kHostFolders) fs::create_directories(driveC_ / folder);
  if (const char* value = std::getenv("QMT_DRIVE_ROOT")) previousDriveRoot_ = value;
  qmt_test::SetEnv("QMT_DRIVE_ROOT", root_.string());
  previousDirectory_ = fs::current_path();
  MoveTo("APP/qmt/BIN");
}

void DriveRoot::MoveTo(const std::string& folder) {
  work_ = driveC_ / folder;
  fs::create_directories(work_);
  for (const char* logs : {"../log", "../../../log"}) {
    fs::create_directories((work_ / logs).lexically_normal());
  }
  fs::current_path(work_);
}

DriveRoot::~DriveRoot() {
  std::error_code ignored;
  fs::current_path(previousDirectory_, ignored);
  if (previousDriveRoot_) {
    qmt_test::SetEnv("QMT_DRIVE_ROOT", *previousDriveRoot_);
  } else {
    qmt_test::UnsetEnv("QMT_DRIVE_ROOT");
  }
  fs::remove_all(root_, ignored);
#ifdef _WIN32
  fs::remove_all(driveC_ / "APP", ignored);
  fs::remove_all(driveC_ / "log", ignored);
#endif
}

void DriveRoot::WritePin(const std::string& pin) const { WriteFile(pinFile(), pin); }

void WriteFile(const fs::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  ASSERT_TRUE(out.good()) << "cannot write " << path;
}

DevServerProcess::DevServerProcess(const std::vector<std::string>& extra)
    : folder_(MakeServerFolder()), extra_(extra) {
  WriteFile(folder_ / "settings.json", kSettings);
  Start(0);
}

void DevServerProcess::Start(int port) {
  std::string line;
  std::vector<std::string> arguments = {"--port", std::to_string(port), "--db",
                                        ServerPath(folder_ / "sentrel.db"), "--config",
                                        ServerPath(folder_ / "settings.json")};
  arguments.insert(arguments.end(), extra_.begin(), extra_.end());
  pid_ = StartServer(arguments, folder_ / "requests.log", folder_, line);
  port_ = std::atoi(line.c_str());
  if (port_ <= 0) {
    const std::string log = RequestLog();
    Stop();
    throw std::runtime_error("sentrel-devserver did not start: " + log);
  }
}

DevServerProcess::~DevServerProcess() { Stop(); }

void DevServerProcess::Stop() {
  StopServer(pid_);
  pid_ = -1;
  std::error_code ignored;
  fs::remove_all(folder_, ignored);
}

// The control token the server writes beside its database at start.
static httplib::Headers ControlHeaders(const fs::path& folder) {
  const std::string token = ReadFile(folder / "sentrel.db.control-token");
  return {{"Authorization", "Bearer " + token.substr(0, token.find('\n'))}};
}

void DevServerProcess::Control(const std::string& path, const std::string& json) const {
  httplib::Client client("127.0.0.1", port_);
  const auto answer = client.Put(path, ControlHeaders(folder_), json, "application/json");
  if (!answer || answer->status != 200) throw std::runtime_error(path + " refused " + json);
}

int DevServerProcess::ConnectionCount(const char* member) const {
  httplib::Client client("127.0.0.1", port_);
  const auto answer = client.Get("/control/connections", ControlHeaders(folder_));
  const size_t at = answer ? answer->body.find(std::string("\"") + member + "\":") : 0;
  if (!answer || at == std::string::npos) throw std::runtime_error("no connection count");
  return std::atoi(answer->body.c_str() + at + std::strlen(member) + 3);
}

void DevServerProcess::Restart() {
  StopServer(pid_);
  std::error_code ignored;  // a Windows start is told by these files, which must be new ones
  for (const char* file : {"pid", "stdout"}) fs::remove(folder_ / file, ignored);
  Start(port_);
}

std::string DevServerProcess::Login(const std::string& device, const std::string& otp) const {
  httplib::Client client("127.0.0.1", port_);
  const std::string body = R"({"device":")" + device + R"(","otp":")" + otp + R"("})";
  const auto answer = client.Put("/login", body, "application/json");
  return answer ? SRCppWrap::detail::JsonStringMember(answer->body, "status") : "";
}

void WorkflowTest::Configure(SRCppWrap::QmtSR& qmt, int enrollmentStatus) const {
  qmt.QmtSRInitialize(kUniqueKey, seedPath_, "C:\\APP\\qmt\\GEN\\Enrollment_Status.txt", "9.1",
                      server_.url(), "mac-1", "workstation-1", 10000, 0, "DEV-0001", "RRDI42",
                      enrollmentStatus);
  qmt.InitializeEnrollmenturls(server_.massEnrolmentUrl(), server_.checkEnrolmentUrl(), "", "",
                               "");
  qmt.InitQMTParameters("BIOS-77");
  qmt.InitializeProxyParameters("", "", "", 0, "");
}

std::string WorkflowTest::EnrolOrFail() {
  drive_.WritePin(kPin);
  SRCppWrap::QmtSR qmt;
  Configure(qmt, 0);
  bool reached = false;
  const int result = [&] {
    const QuietStdout quiet;
    return qmt.EnrollmentProcess(server_.massEnrolmentUrl(), kMessage, kUser, kPassword, reached);
  }();
  EXPECT_EQ(result, 1000) << server_.RequestLog();
  return LastLogged(EnrollmentLog(), "Login OTP: ");
}

std::string LastLogged(const std::string& log, const std::string& prefix) {
  const std::string mark = "] " + prefix;
  std::string found;
  for (size_t at = log.find(mark); at != std::string::npos; at = log.find(mark, at + 1)) {
    const size_t from = at + mark.size();
    const size_t end = log.find("\n[", from);
    found = log.substr(from, end == std::string::npos ? std::string::npos : end - from);
  }
  return found;
}

int CountLogged(const std::string& log, const std::string& message) {
  const std::string pid = std::to_string(qmt_test::ProcessId());
  int count = 0;
  for (size_t at = log.find("\n["); at != std::string::npos; at = log.find("\n[", at + 1)) {
    const size_t header = qmt_test::HeaderLength(log, at, pid);
    count += header != 0 && log.compare(at + header, message.size(), message) == 0 ? 1 : 0;
  }
  return count;
}

std::string ReplaceAll(std::string text, const std::string& value, const std::string& name) {
  if (value.empty()) return text;
  for (size_t at = text.find(value); at != std::string::npos; at = text.find(value, at)) {
    text.replace(at, value.size(), name);
    at += name.size();
  }
  return text;
}

std::string Unstamped(const std::string& log, const std::string& serverUrl) {
  const std::string pid = std::to_string(qmt_test::ProcessId());
  std::string text;
  for (size_t at = 0; at < log.size();) {
    const size_t header = qmt_test::HeaderLength(log, at, pid);
    text += header != 0 ? "\n[T] - [pid - P] " : log.substr(at, 1);
    at += header != 0 ? header : 1;
  }
  return ReplaceAll(text, serverUrl, "<server>");
}

std::string Normalised(const std::string& log, const std::string& serverUrl) {
  // The text after the first `key`, up to any of `ends`; "" when the key is absent.
  auto after = [](const std::string& text, const std::string& key, const char* ends) {
    const size_t at = text.find(key);
    if (at == std::string::npos) return std::string();
    const size_t from = at + key.size();
    return text.substr(from, text.find_first_of(ends, from) - from);
  };
  std::string text = Unstamped(log, serverUrl);
  for (size_t at = text.find("0.2.7&&"); at != std::string::npos; at = text.find("0.2.7&&", at)) {
    text.replace(at, text.find_first_of(" \n\"", at) - at, "<seed>");
  }
  // Each value is named where it first appears and replaced wherever it appears.
  text = ReplaceAll(text, after(text, "ment_code\":\"", "\""), "<code>");
  text = ReplaceAll(text, after(text, "Login OTP: ", "\n"), "<login>");
  return ReplaceAll(text, after(text, "OTP value: ", "\n"), "<otp>");
}

}  // namespace qmt_e2e
