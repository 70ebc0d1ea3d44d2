#include "tools/zelctl/poll_format.h"

#include <cstdio>
#include <set>

#include "tools/zelctl/fleet_output.h"
#include "tools/zelctl/names.h"
#include "tools/zelctl/status_text.h"

namespace zelctl {
namespace {

std::string state_text(const PollResult& r) {
  std::string s = printer_status_name(r.printer_status);
  for (const auto& e : error_state_names(r.error_state)) s += "," + e;
  return s;
}

std::string failure_text(const PollResult& r) {
  return r.failed + ": " + status_meaning(r.status) + " (status " + std::to_string(r.status) +
         ")";
}

std::string pad(std::string text, size_t width) {
  for (auto& c : text)
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  if (text.size() > width) text = text.substr(0, width - 1) + "~";
  return text + std::string(width - text.size() + 1, ' ');
}

std::string number(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", v);
  return buf;
}

// Series of one family must differ in their labels: a repeated name gets
// " #2", " #3"...
std::string unique(std::set<std::string>* seen, const std::string& name) {
  std::string candidate = name;
  for (int i = 2; !seen->insert(candidate).second; ++i) candidate = name + " #" + std::to_string(i);
  return candidate;
}

}  // namespace

std::string alerts_text(const PollResult& r) {
  std::string s;
  for (const auto& [severity, count] : r.alerts)
    s += (s.empty() ? "" : " ") + severity + ":" + std::to_string(count);
  return s.empty() ? "none" : s;
}

std::string poll_header_line() {
  return pad("ADDRESS", 39) + pad("MODEL", 28) + pad("SYSNAME", 20) + pad("STATE", 28) +
         pad("SUPPLY", 7) + pad("ALERTS", 22) + "TIME\n";
}

std::string poll_line(const PollResult& r) {
  const std::string time = number(r.seconds) + " s";
  if (!r.ok())
    return pad(r.address, 39) + pad(r.model.empty() ? "-" : r.model, 28) + pad("-", 20) +
           "FAILED " + failure_text(r) + "  " + time + "\n";
  const int low = r.lowest_supply();
  return pad(r.address, 39) + pad(r.model.empty() ? "-" : r.model, 28) +
         pad(r.sys_name.empty() ? "-" : r.sys_name, 20) + pad(state_text(r), 28) +
         pad(low < 0 ? "-" : std::to_string(low) + "%", 7) + pad(alerts_text(r), 22) + time +
         "\n";
}

Json poll_json(const PollResult& r, int round, const std::string& time) {
  Json doc = r.ok() ? outcome_json(0, kExitOk, "ok")
                    : outcome_json(r.status, exit_code_for(r.status), failure_text(r));
  doc["round"] = round;
  doc["time"] = time;
  doc["address"] = r.address;
  doc["model"] = r.model.empty() ? Json(nullptr) : Json(r.model);
  doc["duration_seconds"] = r.seconds;
  if (!r.ok()) {
    doc["failed"] = r.failed;
    return doc;
  }
  doc["sys_name"] = r.sys_name;
  doc["printer_status"] = printer_status_name(r.printer_status);
  doc["errors"] = error_state_names(r.error_state);
  const int low = r.lowest_supply();
  doc["lowest_supply_percent"] = low < 0 ? Json(nullptr) : Json(low);
  Json supplies = Json::array(), trays = Json::array();
  for (const auto& s : r.supplies)
    supplies.push_back({{"name", s.name}, {"percent", s.percent < 0 ? Json(nullptr) : Json(s.percent)}});
  for (const auto& t : r.trays)
    trays.push_back({{"name", t.name}, {"percent", t.percent < 0 ? Json(nullptr) : Json(t.percent)}});
  doc["supplies"] = supplies;
  doc["input_trays"] = trays;
  doc["alerts"] = Json::object();
  for (const auto& [severity, count] : r.alerts) doc["alerts"][severity] = count;
  return doc;
}

std::string prometheus_label(const std::string& value) {
  std::string out;
  for (char c : value) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\\') out += "\\\\";
    else if (c == '"') out += "\\\"";
    else if (c == '\n') out += "\\n";
    else if (u < 0x20 || u >= 0x7f) out += '?';
    else out += c;
  }
  return out;
}

std::string prometheus_text(const std::vector<PollResult>& results) {
  std::string out;
  auto family = [&out](const char* name, const char* help) {
    out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " gauge\n";
  };
  auto device = [](const PollResult& r) { return "device=\"" + prometheus_label(r.address) + "\""; };
  family("zel_printer_up", "1 when the last read of the printer succeeded, else 0.");
  for (const auto& r : results)
    out += "zel_printer_up{" + device(r) + ",model=\"" + prometheus_label(r.model) +
           "\",sysname=\"" + prometheus_label(r.sys_name) + "\"} " + (r.ok() ? "1" : "0") + "\n";
  family("zel_supply_level_percent", "Supply level in percent of its capacity.");
  for (const auto& r : results) {
    std::set<std::string> seen;
    for (const auto& s : r.supplies)
      if (s.percent >= 0)
        out += "zel_supply_level_percent{" + device(r) + ",supply=\"" +
               prometheus_label(unique(&seen, s.name)) + "\"} " + std::to_string(s.percent) + "\n";
  }
  family("zel_alerts", "Active alerts by severity.");
  for (const auto& r : results)
    for (const auto& [severity, count] : r.alerts)
      out += "zel_alerts{" + device(r) + ",severity=\"" + prometheus_label(severity) + "\"} " +
             std::to_string(count) + "\n";
  family("zel_input_tray_level_percent", "Input tray level in percent of its capacity.");
  for (const auto& r : results) {
    std::set<std::string> seen;
    for (const auto& t : r.trays)
      if (t.percent >= 0)
        out += "zel_input_tray_level_percent{" + device(r) + ",tray=\"" +
               prometheus_label(unique(&seen, t.name)) + "\"} " + std::to_string(t.percent) + "\n";
  }
  family("zel_read_duration_seconds", "How long the last read of the printer took.");
  for (const auto& r : results)
    out += "zel_read_duration_seconds{" + device(r) + "} " + number(r.seconds) + "\n";
  return out;
}

}  // namespace zelctl
