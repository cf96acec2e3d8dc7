/* The synchronisation block of a reply (device id, server, keys, services, messages), the
 * per-service secret keys and the new-version notice. */
#include "sdk/sync_data.h"

#include <stdlib.h>

#include "sdk/context.h"
#include "sdk/crypto/keyed.h"
#include "sdk/reply_values.h"
#include "sdk/string_helpers.h"
#include "sdk/ws_exchange.h"

/* Times are kept as the low 32 bits of seconds since 1970, so the sum wraps like they do. */
static int32_t srTimeAdd(int32_t time, int32_t seconds) {
  return (int32_t)((uint32_t)time + (uint32_t)seconds);
}

static void srTextSet(char** field, const char* value) {
  *field = srStrReplace(*field, srStrDup(value));
}

static const char* const kServiceElements[] = {"s_id",  "s_name",      "s_icon", "s_secure",
                                               "s_ksc", "s_connected", "s_url",  "s_pattern"};
enum { kServiceFields = (int)(sizeof kServiceElements / sizeof kServiceElements[0]) };

static const char* const kMessageElements[] = {"m_id", "m_title", "m_content", "m_ack"};
enum { kMessageFields = (int)(sizeof kMessageElements / sizeof kMessageElements[0]) };

/* Replaces the services with the reply's list. The list's count is the number of records
 * made: a count below 1 leaves the list empty with count 0 rather than a negative count, so
 * no reader (the OTP index check, the persistent state) ever sees a count without records;
 * a count beyond the bounds of srReplyListCount is cut to them. A count larger than the
 * elements present gives records of empty texts and zeros for the missing ones. */
static void srServicesRead(SRContext* ctx, const SRNode* doc) {
  srServicesFree(ctx);
  int32_t n = srReplyListCount(doc, srDocInt(doc, "s_n"));
  const char** cell = srDocColumns(doc, kServiceElements, kServiceFields, n);
  SRService* services = cell != NULL ? (SRService*)calloc((size_t)n, sizeof *services) : NULL;
  if (services == NULL) {
    free((void*)cell);
    return;
  }
  for (int32_t i = 0; i < n; i++) {
    SRService* s = &services[i];
    s->id = srAtoi(cell[0 * n + i]);
    s->name = srStrDup(cell[1 * n + i]);
    s->icon = srStrDup(cell[2 * n + i]);
    s->secure = srStrDup(cell[3 * n + i]);
    s->ksc = srStrDup(cell[4 * n + i]);
    s->connected = srAtoi(cell[5 * n + i]);
    s->url = srStrDup(cell[6 * n + i]);
    s->pattern = srStrDup(cell[7 * n + i]);
  }
  free((void*)cell);
  ctx->services = services;
  ctx->service_count = n;
}

/* Replaces the messages with the reply's list; counts are handled as for the services. */
static void srMessagesRead(SRContext* ctx, const SRNode* doc) {
  srMessagesFree(ctx);
  int32_t n = srReplyListCount(doc, srDocInt(doc, "m_n"));
  const char** cell = srDocColumns(doc, kMessageElements, kMessageFields, n);
  SRMessage* messages = cell != NULL ? (SRMessage*)calloc((size_t)n, sizeof *messages) : NULL;
  if (messages == NULL) {
    free((void*)cell);
    return;
  }
  for (int32_t i = 0; i < n; i++) {
    messages[i].id = srAtoi(cell[0 * n + i]);
    messages[i].title = srStrDup(cell[1 * n + i]);
    messages[i].content = srStrDup(cell[2 * n + i]);
    messages[i].ack = srAtoi(cell[3 * n + i]);
  }
  free((void*)cell);
  ctx->messages = messages;
  ctx->message_count = n;
}

/* Decrypts one key of the block with the finalize data key: the first 16 bytes, as 32 hex. */
static void srKeyFieldSet(char** field, const char* cipher_hex, const char* data_key) {
  *field = srStrReplace(*field, srKeyDecrypt128(cipher_hex, data_key));
}

/* Each step acts only when its element is present and not empty, so a reply updates only what
 * it carries. */
void srSyncDataRead(SRContext* ctx, const SRNode* doc, const char* key) {
  const char* data_key = key != NULL ? key : "";

  const char* id = srDocText(doc, "id");
  if (*id != '\0') srTextSet(&ctx->device_id, id);
  const char* server = srDocText(doc, "server");
  if (*server != '\0') srTextSet(&ctx->server_url, server);
  const char* k0 = srDocText(doc, "K0");
  if (*k0 != '\0') srKeyFieldSet(&ctx->k0, k0, data_key);
  const char* k1 = srDocText(doc, "K1");
  if (*k1 != '\0') srKeyFieldSet(&ctx->k1, k1, data_key);
  /* Diversifies the k1 of this block when it carried one, otherwise the stored one. */
  const char* dk1 = srDocText(doc, "dK1");
  if (*dk1 != '\0') {
    char* input = srStrConcat(srStrDup(ctx->k1), 1, srStrDup(";"), 1);
    input = srStrConcat(input, 1, srStrDup(dk1), 1);
    ctx->k1 = srStrReplace(ctx->k1, srSha256Hex32(input));
  }
  const char* j = srDocText(doc, "J");
  if (*j != '\0') {
    srTextSet(&ctx->j_value, j);
    ctx->j_time = srNow();
  }
  const char* k = srDocText(doc, "K");
  if (*k != '\0') srTextSet(&ctx->k_value, k);
  const char* h = srDocText(doc, "H");
  if (*h != '\0') srKeyFieldSet(&ctx->h_value, h, data_key);
  const char* connected = srDocText(doc, "connected");
  if (*connected != '\0') ctx->connected_until = srTimeAdd(srAtoi(connected), srNow());

  /* A service list replaces the old one wholly and resets the values kept beside it. */
  if (*srDocText(doc, "s_n") != '\0') {
    ctx->sync_int_1 = ctx->sync_int_2 = ctx->sync_int_3 = 0;
    ctx->sync_int_4 = ctx->sync_int_5 = ctx->sync_int_6 = 0;
    srTextSet(&ctx->sync_text_1, "");
    srTextSet(&ctx->sync_text_2, "");
    ctx->last_sync = srDocInt(doc, "Tsync");
    srServicesRead(ctx, doc);
    ctx->services_updated = 1;
  }
  if (*srDocText(doc, "m_n") != '\0') {
    ctx->messages_time = srNow();
    srMessagesRead(ctx, doc);
  }
  srStateChangedMark(ctx);
}

void srNewVersionRead(SRContext* ctx, const SRNode* doc) {
  srTextSet(&ctx->new_version, srDocText(doc, "newversion"));
  srTextSet(&ctx->new_version_url, srDocText(doc, "newversionurl"));
  srStateChangedMark(ctx);
}

void srServiceKeySet(SRContext* ctx, int32_t service_id, char* key) {
  if (key == NULL) key = srStrDup("");
  for (int32_t i = 0; ctx->service_keys != NULL && i < ctx->service_key_count; i++) {
    if (ctx->service_keys[i].service_id == service_id) {
      ctx->service_keys[i].key = srStrReplace(ctx->service_keys[i].key, key);
      srStateChangedMark(ctx);
      return;
    }
  }
  int32_t count =
      ctx->service_keys != NULL && ctx->service_key_count > 0 ? ctx->service_key_count : 0;
  SRServiceKey* grown = (SRServiceKey*)malloc(((size_t)count + 1) * sizeof *grown);
  if (grown == NULL) {
    srFree(key);
    return;
  }
  for (int32_t i = 0; i < count; i++) grown[i] = ctx->service_keys[i];
  grown[count].service_id = service_id;
  grown[count].key = key;
  srFree(ctx->service_keys);
  ctx->service_keys = grown;
  ctx->service_key_count = count + 1;
  srStateChangedMark(ctx);
}

const char* srServiceKeyGet(const SRContext* ctx, int32_t service_id) {
  for (int32_t i = 0; ctx->service_keys != NULL && i < ctx->service_key_count; i++) {
    if (ctx->service_keys[i].service_id == service_id)
      return ctx->service_keys[i].key != NULL ? ctx->service_keys[i].key : "";
  }
  return "";
}

int32_t srServiceIndex(const SRContext* ctx, int32_t service_id) {
  for (int32_t i = 0; ctx->services != NULL && i < ctx->service_count; i++) {
    if (ctx->services[i].id == service_id) return i;
  }
  return -1;
}
