/* The persistent-state text ("&&"-separated items) that SRStorageDataGet/Set exchange. */
#ifndef NRD_SDK_PERSISTENT_STATE_H
#define NRD_SDK_PERSISTENT_STATE_H

#include "sdk/SRSdk.h"

#ifdef __cplusplus
extern "C" {
#endif

char* srStateSerialize(const SRContext* ctx);
int32_t srStateParse(SRContext* ctx, char* text); /* text is a private writable copy */
int32_t srStateVersionCode(const SRContext* ctx, const char* version); /* 513..519 or 0 */
int32_t srStateLoadCurrent(SRContext* ctx, int32_t code, char** cursor);
char* srAmpUnescape(const char* text);

#ifdef __cplusplus
}
#endif

#endif
