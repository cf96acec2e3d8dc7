/* Context-state helpers: initial values, list release, reset and state queries. */
#ifndef NRD_SDK_CONTEXT_H
#define NRD_SDK_CONTEXT_H

#include "sdk/SRSdk.h"

#ifdef __cplusplus
extern "C" {
#endif

char* srDeviceIdentity(const SRContext* ctx); /* new text serial "/" key "/" random */

void srServicesFree(SRContext* ctx);
void srServiceKeysFree(SRContext* ctx);
void srMessagesFree(SRContext* ctx);
void srStateInit(SRContext* ctx);   /* persisted fields to their initial values */
void srSessionInit(SRContext* ctx); /* the per-exchange fields to their initial values */
void srStateFree(SRContext* ctx);   /* frees every persisted text and list */
void srStateReset(SRContext* ctx);  /* srStateFree, srStateInit, storage_changed := 1 */
void srStateChangedMark(SRContext* ctx);
void srWarningsFree(SRContext* ctx); /* warnings emptied: count 0, array NULL */
void srPromptsFree(SRContext* ctx);
void srExtraFieldsFree(SRContext* ctx);
void srFinalizeScratchFree(SRContext* ctx); /* finalize_data_key/identity/pin freed, NULL */
int32_t srIsActivated(const SRContext* ctx);
int32_t srIsBlocked(const SRContext* ctx);

#ifdef __cplusplus
}
#endif

#endif
