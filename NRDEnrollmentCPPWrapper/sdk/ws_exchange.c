/* One request/reply exchange with the web service: the request URL, the host's transport call,
 * the reply document with its warnings, reply value lookups and the result-code mapping. */
#include "sdk/ws_exchange.h"

#include <stdlib.h>
#include <string.h>

#include "sdk/crypto/encodings.h"
#include "sdk/string_helpers.h"

char* srQueryEncode(const char* text) {
  return srUrlEncode(text != NULL ? text : "");
}

char* srQueryEncodeFree(char* text) {
  char* encoded = srQueryEncode(text);
  srFree(text);
  return encoded;
}

char* srWsUrlBuild(const char* base, const char* path, const char* action, const char* query) {
  const char* parts[] = {base != NULL ? base : "", path, "?action=", action, query};
  size_t length = 0;
  for (size_t i = 0; i < sizeof parts / sizeof parts[0]; i++)
    length += parts[i] != NULL ? strlen(parts[i]) : 0;
  char* url = (char*)malloc(length + 1);
  if (url == NULL) return NULL;
  char* out = url;
  for (size_t i = 0; i < sizeof parts / sizeof parts[0]; i++) {
    if (parts[i] == NULL) continue;
    size_t n = strlen(parts[i]);
    memcpy(out, parts[i], n);
    out += n;
  }
  *out = '\0';
  return url;
}

SRNode* srWsCall(SRContext* ctx, const char* base, const char* path, const char* action,
                 const char* query) {
  char* url = srWsUrlBuild(base, path, action, query);
  SRWsResponseSet(ctx, NULL); /* a body left from an earlier request must not be read again */
  if (url != NULL && ctx->transport != NULL)
    (void)ctx->transport(url, ctx->ws_timeout, ctx->transport_user);
  srFree(url);
  return srReplyRead(ctx);
}

SRNode* srWsRequest(SRContext* ctx, const char* path, const char* action, const char* query) {
  const char* base = (ctx->server_url != NULL && ctx->server_url[0] != '\0') ? ctx->server_url
                                                                             : ctx->ws_server_url;
  return srWsCall(ctx, base, path, action, query);
}

/* Fills one warning record from a "warning" element; returns 0 when memory ran out. */
static int srWarningRead(SRWarning* warning, const SRNode* element) {
  warning->code = srStrDup(srDocText(element, "code"));
  warning->arg_count = 0;
  warning->args = NULL;
  int32_t count = srNodeChildCount(element, "arg");
  if (count > 0) {
    warning->args = (char**)calloc((size_t)count, sizeof *warning->args);
    if (warning->args == NULL) return 0;
    for (const SRNode* child = element->children; child != NULL; child = child->next) {
      if (strcmp(child->name, "arg") != 0) continue;
      char* arg = srStrDup(child->text != NULL ? child->text : "");
      if (arg == NULL) return 0;
      warning->args[warning->arg_count++] = arg;
    }
  }
  return warning->code != NULL;
}

/* Appends the reply's "warning" elements, in document order, after the warnings already held. */
static void srWarningsCollect(SRContext* ctx, const SRNode* doc) {
  int32_t n = srNodeChildCount(doc, "warning");
  if (n == 0) return;
  SRWarning* grown =
      (SRWarning*)calloc((size_t)ctx->warning_count + (size_t)n, sizeof *ctx->warnings);
  if (grown == NULL) return; /* the warnings are informative: losing them fails nothing */
  if (ctx->warning_count > 0)
    memcpy(grown, ctx->warnings, (size_t)ctx->warning_count * sizeof *ctx->warnings);
  free(ctx->warnings);
  ctx->warnings = grown;
  for (const SRNode* child = doc->children; child != NULL; child = child->next) {
    if (strcmp(child->name, "warning") != 0) continue;
    /* Counted even when incomplete, so that srWarningsFree releases what was made. */
    srWarningRead(&ctx->warnings[ctx->warning_count++], child);
  }
}

SRNode* srReplyRead(SRContext* ctx) {
  if (ctx->response_body == NULL) return NULL;
  SRNode* doc = srMarkupParse(ctx->response_body); /* writes into the body, which is dropped */
  SRWsResponseSet(ctx, NULL);
  if (doc == NULL) return NULL;
  srWarningsCollect(ctx, doc);
  return doc;
}

const char* srDocTextAt(const SRNode* doc, const char* name, int32_t index) {
  const SRNode* child = srNodeChildAt(doc, name, index);
  return (child != NULL && child->text != NULL) ? child->text : "";
}

const char* srDocText(const SRNode* doc, const char* name) {
  return srDocTextAt(doc, name, 0);
}

/* The service's failure texts. Side effects are applied by srResultCode. */
static const struct {
  const char* text;
  int32_t code;
} kResultTexts[] = {
    {"NOK:VERSION", SR_ERR_VERSION},
    {"NOK:CODE", SR_ERR_CODE},
    {"NOK:SN", SR_ERR_SN},
    {"NOK_BLOCKED", SR_ERR_BLOCKED},
    {"OK:BLOCKED", SR_ERR_BLOCKED},
    {"NOK:ACCESS", SR_ERR_ACCESS},
    {"NOK:SAT", SR_ERR_SAT},
    {"NOK:STATE", SR_ERR_STATE},
    {"NOK:NODEVICE", SR_ERR_NODEVICE},
    {"NOK:NOCA", SR_ERR_NOCA},
    {"NOK:NOSRV", SR_ERR_NOSRV},
    {"NOK:PINREUSED", SR_ERR_PINREUSED},
    {"NOK:PINREFUSED", SR_ERR_PINREFUSED},
    {"NOK:TIMEOUT", SR_ERR_TIMEOUT},
    {"NOK:URL", SR_ERR_URL},
    {"NOK:SYNCHROFAILED", SR_ERR_SYNCHROFAILED},
    {"NOK:FORBIDDEN", SR_ERR_FORBIDDEN},
    {"NOK", SR_ERR_NOK},
};

int32_t srResultCode(SRContext* ctx, const SRNode* doc, const char* result_text) {
  (void)doc; /* the result text alone decides */
  if (result_text == NULL) return SR_ERR_NO_REPLY;
  int32_t code = SR_ERR_NO_REPLY;
  for (size_t i = 0; i < sizeof kResultTexts / sizeof kResultTexts[0]; i++) {
    if (strcmp(result_text, kResultTexts[i].text) == 0) {
      code = kResultTexts[i].code;
      break;
    }
  }
  switch (code) {
    case SR_ERR_VERSION:
      ctx->version_refused = 1;
      srStateChangedMark(ctx);
      break;
    case SR_ERR_BLOCKED:
      ctx->blocked = 1;
      srStateChangedMark(ctx);
      break;
    case SR_ERR_NODEVICE:
      srStateReset(ctx); /* the service forgot the device: so does the context */
      break;
    default:
      break;
  }
  return code;
}
