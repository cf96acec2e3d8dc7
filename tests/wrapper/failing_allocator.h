// A global operator new that allocates normally until a test arms it to fail one allocation.
// Replaces the allocator of the whole wrapper test program; unarmed it only forwards to malloc.
#ifndef QMT_TESTS_WRAPPER_FAILING_ALLOCATOR_H
#define QMT_TESTS_WRAPPER_FAILING_ALLOCATOR_H

#include <cstddef>

namespace qmt_test {

// The next allocation of at least `size` bytes throws a std::bad_alloc whose what() is
// kInjectedFailureText; later allocations succeed again. 0 disarms.
void FailNextAllocationOfAtLeast(std::size_t size);
bool AllocationFailurePending();
inline constexpr const char* kInjectedFailureText = "injected allocation failure";

}  // namespace qmt_test

#endif
