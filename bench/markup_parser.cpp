// Reply parsing: the SDK's parser against pugixml on the same realistic reply and on a 1 MB
// body made almost entirely of escapes, and ours on 2, 4 and 8 MB of the same to show that the
// time per megabyte stays flat.
//
// Run: scripts/bench.sh   (or build/bench/bench_markup_parser). The ratios (CPU time) are
// printed after the runs.
#include <benchmark/benchmark.h>

#include <cstring>
#include <iostream>
#include <map>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "ratio_rows.h"
#include "sdk/markup_parser.h"
#include "sdk/ws_exchange.h"
#include "timing_reporter.h"

namespace {

// A finalize reply with its sync block: keys, 10 services, 3 messages, one warning.
std::string RealisticReply() {
  std::string r = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<mac>\n<err>OK</err>\n";
  r += "<newversion></newversion><newversionurl></newversionurl>\n";
  r += "<id>7f3a9c2e51d04b86</id><server>https://auth.example.net:8443</server>\n";
  r += "<K0>9f86d081884c7d659a2feaa0c55ad015</K0><K1>a3c65c2974270fd093ee8a9bf8ae7d0b</K1>\n";
  r += "<dK1>1</dK1><J>4e07408562bedb8b60ce05c1decfe3ad</J><K>16c26e3a5a5e0b5f</K>\n";
  r += "<H>ef2d127de37b942baad06145e54b0c61</H><connected>3600</connected>\n";
  r += "<Tsync>1700000000</Tsync><s_n>10</s_n>\n";
  const char* names[] = {
      "Messagerie &amp; agenda", "Portail RH", "Intranet", "VPN &#233;tendu", "Paie",
      "Achats &lt;pro&gt;",      "Support",    "Wiki",     "Ticketing",       "Coffre-fort"};
  for (int i = 0; i < 10; i++) {
    std::string n = std::to_string(100 + i);
    r += "<s_id>" + n + "</s_id><s_name>" + names[i] + "</s_name><s_icon>icon" + n +
         ".png</s_icon><s_secure>1</s_secure><s_ksc>5e884898da28047151d0e56f8dc62927</s_ksc>"
         "<s_connected>0</s_connected><s_url>https://svc" +
         n + ".example.net/login?a=1&amp;b=2</s_url><s_pattern>*.svc" + n +
         ".example.net</s_pattern>\n";
  }
  r += "<m_n>3</m_n>\n";
  for (int i = 0; i < 3; i++) {
    std::string n = std::to_string(i + 1);
    r += "<m_id>" + n + "</m_id><m_title>Message " + n +
         "</m_title><m_content>Votre acc&#232;s sera renouvel&#233; le 1er du mois. "
         "Merci de v&#233;rifier vos &quot;param&#232;tres&quot;.</m_content><m_ack>2</m_ack>\n";
  }
  r += "<warning><code>W_EXPIRES</code><arg>30</arg><arg>days</arg></warning>\n</mac>\n";
  return r;
}

// About the given number of megabytes of element text made of escapes that decode into more
// escapes, references that yield "&" and start new references, and plain entities: the worst
// case for passes that search again from the start after each replacement.
const std::string& EntityHeavyBody(int megabytes) {
  static std::map<int, std::string> bodies;
  std::string& body = bodies[megabytes];
  if (body.empty()) {
    const char* unit = "&amp;amp;lt;&#x26;#x41;&#38;#66;&lt;&gt;&quot;&apos;&#x263A;x";
    body = "<r><v>";
    while (body.size() < (static_cast<size_t>(megabytes) << 20)) body += unit;
    body += "</v></r>";
  }
  return body;
}

const std::string& Reply() {
  static const std::string reply = RealisticReply();
  return reply;
}

void BM_OursRealisticReply(benchmark::State& state) {
  const std::string& reply = Reply();
  std::vector<char> buffer(reply.size() + 1);
  for (auto _ : state) {
    memcpy(buffer.data(), reply.c_str(), reply.size() + 1);  // the parser writes into it
    SRNode* doc = srMarkupParse(buffer.data());
    benchmark::DoNotOptimize(srDocText(doc, "err"));
    srNodeFree(doc);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * reply.size()));
}
BENCHMARK(BM_OursRealisticReply);

void BM_PugixmlRealisticReply(benchmark::State& state) {
  const std::string& reply = Reply();
  std::vector<char> buffer(reply.size() + 1);
  for (auto _ : state) {
    memcpy(buffer.data(), reply.c_str(), reply.size() + 1);
    pugi::xml_document doc;
    pugi::xml_parse_result parsed = doc.load_buffer_inplace(buffer.data(), reply.size());
    benchmark::DoNotOptimize(parsed.status);
    benchmark::DoNotOptimize(doc.child("mac").child_value("err"));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * reply.size()));
}
BENCHMARK(BM_PugixmlRealisticReply);

void OursEntityHeavy(benchmark::State& state, int megabytes) {
  const std::string& body = EntityHeavyBody(megabytes);
  std::vector<char> buffer(body.size() + 1);
  for (auto _ : state) {
    memcpy(buffer.data(), body.c_str(), body.size() + 1);
    SRNode* doc = srMarkupParse(buffer.data());
    benchmark::DoNotOptimize(srDocText(doc, "v"));
    srNodeFree(doc);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body.size()));
}
BENCHMARK_CAPTURE(OursEntityHeavy, 1MB, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OursEntityHeavy, 2MB, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OursEntityHeavy, 4MB, 4)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OursEntityHeavy, 8MB, 8)->Unit(benchmark::kMillisecond);

void BM_PugixmlEntityHeavy1MB(benchmark::State& state) {
  const std::string& body = EntityHeavyBody(1);
  std::vector<char> buffer(body.size() + 1);
  for (auto _ : state) {
    memcpy(buffer.data(), body.c_str(), body.size() + 1);
    pugi::xml_document doc;
    benchmark::DoNotOptimize(doc.load_buffer_inplace(buffer.data(), body.size()).status);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body.size()));
}
BENCHMARK(BM_PugixmlEntityHeavy1MB)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TimingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  const double ours1 = reporter.Cpu("OursEntityHeavy/1MB");
  WriteRatioRow({"realistic reply parse", reporter.Cpu("BM_OursRealisticReply") / 1e3, "pugixml",
                 reporter.Cpu("BM_PugixmlRealisticReply") / 1e3, "us", 2.0},
                std::cout);
  WriteRatioRow({"1 MB entity-heavy body", ours1, "pugixml",
                 reporter.Cpu("BM_PugixmlEntityHeavy1MB"), "ms", 3.0},
                std::cout);
  // Linear time: each size's time per megabyte against the 1 MB body's.
  for (int megabytes : {2, 4, 8}) {
    const std::string size = std::to_string(megabytes) + "MB";
    WriteRatioRow(
        {"entity-heavy " + std::to_string(megabytes) + " MB, per MB",
         reporter.Cpu("OursEntityHeavy/" + size) / megabytes, "ours on 1 MB", ours1, "ms", 1.3},
        std::cout);
  }
  return 0;
}
