#include "tools/zelctl/report_text.h"

#include "tools/zelctl/names.h"
#include "tools/zelctl/report_json.h"
#include "tools/zelctl/status_text.h"
#include "tools/zelctl/report_sections.h"
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

// "250/500 sheets (50%)", "some remaining of 550 sheets", "250 sheets
// (maximum unknown)": the special values as words, never as numbers.
std::string level_text(int32_t level, int32_t max, const std::string& unit) {
  const std::string u = unit.empty() ? "" : " " + unit;
  if (!is_amount(level) && !is_amount(max))
    return amount_word(level) + " (maximum " + amount_word(max) + ")";
  if (!is_amount(level)) return amount_word(level) + " of " + num(max) + u;
  if (!is_amount(max)) return num(level) + u + " (maximum " + amount_word(max) + ")";
  const int pct = percent_of(level, max);
  return num(level) + "/" + num(max) + u + (pct >= 0 ? " (" + num(pct) + "%)" : "");
}

// The chosen medium size: its name, else "WxH unit", else the word for an
// unknown dimension.
std::string size_text(const ZelInputTrayInfo& r) {
  const std::string name = media_size_from_dimensions(r.dimensionUnit, r.mediaDimFeedChosen,
                                                      r.mediaDimXFeedChosen);
  if (!name.empty()) return name;
  if (!is_amount(r.mediaDimFeedChosen)) return amount_word(r.mediaDimFeedChosen);
  if (!is_amount(r.mediaDimXFeedChosen)) return amount_word(r.mediaDimXFeedChosen);
  return num(r.mediaDimFeedChosen) + "x" + num(r.mediaDimXFeedChosen) + " " +
         media_unit_name(r.dimensionUnit);
}

// The printer's state: "idle; noPaper, doorOpen".
std::string state_text(const DeviceReport& r) {
  if (r.printer_status != 0)
    return "printer status not read: " + status_meaning(r.printer_status) + " (status " +
           num(r.printer_status) + ")";
  const auto errors = error_state_names(r.printer.detectedErrorState);
  std::string state = r.printer.printerStatus == 0
                          ? std::string("printer status ") + kNotReported
                          : printer_status_name(r.printer.printerStatus);
  if (!errors.empty()) state += "; " + join(errors, ", ");
  return state;
}

// "Ferrowyn M870 OFFICE-3 at 192.0.2.7 (IPv4): idle; lowToner"
std::string summary_text(const Options& o, const DeviceReport& r) {
  const std::string sys_name = report_sys_name(r);
  return (r.model.empty() ? std::string("unknown model") : r.model) + " " +
         (sys_name.empty() ? std::string("(sysName ") + kNotReported + ")"
                           : printable_cell(sys_name, 64)) +
         " at " + o.address + " (" + protocol_name(o.protocol) + (o.v3 ? ", SNMPv3" : "") +
         "): " + state_text(r) + "\n";
}

std::string input_trays_text(const TableRead<ZelInputTrayInfoEx>& t) {
  Table table({{"#", true}, {"name"}, {"type"}, {"media"}, {"size"}, {"level"},
               {"status"}, {"vendor#", true}});
  for (const auto& ex : t.rows) {
    const ZelInputTrayInfo& r = ex.tray;
    table.add_row({num(&ex - t.rows.data() + 1), field_text(r.name), input_type_name(r.type),
                   field_text(r.mediaName), size_text(r),
                   level_text(r.currentLevel, r.maxCapacity, capacity_unit_name(r.capacityUnit)),
                   subunit_status_name(r.status),
                   ex.vendorTrayNumber < 0 ? kNotReported : num(ex.vendorTrayNumber)});
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
  Table table({{"description"}, {"level"}, {"bar"}});
  for (const auto& r : t.rows) {
    table.add_row({field_text(r.description),
                   level_text(r.level, r.maxCapacity, supply_unit_name(r.supplyUnit)),
                   level_bar(percent_of(r.level, r.maxCapacity), 20)});
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
  const std::string text = date_time_text(d);
  return text.empty() ? kNotReported : text;
}

std::string jobs_text(const TableRead<ZelJobInfo>& t) {
  Table table({{"id"}, {"type"}, {"state"}, {"counters"}, {"text"}, {"texts"},
               {"times", false, 80}});
  for (const auto& r : t.rows)
    table.add_row({field_text(r.jobId), job_type_name(r.jobType), job_state_name(r.jobState),
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
  if (c.value == 0) return std::string("  ") + which + ": " + kNotReported + "\n";
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
  const char* tries = o.retries == 0 ? " try of " : " tries of ";
  std::string out = "Discovery at " + target + " (" + protocol_name(o.protocol) + ", " +
                    num(o.retries + 1) + tries + num(o.timeout_ms) + " ms): " +
                    num(static_cast<int64_t>(r.devices.size())) + " supported device(s)\n";
  if (r.devices.empty()) return out;
  Table table({{"address"}, {"model"}, {"sysObjectID", false, 64}});
  for (const auto& d : r.devices) table.add_row({d.address, d.model, d.sys_object_id});
  return out + table.render();
}

std::string status_report_text(const Options& o, const DeviceReport& r) {
  const ReportSelection& pick = o.report;
  std::string out = summary_text(o, r);
  if (section_selected(pick, "alerts")) out += alerts_text(r.alerts);
  if (section_selected(pick, "supplies")) out += toner_text(r.toner);
  if (section_selected(pick, "trays"))
    out += input_trays_text(r.input_trays) + output_trays_text(r.output_trays);
  if (section_selected(pick, "jobs")) out += jobs_text(r.jobs);
  if (section_selected(pick, "storage")) out += storage_text(r.storage);
  if (section_selected(pick, "devices")) out += devices_text(r.devices);
  if (section_selected(pick, "charsets")) {
    out += "Character sets\n" + charset_text("standard", r.standard_charset) +
           charset_text("vendor", r.vendor_charset);
  }
  if (section_selected(pick, "options")) {
    out += options_text(r);
  } else if (r.refresh_status != 0) {
    out += options_text(r);  // says why they could not be read
  } else if (pick.sections.empty()) {
    out += "Options: " + num(static_cast<int64_t>(r.options.size())) +
           " values not shown (add --options to see them)\n";
  }
  return out;
}

}  // namespace zelctl
