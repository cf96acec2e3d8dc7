// Faults armed through the control endpoint and spent by the next matching requests, so tests
// can see how the client copes with a service that misbehaves.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace devserver {

enum class FaultKind {
  Result,      // answer with this result text ("NOK:CODE", "OK:BLOCKED", "NOK", ...)
  Empty,       // an empty body
  Garbage,     // a body that is neither markup nor JSON
  NoErr,       // a well-formed reply without its result ("err" / "status")
  HttpStatus,  // this HTTP status with a short text body
  Delay,       // wait, then answer normally
};

struct Fault {
  FaultKind kind = FaultKind::Result;
  std::string result;    // Result
  int32_t status = 0;    // HttpStatus
  int32_t delay_ms = 0;  // Delay
  // Which requests it hits: target "srws" (the service), "backend" (every other path) or
  // "any"; when non-empty, path must occur in the path and action/mode must match exactly.
  std::string target = "any";
  std::string path;
  std::string action;
  std::string mode;
  int32_t count = 1;  // how many requests it hits before it is spent
};

// Reads a fault from the control endpoint's JSON; returns "" or an error text.
std::string faultFromJson(std::string_view json, Fault& fault);
std::string faultsToJson(const std::vector<Fault>& faults);

class FaultBoard {
 public:
  void arm(Fault fault);
  void clear();
  std::vector<Fault> armed() const;
  // Finds the first armed fault that matches the request, spends one of its uses and copies
  // it to hit. false when none matches.
  bool take(std::string_view path, std::string_view action, std::string_view mode, Fault& hit);

 private:
  mutable std::mutex mutex_;
  std::vector<Fault> faults_;
};

}  // namespace devserver
