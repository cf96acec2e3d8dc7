/* Activation: enrols the device at the service with the activation code and the user's PIN. */
#include <stddef.h>

#include "sdk/SRSdk.h"
#include "sdk/action_exchange.h"
#include "sdk/context.h"
#include "sdk/crypto/keyed.h"
#include "sdk/crypto/random.h"
#include "sdk/string_helpers.h"
#include "sdk/ws_exchange.h"

int32_t SRActivationStart(SRContext* ctx, const char* code) {
  srWarningsFree(ctx);
  if (srStateCheck(ctx, 0) != 0) return SR_ERR_FORBIDDEN;
  char* extra = srQueryItemAdd(NULL, "&code=", srQueryEncode(code));
  int32_t result = srActionSetup(ctx, "activate", extra);
  srFree(extra);
  return result;
}

/* Any PIN text is accepted, the empty one included. The new device random changes the device
 * identity, so the PIN key and the Kma sent with it differ at every attempt. Every random value
 * is drawn before the context takes the new random part: when the generator fails, nothing is
 * sent, the step reports no usable exchange (1) and the device keeps the identity it had. */
int32_t SRActivationFinalize(SRContext* ctx, const char* code, const char* pin, const char* name) {
  srWarningsFree(ctx);
  if (srStateCheck(ctx, 0) != 0) return SR_ERR_FORBIDDEN;
  const unsigned long failures = srRandomFailures();
  /* The request is built for the new identity; the context still holds the old one. */
  SRContext staged = *ctx;
  staged.device_random = srRandomHex32();
  char* pin_key = srPinKeyDerive(&staged, pin);
  char* pin_cipher = srRsaEncryptText(pin != NULL ? pin : "", ctx->ksr);

  /* Kma and the PIN cipher are hex and go out as they are. */
  char* extra = srQueryItemAdd(NULL, "&code=", srQueryEncode(code));
  extra = srQueryItemAdd(extra, "&serial=", srQueryEncodeFree(srDeviceIdentity(&staged)));
  extra = srQueryItemAdd(extra, "&Kma=", srRsaEncryptHex(pin_key, ctx->ksr));
  extra = srQueryItemAdd(extra, "&pin=", pin_cipher);
  extra = srQueryItemAdd(extra, "&name=", srQueryEncode(name));
  if (srRandomFailures() != failures) { /* the random part or an OAEP seed could not be drawn */
    srFree(staged.device_random);
    srFree(extra);
    srFree(pin_key);
    return SR_ERR_NO_REPLY;
  }
  ctx->device_random = srStrReplace(ctx->device_random, staged.device_random);

  /* R2 of this request proves the empty text: the PIN reaches the service only encrypted. */
  int32_t result = srActionFinalize(ctx, "", pin, extra);
  srFree(extra);
  srFree(pin_key);
  return result;
}
