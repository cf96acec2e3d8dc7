/* The PIN key: the PIN bound to this device's identity, so one PIN gives a different key on
 * every device and after every activation (which renews the device's random part). */
#include <stdlib.h>
#include <string.h>

#include "sdk/context.h"
#include "sdk/crypto/keyed.h"
#include "sdk/string_helpers.h"

char* srPinKeyDerive(const SRContext* ctx, const char* secret) {
  const char* pin = secret != NULL ? secret : "";
  char* identity = srDeviceIdentity(ctx);
  if (identity == NULL) return srStrDup("");
  size_t pin_length = strlen(pin);
  size_t identity_length = strlen(identity);
  /* Built in one piece: a part lost to a failed allocation would give a wrong key silently. */
  char* text = (char*)malloc(pin_length + 1 + identity_length + 1);
  if (text == NULL) {
    free(identity);
    return srStrDup("");
  }
  memcpy(text, pin, pin_length);
  text[pin_length] = ';';
  memcpy(text + pin_length + 1, identity, identity_length + 1);
  free(identity);
  return srSha256Hex32(text);
}
