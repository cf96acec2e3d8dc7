// Kept in its own file so the compiler never inlines these into code that pairs them with the
// standard allocator.
#include "wrapper/failing_allocator.h"

#include <cstdlib>
#include <new>

namespace {

std::size_t g_failAllocationOfAtLeast = 0;

struct InjectedFailure : std::bad_alloc {
  const char* what() const noexcept override { return qmt_test::kInjectedFailureText; }
};

}  // namespace

namespace qmt_test {

void FailNextAllocationOfAtLeast(std::size_t size) {
  g_failAllocationOfAtLeast = size;
}

bool AllocationFailurePending() {
  return g_failAllocationOfAtLeast != 0;
}

}  // namespace qmt_test

void* operator new(std::size_t size) {
  if (g_failAllocationOfAtLeast != 0 && size >= g_failAllocationOfAtLeast) {
    g_failAllocationOfAtLeast = 0;
    throw InjectedFailure();
  }
  if (void* memory = std::malloc(size != 0 ? size : 1)) return memory;
  throw std::bad_alloc();
}

void operator delete(void* memory) noexcept {
  std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}
