/* The persistent-state text: every persisted field of the context as "&&"-terminated items,
 * written in format "0.2.7" and read back from any format "0.2.1" to "0.2.7". */
#include "sdk/persistent_state.h"

#include <stdlib.h>
#include <string.h>

#include "sdk/context.h"
#include "sdk/string_helpers.h"

#define SR_ITEM_SEPARATOR "&&"
#define SR_STATE_CODE_KSC 515     /* "0.2.3": services carry their ksc item from here on */
#define SR_STATE_CODE_PINLESS 519 /* "0.2.7": the pinless item exists from here on */

/* A list count read from the text is trusted up to this many records even when the rest of the
 * text holds fewer: a text cut short inside a list then loads its missing records as empty
 * ones. Beyond it, a count is cut to the records the remaining items could fill (records past
 * the end of the text would be empty anyway), so a damaged count costs memory in proportion to
 * the text, never to the count. */
#define SR_STATE_TRUSTED_COUNT 256

/* ---- Writing ----------------------------------------------------------------------------- */

/* A growing text; on allocation failure it drops everything and yields an empty text. */
typedef struct {
  char* data;
  size_t length;
  size_t capacity;
  int failed;
} SRTextBuilder;

static void srBuilderAppend(SRTextBuilder* b, const char* text, size_t n) {
  if (b->failed) return;
  if (b->length + n + 1 > b->capacity) {
    size_t capacity = b->capacity > 0 ? b->capacity : 512;
    while (b->length + n + 1 > capacity) capacity *= 2;
    char* grown = (char*)realloc(b->data, capacity);
    if (grown == NULL) {
      b->failed = 1;
      return;
    }
    b->data = grown;
    b->capacity = capacity;
  }
  memcpy(b->data + b->length, text, n);
  b->length += n;
  b->data[b->length] = '\0';
}

static void srItemRaw(SRTextBuilder* b, const char* text) {
  if (text != NULL) srBuilderAppend(b, text, strlen(text));
  srBuilderAppend(b, SR_ITEM_SEPARATOR, 2);
}

static void srItemInt(SRTextBuilder* b, int32_t value) {
  char* text = srIntToStr(value);
  if (text == NULL) b->failed = 1;
  srItemRaw(b, text);
  srFree(text);
}

/* Every "&" is written as "&amp;" so that no field can form the separator. */
static void srItemEscaped(SRTextBuilder* b, const char* text) {
  while (text != NULL && *text != '\0') {
    size_t run = strcspn(text, "&");
    srBuilderAppend(b, text, run);
    if (text[run] == '\0') break;
    srBuilderAppend(b, "&amp;", 5);
    text += run + 1;
  }
  srBuilderAppend(b, SR_ITEM_SEPARATOR, 2);
}

char* srStateSerialize(const SRContext* ctx) {
  SRTextBuilder b = {NULL, 0, 0, 0};
  srItemRaw(&b, SR_STATE_FORMAT_VERSION);
  srItemRaw(&b, ctx->device_id);
  srItemRaw(&b, ctx->device_random);
  srItemInt(&b, ctx->blocked);
  srItemInt(&b, ctx->pinless);
  srItemInt(&b, ctx->last_sync);
  srItemRaw(&b, ctx->kfact);
  srItemInt(&b, ctx->connected_until);
  srItemRaw(&b, ctx->server_url);
  srItemRaw(&b, ctx->j_value);
  srItemRaw(&b, ctx->k_value);
  srItemRaw(&b, ctx->k0);
  srItemRaw(&b, ctx->k1);
  srItemInt(&b, ctx->j_time);
  srItemInt(&b, ctx->sync_int_1);
  srItemInt(&b, ctx->sync_int_2);
  srItemInt(&b, ctx->sync_int_3);
  srItemInt(&b, ctx->sync_int_4);
  srItemInt(&b, ctx->sync_int_5);
  srItemInt(&b, ctx->sync_int_6);
  srItemRaw(&b, ctx->sync_text_1);
  srItemRaw(&b, ctx->sync_text_2);
  srItemRaw(&b, ctx->h_value);

  int32_t services = ctx->services != NULL ? ctx->service_count : 0;
  srItemInt(&b, services);
  for (int32_t i = 0; i < services; i++) {
    const SRService* s = &ctx->services[i];
    srItemInt(&b, s->id);
    srItemEscaped(&b, s->name);
    srItemEscaped(&b, s->icon);
    srItemInt(&b, s->connected);
    srItemRaw(&b, s->secure);
    srItemRaw(&b, s->ksc);
  }
  int32_t keys = ctx->service_keys != NULL ? ctx->service_key_count : 0;
  srItemInt(&b, keys);
  for (int32_t i = 0; i < keys; i++) {
    srItemInt(&b, ctx->service_keys[i].service_id);
    srItemRaw(&b, ctx->service_keys[i].key);
  }
  int32_t messages = ctx->messages != NULL ? ctx->message_count : 0;
  srItemInt(&b, messages);
  srItemInt(&b, ctx->messages_time);
  for (int32_t i = 0; i < messages; i++) {
    const SRMessage* m = &ctx->messages[i];
    srItemInt(&b, m->id);
    srItemEscaped(&b, m->title);
    srItemEscaped(&b, m->content);
    srItemInt(&b, m->ack);
  }
  srItemInt(&b, ctx->version_refused);
  srItemEscaped(&b, ctx->new_version);
  srItemEscaped(&b, ctx->new_version_url);

  if (b.failed) {
    free(b.data);
    return srStrDup("");
  }
  return b.data;
}

char* SRStorageDataGet(SRContext* ctx) {
  return srStateSerialize(ctx);
}

/* ---- Reading ----------------------------------------------------------------------------- */

char* srAmpUnescape(const char* text) {
  return srStrReplaceAll(srStrDup(text), "&amp;", "&"); /* not rescanned: "&amp;amp;" -> "&amp;" */
}

static const char* srItemNext(char** cursor) {
  return srTokenNext(SR_ITEM_SEPARATOR, cursor);
}

static int32_t srItemIntRead(char** cursor) {
  return srAtoi(srItemNext(cursor));
}

/* A raw item as a new text. The last item of a damaged text, cut off without its separator, may
 * end in the first "&" of that separator; the "&" is dropped, because a raw field ending in "&"
 * would merge with the separator when written back and shift every item after it. */
static char* srItemRawNew(char** cursor) {
  const char* item = srItemNext(cursor);
  size_t length = strlen(item);
  int cut_off = item + length == *cursor; /* not ended by a separator */
  if (cut_off && length > 0 && item[length - 1] == '&') length--;
  return srStrDupMax(item, (int32_t)length);
}

static void srItemRawRead(char** cursor, char** field) {
  *field = srStrReplace(*field, srItemRawNew(cursor));
}

static char* srItemEscapedNew(char** cursor) {
  return srAmpUnescape(srItemNext(cursor));
}

/* The number of items srTokenNext can still return at cursor before the text ends (an upper
 * bound: an empty tail counts as one). */
static int64_t srItemsLeft(const char* cursor) {
  if (*cursor == '\0') return 0;
  int64_t items = 1;
  for (const char* at = strstr(cursor, SR_ITEM_SEPARATOR); at != NULL;
       at = strstr(at + 2, SR_ITEM_SEPARATOR))
    items++;
  return items;
}

/* How many records of items_per_record items to allocate for a count read from the text. */
static int32_t srRecordCount(int32_t count, const char* cursor, int32_t items_per_record) {
  if (count <= 0) return 0;
  if (count <= SR_STATE_TRUSTED_COUNT) return count;
  int64_t fillable = (srItemsLeft(cursor) + items_per_record - 1) / items_per_record;
  if (fillable < SR_STATE_TRUSTED_COUNT) fillable = SR_STATE_TRUSTED_COUNT;
  return count < fillable ? count : (int32_t)fillable;
}

/* Skips the items of records that could not be allocated, so the items after the list still
 * land in their own fields. */
static void srItemsSkip(char** cursor, int32_t records, int32_t items_per_record) {
  for (int64_t i = 0; i < (int64_t)records * items_per_record && **cursor != '\0'; i++)
    (void)srItemNext(cursor);
}

static void srServicesLoad(SRContext* ctx, int32_t code, char** cursor) {
  int32_t items_per_record = code >= SR_STATE_CODE_KSC ? 6 : 5;
  int32_t stated = srItemIntRead(cursor); /* before the cursor is looked at: it moves */
  int32_t count = srRecordCount(stated, *cursor, items_per_record);
  if (count == 0) return;
  ctx->services = (SRService*)calloc((size_t)count, sizeof *ctx->services);
  if (ctx->services == NULL) {
    srItemsSkip(cursor, count, items_per_record);
    return;
  }
  ctx->service_count = count;
  for (int32_t i = 0; i < count; i++) {
    SRService* s = &ctx->services[i];
    s->id = srItemIntRead(cursor);
    s->name = srItemEscapedNew(cursor);
    s->icon = srItemEscapedNew(cursor);
    s->connected = srItemIntRead(cursor);
    s->secure = srItemRawNew(cursor);
    s->ksc = code >= SR_STATE_CODE_KSC ? srItemRawNew(cursor) : NULL;
    s->url = NULL;
    s->pattern = NULL;
  }
}

static void srServiceKeysLoad(SRContext* ctx, char** cursor) {
  int32_t stated = srItemIntRead(cursor);
  int32_t count = srRecordCount(stated, *cursor, 2);
  if (count == 0) return;
  ctx->service_keys = (SRServiceKey*)calloc((size_t)count, sizeof *ctx->service_keys);
  if (ctx->service_keys == NULL) {
    srItemsSkip(cursor, count, 2);
    return;
  }
  ctx->service_key_count = count;
  for (int32_t i = 0; i < count; i++) {
    ctx->service_keys[i].service_id = srItemIntRead(cursor);
    ctx->service_keys[i].key = srItemRawNew(cursor);
  }
}

static void srMessagesLoad(SRContext* ctx, char** cursor) {
  int32_t stated = srItemIntRead(cursor);
  ctx->messages_time = srItemIntRead(cursor);
  int32_t count = srRecordCount(stated, *cursor, 4);
  if (count == 0) return;
  ctx->messages = (SRMessage*)calloc((size_t)count, sizeof *ctx->messages);
  if (ctx->messages == NULL) {
    srItemsSkip(cursor, count, 4);
    return;
  }
  ctx->message_count = count;
  for (int32_t i = 0; i < count; i++) {
    SRMessage* m = &ctx->messages[i];
    m->id = srItemIntRead(cursor);
    m->title = srItemEscapedNew(cursor);
    m->content = srItemEscapedNew(cursor);
    m->ack = srItemIntRead(cursor);
  }
}

int32_t srStateLoadCurrent(SRContext* ctx, int32_t code, char** cursor) {
  ctx->device_id = srStrReplace(ctx->device_id, srStrDup(""));
  srServicesFree(ctx);
  srServiceKeysFree(ctx);
  srMessagesFree(ctx);

  srItemRawRead(cursor, &ctx->device_id);
  srItemRawRead(cursor, &ctx->device_random);
  ctx->blocked = srItemIntRead(cursor);
  if (code >= SR_STATE_CODE_PINLESS) ctx->pinless = srItemIntRead(cursor);
  ctx->last_sync = srItemIntRead(cursor);
  srItemRawRead(cursor, &ctx->kfact);
  ctx->connected_until = srItemIntRead(cursor);
  srItemRawRead(cursor, &ctx->server_url);
  srItemRawRead(cursor, &ctx->j_value);
  srItemRawRead(cursor, &ctx->k_value);
  srItemRawRead(cursor, &ctx->k0);
  srItemRawRead(cursor, &ctx->k1);
  ctx->j_time = srItemIntRead(cursor);
  ctx->sync_int_1 = srItemIntRead(cursor);
  ctx->sync_int_2 = srItemIntRead(cursor);
  ctx->sync_int_3 = srItemIntRead(cursor);
  ctx->sync_int_4 = srItemIntRead(cursor);
  ctx->sync_int_5 = srItemIntRead(cursor);
  ctx->sync_int_6 = srItemIntRead(cursor);
  srItemRawRead(cursor, &ctx->sync_text_1);
  srItemRawRead(cursor, &ctx->sync_text_2);
  srItemRawRead(cursor, &ctx->h_value);
  srServicesLoad(ctx, code, cursor);
  srServiceKeysLoad(ctx, cursor);
  srMessagesLoad(ctx, cursor);
  ctx->version_refused = srItemIntRead(cursor);
  ctx->new_version = srStrReplace(ctx->new_version, srItemEscapedNew(cursor));
  ctx->new_version_url = srStrReplace(ctx->new_version_url, srItemEscapedNew(cursor));
  return SR_OK;
}

int32_t srStateVersionCode(const SRContext* ctx, const char* version) {
  (void)ctx;
  static const char* const kVersions[] = {"0.2.1", "0.2.2", "0.2.3", "0.2.4",
                                          "0.2.5", "0.2.6", "0.2.7"};
  if (version == NULL) return 0;
  for (int32_t i = 0; i < (int32_t)(sizeof kVersions / sizeof kVersions[0]); i++)
    if (strcmp(version, kVersions[i]) == 0) return 2 * 256 + 1 + i;
  return 0;
}

int32_t srStateParse(SRContext* ctx, char* text) {
  char* cursor = text;
  int32_t code = srStateVersionCode(ctx, srItemNext(&cursor));
  if (code == 0) return SR_ERR_SN; /* 3: the format version is not recognised */
  return srStateLoadCurrent(ctx, code, &cursor);
}

int32_t SRStorageDataSet(SRContext* ctx, const char* text) {
  char* copy = srStrDup(text != NULL ? text : "");
  if (copy == NULL) return SR_ERR_SN;
  int32_t result = srStateParse(ctx, copy);
  free(copy);
  return result;
}
