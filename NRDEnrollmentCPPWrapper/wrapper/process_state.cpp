// The process-wide values and the current SDK context. A context is replaced only by
// CreateSRObject under the installation lock, and every call that reads the current context runs
// under that lock too, so the context it replaces can no longer be used by any call: it is
// released there, and a long-lived host's memory stays flat. The host gets the pointer as an
// untyped value and has no call to use it with. The current one is released at unload.
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "sdk/SRSdk.h"
#include "wrapper/ProcessState.h"

namespace SRCppWrap::detail {

namespace {

struct ProcessValues {
  ProcessState state;
  std::mutex proxiesLock;  // guards the proxies and who made the current context
  // One entry per thread that ever set them: a thread that ends leaves its few bytes, which the
  // next thread given its id takes over.
  std::map<std::thread::id, ProxyValues> proxies;
  const void* currentMaker = nullptr;  // the object whose CreateSRObject made the current context

  ProcessValues() = default;
  ProcessValues(const ProcessValues&) = delete;
  ProcessValues& operator=(const ProcessValues&) = delete;
  ~ProcessValues() {
    SRContext* last = state.context;
    state.context = nullptr;
    if (last != nullptr) SRContextFree(last);
  }
};

// Built on first use and destroyed at unload (static destruction of the library).
ProcessValues& Values() {
  static ProcessValues values;
  return values;
}

}  // namespace

ProcessState& Process() {
  return Values().state;
}

ProxyValues WorkflowProxy() {
  ProcessValues& values = Values();
  const std::lock_guard<std::mutex> lock(values.proxiesLock);
  const auto found = values.proxies.find(std::this_thread::get_id());
  return found != values.proxies.end() ? found->second : ProxyValues{};
}

void SetWorkflowProxy(ProxyValues proxy) {
  ProcessValues& values = Values();
  const std::lock_guard<std::mutex> lock(values.proxiesLock);
  values.proxies[std::this_thread::get_id()] = std::move(proxy);
}

void AdoptContext(SRContext* ctx, const void* owner) {
  ProcessValues& values = Values();
  SRContext* replaced = nullptr;
  {
    const std::lock_guard<std::mutex> lock(values.proxiesLock);
    values.currentMaker = owner;
    if (values.state.context != ctx) replaced = values.state.context;
    values.state.context = ctx;
  }
  if (replaced != nullptr) SRContextFree(replaced);
}

SRContext* CurrentContextMadeBy(const void* owner) {
  ProcessValues& values = Values();
  const std::lock_guard<std::mutex> lock(values.proxiesLock);
  return values.currentMaker == owner ? values.state.context : nullptr;
}

}  // namespace SRCppWrap::detail
