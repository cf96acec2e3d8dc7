// Shared by the crypto suites: owning the SDK's malloc'd texts, and a deterministic random source.
#ifndef NRD_TESTS_CRYPTO_HELPERS_H
#define NRD_TESTS_CRYPTO_HELPERS_H

#include <cstddef>
#include <cstdlib>
#include <string>

#include "sdk/crypto/random.h"

// Copies an SDK text and frees it; NULL reads as "<NULL>".
inline std::string Take(char* text) {
  std::string copy = text != nullptr ? text : "<NULL>";
  std::free(text);
  return copy;
}

// While in scope, the generator yields start, start+1, ... and counts the bytes drawn.
class CountingRandomSource {
 public:
  explicit CountingRandomSource(unsigned char start = 0) : next_(start) {
    srRandomSourceSet(&CountingRandomSource::Draw, this);
  }
  ~CountingRandomSource() { srRandomSourceSet(nullptr, nullptr); }
  size_t drawn() const { return drawn_; }

 private:
  static int Draw(unsigned char* out, size_t n, void* user) {
    auto* self = static_cast<CountingRandomSource*>(user);
    for (size_t i = 0; i < n; i++) out[i] = self->next_++;
    self->drawn_ += n;
    return 1;
  }
  unsigned char next_;
  size_t drawn_ = 0;
};

#endif
