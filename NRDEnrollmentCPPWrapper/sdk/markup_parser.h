/* The SDK's minimal parser for the service's reply markup. The parser writes NULs into its
 * input, so the input must be writable. A tree is freed whole with srNodeFree of the root that
 * srMarkupParse or srElementParse returned; its nodes and texts are not freed one by one. */
#ifndef NRD_SDK_MARKUP_PARSER_H
#define NRD_SDK_MARKUP_PARSER_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define SR_MARKUP_MAX_DEPTH 64 /* deeper nesting is refused as a parse failure */

typedef struct SRAttribute {
  char* name;
  char* value; /* raw, not entity-decoded */
  struct SRAttribute* next;
} SRAttribute;

typedef struct SRNode {
  char* name;
  SRAttribute* attributes;
  struct SRNode* children;
  struct SRNode* next;
  char* text; /* leading character data, entity-decoded; NULL when none */
} SRNode;

SRNode* srMarkupParse(char* text);
SRNode* srElementParse(char* p, char** end);
void srNodeFree(SRNode* node);                 /* a root the parser returned, or NULL */
void srAttributesFree(SRAttribute* attribute); /* a chain built with malloc */
SRNode* srNodeChildAt(const SRNode* node, const char* name, int32_t index);
int32_t srNodeChildCount(const SRNode* node, const char* name);
SRNode* srNodeChild(const SRNode* node, const char* name);

char* srEntitiesDecode(char* text); /* consumes text */
char* srEntityReplace(char* text, const char* entity, const char* replacement);
char* srHexCharRefsDecode(char* text);
char* srDecCharRefsDecode(char* text);
uint32_t srHexValue(const char* text); /* leading hex digits, wrapping modulo 2^32 */

char* srNameStartFind(char* p);
char* srNameOrTagEndFind(char* p);
char* srNameEndFind(char* p, int32_t* length);
char* srTagEndFind(char* p);
SRNode* srSiblingsReverse(SRNode* head);

#ifdef __cplusplus
}
#endif

#endif
