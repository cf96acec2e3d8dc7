/* The memory of one parsed document: its nodes, attributes and texts are carved out of a few
 * large blocks instead of one malloc each, and the whole document goes with one free. */
#ifndef NRD_SDK_MARKUP_ARENA_H
#define NRD_SDK_MARKUP_ARENA_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct SRArena SRArena;

/* A new arena whose first block suits a document of about text_length bytes; NULL when out of
 * memory. */
SRArena* srArenaOpen(size_t text_length);
/* size bytes, zeroed and aligned for any record of the tree; NULL when out of memory. */
void* srArenaAlloc(SRArena* arena, size_t size);
/* A NUL-terminated copy of length bytes; NULL when out of memory. */
char* srArenaCopy(SRArena* arena, const char* from, size_t length);
/* The arena whose first allocation is first. */
SRArena* srArenaOfFirst(void* first);
void srArenaClose(SRArena* arena);

#ifdef __cplusplus
}
#endif

#endif
