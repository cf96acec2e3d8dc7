/* The generic two-step exchange (ActionSetup, ActionFinalize, secrets follow-up) that the
 * activation and the online OTP share. */
#ifndef NRD_SDK_ACTION_EXCHANGE_H
#define NRD_SDK_ACTION_EXCHANGE_H

#include "sdk/SRSdk.h"
#include "sdk/context.h"
#include "sdk/markup_parser.h"

#ifdef __cplusplus
extern "C" {
#endif

/* query + name + value, for a value already encoded; consumes query and value (NULL query
 * starts a new text). */
char* srQueryItemAdd(char* query, const char* name, char* value);

int32_t srStateCheck(const SRContext* ctx, int32_t want_activated);
int32_t srActionSetup(SRContext* ctx, const char* mode, const char* extra);
char* srSetupQueryBuild(SRContext* ctx, const char* mode, const char* extra);
int32_t srSetupReplyRead(SRContext* ctx, SRNode* doc);
int32_t srActionFinalize(SRContext* ctx, const char* proof_pin, const char* pin, const char* extra);
char* srFinalizeQueryBuild(SRContext* ctx, const char* proof_pin, const char* pin,
                           const char* extra);
char* srProofBuild(SRContext* ctx, const char* proof_pin);
int32_t srFinalizeReplyRead(SRContext* ctx, SRNode* doc);
char* srSecretsQueryBuild(SRContext* ctx, SRNode* doc, int32_t n);
int32_t srSecretsReplyRead(SRContext* ctx, SRNode* doc);

/* Online OTP: derive the OTP for services[service_index] after a successful finalize. */
int32_t srOtpCompute(SRContext* ctx, int32_t service_index, const char* pin);

#ifdef __cplusplus
}
#endif

#endif
