#include "tools/zelctl/report_json.h"

#include "tools/zelctl/names.h"
#include "tools/zelctl/status_text.h"

namespace zelctl {
namespace {

// A Printer MIB amount: the number, or null for the special values (-1 other,
// -2 unknown, -3 some remaining) with the device's number under KEY_raw.
void put_amount(Json* j, const std::string& key, int32_t amount) {
  (*j)[key] = is_amount(amount) ? Json(amount) : Json(nullptr);
  (*j)[key + "_raw"] = amount;
}

Json text_or_null(const std::string& text) { return text.empty() ? Json(nullptr) : Json(text); }

Json percent_json(int percent) { return percent < 0 ? Json(nullptr) : Json(percent); }

}  // namespace

Json status_json(int32_t status) {
  return Json{{"status", status}, {"meaning", status_meaning(status)}};
}

Json record_json(const ZelStorageInfo& r) {
  return Json{{"type", r.type},
              {"type_name", storage_type_name(r.type)},
              {"allocation_units", r.allocationUnits},
              {"size", r.size},
              {"description", field_text(r.description)}};
}

Json record_json(const ZelDeviceInfo& r) {
  return Json{{"type", r.type},
              {"type_name", device_type_name(r.type)},
              {"status", r.status},
              {"status_name", device_status_name(r.status)},
              {"description", field_text(r.description)}};
}

Json record_json(const ZelPrinterInfo& r) {
  // 0 is what the plug-in leaves when the device has no hrPrinterTable row.
  const bool reported = r.printerStatus != 0;
  return Json{{"printer_status", reported ? Json(r.printerStatus) : Json(nullptr)},
              {"printer_status_raw", r.printerStatus},
              {"printer_status_name",
               reported ? Json(printer_status_name(r.printerStatus)) : Json(nullptr)},
              {"detected_error_state", r.detectedErrorState},
              {"detected_error_state_names", error_state_names(r.detectedErrorState)}};
}

Json record_json(const ZelInputTrayInfoEx& ex) {
  const ZelInputTrayInfo& r = ex.tray;
  Json reserved = Json::array();
  for (uint8_t b : ex.reserved) reserved.push_back(b);
  Json j{{"type", r.type},
         {"type_name", input_type_name(r.type)},
         {"dimension_unit", r.dimensionUnit},
         {"dimension_unit_name", media_unit_name(r.dimensionUnit)}};
  put_amount(&j, "media_dim_feed_declared", r.mediaDimFeedDeclared);
  put_amount(&j, "media_dim_xfeed_declared", r.mediaDimXFeedDeclared);
  put_amount(&j, "media_dim_feed_chosen", r.mediaDimFeedChosen);
  put_amount(&j, "media_dim_xfeed_chosen", r.mediaDimXFeedChosen);
  j["media_size_name"] = text_or_null(
      media_size_from_dimensions(r.dimensionUnit, r.mediaDimFeedChosen, r.mediaDimXFeedChosen));
  j["capacity_unit"] = r.capacityUnit;
  j["capacity_unit_name"] = capacity_unit_name(r.capacityUnit);
  put_amount(&j, "max_capacity", r.maxCapacity);
  put_amount(&j, "current_level", r.currentLevel);
  j["level_percent"] = percent_json(percent_of(r.currentLevel, r.maxCapacity));
  j["status"] = r.status;
  j["status_name"] = subunit_status_name(r.status);
  j["media_name"] = field_text(r.mediaName);
  j["name"] = field_text(r.name);
  j["description"] = field_text(r.description);
  j["media_type"] = field_text(r.mediaType);
  j["media_color"] = field_text(r.mediaColor);
  // -1: the device has no vendor tray number for this tray.
  j["vendor_tray_number"] = ex.vendorTrayNumber < 0 ? Json(nullptr) : Json(ex.vendorTrayNumber);
  j["vendor_tray_number_raw"] = ex.vendorTrayNumber;
  j["reserved"] = reserved;
  return j;
}

Json record_json(const ZelOutputTrayInfo& r) {
  return Json{{"type", r.type},
              {"type_name", output_type_name(r.type)},
              {"status", r.status},
              {"status_name", subunit_status_name(r.status)},
              {"name", field_text(r.name)},
              {"description", field_text(r.description)}};
}

Json record_json(const ZelTonerInfo& r) {
  Json j{{"supply_unit", r.supplyUnit}, {"supply_unit_name", supply_unit_name(r.supplyUnit)}};
  put_amount(&j, "max_capacity", r.maxCapacity);
  put_amount(&j, "level", r.level);
  j["level_percent"] = percent_json(percent_of(r.level, r.maxCapacity));
  j["description"] = field_text(r.description);
  return j;
}

Json record_json(const ZelAlertInfo& r) {
  return Json{{"severity_level", r.severityLevel},
              {"severity_level_name", alert_severity_name(r.severityLevel)},
              {"group", r.group},
              {"group_name", alert_group_name(r.group)},
              {"group_index", r.groupIndex},
              {"location", r.location},
              {"code", r.code},
              {"code_name", alert_code_name(r.code)},
              {"description", field_text(r.description)}};
}

Json record_json(const ZelDateTime& r) {
  return text_or_null(date_time_text(r));
}

std::string date_time_text(const ZelDateTime& r) {
  return iso_date_time({r.year, r.month, r.day, r.hour, r.minute, r.second});
}

Json record_json(const ZelJobInfo& r) {
  return Json{{"job_type", r.jobType},
              {"job_type_name", job_type_name(r.jobType)},
              {"job_state", r.jobState},
              {"job_state_name", job_state_name(r.jobState)},
              {"job_integer2", r.jobInteger2},
              {"job_counter1", r.jobCounter1},
              {"job_counter2", r.jobCounter2},
              {"job_text1", field_text(r.jobText1)},
              {"job_text2", field_text(r.jobText2)},
              {"job_text3", field_text(r.jobText3)},
              {"job_id", field_text(r.jobId)},
              {"job_text_direct", field_text(r.jobTextDirect)},
              {"time1", record_json(r.time1)},
              {"time2", record_json(r.time2)},
              {"time3", record_json(r.time3)}};
}

Json request_json(const Options& o) {
  return Json{{"address", o.address.empty() ? Json(nullptr) : Json(o.address)},
              {"protocol", o.protocol},
              {"protocol_name", protocol_name(o.protocol)},
              {"snmp_mode", snmp_mode(o)},
              {"timeout_ms", o.timeout_ms},
              {"retries", o.retries}};
}

Json discovery_json(const Options& o, const std::string& library, const DiscoveryResult& r) {
  Json request = request_json(o);
  request["destination"] = o.address.empty() ? default_destination(o.protocol) : o.address;
  request["filters"] = o.filters;
  Json devices = Json::array();
  for (const auto& d : r.devices) {
    devices.push_back(Json{{"address", d.address},
                           {"model", d.model},
                           {"sys_object_id", d.sys_object_id},
                           {"flag", d.flag}});
  }
  Json doc{{"command", "discover"}, {"library", library}, {"request", request}};
  if (r.filter_status != 0) doc["filter"] = status_json(r.filter_status);
  doc["discovery"] = status_json(r.status);
  doc["count"] = r.count;
  doc["elapsed_ms"] = r.elapsed_ms;
  doc["devices"] = devices;
  return doc;
}

namespace {

template <class Record>
Json table_json(const TableRead<Record>& t) {
  Json j = status_json(t.status);
  j["count"] = t.count;
  j["record_status"] = t.record_status;
  Json rows = Json::array();
  for (const auto& r : t.rows) rows.push_back(record_json(r));
  j["records"] = rows;
  return j;
}

Json options_json(const DeviceReport& r) {
  Json values = Json::array();
  for (const auto& v : r.options) {
    Json j{{"key", v.key},
           {"index", v.index < 0 ? Json(nullptr) : Json(v.index)},
           {"kind", v.kind == OptionValue::kBoolean   ? "boolean"
                    : v.kind == OptionValue::kInteger ? "integer"
                                                      : "text"}};
    j.update(status_json(v.status));
    if (v.status != 0) j["value"] = nullptr;
    else if (v.kind == OptionValue::kBoolean) j["value"] = v.number != 0;
    else if (v.kind == OptionValue::kInteger) j["value"] = v.number;
    else j["value"] = v.text;
    if (v.status == 0 && v.key == "InputTrayMediaSize")
      j["value_name"] = medium_size_name(static_cast<int32_t>(v.number));
    values.push_back(j);
  }
  return Json{{"refresh", status_json(r.refresh_status)}, {"values", values}};
}

Json charset_json(const CharSetRead& c) {
  // 0: the device reported no character set.
  const bool reported = c.status == 0 && c.value != 0;
  Json j = status_json(c.status);
  j["value"] = reported ? Json(c.value) : Json(nullptr);
  j["value_raw"] = c.status == 0 ? Json(c.value) : Json(nullptr);
  j["value_name"] = reported ? Json(charset_name(c.value)) : Json(nullptr);
  return j;
}

}  // namespace

Json status_report_json(const Options& o, const std::string& library, const DeviceReport& r,
                        const StatusOutcome& outcome) {
  Json request = request_json(o);
  request["job_list"] = o.job_list;
  Json doc{{"schema_version", kJsonSchemaVersion},
           {"status", outcome.status},
           {"exit_code", outcome.exit_code},
           {"message", outcome.message},
           {"command", "status"},
           {"library", library},
           {"request", request},
           {"open", status_json(r.open_status)},
           {"warnings", outcome.warnings}};
  if (r.open_status != 0) return doc;
  const bool printer_read = r.printer_status == 0;
  const std::string sys_name = report_sys_name(r);
  doc["summary"] = Json{
      {"model", text_or_null(r.model)},
      {"sys_name", text_or_null(sys_name)},
      {"address", o.address},
      {"printer_status_name", printer_read && r.printer.printerStatus != 0
                                  ? Json(printer_status_name(r.printer.printerStatus))
                                  : Json(nullptr)},
      {"detected_error_state_names",
       printer_read ? Json(error_state_names(r.printer.detectedErrorState)) : Json(nullptr)}};
  Json printer = status_json(r.printer_status);
  printer["record"] = printer_read ? record_json(r.printer) : Json(nullptr);
  doc["printer"] = printer;
  const ReportSelection& pick = o.report;
  // JSON carries the option values unless --section leaves them out.
  ReportSelection with_options = pick;
  with_options.options = true;
  if (section_selected(pick, "alerts")) doc["alerts"] = table_json(r.alerts);
  if (section_selected(pick, "supplies")) doc["toner"] = table_json(r.toner);
  if (section_selected(pick, "trays")) {
    doc["input_trays"] = table_json(r.input_trays);
    doc["output_trays"] = table_json(r.output_trays);
  }
  if (section_selected(pick, "jobs")) doc["jobs"] = table_json(r.jobs);
  if (section_selected(pick, "storage")) doc["storage"] = table_json(r.storage);
  if (section_selected(pick, "devices")) doc["devices"] = table_json(r.devices);
  if (section_selected(pick, "charsets")) {
    doc["character_sets"] = Json{{"standard", charset_json(r.standard_charset)},
                                 {"vendor", charset_json(r.vendor_charset)}};
  }
  if (section_selected(with_options, "options")) doc["options"] = options_json(r);
  Json failures = Json::array();
  for (const auto& [section, status] : failed_sections(r)) {
    Json f{{"section", section}};
    f.update(status_json(status));
    failures.push_back(f);
  }
  doc["failures"] = failures;
  return doc;
}

Json status_report_json(const Options& o, const std::string& library, const DeviceReport& r) {
  return status_report_json(o, library, r, status_outcome(o, r));
}

std::string dump_json(const Json& doc) {
  return doc.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace zelctl
