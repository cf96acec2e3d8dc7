#include "faults.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace devserver {

namespace {

struct KindName {
  FaultKind kind;
  const char* name;
};

constexpr KindName kKinds[] = {
    {FaultKind::Result, "result"},          {FaultKind::Empty, "empty"},
    {FaultKind::Garbage, "garbage"},        {FaultKind::NoErr, "no_err"},
    {FaultKind::HttpStatus, "http_status"}, {FaultKind::Delay, "delay"},
};

const char* kindName(FaultKind kind) {
  for (const auto& k : kKinds) {
    if (k.kind == kind) return k.name;
  }
  return "?";
}

bool isServicePath(std::string_view path) {
  return path == "/srws/MAC";
}

bool matches(const Fault& f, std::string_view path, std::string_view action,
             std::string_view mode) {
  if (f.target == "srws" && !isServicePath(path)) return false;
  if (f.target == "backend" && isServicePath(path)) return false;
  if (!f.path.empty() && path.find(f.path) == std::string_view::npos) return false;
  if (!f.action.empty() && f.action != action) return false;
  if (!f.mode.empty() && f.mode != mode) return false;
  return true;
}

}  // namespace

std::string faultFromJson(std::string_view json, Fault& fault) {
  rapidjson::Document doc;
  doc.Parse(json.data(), json.size());
  if (doc.HasParseError() || !doc.IsObject()) return "the fault is not a JSON object";
  Fault f;
  bool haveKind = false;
  for (const auto& m : doc.GetObject()) {
    const std::string name = m.name.GetString();
    const auto& v = m.value;
    if (name == "kind" && v.IsString()) {
      for (const auto& k : kKinds) {
        if (std::string_view(v.GetString()) == k.name) {
          f.kind = k.kind;
          haveKind = true;
        }
      }
      if (!haveKind) return "unknown fault kind \"" + std::string(v.GetString()) + "\"";
    } else if (name == "value" && v.IsString()) {
      f.result = v.GetString();
    } else if (name == "value" && v.IsInt()) {
      f.status = v.GetInt();
      f.delay_ms = v.GetInt();
    } else if (name == "target" && v.IsString()) {
      f.target = v.GetString();
      if (f.target != "srws" && f.target != "backend" && f.target != "any") {
        return "target must be \"srws\", \"backend\" or \"any\"";
      }
    } else if (name == "path" && v.IsString()) {
      f.path = v.GetString();
    } else if (name == "action" && v.IsString()) {
      f.action = v.GetString();
    } else if (name == "mode" && v.IsString()) {
      f.mode = v.GetString();
    } else if (name == "count" && v.IsInt() && v.GetInt() > 0) {
      f.count = v.GetInt();
    } else {
      return "bad or unknown fault member \"" + name + "\"";
    }
  }
  if (!haveKind) return "the fault needs a \"kind\"";
  if (f.kind == FaultKind::Result && f.result.empty()) {
    return "a result fault needs a text value";
  }
  if (f.kind == FaultKind::HttpStatus && (f.status < 100 || f.status > 599)) {
    return "an http_status fault needs a numeric value from 100 to 599";
  }
  if (f.kind == FaultKind::Delay && (f.delay_ms < 0 || f.delay_ms > 60000)) {
    return "a delay fault needs a value in milliseconds from 0 to 60000";
  }
  fault = std::move(f);
  return "";
}

std::string faultsToJson(const std::vector<Fault>& faults) {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> w(buffer);
  w.StartArray();
  for (const auto& f : faults) {
    w.StartObject();
    w.Key("kind");
    w.String(kindName(f.kind));
    w.Key("value");
    if (f.kind == FaultKind::HttpStatus) {
      w.Int(f.status);
    } else if (f.kind == FaultKind::Delay) {
      w.Int(f.delay_ms);
    } else {
      w.String(f.result.c_str());
    }
    w.Key("target");
    w.String(f.target.c_str());
    w.Key("path");
    w.String(f.path.c_str());
    w.Key("action");
    w.String(f.action.c_str());
    w.Key("mode");
    w.String(f.mode.c_str());
    w.Key("count");
    w.Int(f.count);
    w.EndObject();
  }
  w.EndArray();
  return buffer.GetString();
}

void FaultBoard::arm(Fault fault) {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_.push_back(std::move(fault));
}

void FaultBoard::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_.clear();
}

std::vector<Fault> FaultBoard::armed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return faults_;
}

bool FaultBoard::take(std::string_view path, std::string_view action, std::string_view mode,
                      Fault& hit) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = faults_.begin(); it != faults_.end(); ++it) {
    if (!matches(*it, path, action, mode)) continue;
    hit = *it;
    if (--it->count <= 0) faults_.erase(it);
    return true;
  }
  return false;
}

}  // namespace devserver
