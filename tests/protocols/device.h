// A device under test: one SDK context wired to its own fake service.
#ifndef NRD_TESTS_PROTOCOLS_DEVICE_H
#define NRD_TESTS_PROTOCOLS_DEVICE_H

#include <gtest/gtest.h>

#include <string>

#include "fake_service.h"
#include "sdk/SRSdk.h"

struct Device {
  static constexpr const char* kPin = "4711 pin";

  fake::Service service;
  SRContext* ctx;

  Device() : ctx(SRInit(0, "SER 0042", "KEY/77", fake::Service::Transport, &service)) {
    service.Attach(ctx);
    SRWsServerSet(ctx, service.config.base.c_str());
    SRMvaultSet(ctx, service.config.mvault.c_str());
  }
  ~Device() { SRContextFree(ctx); }
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  int32_t Start() { return SRActivationStart(ctx, service.config.code.c_str()); }
  int32_t Finalize(const char* pin = kPin) {
    return SRActivationFinalize(ctx, service.config.code.c_str(), pin, "My PC");
  }
  void Activate(const char* pin = kPin) {
    ASSERT_EQ(Start(), SR_OK);
    ASSERT_EQ(Finalize(pin), SR_OK);
  }
  int32_t Otp(int32_t index, const char* pin = kPin) {
    int32_t result = SROnlineOtpStart(ctx, index);
    return result != SR_OK ? result : SROnlineOtpFinalize(ctx, index, pin);
  }
  std::string OtpText() {
    const char* otp = SROnlineOtpGet(ctx);
    return otp != nullptr ? otp : "(none)";
  }
};

#endif
