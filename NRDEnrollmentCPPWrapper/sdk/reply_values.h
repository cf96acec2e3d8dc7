/* Numbers and repeated elements read out of a reply document. */
#ifndef NRD_SDK_REPLY_VALUES_H
#define NRD_SDK_REPLY_VALUES_H

#include <stdint.h>

#include "sdk/markup_parser.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Bounds for the records the SDK makes for one list of a reply (services, messages, prompts,
 * extra fields, service secrets). The counts ("s_n", "m_n", "prompt_n", "e_n", "ms_n") come
 * from the network, and without a bound one short hostile reply could make us allocate, or run
 * RSA work for, billions of records. A list may announce more records than it describes (the
 * rest are empty), but not by more than SR_REPLY_LIST_SLACK beyond the reply's element count,
 * so what we make stays proportional to what we received; and never more than
 * SR_REPLY_LIST_MAX, far above the few dozen a real service sends, whatever the reply's size. */
#define SR_REPLY_LIST_SLACK 16
#define SR_REPLY_LIST_MAX 4096

/* srAtoi of the text of the first child element of that name (0 when absent). */
int32_t srDocInt(const SRNode* doc, const char* name);

/* How many records to make for a list whose count doc gave: 0 for a count below 1, otherwise
 * the count within the bounds above. Lists keep the invariant that their count equals the
 * number of records allocated, so every reader may index up to the count. */
int32_t srReplyListCount(const SRNode* doc, int32_t count);

/* Reads n records of parallel repeated elements in one pass per name. Returns a new table of
 * field_count * n borrowed texts, where cell [f * n + i] is the text of the i-th child element
 * named names[f] ("" when absent or without text). The texts live as long as doc; free only
 * the table. Returns NULL when n < 1. */
const char** srDocColumns(const SRNode* doc, const char* const* names, int32_t field_count,
                          int32_t n);

#ifdef __cplusplus
}
#endif

#endif
