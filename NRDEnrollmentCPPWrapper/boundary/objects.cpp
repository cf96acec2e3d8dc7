// The C interface's objects and texts: creation, copies, destruction, and the release of the
// texts it hands out.
#include <cstdlib>
#include <cstring>

#include "boundary/boundary.h"

namespace SRCppWrap::boundary {

char* HandOut(const std::string& text) {
  auto* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy == nullptr) throw std::bad_alloc();
  std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

}  // namespace SRCppWrap::boundary

using SRCppWrap::boundary::Guarded;

int QmtSR_Create(QmtSR_Object** object) {
  if (object == nullptr) return QMTSR_INVALID_ARGUMENT;
  return Guarded([&] { *object = new QmtSR_Object(); });
}

void QmtSR_Destroy(QmtSR_Object* object) {
  delete object;
}

int QmtSR_Copy(const QmtSR_Object* from, QmtSR_Object** object) {
  if (from == nullptr || object == nullptr) return QMTSR_INVALID_ARGUMENT;
  return Guarded([&] { *object = new QmtSR_Object(*from); });
}

int QmtSR_Assign(QmtSR_Object* object, const QmtSR_Object* from) {
  if (object == nullptr || from == nullptr) return QMTSR_INVALID_ARGUMENT;
  return Guarded([&] { object->object = from->object; });
}

void QmtSR_FreeText(char* text) {
  std::free(text);
}
