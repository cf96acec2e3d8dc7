/* The generic two-step exchange shared by the activation and the online OTP: ActionSetup,
 * ActionFinalize with its proof values, and the secrets follow-up that hands the service a new
 * secret for each service it asks about. */
#include "sdk/action_exchange.h"

#include <stdlib.h>
#include <string.h>

#include "sdk/crypto/keyed.h"
#include "sdk/crypto/random.h"
#include "sdk/reply_values.h"
#include "sdk/string_helpers.h"
#include "sdk/sync_data.h"
#include "sdk/ws_exchange.h"

#define SR_ACTION_SETUP "ActionSetup"
#define SR_ACTION_FINALIZE "ActionFinalize"
#define SR_MODE_ACTIVATE "activate"
#define SR_MODE_SECRETS "ms"

static const char* srOrEmpty(const char* text) {
  return text != NULL ? text : "";
}

static void srTextSet(char** field, const char* value) {
  *field = srStrReplace(*field, srStrDup(srOrEmpty(value)));
}

/* Appends a copy of text to query; consumes query. */
static char* srTextAdd(char* query, const char* text) {
  return srStrConcat(query, 1, srStrDup(srOrEmpty(text)), 1);
}

char* srQueryItemAdd(char* query, const char* name, char* value) {
  return srStrConcat(srTextAdd(query, name), 1, value, 1);
}

/* The items every request starts with: mode, device id, mVault id and last synchronisation. */
static char* srIdentityItems(const SRContext* ctx, const char* mode) {
  char* query = srQueryItemAdd(NULL, "&mode=", srQueryEncode(mode));
  query = srQueryItemAdd(query, "&id=", srQueryEncode(ctx->device_id));
  query = srQueryItemAdd(query, "&macid=", srQueryEncode(ctx->mvault_id));
  return srQueryItemAdd(query, "&lastsync=", srIntToStr(ctx->last_sync));
}

int32_t srStateCheck(const SRContext* ctx, int32_t want_activated) {
  int32_t activated = srIsActivated(ctx) != 0;
  return activated == (want_activated != 0) && ctx->blocked == 0 ? 0 : 1;
}

char* srSetupQueryBuild(SRContext* ctx, const char* mode, const char* extra) {
  srTextSet(&ctx->request_mode, mode);
  char* query = srIdentityItems(ctx, ctx->request_mode);
  query = srQueryItemAdd(query, "&version=", srQueryEncode(ctx->version));
  return srTextAdd(query, extra);
}

int32_t srActionSetup(SRContext* ctx, const char* mode, const char* extra) {
  char* query = srSetupQueryBuild(ctx, mode, extra);
  SRNode* doc = srWsRequest(ctx, SR_WS_PATH, SR_ACTION_SETUP, query);
  srFree(query);
  return srSetupReplyRead(ctx, doc);
}

static const char* const kPromptElements[] = {"p_field", "p_label", "p_hidden", "p_save"};
enum { kPromptFields = (int)(sizeof kPromptElements / sizeof kPromptElements[0]) };

/* Replaces the prompts with the reply's list (count capped, below 1 empty, as for services). */
static void srPromptsRead(SRContext* ctx, const SRNode* doc) {
  srPromptsFree(ctx);
  int32_t n = srReplyListCount(doc, srDocInt(doc, "prompt_n"));
  const char** cell = srDocColumns(doc, kPromptElements, kPromptFields, n);
  SRPrompt* prompts = cell != NULL ? (SRPrompt*)calloc((size_t)n, sizeof *prompts) : NULL;
  if (prompts == NULL) {
    free((void*)cell);
    return;
  }
  for (int32_t i = 0; i < n; i++) {
    prompts[i].field = srStrDup(cell[0 * n + i]);
    prompts[i].label = srStrDup(cell[1 * n + i]);
    prompts[i].hidden = srAtoi(cell[2 * n + i]);
    prompts[i].save = srAtoi(cell[3 * n + i]);
    prompts[i].value = srStrDup("");
  }
  free((void*)cell);
  ctx->prompts = prompts;
  ctx->prompt_count = n;
}

int32_t srSetupReplyRead(SRContext* ctx, SRNode* doc) {
  if (doc == NULL) return SR_ERR_NO_REPLY;
  srNewVersionRead(ctx, doc);
  const char* err = srDocText(doc, "err");
  if (strcmp(err, "OK") != 0) {
    int32_t code = srResultCode(ctx, doc, err);
    srNodeFree(doc);
    return code;
  }
  srTextSet(&ctx->challenge, srDocText(doc, "challenge"));
  ctx->need_sync = srDocInt(doc, "needsync");
  srTextSet(&ctx->antiphishing, srDocText(doc, "antiphishing"));
  const char* kfact = srDocText(doc, "Kfact");
  if (*kfact != '\0') {
    srTextSet(&ctx->kfact, kfact);
    srStateChangedMark(ctx);
  }
  /* Recovered with the Kfact of this same reply when it carried one. */
  const char* ksr = srDocText(doc, "Ksr");
  if (*ksr != '\0') ctx->ksr = srStrReplace(ctx->ksr, srRsaRecoverHex(ksr, ctx->kfact));
  ctx->pin_mode = srDocInt(doc, "pinmode");
  ctx->current_service = srServiceIndex(ctx, srDocInt(doc, "serviceid"));
  ctx->no_popup = srDocInt(doc, "nopopup");
  srPromptsRead(ctx, doc);
  srNodeFree(doc);
  return SR_OK;
}

/* SHA-256 hex of prefix + third. */
static char* srProofValue(const char* prefix, const char* third) {
  return srSha256Hex(srStrConcat(srStrDup(prefix), 1, srStrDup(srOrEmpty(third)), 1));
}

char* srProofBuild(SRContext* ctx, const char* proof_pin) {
  char* prefix = srStrConcat(srStrDup(ctx->challenge), 1, srStrDup(";"), 1);
  prefix = srStrConcat(prefix, 1, srStrDup(ctx->k0), 1);
  prefix = srStrConcat(prefix, 1, srStrDup(";"), 1);
  char* proof = srQueryItemAdd(NULL, "&R0=", srProofValue(prefix, ctx->finalize_identity));
  proof = srQueryItemAdd(proof, "&R1=", srProofValue(prefix, ctx->k1));
  proof = srQueryItemAdd(proof, "&R2=", srProofValue(prefix, proof_pin));
  srFree(prefix);
  return proof;
}

/* "&ack=" and the id of every message still to be acknowledged (ack 2), each followed by ":". */
static char* srAcksBuild(const SRContext* ctx) {
  char* acks = srStrDup("&ack=");
  for (int32_t i = 0; ctx->messages != NULL && i < ctx->message_count; i++) {
    if (ctx->messages[i].ack != 2) continue;
    acks = srStrConcat(acks, 1, srIntToStr(ctx->messages[i].id), 1);
    acks = srTextAdd(acks, ":");
  }
  return acks;
}

char* srFinalizeQueryBuild(SRContext* ctx, const char* proof_pin, const char* pin,
                           const char* extra) {
  ctx->finalize_data_key = srStrReplace(ctx->finalize_data_key, srPinKeyDerive(ctx, pin));
  ctx->finalize_identity = srStrReplace(ctx->finalize_identity, srDeviceIdentity(ctx));
  ctx->finalize_pin = srStrReplace(ctx->finalize_pin, srStrDup(srOrEmpty(pin)));
  char* query = srIdentityItems(ctx, ctx->request_mode);
  query = srQueryItemAdd(query, "&version=", srQueryEncode(ctx->version));
  query = srQueryItemAdd(query, "&lang=", srQueryEncode(ctx->language));
  query = srStrConcat(query, 1, srProofBuild(ctx, proof_pin), 1);
  query = srStrConcat(query, 1, srAcksBuild(ctx), 1);
  return srTextAdd(query, extra);
}

static const char* const kExtraElements[] = {"e_field", "e_value"};

/* Replaces the extra fields with the reply's list (count capped, below 1 empty). */
static void srExtraFieldsRead(SRContext* ctx, const SRNode* doc) {
  srExtraFieldsFree(ctx);
  int32_t n = srReplyListCount(doc, srDocInt(doc, "e_n"));
  const char** cell = srDocColumns(doc, kExtraElements, 2, n);
  SRExtraField* fields = cell != NULL ? (SRExtraField*)calloc((size_t)n, sizeof *fields) : NULL;
  if (fields == NULL) {
    free((void*)cell);
    return;
  }
  for (int32_t i = 0; i < n; i++) {
    fields[i].field = srStrDup(cell[i]);
    fields[i].value = srStrDup(cell[n + i]);
  }
  free((void*)cell);
  ctx->extra_fields = fields;
  ctx->extra_field_count = n;
}

int32_t srFinalizeReplyRead(SRContext* ctx, SRNode* doc) {
  if (doc == NULL) {
    srFinalizeScratchFree(ctx);
    return SR_ERR_NO_REPLY;
  }
  srNewVersionRead(ctx, doc);
  const char* err = srDocText(doc, "err");
  if (strcmp(err, "OK") != 0) {
    int32_t code = srResultCode(ctx, doc, err);
    srNodeFree(doc);
    srFinalizeScratchFree(ctx);
    return code;
  }
  srSyncDataRead(ctx, doc, ctx->finalize_data_key);
  ctx->blocked = 0;
  if (strcmp(ctx->request_mode, SR_MODE_ACTIVATE) == 0 && ctx->pin_mode == 0) ctx->pinless = 1;
  srTextSet(&ctx->reply_code, srDocText(doc, "code"));
  ctx->otp_defi = srDocInt(doc, "defi");
  ctx->current_service = srServiceIndex(ctx, srDocInt(doc, "serviceid"));
  srTextSet(&ctx->reply_action, srDocText(doc, "action"));
  srTextSet(&ctx->reply_alias, srDocText(doc, "alias"));
  srTextSet(&ctx->otp_format, srDocText(doc, "format"));
  srTextSet(&ctx->kps, srDocText(doc, "Kps"));
  srTextSet(&ctx->form, srDocText(doc, "form"));
  srTextSet(&ctx->otp_field, srDocText(doc, "otpfield"));
  srExtraFieldsRead(ctx, doc);
  return SR_OK;
}

int32_t srActionFinalize(SRContext* ctx, const char* proof_pin, const char* pin,
                         const char* extra) {
  char* query = srFinalizeQueryBuild(ctx, proof_pin, pin, extra);
  SRNode* doc = srWsRequest(ctx, SR_WS_PATH, SR_ACTION_FINALIZE, query);
  srFree(query);
  int32_t result = srFinalizeReplyRead(ctx, doc);
  if (result != SR_OK) return result;

  /* Any count but 0 asks for secrets, a negative one included (it then lists none). */
  int32_t n = srDocInt(doc, "ms_n");
  if (n == 0) {
    srNodeFree(doc);
    srFinalizeScratchFree(ctx);
    return SR_OK;
  }
  const unsigned long failures = srRandomFailures();
  char* secrets_query = srSecretsQueryBuild(ctx, doc, n);
  if (srRandomFailures() != failures) { /* a secret or its OAEP seed could not be drawn */
    srFree(secrets_query);
    srFinalizeScratchFree(ctx);
    return SR_ERR_SYNCHROFAILED;
  }
  SRNode* secrets_doc = srWsRequest(ctx, SR_WS_PATH, SR_ACTION_FINALIZE, secrets_query);
  srFree(secrets_query);
  return srSecretsReplyRead(ctx, secrets_doc);
}

static const char* const kSecretElements[] = {"ms_id", "ms_key"};

/* Makes one new service secret: it goes to the service RSA-encrypted under the key that ms_key
 * carries (recovered with kfact) and is kept AES-encrypted under the finalize data key. Returns
 * the request items of entry i. */
static char* srSecretMake(SRContext* ctx, int32_t i, const char* id_text, const char* key_hex) {
  char* secret = srRandomHex32();
  char* service_modulus = srRsaRecoverHex(key_hex, ctx->kfact);
  char* value = srRsaEncryptHex(secret, service_modulus);
  int32_t id = srAtoi(id_text);
  srServiceKeySet(ctx, id, srHexBlockEncrypt(secret, srOrEmpty(ctx->finalize_data_key)));
  srFree(service_modulus);
  srFree(secret);

  char* items = srQueryItemAdd(NULL, "&ms_id", srIntToStr(i));
  items = srQueryItemAdd(items, "=", srIntToStr(id));
  items = srQueryItemAdd(items, "&ms_val", srIntToStr(i));
  return srQueryItemAdd(items, "=", value);
}

char* srSecretsQueryBuild(SRContext* ctx, SRNode* doc, int32_t n) {
  /* The count goes out as given (a negative one too, with no items) but never beyond the list
   * bounds, so the items sent always match "&ms_n=". */
  if (n > 0) n = srReplyListCount(doc, n);
  srTextSet(&ctx->request_mode, SR_MODE_SECRETS);
  srTextSet(&ctx->challenge, srDocText(doc, "challenge"));
  ctx->finalize_identity = srStrReplace(ctx->finalize_identity, srDeviceIdentity(ctx));
  char* proof = srProofBuild(ctx, ctx->finalize_pin);

  char* items = srQueryItemAdd(NULL, "&ms_n=", srIntToStr(n));
  const char** cell = srDocColumns(doc, kSecretElements, 2, n); /* NULL when n < 1 */
  for (int32_t i = 0; cell != NULL && i < n; i++)
    items = srStrConcat(items, 1, srSecretMake(ctx, i, cell[i], cell[n + i]), 1);
  free((void*)cell);
  srNodeFree(doc);

  char* query = srIdentityItems(ctx, ctx->request_mode);
  query = srStrConcat(query, 1, proof, 1);
  return srStrConcat(query, 1, items, 1);
}

int32_t srSecretsReplyRead(SRContext* ctx, SRNode* doc) {
  if (doc == NULL) {
    srFinalizeScratchFree(ctx);
    return SR_ERR_SYNCHROFAILED;
  }
  int32_t result = SR_OK;
  const char* err = srDocText(doc, "err");
  if (strcmp(err, "OK") == 0) {
    srSyncDataRead(ctx, doc, ctx->finalize_data_key);
  } else {
    /* Only for its effects on the context (blocked, version refused, reset): every failure of
     * the follow-up reports the same code. */
    (void)srResultCode(ctx, doc, err);
    result = SR_ERR_SYNCHROFAILED;
  }
  srNodeFree(doc);
  srFinalizeScratchFree(ctx);
  return result;
}
