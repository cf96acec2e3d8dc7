/* The synchronisation block of a reply, the per-service secret keys and the new-version notice. */
#ifndef NRD_SDK_SYNC_DATA_H
#define NRD_SDK_SYNC_DATA_H

#include "sdk/SRSdk.h"
#include "sdk/markup_parser.h"

#ifdef __cplusplus
extern "C" {
#endif

void srSyncDataRead(SRContext* ctx, const SRNode* doc, const char* key);
void srNewVersionRead(SRContext* ctx, const SRNode* doc);
void srServiceKeySet(SRContext* ctx, int32_t service_id, char* key); /* takes over key */
const char* srServiceKeyGet(const SRContext* ctx, int32_t service_id);
int32_t srServiceIndex(const SRContext* ctx, int32_t service_id);

#ifdef __cplusplus
}
#endif

#endif
