// One login OTP (GetOTPforAuthentication: seed file, SDK exchange, log, seed rewrite) against
// the dev server on loopback, next to the bare cost of the same two HTTP GETs made with libcurl
// alone against the same server. The ratio is the protocol's own cost on top of the transport.
// The replayed second GET carries a spent challenge, so the server refuses it after reading it;
// its answer is as short as a real one.
// Run: scripts/bench.sh (all benchmarks) or build/bench/bench_login_otp.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "QmtSR.h"
#include "sdk/SRSdk.h"
#include "server.h"
#include "timing_reporter.h"
#include "wrapper/ProcessState.h"
#include "wrapper/http_transport.h"

namespace {

namespace fs = std::filesystem;

constexpr char kPin[] = "2468";
constexpr char kSerial[] = "BENCH-DEV";
constexpr char kKey[] = "BENCH-KEY";

// Single-word names (the wrapper reads the seed up to its first white space) and no blocking
// after the replayed, refused exchanges.
constexpr char kSettings[] = R"({
  "services": [{"id": 1, "name": "Toolvex_login", "icon": "toolvex", "secure": "1",
                "connected": 1}],
  "messages": [],
  "pin_attempts": 0
})";

struct Bench {
  fs::path folder;
  fs::path previousDirectory;
  std::unique_ptr<devserver::DevServer> server;
  SRCppWrap::QmtSR qmt;
  std::vector<std::string> otpRequests;  // the two GETs of one OTP exchange
};

Bench* gBench = nullptr;

std::vector<std::string>* gRecorded = nullptr;

int32_t RecordingTransport(const char* url, int32_t timeout, void* user) {
  gRecorded->push_back(url);
  return SRCppWrap::detail::SdkTransport(url, timeout, user);
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Starts the server, enrols a workstation in a temporary installation, and records the URLs
// of one OTP exchange made with the same configuration. Returns an error text or "".
std::string Prepare(Bench& b) {
  // In memory when the machine offers it: the server's database commits then cost no disk
  // flushes, which would otherwise dominate both sides of the ratio.
  const fs::path base = fs::is_directory("/dev/shm") ? "/dev/shm" : fs::temp_directory_path();
  std::string pattern = (base / "qmt-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return "mkdtemp failed";
  b.folder = pattern;
  for (const char* folder : {"C/APP/qmt/GEN", "C/APP/qmt/BIN", "C/APP/qmt/log", "C/log"}) {
    fs::create_directories(b.folder / folder);
  }
  std::ofstream(b.folder / "settings.json") << kSettings;
  std::ofstream(b.folder / "C/APP/qmt/GEN/ToolvexPin.txt") << kPin;
  ::setenv("QMT_DRIVE_ROOT", b.folder.c_str(), 1);
  b.previousDirectory = fs::current_path();
  fs::current_path(b.folder / "C/APP/qmt/BIN");

  devserver::ServerOptions options;
  options.port = 0;
  options.db_path = (b.folder / "sentrel.db").string();
  options.config_path = (b.folder / "settings.json").string();
  options.log_requests = false;
  b.server = std::make_unique<devserver::DevServer>(options);
  std::string error;
  if (!b.server->open(error)) return "the dev server did not start: " + error;
  b.server->start();
  const std::string url = "http://127.0.0.1:" + std::to_string(b.server->port());

  b.qmt.QmtSRInitialize(kKey, "C:\\APP\\qmt\\GEN\\seed.data",
                        "C:\\APP\\qmt\\GEN\\Enrollment_Status.txt", "9.1", url, "", "bench", 10000,
                        0, kSerial, "RRDI", 0);
  b.qmt.InitializeEnrollmenturls(url + "/api/enrollmentinit", url + "/api/checkenrollment", "", "",
                                 "");
  bool reached = false;
  const int enrolled = b.qmt.EnrollmentProcess(url + "/api/enrollmentinit", R"({"rrdi":"R"})",
                                               "sentrel", "sentrel", reached);
  if (enrolled != 1000) return "the enrolment failed with " + std::to_string(enrolled);

  // The same exchange as GetOTPforAuthentication, with every URL recorded.
  gRecorded = &b.otpRequests;
  SRContext* context = SRInit(0, kSerial, kKey, RecordingTransport, nullptr);
  SRCppWrap::detail::AdoptContext(context);
  SRWsServerSet(context, url.c_str());
  SRHostVersionSet(context, "9.1");
  SRStorageDataSet(context, ReadText(b.folder / "C/APP/qmt/GEN/seed.data").c_str());
  const int started = SROnlineOtpStart(context, 0);
  const int finalized = started == 0 ? SROnlineOtpFinalize(context, 0, kPin) : started;
  gRecorded = nullptr;
  if (finalized != 0 || b.otpRequests.size() != 2) {
    return "the recorded exchange failed with " + std::to_string(finalized);
  }
  return "";
}

void Finish(Bench& b) {
  if (b.server) b.server->stop();
  std::error_code ignored;
  fs::current_path(b.previousDirectory, ignored);
  fs::remove_all(b.folder, ignored);
}

void BM_GetOTPforAuthentication(benchmark::State& state) {
  for (auto _ : state) {
    std::string otp;
    if (gBench->qmt.GetOTPforAuthentication(otp) != 0 || otp.empty()) {
      state.SkipWithError("no OTP");
      break;
    }
    benchmark::DoNotOptimize(otp);
  }
}
BENCHMARK(BM_GetOTPforAuthentication)->UseRealTime()->Unit(benchmark::kMillisecond);

size_t Collect(char* data, size_t size, size_t count, void* userdata) {
  static_cast<std::string*>(userdata)->append(data, size * count);
  return size * count;
}

void BM_BareTwoGets(benchmark::State& state) {
  for (auto _ : state) {
    for (const std::string& url : gBench->otpRequests) {
      std::string body;
      CURL* curl = curl_easy_init();
      curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
      curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
      curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
      if (curl_easy_perform(curl) != CURLE_OK) state.SkipWithError("GET failed");
      curl_easy_cleanup(curl);
      benchmark::DoNotOptimize(body);
    }
  }
}
BENCHMARK(BM_BareTwoGets)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  // The transport echoes every reply body on standard output: send that to /dev/null and the
  // report to the original standard output.
  std::fflush(stdout);
  const int reportFd = ::dup(STDOUT_FILENO);
  const int devNull = ::open("/dev/null", O_WRONLY);
  ::dup2(devNull, STDOUT_FILENO);
  ::close(devNull);
  std::ofstream report("/proc/self/fd/" + std::to_string(reportFd), std::ios::app);

  Bench bench;
  gBench = &bench;
  const std::string problem = Prepare(bench);
  if (!problem.empty()) {
    std::fprintf(stderr, "bench_login_otp: %s\n", problem.c_str());
    Finish(bench);
    return 1;
  }
  TimingReporter reporter;
  reporter.SetOutputStream(&report);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  const double otp = reporter.Real("BM_GetOTPforAuthentication");
  const double bare = reporter.Real("BM_BareTwoGets");
  if (otp > 0 && bare > 0)
    report << "Login OTP: real time ratio GetOTPforAuthentication / bare two GETs = " << otp / bare
           << "\n";
  Finish(bench);
  return 0;
}
