/* One request/reply exchange with the web service: URL building, the transport call, reply
 * reading with warning collection, reply value lookups and result-code mapping. */
#ifndef NRD_SDK_WS_EXCHANGE_H
#define NRD_SDK_WS_EXCHANGE_H

#include "sdk/SRSdk.h"
#include "sdk/context.h"
#include "sdk/markup_parser.h"

#ifdef __cplusplus
extern "C" {
#endif

char* srQueryEncode(const char* text); /* srUrlEncode keeping its input */
char* srQueryEncodeFree(char* text);   /* srUrlEncode freeing its input */

char* srWsUrlBuild(const char* base, const char* path, const char* action, const char* query);
SRNode* srWsCall(SRContext* ctx, const char* base, const char* path, const char* action,
                 const char* query);
SRNode* srWsRequest(SRContext* ctx, const char* path, const char* action, const char* query);
SRNode* srReplyRead(SRContext* ctx);
const char* srDocText(const SRNode* doc, const char* name);
const char* srDocTextAt(const SRNode* doc, const char* name, int32_t index);
int32_t srResultCode(SRContext* ctx, const SRNode* doc, const char* result_text);

#ifdef __cplusplus
}
#endif

#endif
