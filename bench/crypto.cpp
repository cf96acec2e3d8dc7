// RSA block encryption and recovery, PIN-key and OTP derivation. After the runs, our recovery
// (exponent 17 plus OAEP decoding) is printed next to OpenSSL's raw public operation on the
// same key, and the OTP derivation next to its time budget, as ratios of CPU times.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>

#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>
#include <string>

#include "ratio_rows.h"
#include "sdk/SRSdk.h"
#include "sdk/crypto/keyed.h"
#include "sdk/crypto/otp_derivation.h"
#include "support/rsa_test_keys.h"
#include "timing_reporter.h"

namespace {

using rsa_test::Bytes;

const Bytes& ServiceBlock() {
  static const Bytes block = rsa_test::SharedKey1024().ServiceBlock(Bytes(62, 0x5a));
  return block;
}

void RsaEncryptHex(benchmark::State& state) {
  for (auto _ : state) {
    std::free(srRsaEncryptHex("00112233445566778899aabbccddeeff",
                              rsa_test::SharedKey1024().ModulusHex().c_str()));
  }
}
BENCHMARK(RsaEncryptHex)->Unit(benchmark::kMicrosecond);

void RsaRecoverHex(benchmark::State& state) {
  const std::string hex = rsa_test::ToHex(ServiceBlock());
  for (auto _ : state)
    std::free(srRsaRecoverHex(hex.c_str(), rsa_test::SharedKey1024().ModulusHex().c_str()));
}
BENCHMARK(RsaRecoverHex)->Unit(benchmark::kMicrosecond);

void RsaRecoverBlock(benchmark::State& state) {
  unsigned char out[62];
  for (auto _ : state) {
    benchmark::DoNotOptimize(srRsaRecover(rsa_test::SharedKey1024().ModulusHex().c_str(),
                                          SR_RSA_EXPONENT_HEX, ServiceBlock().data(), 128, out));
  }
}
BENCHMARK(RsaRecoverBlock)->Unit(benchmark::kMicrosecond);

void OpenSslRawPublic(benchmark::State& state) {
  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(
      EVP_PKEY_CTX_new_from_pkey(nullptr, rsa_test::SharedKey1024().Key(), nullptr),
      EVP_PKEY_CTX_free);
  if (!ctx || EVP_PKEY_encrypt_init(ctx.get()) != 1 ||
      EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_NO_PADDING) != 1) {
    state.SkipWithError("OpenSSL context");
    return;
  }
  unsigned char out[128];
  for (auto _ : state) {
    size_t length = sizeof out;
    benchmark::DoNotOptimize(
        EVP_PKEY_encrypt(ctx.get(), out, &length, ServiceBlock().data(), ServiceBlock().size()));
  }
}
BENCHMARK(OpenSslRawPublic)->Unit(benchmark::kMicrosecond);

int32_t NoTransport(const char*, int32_t, void*) {
  return 0;
}

void PinKeyDerive(benchmark::State& state) {
  SRContext* ctx = SRInit(0, "SERIAL-0001", "UNIQUE-KEY-0001", NoTransport, nullptr);
  for (auto _ : state) std::free(srPinKeyDerive(ctx, "1234"));
  SRContextFree(ctx);
}
BENCHMARK(PinKeyDerive)->Unit(benchmark::kMicrosecond);

void OtpDerive(benchmark::State& state) {
  char out[SR_OTP_LENGTH + 1];
  for (auto _ : state) {
    benchmark::DoNotOptimize(srOtpDerive("00112233445566778899aabbccddeeff", 12, "8LC",
                                         "3925841d02dc09fbdc118597196a0b32",
                                         "2b7e151628aed2a6abf7158809cf4f3c", out));
  }
}
BENCHMARK(OtpDerive)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TimingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  WriteRatioRow({"RSA block recovery, 1024-bit", reporter.Cpu("RsaRecoverBlock"),
                 "OpenSSL raw public op", reporter.Cpu("OpenSslRawPublic"), "us", 1.3},
                std::cout);
  // The derivation has no reference program; its goal is an absolute time.
  WriteRatioRow({"OTP derivation", reporter.Cpu("OtpDerive"), "budget", 2.0, "us", 1.0}, std::cout);
  return 0;
}
