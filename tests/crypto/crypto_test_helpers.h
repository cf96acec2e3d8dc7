// Small helpers shared by the crypto suites: taking ownership of the SDK's malloc'd texts and
// installing a deterministic random source for the length of a test.
#ifndef NRD_TESTS_CRYPTO_HELPERS_H
#define NRD_TESTS_CRYPTO_HELPERS_H

#include <cstddef>
#include <cstdlib>
#include <string>

#include "sdk/crypto/random.h"

// Copies a new SDK text and frees it; a NULL result fails loudly as "<NULL>".
inline std::string Take(char* text) {
  std::string copy = text != nullptr ? text : "<NULL>";
  std::free(text);
  return copy;
}

// Replaces the system generator with a counter (bytes start, start+1, ...) while in scope and
// counts the bytes drawn.
class CountingRandomSource {
 public:
  explicit CountingRandomSource(unsigned char start = 0) : next_(start) {
    srRandomSourceSet(&CountingRandomSource::Draw, this);
  }
  ~CountingRandomSource() { srRandomSourceSet(nullptr, nullptr); }
  CountingRandomSource(const CountingRandomSource&) = delete;
  CountingRandomSource& operator=(const CountingRandomSource&) = delete;

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
