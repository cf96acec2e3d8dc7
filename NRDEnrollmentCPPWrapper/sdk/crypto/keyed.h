/* Keyed constructions over SHA-256, AES-128-ECB and RSA-OAEP (exponent 17). Every result text is
 * new and owned by the caller; bad input gives a new empty text, never NULL. */
#ifndef NRD_SDK_CRYPTO_KEYED_H
#define NRD_SDK_CRYPTO_KEYED_H

#include <stdint.h>

#include "sdk/SRSdk.h"

#ifdef __cplusplus
extern "C" {
#endif

#define SR_RSA_EXPONENT_HEX "11"

char* srSha256Hex(char* text);                                  /* 64 hex; consumes text */
char* srSha256Hex32(char* text);                                /* first 32 hex; consumes text */
char* srPinKeyDerive(const SRContext* ctx, const char* secret); /* NULL acts as "" */

int32_t srAesEcbEncrypt(const char* key_hex, const unsigned char* in, int32_t length,
                        unsigned char* out);
int32_t srAesEcbDecrypt(const char* key_hex, const unsigned char* in, int32_t length,
                        unsigned char* out);
char* srHexBlockEncrypt(const char* hex, const char* key_hex);
char* srHexBlockDecrypt(const char* hex, const char* key_hex, int32_t bits);
char* srKeyDecrypt128(const char* hex, const char* key_hex);

char* srRsaEncryptText(const char* text, const char* modulus_hex);
char* srRsaEncryptHex(const char* hex, const char* modulus_hex);
char* srRsaRecoverHex(const char* hex, const char* modulus_hex);
int32_t srRsaEncrypt(const char* modulus_hex, const char* exponent_hex, const unsigned char* in,
                     int32_t length, unsigned char* out);
int32_t srRsaRecover(const char* modulus_hex, const char* exponent_hex, const unsigned char* in,
                     int32_t length, unsigned char* out);
int32_t srRsaProcess(const char* modulus_hex, const char* exponent_hex, const unsigned char* in,
                     int32_t length, unsigned char* out, int32_t encrypt);

#ifdef __cplusplus
}
#endif

#endif
