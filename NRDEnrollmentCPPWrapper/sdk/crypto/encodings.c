#include "sdk/crypto/encodings.h"

#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const char kHexDigits[] = "0123456789abcdef";
static const char kBase36Alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";

static int srIsAsciiAlnum(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char* srUrlEncode(const char* text) {
  const unsigned char* in = (const unsigned char*)(text != NULL ? text : "");
  size_t length = 0;
  for (const unsigned char* p = in; *p != '\0'; p++)
    length += (srIsAsciiAlnum(*p) || *p == ' ') ? 1 : 3;
  char* out = (char*)malloc(length + 1);
  if (out == NULL) return NULL;
  char* o = out;
  for (const unsigned char* p = in; *p != '\0'; p++) {
    if (srIsAsciiAlnum(*p)) {
      *o++ = (char)*p;
    } else if (*p == ' ') {
      *o++ = '+';
    } else {
      *o++ = '%';
      *o++ = kHexDigits[*p >> 4];
      *o++ = kHexDigits[*p & 0x0F];
    }
  }
  *o = '\0';
  return out;
}

void srHexEncode(const unsigned char* bytes, int32_t n, char* out) {
  for (int32_t i = 0; i < n; i++) {
    out[2 * i] = kHexDigits[bytes[i] >> 4];
    out[2 * i + 1] = kHexDigits[bytes[i] & 0x0F];
  }
  out[n > 0 ? 2 * n : 0] = '\0';
}

/* Any character that is not a hex digit (the terminating NUL included) reads as 0. */
static unsigned char srNibble(char c) {
  if (c >= '0' && c <= '9') return (unsigned char)(c - '0');
  if (c >= 'a' && c <= 'f') return (unsigned char)(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return (unsigned char)(c - 'A' + 10);
  return 0;
}

int32_t srHexDecode(const char* hex, unsigned char* out) {
  if (hex == NULL) return 0;
  size_t length = strlen(hex);
  size_t count = (length + 1) / 2;
  if (count > INT32_MAX) return 0;
  if (out != NULL) {
    for (size_t i = 0; i < count; i++) {
      char low = 2 * i + 1 < length ? hex[2 * i + 1] : '\0';
      out[i] = (unsigned char)(srNibble(hex[2 * i]) << 4 | srNibble(low));
    }
  }
  return (int32_t)count;
}

unsigned char* srHexDecodeNew(const char* hex, int32_t* count) {
  int32_t n = srHexDecode(hex, NULL);
  unsigned char* bytes = (unsigned char*)malloc((size_t)n + 1);
  if (bytes == NULL) {
    if (count != NULL) *count = 0;
    return NULL;
  }
  srHexDecode(hex, bytes);
  bytes[n] = 0;
  if (count != NULL) *count = n;
  return bytes;
}

void srBase36Format(char* out, uint64_t value, int32_t width) {
  int32_t i = 0;
  for (; i < width; i++) {
    out[i] = kBase36Alphabet[value % 36];
    value /= 36;
  }
  out[i < 0 ? 0 : i] = '\0';
}

void srDecimalFormat(char* out, int64_t value, int32_t width) {
  if (width < 0) width = 0;
  char digits[32];
  int length = snprintf(digits, sizeof digits, "%" PRId64, value);
  memset(out, '0', (size_t)width);
  out[width] = '\0';
  if (length > 0 && length <= width) memcpy(out + width - length, digits, (size_t)length);
}
