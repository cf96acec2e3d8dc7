/* Public C interface of the authentication SDK: the context record, its list records,
 * the transport callback type, the result codes and the host-facing calls.
 *
 * Conventions: every text is a NUL-terminated malloc'd byte string; a call that returns a
 * new text hands it to the caller (free it with free()); setters copy their input; lookups
 * return a static "" instead of NULL. Nothing here throws. */
#ifndef NRD_SDK_SRSDK_H
#define NRD_SDK_SRSDK_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Protocol constants: the one flavour of the service protocol the SDK speaks. */
#define SR_WS_PATH "/srws/MAC"
#define SR_PROTOCOL_VERSION "0.2.7"
#define SR_STATE_FORMAT_VERSION "0.2.7"
#define SR_LANGUAGE "fr"
#define SR_DEFAULT_WS_SERVER_URL "http://127.0.0.1:8080"
#define SR_DEFAULT_WS_TIMEOUT 10000
#define SR_MAX_IDENTITY_PART 64 /* device serial and unique key are cut to this length */

/* Result codes of every SDK call that talks to the service. */
enum {
  SR_OK = 0,
  SR_ERR_NO_REPLY = 1,       /* no usable reply, or an unrecognised result text */
  SR_ERR_CODE = 2,           /* "NOK:CODE" */
  SR_ERR_SN = 3,             /* "NOK:SN"; also an unrecognised persistent-state version */
  SR_ERR_ACCESS = 4,         /* "NOK:ACCESS" */
  SR_ERR_VERSION = 5,        /* "NOK:VERSION" */
  SR_ERR_SAT = 6,            /* "NOK:SAT" */
  SR_ERR_BLOCKED = 7,        /* "NOK_BLOCKED" or "OK:BLOCKED" */
  SR_ERR_STATE = 8,          /* "NOK:STATE" */
  SR_ERR_NODEVICE = 9,       /* "NOK:NODEVICE" */
  SR_ERR_NOCA = 10,          /* "NOK:NOCA" */
  SR_ERR_NOSRV = 11,         /* "NOK:NOSRV" */
  SR_ERR_PINREUSED = 12,     /* "NOK:PINREUSED" */
  SR_ERR_SYNCHROFAILED = 13, /* "NOK:SYNCHROFAILED"; any failure of the secrets follow-up */
  SR_ERR_FORBIDDEN = 14,     /* "NOK:FORBIDDEN"; wrong state or service index out of range */
  SR_ERR_PINREFUSED = 15,    /* "NOK:PINREFUSED" */
  SR_ERR_TIMEOUT = 16,       /* "NOK:TIMEOUT" */
  SR_ERR_URL = 17,           /* "NOK:URL" */
  SR_ERR_NOK = 999           /* bare "NOK"; also an unknown OTP format */
};

/* Host HTTP transport: fetch url, hand the body back with SRWsResponseSet before returning. */
typedef int32_t (*SRTransportFn)(const char* url, int32_t timeout, void* user);

typedef struct SRService {
  int32_t id;        /* "s_id" */
  char* name;        /* "s_name" */
  char* icon;        /* "s_icon" */
  char* secure;      /* "s_secure" */
  char* ksc;         /* "s_ksc"; NULL when loaded from a state older than 0.2.3 */
  int32_t connected; /* "s_connected" */
  char* url;         /* "s_url"; NULL for services loaded from the persistent state */
  char* pattern;     /* "s_pattern"; NULL for services loaded from the persistent state */
} SRService;

typedef struct SRServiceKey {
  int32_t service_id;
  char* key; /* 32 hex: the service secret encrypted under the PIN key */
} SRServiceKey;

typedef struct SRMessage {
  int32_t id;    /* "m_id" */
  char* title;   /* "m_title" */
  char* content; /* "m_content" */
  int32_t ack;   /* "m_ack"; 2 = to be acknowledged in every ActionFinalize */
} SRMessage;

typedef struct SRWarning {
  char* code;
  int32_t arg_count;
  char** args;
} SRWarning;

typedef struct SRPrompt {
  char* field;    /* "p_field" */
  char* label;    /* "p_label" */
  int32_t hidden; /* "p_hidden" */
  int32_t save;   /* "p_save" */
  char* value;    /* "" when made */
} SRPrompt;

typedef struct SRExtraField {
  char* field; /* "e_field" */
  char* value; /* "e_value" */
} SRExtraField;

/* The SDK's one state record. Texts are owned and never NULL after SRInit unless noted. */
typedef struct SRContext {
  char* ws_server_url;        /*  1 configured base URL */
  int32_t ws_timeout;         /*  2 handed to the transport */
  char* version;              /*  3 "&version=" value */
  char* device_serial;        /*  4 cut to 64 characters */
  char* unique_key;           /*  5 cut to 64 characters */
  char* mvault_id;            /*  6 "&macid=" value */
  char* language;             /*  7 "&lang=" value, always "fr" */
  int32_t storage_changed;    /*  8 persisted data changed since the host last asked */
  char* device_id;            /*  9 persisted; non-empty = enrolled */
  char* device_random;        /* 10 persisted; 32 hex */
  int32_t blocked;            /* 11 persisted */
  int32_t pinless;            /* 12 persisted */
  int32_t last_sync;          /* 13 persisted; "Tsync" */
  char* kfact;                /* 14 persisted; hex modulus */
  int32_t connected_until;    /* 15 persisted; time */
  char* server_url;           /* 16 persisted; base URL when non-empty */
  char* j_value;              /* 17 persisted */
  char* k_value;              /* 18 persisted */
  char* k0;                   /* 19 persisted; 32 hex */
  char* k1;                   /* 20 persisted; 32 hex */
  int32_t sync_int_1;         /* 21 persisted */
  int32_t sync_int_2;         /* 22 persisted */
  int32_t sync_int_3;         /* 23 persisted */
  int32_t sync_int_4;         /* 24 persisted */
  int32_t sync_int_5;         /* 25 persisted */
  int32_t sync_int_6;         /* 26 persisted */
  char* sync_text_1;          /* 27 persisted */
  char* sync_text_2;          /* 28 persisted */
  char* h_value;              /* 29 persisted; 32 hex */
  int32_t j_time;             /* 30 persisted; time */
  int32_t service_count;      /* 31 persisted */
  SRService* services;        /* 32 persisted */
  int32_t service_key_count;  /* 33 persisted */
  SRServiceKey* service_keys; /* 34 persisted */
  int32_t messages_time;      /* 35 persisted; time */
  int32_t message_count;      /* 36 persisted */
  SRMessage* messages;        /* 37 persisted */
  int32_t version_refused;    /* 38 persisted */
  char* new_version;          /* 39 persisted */
  char* new_version_url;      /* 40 persisted */
  int32_t current_service;    /* 41 index into services, -1 when unknown */
  char* ksr;                  /* 42 modulus recovered from "Ksr" */
  int32_t need_sync;          /* 43 */
  int32_t pin_mode;           /* 44 */
  char* reply_code;           /* 45 */
  char* request_mode;         /* 46 "&mode=" of the request in progress */
  char* challenge;            /* 47 */
  int32_t otp_defi;           /* 48 */
  char* otp_format;           /* 49 */
  char* reply_action;         /* 50 */
  char* reply_alias;          /* 51 */
  int32_t services_updated;   /* 52 */
  int32_t warning_count;      /* 53 */
  SRWarning* warnings;        /* 54 */
  char* response_body;        /* 55 NULL when there is none */
  char* kps;                  /* 56 */
  char* antiphishing;         /* 57 */
  int32_t no_popup;           /* 58 */
  int32_t otp_flags;          /* 59 bit value 2: otp_value is ready */
  char* form;                 /* 60 */
  char* otp_value;            /* 61 */
  char* otp_field;            /* 62 */
  int32_t prompt_count;       /* 63 */
  SRPrompt* prompts;          /* 64 */
  int32_t extra_field_count;  /* 65 */
  SRExtraField* extra_fields; /* 66 */
  char* finalize_data_key;    /* 67 NULL outside a second step */
  char* finalize_identity;    /* 68 NULL outside a second step */
  char* finalize_pin;         /* 69 NULL outside a second step */
  SRTransportFn transport;    /* 70 */
  void* transport_user;       /* 71 the context itself when SRInit was given NULL */
} SRContext;

/* Context and configuration. The first argument of SRInit is ignored (callers pass 0). */
SRContext* SRInit(int32_t reserved, const char* device_serial, const char* unique_key,
                  SRTransportFn transport, void* user);
void SRContextFree(SRContext* ctx); /* releases a context and everything it owns; NULL is fine */
void SRHostVersionSet(SRContext* ctx, const char* host_version);
void SRWsServerSet(SRContext* ctx, const char* url);
void SRWsTimeoutSet(SRContext* ctx, int32_t timeout);
void SRMvaultSet(SRContext* ctx, const char* mvault_id);

/* Persistent state. */
int32_t SRStorageDataSet(SRContext* ctx, const char* text);
int32_t SRStorageDataChanged(SRContext* ctx);
char* SRStorageDataGet(SRContext* ctx);

/* Transport reply: a copy of body is kept (NULL stores NULL). */
void SRWsResponseSet(SRContext* ctx, const char* body);

/* Activation. */
int32_t SRActivationStart(SRContext* ctx, const char* code);
int32_t SRActivationFinalize(SRContext* ctx, const char* code, const char* pin, const char* name);

/* Online OTP. SROnlineOtpGet returns the context-owned OTP text or NULL. */
int32_t SROnlineOtpStart(SRContext* ctx, int32_t service_index);
int32_t SROnlineOtpFinalize(SRContext* ctx, int32_t service_index, const char* pin);
const char* SROnlineOtpGet(SRContext* ctx);

#ifdef __cplusplus
}
#endif

#endif /* NRD_SDK_SRSDK_H */
