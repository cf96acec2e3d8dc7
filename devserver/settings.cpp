#include "settings.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <limits>

namespace devserver {

namespace {

using rapidjson::Value;

// Each reader returns false when the member has the wrong type; error names the member.
bool readInt(const Value& v, int32_t& out) {
  if (!v.IsInt()) return false;
  out = v.GetInt();
  return true;
}

bool readString(const Value& v, std::string& out) {
  if (!v.IsString()) return false;
  out.assign(v.GetString(), v.GetStringLength());
  return true;
}

bool readService(const Value& v, ServiceEntry& s) {
  if (!v.IsObject() || !v.HasMember("id") || !readInt(v["id"], s.id)) return false;
  for (const auto& m : v.GetObject()) {
    const std::string_view name = m.name.GetString();
    bool ok = true;
    if (name == "id") continue;
    if (name == "name")
      ok = readString(m.value, s.name);
    else if (name == "icon")
      ok = readString(m.value, s.icon);
    else if (name == "secure")
      ok = readString(m.value, s.secure);
    else if (name == "ksc")
      ok = readString(m.value, s.ksc);
    else if (name == "connected")
      ok = readInt(m.value, s.connected);
    else if (name == "url")
      ok = readString(m.value, s.url);
    else if (name == "pattern")
      ok = readString(m.value, s.pattern);
    else
      ok = false;
    if (!ok) return false;
  }
  return true;
}

bool readMessage(const Value& v, MessageEntry& msg) {
  if (!v.IsObject() || !v.HasMember("id") || !readInt(v["id"], msg.id)) return false;
  for (const auto& m : v.GetObject()) {
    const std::string_view name = m.name.GetString();
    bool ok = true;
    if (name == "id") continue;
    if (name == "title")
      ok = readString(m.value, msg.title);
    else if (name == "content")
      ok = readString(m.value, msg.content);
    else if (name == "ack")
      ok = readInt(m.value, msg.ack);
    else
      ok = false;
    if (!ok) return false;
  }
  return true;
}

template <typename T, typename Reader>
bool readList(const Value& v, std::vector<T>& out, Reader reader) {
  if (!v.IsArray()) return false;
  std::vector<T> list;
  for (const auto& item : v.GetArray()) {
    T entry;
    if (!reader(item, entry)) return false;
    list.push_back(std::move(entry));
  }
  out = std::move(list);
  return true;
}

bool readDk1(const Value& v, Dk1Mode& out) {
  if (!v.IsString()) return false;
  const std::string_view text = v.GetString();
  if (text == "off")
    out = Dk1Mode::Off;
  else if (text == "activate")
    out = Dk1Mode::Activate;
  else if (text == "always")
    out = Dk1Mode::Always;
  else
    return false;
  return true;
}

const char* dk1Name(Dk1Mode mode) {
  switch (mode) {
    case Dk1Mode::Off:
      return "off";
    case Dk1Mode::Always:
      return "always";
    case Dk1Mode::Activate:
      break;
  }
  return "activate";
}

bool applyMember(Settings& s, std::string_view name, const Value& v) {
  if (name == "services") return readList(v, s.services, readService);
  if (name == "messages") return readList(v, s.messages, readMessage);
  if (name == "tsync") {
    if (!v.IsInt64()) return false;
    s.tsync = v.GetInt64();
    return true;
  }
  if (name == "connected") return readInt(v, s.connected);
  if (name == "server") return readString(v, s.server);
  if (name == "otp_format") return readString(v, s.otp_format);
  if (name == "defi") {
    if (v.IsNull()) {
      s.defi.reset();
      return true;
    }
    int32_t defi = 0;
    if (!readInt(v, defi)) return false;
    s.defi = defi;
    return true;
  }
  if (name == "dk1") return readDk1(v, s.dk1);
  if (name == "user") return readString(v, s.user);
  if (name == "password") return readString(v, s.password);
  if (name == "pin_attempts") return readInt(v, s.pin_attempts) && s.pin_attempts >= 0;
  return false;
}

}  // namespace

const ServiceEntry* Settings::findService(int32_t id) const {
  for (const auto& s : services) {
    if (s.id == id) return &s;
  }
  return nullptr;
}

Settings defaultSettings(int64_t now) {
  Settings s;
  // Service names and message texts end up in the device's seed, and the host reads its seed
  // file only up to the first white space: the defaults keep them to one word each.
  s.services = {
      {1, "Toolvex_login", "toolvex", "1", "", 1, "", ""},
      {2, "Workshop_portal", "portal", "1", "", 1, "http://127.0.0.1/portal", ""},
  };
  s.messages = {
      {1, "Welcome", "Enrolled_with_the_development_service", 0},
      {2, "Terms_of_use", "Please_acknowledge_the_terms_of_use", 2},
  };
  s.tsync = now;
  return s;
}

std::string applySettingsJson(Settings& settings, std::string_view json) {
  rapidjson::Document doc;
  doc.Parse(json.data(), json.size());
  if (doc.HasParseError() || !doc.IsObject()) return "the settings are not a JSON object";
  Settings updated = settings;
  for (const auto& member : doc.GetObject()) {
    const std::string name(member.name.GetString(), member.name.GetStringLength());
    if (!applyMember(updated, name, member.value)) return "bad or unknown setting \"" + name + "\"";
  }
  settings = std::move(updated);
  return "";
}

std::string settingsToJson(const Settings& s) {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> w(buffer);
  auto text = [&w](const char* key, const std::string& value) {
    w.Key(key);
    w.String(value.c_str(), static_cast<rapidjson::SizeType>(value.size()));
  };
  auto number = [&w](const char* key, int64_t value) {
    w.Key(key);
    w.Int64(value);
  };
  w.StartObject();
  w.Key("services");
  w.StartArray();
  for (const auto& e : s.services) {
    w.StartObject();
    number("id", e.id);
    text("name", e.name);
    text("icon", e.icon);
    text("secure", e.secure);
    text("ksc", e.ksc);
    number("connected", e.connected);
    text("url", e.url);
    text("pattern", e.pattern);
    w.EndObject();
  }
  w.EndArray();
  w.Key("messages");
  w.StartArray();
  for (const auto& m : s.messages) {
    w.StartObject();
    number("id", m.id);
    text("title", m.title);
    text("content", m.content);
    number("ack", m.ack);
    w.EndObject();
  }
  w.EndArray();
  number("tsync", s.tsync);
  number("connected", s.connected);
  text("server", s.server);
  text("otp_format", s.otp_format);
  w.Key("defi");
  if (s.defi) {
    w.Int(*s.defi);
  } else {
    w.Null();
  }
  text("dk1", dk1Name(s.dk1));
  text("user", s.user);
  text("password", s.password);
  number("pin_attempts", s.pin_attempts);
  w.EndObject();
  return buffer.GetString();
}

}  // namespace devserver
