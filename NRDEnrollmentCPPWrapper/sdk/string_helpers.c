#include "sdk/string_helpers.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static char* srAllocCopy(const char* text, size_t length) {
  char* copy = (char*)malloc(length + 1);
  if (copy == NULL) return NULL;
  memcpy(copy, text, length);
  copy[length] = '\0';
  return copy;
}

char* srStrDup(const char* text) {
  if (text == NULL) return NULL;
  return srAllocCopy(text, strlen(text));
}

char* srStrDupMax(const char* text, int32_t max) {
  if (text == NULL) return NULL;
  size_t limit = max < 0 ? 0 : (size_t)max;
  const char* end = (const char*)memchr(text, '\0', limit);
  return srAllocCopy(text, end != NULL ? (size_t)(end - text) : limit);
}

void srFree(void* p) {
  if (p != NULL) free(p);
}

char* srStrReplace(char* old_value, char* new_value) {
  srFree(old_value);
  return new_value;
}

char* srStrConcat(char* a, int32_t free_a, char* b, int32_t free_b) {
  if (a == NULL) return free_b ? b : srStrDup(b);
  if (b == NULL) return a;
  size_t la = strlen(a);
  size_t lb = strlen(b);
  char* joined = (char*)malloc(la + lb + 1);
  if (joined != NULL) {
    memcpy(joined, a, la);
    memcpy(joined + la, b, lb + 1);
  }
  if (free_a) free(a);
  if (free_b) free(b);
  return joined;
}

char* srIntToStr(int32_t value) {
  char buffer[16];
  snprintf(buffer, sizeof buffer, "%d", (int)value);
  return srStrDup(buffer);
}

int32_t srAtoi(const char* text) {
  if (text == NULL) return 0;
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) text++;
  int negative = *text == '-';
  if (*text == '-' || *text == '+') text++;
  int64_t value = 0; /* magnitude, held at one past INT32_MAX once it no longer fits */
  for (; *text >= '0' && *text <= '9'; text++) {
    value = value * 10 + (*text - '0');
    if (value > (int64_t)INT32_MAX + 1) value = (int64_t)INT32_MAX + 1;
  }
  if (negative) return (int32_t)-value;
  return value > INT32_MAX ? INT32_MAX : (int32_t)value;
}

/* strstr without the library call: under the address sanitizer's strict string checks every
 * strstr measures the whole remaining text, which turns a walk over a long text quadratic. The
 * needles here are a few characters long. */
static char* srFind(const char* text, const char* needle, size_t needle_length) {
  for (const char* p = text; *p != '\0'; p++) {
    size_t i = 0;
    while (i < needle_length && p[i] == needle[i]) i++; /* stops at the text's NUL too */
    if (i == needle_length) return (char*)p;
  }
  return NULL;
}

char* srStrReplaceAll(char* text, const char* needle, const char* replacement) {
  if (text == NULL) return NULL;
  size_t needle_length = needle != NULL ? strlen(needle) : 0;
  if (needle_length == 0) return text;
  const char* with = replacement != NULL ? replacement : "";
  size_t with_length = strlen(with);

  /* Count first so the result is allocated once: linear in the text. */
  size_t count = 0;
  for (const char* at = srFind(text, needle, needle_length); at != NULL;
       at = srFind(at + needle_length, needle, needle_length))
    count++;
  if (count == 0) return text;

  size_t length = strlen(text);
  char* result = (char*)malloc(length - count * needle_length + count * with_length + 1);
  if (result == NULL) {
    free(text);
    return NULL;
  }
  char* out = result;
  const char* from = text;
  for (const char* at = srFind(from, needle, needle_length); at != NULL;
       at = srFind(from, needle, needle_length)) {
    memcpy(out, from, (size_t)(at - from));
    out += at - from;
    memcpy(out, with, with_length);
    out += with_length;
    from = at + needle_length;
  }
  memcpy(out, from, strlen(from) + 1);
  free(text);
  return result;
}

char* srStrReplaceAllCopy(char* text, int32_t free_text, const char* needle, char* replacement,
                          int32_t free_replacement) {
  char* result = srStrReplaceAll(srStrDup(text), needle, replacement);
  if (free_text) srFree(text);
  if (free_replacement) srFree(replacement);
  return result;
}

const char* srTokenNext(const char* separator, char** cursor) {
  static const char empty[] = "";
  char* start = *cursor;
  if (start == NULL || *start == '\0') return empty;
  char* at = (separator != NULL && *separator != '\0') ? srFind(start, separator, strlen(separator))
                                                       : NULL;
  if (at == NULL) {
    *cursor = start + strlen(start);
  } else {
    *at = '\0';
    *cursor = at + strlen(separator);
  }
  return start;
}

int32_t srNow(void) {
  return (int32_t)(uint32_t)((uint64_t)time(NULL) & 0xFFFFFFFFu);
}
