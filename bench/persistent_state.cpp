// The persistent state of an enrolled device (10 services with their keys, 3 messages):
// writing it with SRStorageDataGet and loading it back with SRStorageDataSet.
//
// Run: scripts/bench.sh   (or build/bench/bench_persistent_state).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "sdk/SRSdk.h"
#include "sdk/string_helpers.h"

namespace {

int32_t NoTransport(const char*, int32_t, void*) {
  return 0;
}

void SetText(char** field, const std::string& value) {
  *field = srStrReplace(*field, srStrDup(value.c_str()));
}

SRContext* EnrolledContext() {
  SRContext* c = SRInit(0, "SN-000123", "UK-4567", NoTransport, nullptr);
  SetText(&c->device_id, "7f3a9c2e51d04b86");
  SetText(&c->device_random, "00112233445566778899aabbccddeeff");
  SetText(&c->kfact, std::string(256, 'c'));
  SetText(&c->server_url, "https://auth.example.net:8443");
  SetText(&c->j_value, "4e07408562bedb8b60ce05c1decfe3ad");
  SetText(&c->k_value, "16c26e3a5a5e0b5f");
  SetText(&c->k0, "9f86d081884c7d659a2feaa0c55ad015");
  SetText(&c->k1, "a3c65c2974270fd093ee8a9bf8ae7d0b");
  SetText(&c->h_value, "ef2d127de37b942baad06145e54b0c61");
  c->last_sync = 1700000000;
  c->service_count = c->service_key_count = 10;
  c->services = static_cast<SRService*>(calloc(10, sizeof(SRService)));
  c->service_keys = static_cast<SRServiceKey*>(calloc(10, sizeof(SRServiceKey)));
  for (int i = 0; i < 10; i++) {
    std::string n = std::to_string(100 + i);
    c->services[i] = {100 + i,
                      srStrDup(("Service " + n + " & co").c_str()),
                      srStrDup(("icon" + n + ".png").c_str()),
                      srStrDup("1"),
                      srStrDup("5e884898da28047151d0e56f8dc62927"),
                      0,
                      nullptr,
                      nullptr};
    c->service_keys[i] = {100 + i, srStrDup("6b86b273ff34fce19d6b804eff5a3f57")};
  }
  c->message_count = 3;
  c->messages = static_cast<SRMessage*>(calloc(3, sizeof(SRMessage)));
  for (int i = 0; i < 3; i++)
    c->messages[i] = {i + 1, srStrDup("Message"),
                      srStrDup("Votre acc\xe8s sera renouvel\xe9 le 1er du mois & ensuite."), 2};
  return c;
}

void BM_StateSerializeAndLoad(benchmark::State& state) {
  SRContext* source = EnrolledContext();
  SRContext* target = SRInit(0, "SN-000123", "UK-4567", NoTransport, nullptr);
  size_t bytes = 0;
  for (auto _ : state) {
    char* text = SRStorageDataGet(source);
    benchmark::DoNotOptimize(SRStorageDataSet(target, text));
    bytes += strlen(text);
    free(text);
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
  SRContextFree(source);
  SRContextFree(target);
}
BENCHMARK(BM_StateSerializeAndLoad);

}  // namespace
