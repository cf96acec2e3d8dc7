// What the C interface's functions share: the object behind the handle, the guard that turns
// exceptions into statuses, and the texts handed out to the host.
#ifndef NRD_BOUNDARY_BOUNDARY_H
#define NRD_BOUNDARY_BOUNDARY_H

#include <new>
#include <string>

#include "QmtSR.h"
#include "QmtSR_c.h"

// The handle's object: the exported class itself, so every function runs the class's member.
struct QmtSR_Object {
  SRCppWrap::QmtSR object;
};

namespace SRCppWrap::boundary {

// Runs `work` and says how it ended; no exception leaves.
template <typename Work>
int Guarded(Work&& work) noexcept {
  try {
    work();
    return QMTSR_OK;
  } catch (const std::bad_alloc&) {
    return QMTSR_OUT_OF_MEMORY;
  } catch (...) {
    return QMTSR_FAILED;
  }
}

// A copy of `text` in the library's own heap, for QmtSR_FreeText; throws std::bad_alloc.
char* HandOut(const std::string& text);

// The members write an OTP or a reply from a C text, which never holds a zero byte: a string
// that still holds only the zero byte it started with was left untouched.
inline std::string Untouched() {
  return std::string(1, '\0');
}
inline char* HandOutIfWritten(const std::string& text) {
  return text == Untouched() ? nullptr : HandOut(text);
}

}  // namespace SRCppWrap::boundary

#endif
