// Drives a full activation and an online OTP against a transport that answers with the bodies
// of the fuzz input. The first byte chooses the starting state; the rest is split into one body
// per request at each "\n~~~\n". Every result must be one of the SDK's result codes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sdk/SRSdk.h"
#include "sdk/crypto/random.h"

namespace {

constexpr char kSeparator[] = "\n~~~\n";
constexpr char kPin[] = "4711";
constexpr char kCode[] = "ACT-1";

// An enrolled device with two services and a stored secret for the first one.
constexpr char kActivatedState[] =
    "0.2.7&&dev-42&&000102030405060708090a0b0c0d0e0f&&0&&0&&1700000000&&"
    "c5d1f3a0b2e4968778695a4b3c2d1e0f00112233445566778899aabbccddeeff&&0&&&&&&&&"
    "00112233445566778899aabbccddeeff&&ffeeddccbbaa99887766554433221100&&0&&0&&0&&0&&0&&0&&0&&"
    "&&&&0123456789abcdef0123456789abcdef&&2&&7&&Main&&&&0&&&&&&9&&Backup&&&&0&&&&&&"
    "1&&7&&8899aabbccddeeff0011223344556677&&1&&0&&12&&hello&&&&2&&0&&&&&&";

struct Replies {
  SRContext* ctx = nullptr;
  std::vector<std::string> bodies;
  size_t next = 0;
};

int32_t Transport(const char* /*url*/, int32_t /*timeout*/, void* user) {
  auto* replies = static_cast<Replies*>(user);
  if (replies->next < replies->bodies.size())
    SRWsResponseSet(replies->ctx, replies->bodies[replies->next++].c_str());
  return 0;
}

// Deterministic, so that every crash reproduces.
int CountingSource(unsigned char* out, size_t n, void* user) {
  auto* state = static_cast<uint32_t*>(user);
  for (size_t i = 0; i < n; i++) {
    *state = *state * 1103515245u + 12345u;
    out[i] = static_cast<unsigned char>(*state >> 16);
  }
  return 1;
}

void CheckCode(int32_t code) {
  if ((code < 0 || code > 17) && code != 999) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  uint8_t mode = data[0];
  std::string input(reinterpret_cast<const char*>(data + 1), size - 1);

  Replies replies;
  for (size_t at = 0;;) {
    size_t end = input.find(kSeparator, at);
    // Bodies are NUL-terminated texts for the SDK; an embedded NUL simply ends one early.
    replies.bodies.push_back(input.substr(at, end == std::string::npos ? end : end - at).c_str());
    if (end == std::string::npos) break;
    at = end + sizeof kSeparator - 1;
  }

  uint32_t random_state = 1;
  srRandomSourceSet(CountingSource, &random_state);
  SRContext* ctx = SRInit(0, "FUZZ-SN", "FUZZ-KEY", Transport, &replies);
  replies.ctx = ctx;
  SRWsServerSet(ctx, "http://127.0.0.1:1");
  if ((mode & 1) != 0) CheckCode(SRStorageDataSet(ctx, kActivatedState));

  CheckCode(SRActivationStart(ctx, kCode));
  CheckCode(SRActivationFinalize(ctx, kCode, kPin, "fuzz pc"));
  int32_t index = (mode >> 1) & 3;
  for (int round = 0; round < 2; round++) {
    CheckCode(SROnlineOtpStart(ctx, index));
    CheckCode(SROnlineOtpFinalize(ctx, index, kPin));
    const char* otp = SROnlineOtpGet(ctx);
    if (otp != nullptr && strlen(otp) != 8) abort();
  }

  // Whatever the replies left must serialise and load back.
  char* state = SRStorageDataGet(ctx);
  SRContext* reloaded = SRInit(0, "FUZZ-SN", "FUZZ-KEY", Transport, &replies);
  CheckCode(SRStorageDataSet(reloaded, state));
  free(state);
  SRContextFree(reloaded);
  SRContextFree(ctx);
  srRandomSourceSet(nullptr, nullptr);
  return 0;
}
