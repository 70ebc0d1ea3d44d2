#include "tools/zelctl/report_text.h"

#include "tools/zelctl/names.h"
#include "tools/zelctl/report_json.h"
#include "tools/zelctl/status_text.h"
#include "tools/zelctl/table.h"

namespace zelctl {
namespace {

using Col = Table::Column;

std::string num(int64_t v) { return std::to_string(v); }

std::string join(const std::vector<std::string>& parts, const char* sep) {
  std::string out;
  for (const auto& p : parts) out += (out.empty() ? "" : sep) + p;
  return out;
}

// "Storage (3)" or "Storage: not read: no answer (status -203)".
template <class Record>
std::string heading(const std::string& title, const TableRead<Record>& t) {
  if (t.status != 0 && !(t.status == -1 && title == "Input trays"))
    return title + ": not read: " + status_meaning(t.status) + " (status " +
           num(t.status) + ")\n";
  std::string h = title + " (" + num(t.count) + ")";
  if (t.status == -1) h += ": the device reported no input trays";
  if (t.record_status != 0)
    h += " [record read failed: " + status_meaning(t.record_status) + " (status " +
         num(t.record_status) + ")]";
  return h + "\n";
}

std::string storage_text(const TableRead<ZelStorageInfo>& t) {
  Table table({{"type"}, {"units", true}, {"size", true}, {"description"}});
  for (const auto& r : t.rows)
    table.add_row({storage_type_name(r.type), num(r.allocationUnits), num(r.size),
                   field_text(r.description)});
  return heading("Storage", t) + (table.empty() ? "" : table.render());
}

std::string devices_text(const TableRead<ZelDeviceInfo>& t) {
  Table table({{"type"}, {"status"}, {"description"}});
  for (const auto& r : t.rows)
    table.add_row({device_type_name(r.type), device_status_name(r.status),
                   field_text(r.description)});
  return heading("Devices", t) + (table.empty() ? "" : table.render());
}

std::string printer_text(const DeviceReport& r) {
  if (r.printer_status != 0)
    return "Printer: not read: " + status_meaning(r.printer_status) + " (status " +
           num(r.printer_status) + ")\n";
  const auto errors = error_state_names(r.printer.detectedErrorState);
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08x", static_cast<unsigned>(r.printer.detectedErrorState));
  return "Printer\n  status          " + printer_status_name(r.printer.printerStatus) + " (" +
         num(r.printer.printerStatus) + ")\n  detected errors " +
         (errors.empty() ? std::string("none") : join(errors, ", ")) + " (" + hex + ")\n";
}

std::string input_trays_text(const TableRead<ZelInputTrayInfoEx>& t) {
  Table table({{"#", true}, {"name"}, {"type"}, {"media"}, {"size"}, {"level"},
               {"status"}, {"vendor#", true}});
  for (const auto& ex : t.rows) {
    const ZelInputTrayInfo& r = ex.tray;
    std::string size = media_size_from_dimensions(r.dimensionUnit, r.mediaDimFeedChosen,
                                                  r.mediaDimXFeedChosen);
    if (size.empty()) size = num(r.mediaDimFeedChosen) + "x" + num(r.mediaDimXFeedChosen);
    const int pct = percent_of(r.currentLevel, r.maxCapacity);
    std::string level = num(r.currentLevel) + "/" + num(r.maxCapacity) + " " +
                        capacity_unit_name(r.capacityUnit);
    if (pct >= 0) level += " (" + num(pct) + "%)";
    table.add_row({num(&ex - t.rows.data() + 1), field_text(r.name), input_type_name(r.type),
                   field_text(r.mediaName), size, level, subunit_status_name(r.status),
                   num(ex.vendorTrayNumber)});
  }
  return heading("Input trays", t) + (table.empty() ? "" : table.render());
}

std::string output_trays_text(const TableRead<ZelOutputTrayInfo>& t) {
  Table table({{"name"}, {"type"}, {"status"}, {"description"}});
  for (const auto& r : t.rows)
    table.add_row({field_text(r.name), output_type_name(r.type), subunit_status_name(r.status),
                   field_text(r.description)});
  return heading("Output trays", t) + (table.empty() ? "" : table.render());
}

std::string toner_text(const TableRead<ZelTonerInfo>& t) {
  Table table({{"description"}, {"level", true}, {"bar"}, {"percent", true}});
  for (const auto& r : t.rows) {
    const int pct = percent_of(r.level, r.maxCapacity);
    std::string level = num(r.level) + "/" + num(r.maxCapacity);
    if (r.level == -3) level = "some left";
    table.add_row({field_text(r.description), level, level_bar(pct, 20),
                   pct < 0 ? "?" : num(pct) + "%"});
  }
  return heading("Toner", t) + (table.empty() ? "" : table.render());
}

std::string alerts_text(const TableRead<ZelAlertInfo>& t) {
  Table table({{"severity"}, {"group"}, {"index", true}, {"location", true}, {"code"},
               {"description"}});
  for (const auto& r : t.rows)
    table.add_row({alert_severity_name(r.severityLevel), alert_group_name(r.group),
                   num(r.groupIndex), num(r.location), alert_code_name(r.code),
                   field_text(r.description)});
  return heading("Alerts", t) + (table.empty() ? "" : table.render());
}

std::string date_text(const ZelDateTime& d) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day,
                d.hour, d.minute, d.second);
  return buf;
}

std::string jobs_text(const TableRead<ZelJobInfo>& t) {
  Table table({{"id"}, {"type", true}, {"state", true}, {"counters"}, {"text"},
               {"texts"}, {"times"}});
  for (const auto& r : t.rows)
    table.add_row({field_text(r.jobId), num(r.jobType), num(r.jobState),
                   num(r.jobInteger2) + " " + num(r.jobCounter1) + " " + num(r.jobCounter2),
                   field_text(r.jobTextDirect),
                   join({field_text(r.jobText1), field_text(r.jobText2), field_text(r.jobText3)},
                        " | "),
                   date_text(r.time1) + ", " + date_text(r.time2) + ", " + date_text(r.time3)});
  return heading("Jobs", t) + (table.empty() ? "" : table.render());
}

std::string charset_text(const char* which, const CharSetRead& c) {
  if (c.status != 0)
    return std::string("  ") + which + ": not read: " + status_meaning(c.status) +
           " (status " + num(c.status) + ")\n";
  return std::string("  ") + which + ": " + charset_name(c.value) + " (" + num(c.value) + ")\n";
}

std::string options_text(const DeviceReport& r) {
  if (r.refresh_status != 0)
    return "Options: not read: " + status_meaning(r.refresh_status) + " (status " +
           num(r.refresh_status) + ")\n";
  Table table({{"option"}, {"index", true}, {"value"}});
  for (const auto& v : r.options) {
    std::string value;
    if (v.status != 0) value = "(" + status_meaning(v.status) + ", status " + num(v.status) + ")";
    else if (v.kind == OptionValue::kBoolean) value = v.number ? "yes" : "no";
    else if (v.kind == OptionValue::kInteger) value = num(v.number);
    else value = v.text;
    if (v.status == 0 && v.key == "InputTrayMediaSize")
      value += " (" + medium_size_name(static_cast<int32_t>(v.number)) + ")";
    table.add_row({v.key, v.index < 0 ? "" : num(v.index), value});
  }
  return "Options\n" + table.render();
}

}  // namespace

std::string discovery_text(const Options& o, const DiscoveryResult& r) {
  const std::string target = o.address.empty() ? default_destination(o.protocol) : o.address;
  std::string out = "Discovery at " + target + " (" + protocol_name(o.protocol) + ", " +
                    num(o.retries + 1) + " tries of " + num(o.timeout_ms) + " ms): " +
                    num(static_cast<int64_t>(r.devices.size())) + " supported device(s)\n";
  if (r.devices.empty()) return out;
  Table table({{"address"}, {"model"}, {"sysObjectID", false, 64}});
  for (const auto& d : r.devices) table.add_row({d.address, d.model, d.sys_object_id});
  return out + table.render();
}

std::string status_report_text(const Options& o, const DeviceReport& r) {
  std::string out = "Device " + o.address + " (" + protocol_name(o.protocol) +
                    (o.v3 ? ", SNMPv3" : "") + ")\n";
  out += printer_text(r);
  out += options_text(r);
  out += storage_text(r.storage);
  out += devices_text(r.devices);
  out += input_trays_text(r.input_trays);
  out += output_trays_text(r.output_trays);
  out += toner_text(r.toner);
  out += alerts_text(r.alerts);
  out += jobs_text(r.jobs);
  out += "Character sets\n" + charset_text("standard", r.standard_charset) +
         charset_text("vendor", r.vendor_charset);
  return out;
}

}  // namespace zelctl
