// Loading arbitrary persistent-state texts. Whatever a text loads to must write out as a text
// that loads back to exactly the same state: the seed file is rewritten from loaded states.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sdk/SRSdk.h"

namespace {

int32_t NoTransport(const char*, int32_t, void*) {
  return 0;
}

std::string Get(SRContext* ctx) {
  char* text = SRStorageDataGet(ctx);
  std::string result(text);
  free(text);
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  SRContext* ctx = SRInit(0, "serial", "key", NoTransport, nullptr);
  std::string before = Get(ctx);
  int32_t result = SRStorageDataSet(ctx, text.c_str());
  if (result == SR_ERR_SN) {
    if (Get(ctx) != before) abort();  // a refused text changes nothing
  } else if (result != SR_OK) {
    abort();
  } else {
    std::string written = Get(ctx);
    SRContext* again = SRInit(0, "serial", "key", NoTransport, nullptr);
    if (SRStorageDataSet(again, written.c_str()) != SR_OK) abort();
    if (Get(again) != written) abort();
    SRContextFree(again);
  }
  SRContextFree(ctx);
  return 0;
}
