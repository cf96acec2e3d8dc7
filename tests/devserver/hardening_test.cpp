// What a hostile local client can try against the dev server.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "login_guard.h"
#include "running_server.h"

namespace {

using devtest::Running;
namespace fs = std::filesystem;

// A bare TCP connection, for requests no HTTP client would send.
struct RawClient {
  explicit RawClient(int port) : fd(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const timeval timeout{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  }
  ~RawClient() { ::close(fd); }
  void send(const std::string& bytes) { ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
  // The status of what the server sends until it closes the connection (5 s at most).
  int status() {
    std::string reply;
    char buffer[4096];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) reply.append(buffer, n);
    return reply.compare(0, 9, "HTTP/1.1 ") == 0 ? std::atoi(reply.c_str() + 9) : 0;
  }
  const int fd;
};

std::string headers(size_t count, size_t valueLength) {
  std::string out;
  for (size_t i = 0; i < count; ++i)
    out += "X-F" + std::to_string(i) + ": " + std::string(valueLength, 'v') + "\r\n";
  return out;
}

std::string control(const std::string& headerLines, const char* method = "GET") {
  return std::string(method) + " /control/settings HTTP/1.1\r\nHost: t\r\nConnection: close\r\n" +
         headerLines + "Content-Length: 2\r\n\r\n{}";
}

void expectStatuses(const Running& server, const std::vector<std::pair<std::string, int>>& cases) {
  for (const auto& [request, status] : cases) {
    RawClient client(server.port());
    client.send(request);
    EXPECT_EQ(client.status(), status) << request.substr(0, 120);
  }
}

TEST(Hardening, RequestHeadsAndBodiesAreBounded) {
  Running server;
  const std::string token = "Authorization: Bearer " + server.controlToken() + "\r\n";
  expectStatuses(server,
                 {{control(headers(8000, 20)), 431},
                  {control(headers(1, 256 * 1024)), 431},
                  {control(headers(80, 4)), 431},
                  {"PUT /login HTTP/1.1\r\nContent-Length: 1000000\r\n\r\n{}", 413},
                  {"GET /srws/MAC?action=" + std::string(9000, 'a') + " HTTP/1.1\r\n\r\n", 414},
                  {control(token + headers(50, 100)), 200}});
}

TEST(Hardening, ControlNeedsTheBearerToken) {
  Running server;
  const std::string& token = server.controlToken();
  ASSERT_GE(token.size(), 32u);
  expectStatuses(
      server, {{control(""), 401},
               {control("", "PUT"), 401},
               {control("Authorization: Bearer " + std::string(token.size(), '0') + "\r\n"), 401},
               {control("Authorization: Bearer " + token.substr(1) + "\r\n"), 401},
               {control("Authorization: Basic " + token + "\r\n", "PUT"), 401},
               {control("Authorization: Bearer " + token + "\r\n", "PUT"), 200}});
}

TEST(Hardening, SlowClientsAreCutOffAndDoNotStarveOthers) {
  Running server(":memory:", [](devserver::ServerOptions& options) {
    options.limits.deadline = std::chrono::milliseconds(1000);
  });
  // More trickling clients than the default worker count, one header line per 100 ms for 2.5 s.
  std::vector<std::unique_ptr<RawClient>> slow;
  for (int i = 0; i < 12; ++i) {
    slow.push_back(std::make_unique<RawClient>(server.port()));
    slow.back()->send("GET /srws/MAC?action=ActionSetup HTTP/1.1\r\n");
  }
  std::thread trickle([&slow] {
    for (int round = 0; round < 25; ++round) {
      for (auto& client : slow) client->send("X-Slow: y\r\n");
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  httplib::Client client("127.0.0.1", server.port());
  client.set_read_timeout(1, 500000);
  const auto answer = client.Get("/srws/MAC?action=ActionSetup&mode=otp");
  trickle.join();
  ASSERT_TRUE(answer) << "a valid request waited behind the slow clients";
  EXPECT_EQ(answer->status, 200);
  for (auto& c : slow) EXPECT_EQ(c->status(), 408);
}

// The token file and the database hold secrets: owner only. The log hides codes and OTPs.
TEST(Hardening, FilesAreOwnerOnlyAndTheLogMasksSecrets) {
  const std::string db =
      (fs::temp_directory_path() / ("devserver-h-" + std::to_string(::getpid()) + ".db")).string();
  std::string body;
  testing::internal::CaptureStderr();  // the request log
  {
    Running server(db, [](devserver::ServerOptions& options) { options.log_requests = true; });
    body = server.put("/api/enrollmentinit", "{}")->body;
  }  // the log line is written once the request ends
  const std::string log = testing::internal::GetCapturedStderr();
  const std::string code = devtest::JsonStringMember(body, "enrolment_code");
  ASSERT_EQ(code.size(), 14u);
  EXPECT_EQ(log.find(code), std::string::npos) << log;
  EXPECT_EQ(log.find(devtest::JsonStringMember(body, "login_otp")), std::string::npos);
  EXPECT_NE(log.find("************" + code.substr(12)), std::string::npos);
  for (const std::string& path : {db, db + ".control-token"}) {
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0) << path;
    EXPECT_EQ(info.st_mode & 0777, 0600u) << path;
    fs::remove(path);
  }
}

TEST(Hardening, WrongLoginOtpsLockTheDevice) {
  Running server;
  devtest::SdkDevice device(server);
  ASSERT_EQ(device.Activate(devtest::Enrol(server)), SR_OK);
  ASSERT_EQ(device.Otp(1), SR_OK);
  const std::string prefix = R"({"device":")" + std::string(device.ctx()->device_id) + "\",";
  auto login = [&](const std::string& otp) {
    const auto answer = server.put(devserver::kLoginPath, prefix + R"("otp":")" + otp + "\"}");
    return devtest::JsonStringMember(answer->body, "status");
  };
  for (int i = 0; i < devserver::LoginGuard::kFreeAttempts; ++i) {
    EXPECT_EQ(login("00000000"), "INVALID_OTP") << i;
  }
  EXPECT_EQ(login(device.OtpText()), "LOCKED");  // even the right OTP
  ASSERT_EQ(server.remove("/control/login-locks")->status, 200);
  EXPECT_EQ(login(device.OtpText()), "OK");
}

TEST(Hardening, AStrangersSetupDoesNotCancelTheDevicesExchange) {
  Running server;
  devtest::SdkDevice device(server);
  ASSERT_EQ(device.Activate(devtest::Enrol(server)), SR_OK);
  ASSERT_EQ(device.OtpStart(1), SR_OK);
  // A stranger who knows the device id replays its setup and tries a finalize without proof.
  const std::string setup = device.lastRequest();
  ASSERT_EQ(devtest::ReplyText(server.get(setup)->body, "err"), "OK");
  std::string finalize = setup;
  finalize.replace(finalize.find("ActionSetup"), 11, "ActionFinalize");
  EXPECT_NE(devtest::ReplyText(server.get(finalize)->body, "err"), "OK");
  EXPECT_EQ(device.OtpFinalize(1), SR_OK);
}

TEST(Hardening, PendingChallengesExpire) {
  std::string error;
  auto store = devserver::Store::open(":memory:", error);
  store->addOtpChallenge("DV-1", {"c1", 1, 1120}, 1000);
  store->addOtpChallenge("DV-1", {"c2", 2, 1200}, 1000);
  EXPECT_EQ(store->otpChallenges("DV-1", 1119).size(), 2u);
  ASSERT_EQ(store->otpChallenges("DV-1", 1120).size(), 1u);
  EXPECT_EQ(store->otpChallenges("DV-1", 1120)[0].challenge, "c2");
}

}  // namespace
