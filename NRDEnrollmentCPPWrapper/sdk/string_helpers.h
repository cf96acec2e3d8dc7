/* The SDK's small text helpers. All texts are malloc'd; ownership rules are per function. */
#ifndef NRD_SDK_STRING_HELPERS_H
#define NRD_SDK_STRING_HELPERS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

char* srStrDup(const char* text);                     /* new copy; NULL for NULL */
char* srStrDupMax(const char* text, int32_t max);     /* copy of at most max chars; NULL for NULL */
void srFree(void* p);                                 /* frees when non-NULL */
char* srStrReplace(char* old_value, char* new_value); /* frees old, returns new */
/* a+b as a new text, freeing a/b as flagged. a NULL: b itself when free_b, else a copy of b.
 * b NULL: a itself (nothing freed, nothing copied). */
char* srStrConcat(char* a, int32_t free_a, char* b, int32_t free_b);
char* srIntToStr(int32_t value); /* "%d" */
/* Reads a decimal as atoi does (leading white space, sign, digits up to the first other
 * character; 0 when there are none), saturating at the int32 range like the 32-bit atoi. */
int32_t srAtoi(const char* text);
/* Replaces every non-overlapping occurrence, left to right; consumes text. */
char* srStrReplaceAll(char* text, const char* needle, const char* replacement);
char* srStrReplaceAllCopy(char* text, int32_t free_text, const char* needle, char* replacement,
                          int32_t free_replacement);
/* Token at *cursor up to the next separator (which is overwritten by NUL), or the rest of the
 * text. At the end returns a static "" and leaves the cursor. Never NULL. */
const char* srTokenNext(const char* separator, char** cursor);
int32_t srNow(void); /* seconds since 1970, low 32 bits */

#ifdef __cplusplus
}
#endif

#endif
