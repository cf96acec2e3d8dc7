// The process-wide values and the contexts the wrapper has handed out. A replaced context is not
// released while the library is loaded (the host or a transport call may still hold it); every
// context adopted here is released when the library unloads, so nothing leaks at exit.
#include <algorithm>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

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
  std::vector<SRContext*> adopted;     // every context ever made current, the current one included

  ProcessValues() = default;
  ProcessValues(const ProcessValues&) = delete;
  ProcessValues& operator=(const ProcessValues&) = delete;
  ~ProcessValues() {
    state.context = nullptr;
    for (SRContext* ctx : adopted) SRContextFree(ctx);
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
  const std::lock_guard<std::mutex> lock(values.proxiesLock);
  values.currentMaker = owner;
  if (ctx != nullptr &&
      std::find(values.adopted.begin(), values.adopted.end(), ctx) == values.adopted.end()) {
    values.adopted.push_back(ctx);
  }
  values.state.context = ctx;
}

SRContext* CurrentContextMadeBy(const void* owner) {
  ProcessValues& values = Values();
  const std::lock_guard<std::mutex> lock(values.proxiesLock);
  return values.currentMaker == owner ? values.state.context : nullptr;
}

}  // namespace SRCppWrap::detail
