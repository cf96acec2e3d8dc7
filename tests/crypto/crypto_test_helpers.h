#ifndef NRD_TESTS_CRYPTO_HELPERS_H
#define NRD_TESTS_CRYPTO_HELPERS_H

#include <cstddef>

#include "sdk/crypto/random.h"
#include "support/sdk_handles.h"

// While in scope, the generator yields start, start+1, ... and counts the bytes drawn.
struct CountingRandomSource {
  explicit CountingRandomSource(unsigned char start = 0) : next(start) {
    srRandomSourceSet(&CountingRandomSource::Draw, this);
  }
  ~CountingRandomSource() { srRandomSourceSet(nullptr, nullptr); }
  static int Draw(unsigned char* out, size_t n, void* user) {
    auto* self = static_cast<CountingRandomSource*>(user);
    for (size_t i = 0; i < n; i++) out[i] = self->next++;
    self->drawn += n;
    return 1;
  }
  unsigned char next;
  size_t drawn = 0;
};

#endif
