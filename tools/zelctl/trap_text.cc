#include "tools/zelctl/trap_text.h"

#include <cstdlib>

#include "tools/zelctl/fleet_output.h"
#include "tools/zelctl/names.h"

namespace zelctl {
namespace {

constexpr char kAlertEntry[] = "1.3.6.1.2.1.43.18.1.1.";

// The alert table column of `oid` (2 to 9), or 0.
int alert_column(const std::string& oid, std::string* rest) {
  const std::string prefix = kAlertEntry;
  if (oid.compare(0, prefix.size(), prefix) != 0) return 0;
  const char* p = oid.c_str() + prefix.size();
  char* end = nullptr;
  const long column = std::strtol(p, &end, 10);
  if (end == p || *end != '.' || column < 1 || column > 9) return 0;
  if (rest) *rest = end;
  return static_cast<int>(column);
}

}  // namespace

std::string alert_column_name(const std::string& oid) {
  static const char* const kNames[] = {
      "",  "prtAlertIndex",    "prtAlertSeverityLevel", "prtAlertTrainingLevel",
      "prtAlertGroup",         "prtAlertGroupIndex",    "prtAlertLocation",
      "prtAlertCode",          "prtAlertDescription",   "prtAlertTime"};
  std::string rest;
  const int column = alert_column(oid, &rest);
  return column ? kNames[column] + rest : "";
}

std::string alert_column_meaning(const std::string& oid, const std::string& value) {
  char* end = nullptr;
  const long n = std::strtol(value.c_str(), &end, 10);
  if (value.empty() || *end) return "";
  switch (alert_column(oid, nullptr)) {
    case 2: return alert_severity_name(static_cast<int32_t>(n));
    case 4: return alert_group_name(static_cast<int32_t>(n));
    case 7: return alert_code_name(static_cast<int32_t>(n));
    default: return "";
  }
}

std::string printable_or_hex(const std::string& octets) {
  bool plain = true;
  for (char c : octets) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u >= 0x7f) plain = false;
  }
  if (plain) return octets;
  static const char kDigits[] = "0123456789abcdef";
  std::string out = "0x";
  for (char c : octets) {
    const auto u = static_cast<unsigned char>(c);
    out += kDigits[u >> 4];
    out += kDigits[u & 15];
  }
  return out;
}

std::string trap_text(const TrapRecord& t) {
  std::string out = t.time + " trap from " + t.source + ":" + std::to_string(t.source_port) +
                    " " + t.version + " community \"" + t.community + "\" " + t.trap_oid +
                    " uptime " + std::to_string(t.uptime) + "\n";
  for (const auto& b : t.bindings) {
    const std::string name = alert_column_name(b.oid);
    const std::string meaning = alert_column_meaning(b.oid, b.value);
    out += "  " + (name.empty() ? b.oid : name) + " = " + b.type + ": " + b.value;
    if (!meaning.empty()) out += " (" + meaning + ")";
    out += "\n";
  }
  return out;
}

Json trap_json(const TrapRecord& t) {
  Json doc = outcome_json(0, 0, "ok");
  doc["time"] = t.time;
  doc["source"] = t.source;
  doc["source_port"] = t.source_port;
  doc["version"] = t.version;
  doc["community"] = t.community;
  doc["trap_oid"] = t.trap_oid;
  doc["uptime"] = t.uptime;
  Json bindings = Json::array();
  for (const auto& b : t.bindings) {
    Json j{{"oid", b.oid}, {"type", b.type}, {"value", b.value}};
    const std::string name = alert_column_name(b.oid);
    if (!name.empty()) j["name"] = name;
    const std::string meaning = alert_column_meaning(b.oid, b.value);
    if (!meaning.empty()) j["meaning"] = meaning;
    bindings.push_back(std::move(j));
  }
  doc["bindings"] = std::move(bindings);
  return doc;
}

}  // namespace zelctl
