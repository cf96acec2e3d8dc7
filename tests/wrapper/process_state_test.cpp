#include <gtest/gtest.h>

#include "sdk/SRSdk.h"
#include "wrapper/ProcessState.h"

namespace {

using SRCppWrap::detail::AdoptContext;
using SRCppWrap::detail::Process;

int32_t NoTransport(const char*, int32_t, void*) {
  return 0;
}

// Replaced contexts must stay usable until the library unloads, and every adopted context must
// be released exactly once then: the leak checker and the address checker watch the exit.
TEST(ProcessState, AdoptedContextsStayAliveUntilUnload) {
  SRContext* first = SRInit(0, "serial-1", "key-1", NoTransport, nullptr);
  SRContext* second = SRInit(0, "serial-2", "key-2", NoTransport, nullptr);
  AdoptContext(first);
  EXPECT_EQ(Process().context, first);
  AdoptContext(second);
  EXPECT_EQ(Process().context, second);
  EXPECT_STREQ(first->device_serial, "serial-1");

  AdoptContext(first);  // adopted again: still released only once
  EXPECT_EQ(Process().context, first);
  AdoptContext(nullptr);
  EXPECT_EQ(Process().context, nullptr);
  EXPECT_STREQ(second->unique_key, "key-2");
}

TEST(ProcessState, ProxyValuesAreSharedByEveryCaller) {
  Process().proxyAddress = "proxy.local";
  Process().proxyPort = 3128;
  EXPECT_EQ(&Process(), &Process());
  EXPECT_EQ(Process().proxyAddress, "proxy.local");
  EXPECT_EQ(Process().proxyPort, 3128);
}

}  // namespace
