/* SRContext: creation, configuration calls, initial values and the release of what it owns. */
#include "sdk/context.h"

#include <stdlib.h>
#include <string.h>

#include "sdk/string_helpers.h"

/* Replaces an owned text field with a copy of value ("" for NULL). */
static void srFieldSet(char** field, const char* value) {
  *field = srStrReplace(*field, srStrDup(value != NULL ? value : ""));
}

static void srFieldClear(char** field) {
  srFree(*field);
  *field = NULL;
}

char* srDeviceIdentity(const SRContext* ctx) {
  char* identity = srStrConcat(srStrDup(ctx->device_serial), 1, srStrDup("/"), 1);
  identity = srStrConcat(identity, 1, srStrDup(ctx->unique_key), 1);
  identity = srStrConcat(identity, 1, srStrDup("/"), 1);
  return srStrConcat(identity, 1, srStrDup(ctx->device_random), 1);
}

void srServicesFree(SRContext* ctx) {
  for (int32_t i = 0; ctx->services != NULL && i < ctx->service_count; i++) {
    SRService* s = &ctx->services[i];
    srFree(s->name);
    srFree(s->icon);
    srFree(s->secure);
    srFree(s->ksc);
    srFree(s->url);
    srFree(s->pattern);
  }
  srFree(ctx->services);
  ctx->services = NULL;
  ctx->service_count = 0;
}

void srServiceKeysFree(SRContext* ctx) {
  for (int32_t i = 0; ctx->service_keys != NULL && i < ctx->service_key_count; i++)
    srFree(ctx->service_keys[i].key);
  srFree(ctx->service_keys);
  ctx->service_keys = NULL;
  ctx->service_key_count = 0;
}

void srMessagesFree(SRContext* ctx) {
  for (int32_t i = 0; ctx->messages != NULL && i < ctx->message_count; i++) {
    srFree(ctx->messages[i].title);
    srFree(ctx->messages[i].content);
  }
  srFree(ctx->messages);
  ctx->messages = NULL;
  ctx->message_count = 0;
}

void srWarningsFree(SRContext* ctx) {
  for (int32_t i = 0; ctx->warnings != NULL && i < ctx->warning_count; i++) {
    SRWarning* w = &ctx->warnings[i];
    for (int32_t j = 0; w->args != NULL && j < w->arg_count; j++) srFree(w->args[j]);
    srFree(w->args);
    srFree(w->code);
  }
  srFree(ctx->warnings);
  ctx->warnings = NULL;
  ctx->warning_count = 0;
}

void srPromptsFree(SRContext* ctx) {
  for (int32_t i = 0; ctx->prompts != NULL && i < ctx->prompt_count; i++) {
    SRPrompt* p = &ctx->prompts[i];
    srFree(p->field);
    srFree(p->label);
    srFree(p->value);
  }
  srFree(ctx->prompts);
  ctx->prompts = NULL;
  ctx->prompt_count = 0;
}

void srExtraFieldsFree(SRContext* ctx) {
  for (int32_t i = 0; ctx->extra_fields != NULL && i < ctx->extra_field_count; i++) {
    srFree(ctx->extra_fields[i].field);
    srFree(ctx->extra_fields[i].value);
  }
  srFree(ctx->extra_fields);
  ctx->extra_fields = NULL;
  ctx->extra_field_count = 0;
}

void srFinalizeScratchFree(SRContext* ctx) {
  srFieldClear(&ctx->finalize_data_key);
  srFieldClear(&ctx->finalize_identity);
  srFieldClear(&ctx->finalize_pin);
}

/* Persisted fields to their initial values. Expects the text fields to be free (or NULL). */
void srStateInit(SRContext* ctx) {
  ctx->storage_changed = 0;
  char** texts[] = {&ctx->device_id,      &ctx->device_random, &ctx->kfact,   &ctx->server_url,
                    &ctx->j_value,        &ctx->k_value,       &ctx->k0,      &ctx->k1,
                    &ctx->sync_text_1,    &ctx->sync_text_2,   &ctx->h_value, &ctx->new_version,
                    &ctx->new_version_url};
  for (size_t i = 0; i < sizeof texts / sizeof texts[0]; i++) *texts[i] = srStrDup("");
  ctx->blocked = ctx->pinless = ctx->last_sync = ctx->connected_until = 0;
  ctx->sync_int_1 = ctx->sync_int_2 = ctx->sync_int_3 = 0;
  ctx->sync_int_4 = ctx->sync_int_5 = ctx->sync_int_6 = 0;
  ctx->j_time = ctx->messages_time = ctx->version_refused = 0;
  ctx->service_count = ctx->service_key_count = ctx->message_count = 0;
  ctx->services = NULL;
  ctx->service_keys = NULL;
  ctx->messages = NULL;
}

/* The per-exchange fields to their initial values. Expects them to be free (or NULL). */
void srSessionInit(SRContext* ctx) {
  ctx->current_service = ctx->need_sync = ctx->pin_mode = ctx->otp_defi = 0;
  ctx->services_updated = ctx->no_popup = ctx->otp_flags = 0;
  char** texts[] = {&ctx->ksr,          &ctx->reply_code,   &ctx->request_mode, &ctx->challenge,
                    &ctx->otp_format,   &ctx->reply_action, &ctx->reply_alias,  &ctx->kps,
                    &ctx->antiphishing, &ctx->form,         &ctx->otp_value,    &ctx->otp_field};
  for (size_t i = 0; i < sizeof texts / sizeof texts[0]; i++) *texts[i] = srStrDup("");
  ctx->response_body = NULL;
  ctx->warning_count = ctx->prompt_count = ctx->extra_field_count = 0;
  ctx->warnings = NULL;
  ctx->prompts = NULL;
  ctx->extra_fields = NULL;
  ctx->finalize_data_key = ctx->finalize_identity = ctx->finalize_pin = NULL;
}

void srStateFree(SRContext* ctx) {
  char** texts[] = {&ctx->device_id,      &ctx->device_random, &ctx->kfact,   &ctx->server_url,
                    &ctx->j_value,        &ctx->k_value,       &ctx->k0,      &ctx->k1,
                    &ctx->sync_text_1,    &ctx->sync_text_2,   &ctx->h_value, &ctx->new_version,
                    &ctx->new_version_url};
  for (size_t i = 0; i < sizeof texts / sizeof texts[0]; i++) srFieldClear(texts[i]);
  srServicesFree(ctx);
  srServiceKeysFree(ctx);
  srMessagesFree(ctx);
}

void srStateReset(SRContext* ctx) {
  srStateFree(ctx);
  srStateInit(ctx);
  ctx->storage_changed = 1;
}

void srStateChangedMark(SRContext* ctx) {
  ctx->storage_changed = 1;
}

int32_t srIsActivated(const SRContext* ctx) {
  return ctx->device_id != NULL && ctx->device_id[0] != '\0';
}

int32_t srIsBlocked(const SRContext* ctx) {
  return ctx->blocked;
}

SRContext* SRInit(int32_t reserved, const char* device_serial, const char* unique_key,
                  SRTransportFn transport, void* user) {
  (void)reserved;
  SRContext* ctx = (SRContext*)calloc(1, sizeof *ctx);
  if (ctx == NULL) return NULL;
  ctx->ws_server_url = srStrDup(SR_DEFAULT_WS_SERVER_URL);
  ctx->device_serial =
      srStrDupMax(device_serial != NULL ? device_serial : "", SR_MAX_IDENTITY_PART);
  ctx->unique_key = srStrDupMax(unique_key != NULL ? unique_key : "", SR_MAX_IDENTITY_PART);
  ctx->language = srStrDup(SR_LANGUAGE);
  ctx->mvault_id = srStrDup("");
  ctx->ws_timeout = SR_DEFAULT_WS_TIMEOUT;
  ctx->version = srStrDup(SR_PROTOCOL_VERSION);
  ctx->transport = transport;
  ctx->transport_user = user != NULL ? user : ctx;
  srStateInit(ctx);
  srSessionInit(ctx);
  return ctx;
}

void SRContextFree(SRContext* ctx) {
  if (ctx == NULL) return;
  srStateFree(ctx);
  srWarningsFree(ctx);
  srPromptsFree(ctx);
  srExtraFieldsFree(ctx);
  srFinalizeScratchFree(ctx);
  char** texts[] = {
      &ctx->ws_server_url, &ctx->version,       &ctx->device_serial, &ctx->unique_key,
      &ctx->mvault_id,     &ctx->language,      &ctx->ksr,           &ctx->reply_code,
      &ctx->request_mode,  &ctx->challenge,     &ctx->otp_format,    &ctx->reply_action,
      &ctx->reply_alias,   &ctx->response_body, &ctx->kps,           &ctx->antiphishing,
      &ctx->form,          &ctx->otp_value,     &ctx->otp_field};
  for (size_t i = 0; i < sizeof texts / sizeof texts[0]; i++) srFieldClear(texts[i]);
  free(ctx);
}

void SRHostVersionSet(SRContext* ctx, const char* host_version) {
  char* version = srStrConcat(srStrDup(host_version != NULL ? host_version : ""), 1,
                              srStrDup("/" SR_PROTOCOL_VERSION), 1);
  ctx->version = srStrReplace(ctx->version, version);
}

void SRWsServerSet(SRContext* ctx, const char* url) {
  srFieldSet(&ctx->ws_server_url, url);
}

void SRWsTimeoutSet(SRContext* ctx, int32_t timeout) {
  ctx->ws_timeout = timeout;
}

void SRMvaultSet(SRContext* ctx, const char* mvault_id) {
  srFieldSet(&ctx->mvault_id, mvault_id);
}

int32_t SRStorageDataChanged(SRContext* ctx) {
  int32_t changed = ctx->storage_changed;
  ctx->storage_changed = 0;
  return changed;
}

void SRWsResponseSet(SRContext* ctx, const char* body) {
  ctx->response_body = srStrReplace(ctx->response_body, srStrDup(body));
}
