#include "sdk/reply_values.h"

#include <stdlib.h>
#include <string.h>

#include "sdk/string_helpers.h"
#include "sdk/ws_exchange.h"

int32_t srDocInt(const SRNode* doc, const char* name) {
  return srAtoi(srDocText(doc, name));
}

int32_t srReplyListCount(const SRNode* doc, int32_t count) {
  if (count < 1) return 0;
  int32_t limit = SR_REPLY_LIST_SLACK;
  for (const SRNode* child = doc != NULL ? doc->children : NULL;
       child != NULL && limit < SR_REPLY_LIST_MAX; child = child->next)
    limit++;
  if (limit > SR_REPLY_LIST_MAX) limit = SR_REPLY_LIST_MAX;
  return count < limit ? count : limit;
}

const char** srDocColumns(const SRNode* doc, const char* const* names, int32_t field_count,
                          int32_t n) {
  if (n < 1 || field_count < 1) return NULL;
  size_t cells = (size_t)field_count * (size_t)n;
  const char** table = (const char**)malloc(cells * sizeof *table);
  if (table == NULL) return NULL;
  for (size_t c = 0; c < cells; c++) table[c] = "";
  for (int32_t f = 0; doc != NULL && f < field_count; f++) {
    const char** column = table + (size_t)f * (size_t)n;
    int32_t index = 0;
    for (const SRNode* child = doc->children; child != NULL && index < n; child = child->next) {
      if (strcmp(child->name, names[f]) != 0) continue;
      if (child->text != NULL) column[index] = child->text;
      index++;
    }
  }
  return table;
}
