/* Blocks are chained from the first one, which also remembers where allocation continues. The
 * first allocation of an arena sits right after the first block's header, so a document's root
 * node leads back to its arena without any field of its own. */
#include "sdk/markup_arena.h"

#include <stdlib.h>
#include <string.h>

typedef struct SRArenaBlock {
  struct SRArenaBlock* next;
  struct SRArenaBlock* current; /* in the first block: the block allocations come from */
  size_t used;
  size_t size; /* bytes after the header */
} SRArenaBlock;

struct SRArena {
  SRArenaBlock first;
};

/* Records of the tree hold pointers; every allocation starts on such a boundary. */
#define SR_ARENA_ALIGN sizeof(void*)
/* A reply body of a few kilobytes fits the first block; a large body gets a second one. */
#define SR_ARENA_FIRST_MIN 1024u
#define SR_ARENA_FIRST_MAX 65536u

static SRArenaBlock* srArenaBlockNew(size_t size) {
  SRArenaBlock* block = (SRArenaBlock*)malloc(sizeof(SRArenaBlock) + size);
  if (block == NULL) return NULL;
  block->next = NULL;
  block->current = block;
  block->used = 0;
  block->size = size;
  return block;
}

SRArena* srArenaOpen(size_t text_length) {
  /* Nodes and their copied texts take about twice the markup they come from. */
  size_t size = text_length < SR_ARENA_FIRST_MAX / 2 ? 2 * text_length : SR_ARENA_FIRST_MAX;
  if (size < SR_ARENA_FIRST_MIN) size = SR_ARENA_FIRST_MIN;
  return (SRArena*)srArenaBlockNew(size);
}

static void* srArenaTake(SRArena* arena, size_t size) {
  size = (size + SR_ARENA_ALIGN - 1) & ~(SR_ARENA_ALIGN - 1);
  SRArenaBlock* block = arena->first.current;
  if (block->size - block->used < size) {
    size_t grown = 2 * block->size > size ? 2 * block->size : size;
    SRArenaBlock* next = srArenaBlockNew(grown);
    if (next == NULL) return NULL;
    block->next = next;
    arena->first.current = block = next;
  }
  char* memory = (char*)(block + 1) + block->used;
  block->used += size;
  return memory;
}

void* srArenaAlloc(SRArena* arena, size_t size) {
  void* memory = srArenaTake(arena, size);
  if (memory != NULL) memset(memory, 0, size);
  return memory;
}

char* srArenaCopy(SRArena* arena, const char* from, size_t length) {
  char* copy = (char*)srArenaTake(arena, length + 1);
  if (copy == NULL) return NULL;
  memcpy(copy, from, length);
  copy[length] = '\0';
  return copy;
}

SRArena* srArenaOfFirst(void* first) {
  return (SRArena*)((SRArenaBlock*)first - 1);
}

void srArenaClose(SRArena* arena) {
  SRArenaBlock* block = arena != NULL ? &arena->first : NULL;
  while (block != NULL) {
    SRArenaBlock* next = block->next;
    free(block);
    block = next;
  }
}
