// The wrapper tests' operator new: once g_failAllocationOfAtLeast is set, the next allocation of
// that size or more throws (and resets it). Its own file, so it is never inlined.
#include <cstdlib>
#include <new>

namespace qmt_test {
std::size_t g_failAllocationOfAtLeast = 0;
extern const char* const kInjectedFailureText = "injected allocation failure";
}  // namespace qmt_test

void* operator new(std::size_t size) {
  struct InjectedFailure : std::bad_alloc {
    const char* what() const noexcept override { return qmt_test::kInjectedFailureText; }
  };
  if (qmt_test::g_failAllocationOfAtLeast != 0 && size >= qmt_test::g_failAllocationOfAtLeast) {
    qmt_test::g_failAllocationOfAtLeast = 0;
    throw InjectedFailure();
  }
  if (void* memory = std::malloc(size != 0 ? size : 1)) return memory;
  throw std::bad_alloc();
}

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
