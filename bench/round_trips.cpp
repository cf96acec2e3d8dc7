// The workflows over a link with a real round-trip time: the dev server on HTTPS behind a
// loopback relay that delays every chunk by 25 ms each way (a 50 ms round trip), and a new
// connection's first bytes by one more round trip. A login OTP is timed next to libcurl
// making two GETs on one TLS connection through the same relay; before each, the relay drops
// its connections, as a server drops idle ones, so both sides pay a new connection. The rows
// also give the connections one enrolment and one login open, and their times in round trips.
// Run: scripts/bench.sh (all benchmarks) or build/bench/bench_round_trips.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "QmtSR.h"
#include "bench_installation.h"
#include "diverted_stdout.h"
#include "latency_relay.h"
#include "ratio_rows.h"
#include "server.h"

namespace {

namespace fs = std::filesystem;

constexpr std::chrono::milliseconds kOneWay{25};
constexpr double kRoundTripMs = 2.0 * 25;
constexpr char kSettings[] = R"({
  "services": [{"id": 1, "name": "Toolvex_login", "icon": "toolvex", "secure": "1",
                "connected": 1}],
  "messages": []
})";

struct Timed {
  std::vector<double> ms;
  std::vector<int> connections;
};

struct Bench {
  fs::path folder;
  std::unique_ptr<devserver::DevServer> server;
  std::unique_ptr<LatencyRelay> relay;
  std::string url;  // the relay's, in front of the dev server
  SRCppWrap::QmtSR qmt;
  Timed login, enrolment, bare;
};
Bench* gBench = nullptr;

std::string Prepare(Bench& b) {
  if (std::string error = qmt_bench::MakeInstallation("qmt-rtt", kSettings, "2468", b.folder);
      !error.empty()) {
    return error;
  }
  const std::string cert = (b.folder / "cert.pem").string(), key = (b.folder / "key.pem").string();
  const std::string makeCert =
      "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 "
      "-subj /CN=127.0.0.1 -keyout " +
      key + " -out " + cert + " 2>/dev/null";
  if (std::system(makeCert.c_str()) != 0) return "openssl could not make a certificate";

  devserver::ServerOptions options;
  options.port = 0;
  options.db_path = (b.folder / "sentrel.db").string();
  options.config_path = (b.folder / "settings.json").string();
  options.cert_path = cert;
  options.key_path = key;
  options.log_requests = false;
  b.server = std::make_unique<devserver::DevServer>(options);
  std::string error;
  if (!b.server->open(error)) return "the dev server did not start: " + error;
  b.server->start();
  b.relay = std::make_unique<LatencyRelay>(b.server->port(), kOneWay);
  if (!b.relay->Start()) return "the relay could not listen";
  b.url = "https://127.0.0.1:" + std::to_string(b.relay->port());
  b.qmt.QmtSRInitialize("BENCH-KEY", "C:\\APP\\qmt\\GEN\\seed.data",
                        "C:\\APP\\qmt\\GEN\\Enrollment_Status.txt", "9.1", b.url, "", "bench",
                        10000, 0, "BENCH-DEV", "RRDI", 0);
  b.qmt.InitializeEnrollmenturls(b.url + "/api/enrollmentinit", b.url + "/api/checkenrollment", "",
                                 "", "");
  return "";
}

// Runs one workflow on fresh connections; false when it failed.
template <typename Workflow>
bool TimeOnce(Timed& timed, Workflow workflow) {
  gBench->relay->DropConnections();
  const int before = gBench->relay->accepted();
  const auto start = std::chrono::steady_clock::now();
  const bool ok = workflow();
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
  timed.ms.push_back(took.count());
  timed.connections.push_back(gBench->relay->accepted() - before);
  return ok;
}

bool Enrol() {
  bool reached = false;
  SRCppWrap::QmtSR& qmt = gBench->qmt;
  qmt.SetEnrollmentStatus(0);  // a new enrolment of the same installation, from no seed
  fs::remove(gBench->folder / "C/APP/qmt/GEN/seed.data");
  return qmt.EnrollmentProcess(gBench->url + "/api/enrollmentinit", R"({"rrdi":"R"})", "sentrel",
                               "sentrel", reached) == 1000;
}

bool Login() {
  std::string otp;
  return gBench->qmt.GetOTPforAuthentication(otp) == 0 && otp.size() == 8;
}

size_t Ignore(char*, size_t size, size_t count, void*) {
  return size * count;
}

// Two GETs of the service on one easy handle: the second reuses the first's connection.
bool TwoGets() {
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_URL,
                   (gBench->url + "/srws/MAC?action=ActionSetup&mode=otp").c_str());
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Ignore);
  const bool ok = curl_easy_perform(curl) == CURLE_OK && curl_easy_perform(curl) == CURLE_OK;
  curl_easy_cleanup(curl);
  return ok;
}

void BM_EnrolmentOverRoundTrips(benchmark::State& state) {
  for ([[maybe_unused]] auto _ : state) {
    if (!TimeOnce(gBench->enrolment, Enrol)) state.SkipWithError("the enrolment failed");
  }
}
BENCHMARK(BM_EnrolmentOverRoundTrips)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// A login and the two bare GETs in turn, alternating which goes first.
void BM_LoginVsTwoGetsOverRoundTrips(benchmark::State& state) {
  bool loginFirst = true;
  for ([[maybe_unused]] auto _ : state) {
    for (const bool loginNow : {loginFirst, !loginFirst}) {
      if (!(loginNow ? TimeOnce(gBench->login, Login) : TimeOnce(gBench->bare, TwoGets))) {
        state.SkipWithError("no OTP or a GET failed");
      }
    }
    loginFirst = !loginFirst;
  }
}
BENCHMARK(BM_LoginVsTwoGetsOverRoundTrips)
    ->Iterations(6)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

template <typename T>
double Median(std::vector<T> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return static_cast<double>(values[values.size() / 2]);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  DivertedStdout out;
  std::ostringstream& report = out.report;

  Bench bench;
  gBench = &bench;
  const fs::path previousDirectory = fs::current_path();
  std::string problem = Prepare(bench);
  if (problem.empty() && !Enrol()) problem = "the first enrolment failed";
  if (problem.empty()) {
    benchmark::ConsoleReporter reporter;
    reporter.SetOutputStream(&report);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const std::string rtt = " over a 50 ms round trip (HTTPS)";
    WriteRatioRow({"one login OTP" + rtt, Median(bench.login.ms),
                   "libcurl: 2 GETs, 1 TLS connection", Median(bench.bare.ms), "ms", 1.10},
                  report);
    WriteRatioRow({"connections of one enrolment (one host)", Median(bench.enrolment.connections),
                   "one connection", 1, "n", 1.00},
                  report);
    WriteRatioRow({"connections of one login OTP", Median(bench.login.connections),
                   "one connection", 1, "n", 1.00},
                  report);
    // Shown for information: the ratios are the workflows' times in round trips.
    WriteRatioRow(
        {"enrolment" + rtt, Median(bench.enrolment.ms), "one round trip", kRoundTripMs, "ms", 0},
        report);
    WriteRatioRow(
        {"login OTP" + rtt, Median(bench.login.ms), "one round trip", kRoundTripMs, "ms", 0},
        report);
  }
  if (bench.relay) bench.relay->Stop();
  if (bench.server) bench.server->stop();
  std::error_code ignored;
  fs::current_path(previousDirectory, ignored);
  fs::remove_all(bench.folder, ignored);
  if (!problem.empty()) std::fprintf(stderr, "bench_round_trips: %s\n", problem.c_str());
  return problem.empty() ? 0 : 1;
}
