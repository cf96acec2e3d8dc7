/* Online OTP: a setup/finalize exchange for one service, then the OTP derived locally. */
#include <stddef.h>

#include "sdk/SRSdk.h"
#include "sdk/action_exchange.h"
#include "sdk/context.h"
#include "sdk/crypto/keyed.h"
#include "sdk/crypto/otp_derivation.h"
#include "sdk/string_helpers.h"
#include "sdk/sync_data.h"

/* Both steps need an activated, unblocked device and an index inside the services list. */
static int32_t srOtpStepCheck(const SRContext* ctx, int32_t service_index) {
  if (srStateCheck(ctx, 1) != 0) return SR_ERR_FORBIDDEN;
  if (service_index < 0 || service_index >= ctx->service_count) return SR_ERR_FORBIDDEN;
  return SR_OK;
}

/* "&sid=" and the service's id, a plain decimal. */
static char* srServiceItem(const SRContext* ctx, int32_t service_index) {
  return srQueryItemAdd(NULL, "&sid=", srIntToStr(ctx->services[service_index].id));
}

int32_t SROnlineOtpStart(SRContext* ctx, int32_t service_index) {
  srWarningsFree(ctx);
  int32_t check = srOtpStepCheck(ctx, service_index);
  if (check != SR_OK) return check;
  char* extra = srServiceItem(ctx, service_index);
  int32_t result = srActionSetup(ctx, "otp", extra);
  srFree(extra);
  return result;
}

int32_t SROnlineOtpFinalize(SRContext* ctx, int32_t service_index, const char* pin) {
  srWarningsFree(ctx);
  int32_t check = srOtpStepCheck(ctx, service_index);
  if (check != SR_OK) return check;
  char* extra = srServiceItem(ctx, service_index);
  /* The PIN both proves itself in R2 and selects the key that decrypts the reply's keys. */
  int32_t result = srActionFinalize(ctx, pin, pin, extra);
  srFree(extra);
  if (result != SR_OK) return result;
  return srOtpCompute(ctx, service_index, pin);
}

/* The exchange may have replaced the services list; an index that now lies outside it gives 14
 * and no OTP rather than a read past the list. */
int32_t srOtpCompute(SRContext* ctx, int32_t service_index, const char* pin) {
  if (service_index < 0 || service_index >= ctx->service_count || ctx->services == NULL)
    return SR_ERR_FORBIDDEN;
  int32_t id = ctx->services[service_index].id;
  char* pin_key = srPinKeyDerive(ctx, pin);
  char otp[SR_OTP_LENGTH + 1];
  int32_t result =
      srOtpDerive(ctx->k1, ctx->otp_defi, ctx->otp_format, srServiceKeyGet(ctx, id), pin_key, otp);
  srFree(pin_key);
  if (result != SR_OK) return result;
  char* copy = srStrDup(otp);
  if (copy == NULL) return SR_ERR_NOK;
  ctx->otp_value = srStrReplace(ctx->otp_value, copy);
  ctx->otp_flags = 2;
  return SR_OK;
}

const char* SROnlineOtpGet(SRContext* ctx) {
  return (ctx->otp_flags & 2) != 0 ? ctx->otp_value : NULL;
}
