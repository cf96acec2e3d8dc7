// One login OTP (GetOTPforAuthentication: seed file, SDK exchange, log, seed rewrite) next to
// the bare cost of the same two HTTP GETs made with libcurl alone.
//
// The fair pair talks to a loopback server that answers both with the same bytes, recorded once
// from a real exchange with the dev server, so the ratio is the client's own cost (SDK, crypto,
// log entries, seed and PIN files, transport set-up) on top of the transport.
//
// The second pair runs against the dev server itself and is kept as a labelled figure only: the
// server does the real work (RSA, database) for the library's exchange, while the replayed
// second bare GET carries a spent challenge and is refused early.
// Run: scripts/bench.sh (all benchmarks) or build/bench/bench_login_otp.
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
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "QmtSR.h"
#include "bench_installation.h"
#include "diverted_stdout.h"
#include "ratio_rows.h"
#include "recorded_replies.h"
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

// One GET of the OTP exchange as the dev server answered it.
struct Exchange {
  std::string url;
  std::string reply;  // the whole HTTP response: status line, headers, body
};

struct Bench {
  fs::path folder;
  fs::path previousDirectory;
  std::unique_ptr<devserver::DevServer> server;
  RecordedReplies recorded;
  SRCppWrap::QmtSR qmt;               // configured for the dev server
  SRCppWrap::QmtSR recordedQmt;       // the same installation, configured for the recorded replies
  std::vector<Exchange> otpExchange;  // the two GETs of one OTP exchange
  std::vector<std::string> recordedUrls;  // the same GETs sent to the recorded replies
  std::string seedAfterEnrolment;
};

Bench* gBench = nullptr;

size_t Collect(char* data, size_t size, size_t count, void* userdata) {
  static_cast<std::string*>(userdata)->append(data, size * count);
  return size * count;
}

SRContext* gRecordingContext = nullptr;

// The SDK's transport for the recorded exchange: one GET whose whole response is kept.
int32_t RecordingTransport(const char* url, int32_t /*timeout*/, void* /*user*/) {
  Exchange exchange{url, ""};
  std::string body;
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_URL, url);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, Collect);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &exchange.reply);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  const CURLcode result = curl_easy_perform(curl);
  curl_easy_cleanup(curl);
  if (result != CURLE_OK) return 0;
  exchange.reply += body;
  SRWsResponseSet(gRecordingContext, body.c_str());
  gBench->otpExchange.push_back(exchange);
  return 0;
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Starts the server, enrols a workstation in a temporary installation, records one OTP
// exchange made with the same configuration and serves its replies. Returns an error text or "".
std::string Prepare(Bench& b) {
  b.previousDirectory = fs::current_path();
  if (std::string error = qmt_bench::MakeInstallation("qmt-bench", kSettings, kPin, b.folder);
      !error.empty()) {
    return error;
  }

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

  // The same exchange as GetOTPforAuthentication, with every request and reply recorded.
  b.seedAfterEnrolment = ReadText(b.folder / "C/APP/qmt/GEN/seed.data");
  SRContext* context = SRInit(0, kSerial, kKey, RecordingTransport, nullptr);
  gRecordingContext = context;
  SRCppWrap::detail::AdoptContext(context);
  SRWsServerSet(context, url.c_str());
  SRHostVersionSet(context, "9.1");
  SRStorageDataSet(context, b.seedAfterEnrolment.c_str());
  const int started = SROnlineOtpStart(context, 0);
  const int finalized = started == 0 ? SROnlineOtpFinalize(context, 0, kPin) : started;
  gRecordingContext = nullptr;
  if (finalized != 0 || b.otpExchange.size() != 2) {
    return "the recorded exchange failed with " + std::to_string(finalized);
  }

  // The two requests differ by their action; each gets its recorded reply.
  b.recorded.Add("action=ActionSetup", b.otpExchange[0].reply);
  b.recorded.Add("action=ActionFinalize", b.otpExchange[1].reply);
  if (!b.recorded.Start()) return "the recorded replies could not be served";
  const std::string recordedUrl = "http://127.0.0.1:" + std::to_string(b.recorded.Port());
  for (const Exchange& exchange : b.otpExchange)
    b.recordedUrls.push_back(recordedUrl + exchange.url.substr(url.size()));
  b.recordedQmt.QmtSRInitialize(kKey, "C:\\APP\\qmt\\GEN\\seed.data",
                                "C:\\APP\\qmt\\GEN\\Enrollment_Status.txt", "9.1", recordedUrl, "",
                                "bench", 10000, 0, kSerial, "RRDI", 0);
  return "";
}

// Puts back the seed of the enrolment, so each pair starts from the state the server knows.
void RestoreSeed(const Bench& b) {
  std::ofstream(b.folder / "C/APP/qmt/GEN/seed.data", std::ios::binary) << b.seedAfterEnrolment;
}

// Entries ("\n[" + time stamp) in every log file of the installation.
size_t LogEntries(const Bench& b) {
  size_t entries = 0;
  for (const auto& file : fs::recursive_directory_iterator(b.folder / "C")) {
    if (!file.is_regular_file() || file.path().extension() != ".log") continue;
    const std::string text = ReadText(file.path());
    for (size_t at = text.find("\n["); at != std::string::npos; at = text.find("\n[", at + 1))
      entries++;
  }
  return entries;
}

// How many log entries one login writes.
size_t LogEntriesOfOneLogin(Bench& b) {
  const size_t before = LogEntries(b);
  std::string otp;
  b.recordedQmt.GetOTPforAuthentication(otp);
  return LogEntries(b) - before;
}

void Finish(Bench& b) {
  b.recorded.Stop();
  if (b.server) b.server->stop();
  std::error_code ignored;
  fs::current_path(b.previousDirectory, ignored);
  fs::remove_all(b.folder, ignored);
}

bool Login(SRCppWrap::QmtSR& qmt) {
  std::string otp;
  const bool made = qmt.GetOTPforAuthentication(otp) == 0 && !otp.empty();
  benchmark::DoNotOptimize(otp);
  return made;
}

bool BareGets(const std::vector<std::string>& urls) {
  bool fetched = true;
  for (const std::string& url : urls) {
    std::string body;
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    fetched = curl_easy_perform(curl) == CURLE_OK && fetched;
    curl_easy_cleanup(curl);
    benchmark::DoNotOptimize(body);
  }
  return fetched;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Wall times, in microseconds, of the two sides of a pair, from every run of its benchmark.
struct PairTimes {
  std::vector<double> login;
  std::vector<double> bare;
};
PairTimes gRecordedPair;
PairTimes gDevServerPair;

// Each iteration runs one login and the two bare GETs, alternating which goes first, so both
// sides meet the same load from the rest of the machine.
void LoginAgainstBareGets(benchmark::State& state, SRCppWrap::QmtSR& qmt,
                          const std::vector<std::string>& urls, PairTimes& times) {
  RestoreSeed(*gBench);
  bool loginFirst = true;
  for ([[maybe_unused]] auto _ : state) {
    for (const bool loginNow : {loginFirst, !loginFirst}) {
      const auto start = std::chrono::steady_clock::now();
      if (!(loginNow ? Login(qmt) : BareGets(urls))) state.SkipWithError("no OTP or GET failed");
      const std::chrono::duration<double, std::micro> took =
          std::chrono::steady_clock::now() - start;
      (loginNow ? times.login : times.bare).push_back(took.count());
    }
    loginFirst = !loginFirst;
  }
  state.counters["login_us"] = Median(times.login);
  state.counters["bare_us"] = Median(times.bare);
}

void BM_LoginVsBareGetsRecorded(benchmark::State& state) {
  LoginAgainstBareGets(state, gBench->recordedQmt, gBench->recordedUrls, gRecordedPair);
}
BENCHMARK(BM_LoginVsBareGetsRecorded)->UseRealTime()->Unit(benchmark::kMicrosecond);

// One entry of the wrapper's log, which opens, appends to and closes its file every time.
void BM_LogEntry(benchmark::State& state) {
  for ([[maybe_unused]] auto _ : state)
    gBench->recordedQmt.SRWrapperEnrollmentAuthLogEntry("Seed value persisted");
}
BENCHMARK(BM_LogEntry)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_LoginVsBareGetsDevServer(benchmark::State& state) {
  std::vector<std::string> urls;
  for (const Exchange& exchange : gBench->otpExchange) urls.push_back(exchange.url);
  LoginAgainstBareGets(state, gBench->qmt, urls, gDevServerPair);
}
BENCHMARK(BM_LoginVsBareGetsDevServer)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  DivertedStdout out;
  std::ostringstream& report = out.report;

  Bench bench;
  gBench = &bench;
  const std::string problem = Prepare(bench);
  if (!problem.empty()) {
    std::fprintf(stderr, "bench_login_otp: %s\n", problem.c_str());
    Finish(bench);
    return 1;
  }
  const size_t entries = LogEntriesOfOneLogin(bench);
  TimingReporter reporter;
  reporter.SetOutputStream(&report);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  // Shown for information: on loopback a login's floor is its file work (each log entry
  // opens, appends to and closes its file; the seed is written with a flush), not the GETs.
  WriteRatioRow({"one login OTP on loopback, recorded replies", Median(gRecordedPair.login),
                 "two bare libcurl GETs", Median(gRecordedPair.bare), "us", 0},
                report);
  // Shown for information: what the log entries of one login cost, next to the transport.
  WriteRatioRow({"log entries of one login (" + std::to_string(entries) + ")",
                 static_cast<double>(entries) * reporter.Real("BM_LogEntry"),
                 "two bare libcurl GETs", Median(gRecordedPair.bare), "us", 0},
                report);
  // Shown for information: the server's work weighs on one side only.
  WriteRatioRow({"one login OTP on loopback, dev server", Median(gDevServerPair.login),
                 "two bare libcurl GETs", Median(gDevServerPair.bare), "us", 0},
                report);
  Finish(bench);
  return 0;
}
