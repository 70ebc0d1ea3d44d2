#include "tools/zelctl/device_report.h"

#include <cstring>

namespace zelctl {
namespace {

void tell(const ReadProgress& progress, const char* what, int done, int total) {
  if (progress) progress(what, done, total);
}

template <class Record, class Count, class Get>
TableRead<Record> read_table(const ReadProgress& progress, const char* what, Count count,
                             Get get) {
  TableRead<Record> t;
  int32_t n = 0;
  tell(progress, what, 0, 0);
  t.status = count(&n);
  if (t.status != 0) return t;
  t.count = n;
  for (int32_t i = 0; i < n; ++i) {
    tell(progress, what, i + 1, n);
    Record r;
    std::memset(&r, 0, sizeof r);
    const int32_t rc = get(static_cast<uint32_t>(i), &r);
    if (rc != 0) {
      t.record_status = rc;
      break;
    }
    t.rows.push_back(r);
  }
  return t;
}

OptionValue read_option(const ZelApi& api, ZelContext* ctx, OptionValue::Kind kind,
                        const std::string& key, int index) {
  OptionValue v;
  v.kind = kind;
  v.key = key;
  v.index = index;
  const uint16_t i = static_cast<uint16_t>(index < 0 ? 0 : index);
  switch (kind) {
    case OptionValue::kBoolean: {
      int16_t b = 0;
      v.status = api.ZelGetOptionValueBoolean(ctx, key.c_str(), i, &b);
      v.number = b;
      break;
    }
    case OptionValue::kInteger: {
      int32_t n = 0;
      v.status = api.ZelGetOptionValueInteger(ctx, key.c_str(), i, &n);
      v.number = n;
      break;
    }
    case OptionValue::kText: {
      // The plug-in writes at most ZEL_OPTION_TEXT_SIZE bytes with the NUL;
      // the spare byte keeps the text terminated whatever it writes.
      char buf[ZEL_OPTION_TEXT_SIZE + 1] = {};
      v.status = api.ZelGetOptionValueString(ctx, key.c_str(), i, buf);
      buf[ZEL_OPTION_TEXT_SIZE] = '\0';
      v.text = buf;
      break;
    }
  }
  return v;
}

int64_t option_number(const std::vector<OptionValue>& values, const std::string& key) {
  for (const auto& v : values) {
    if (v.key == key && v.index < 0 && v.status == 0) return v.number;
  }
  return 0;
}

void read_options(const ZelApi& api, ZelContext* ctx, DeviceReport* r,
                  const ReadProgress& progress) {
  tell(progress, "options", 0, 0);
  r->refresh_status = api.ZelRefreshOptions(ctx);
  for (const auto& k : boolean_option_keys())
    r->options.push_back(read_option(api, ctx, OptionValue::kBoolean, k, -1));
  for (const auto& k : integer_option_keys())
    r->options.push_back(read_option(api, ctx, OptionValue::kInteger, k, -1));
  for (const auto& k : text_option_keys())
    r->options.push_back(read_option(api, ctx, OptionValue::kText, k, -1));
  // The option object's tables hold at most 20 trays each.
  const int64_t inputs = std::min<int64_t>(option_number(r->options, "NumberOfInputTray"), 20);
  const int64_t outputs = std::min<int64_t>(option_number(r->options, "NumberOfOutputTray"), 20);
  static const char* const kInputIntegers[] = {
      "InputTrayIndex", "InputTrayType", "InputTrayMaxCapacityInSheets",
      "InputTrayCurrentLevelInPercent", "InputTrayMediaSize", "InputTrayMediaDirection",
      "InputTrayMediaDimFeedDirChosen", "InputTrayMediaDimXFeedDirChosen"};
  static const char* const kInputTexts[] = {"InputTrayName", "InputTrayDescription",
                                            "InputTrayMediaType"};
  for (int i = 0; i < inputs; ++i) {
    for (const char* k : kInputIntegers)
      r->options.push_back(read_option(api, ctx, OptionValue::kInteger, k, i));
    for (const char* k : kInputTexts)
      r->options.push_back(read_option(api, ctx, OptionValue::kText, k, i));
  }
  for (int i = 0; i < outputs; ++i) {
    r->options.push_back(read_option(api, ctx, OptionValue::kText, "OutputTrayName", i));
    r->options.push_back(
        read_option(api, ctx, OptionValue::kBoolean, "OutputOffsetStacking", i));
  }
}

}  // namespace

const std::vector<std::string>& boolean_option_keys() {
  static const std::vector<std::string> keys = {
      "Scanner", "Copier", "FAXUnit", "HardDisk", "DuplexModule", "OffsetCatch",
      "InTrayMSI", "OutTraySide", "InTrayExistHCF", "InTrayExistHCF2",
      "InTrayExistTTM", "InTrayExistHCFA3", "InTrayExistHCFPF35",
      "InTrayExistHCFPF31", "InTrayExistHCFPF32", "InTrayExistSTM",
      "OutTrayOffsetCatch", "OutTrayCenter2", "Finisher", "FinisherStaple",
      "FinisherPunch", "FinisherPunchHole2", "FinisherPunchHole3",
      "FinisherPunchHole4", "FinisherBooklet", "FinisherFolder", "FAXISDNG4Kit",
      "FAXLineSwitchKit"};
  return keys;
}

const std::vector<std::string>& integer_option_keys() {
  static const std::vector<std::string> keys = {
      "MemorySizeInKByte", "MemorySizeInMByte", "FAXMaxSpeedDial", "FAXType",
      "NumberOfInputTray", "NumberOfOutputTray", "PrinterRomVersionMajor",
      "PrinterRomVersionMinor", "PrinterRomVersionRevision", "PaperSizeGroupSetting",
      "PaperSize8KSetting", "FinisherBookletImpression", "FinisherType",
      "PrintLimitedColorSetting", "UserPromptSetting", "MinPasswordLength",
      "FAXSIPStatus"};
  return keys;
}

const std::vector<std::string>& text_option_keys() {
  static const std::vector<std::string> keys = {"PrinterRomVersion", "SysName",
                                                "NetWareSAPUnitName"};
  return keys;
}

namespace {

// The plug-in's model table: sysObjectID prefix and model name.
constexpr struct {
  const char* prefix;
  const char* name;
} kModels[] = {{"1.3.6.1.4.1.61802.1.11.93.1.37.22.4", "Ferrowyn M870"}};

}  // namespace

std::string supported_model_name(const ZelApi& api, ZelContext* ctx) {
  // The open succeeded only for an identifier of the model table, so the
  // prefix that the open device's identifier begins with names the model.
  for (const auto& m : kModels) {
    if (api.ZelIsSupportedOID(ctx, m.prefix) == 1) return m.name;
  }
  return "";
}

std::string report_sys_name(const DeviceReport& r) {
  for (const auto& v : r.options) {
    if (v.key == "SysName" && v.index < 0 && v.status == 0) return v.text;
  }
  return "";
}

bool serves_no_printer_data(const DeviceReport& r) {
  if (r.open_status != 0 || r.printer_status != 0) return false;
  // -1 from the Ex count call means the device has no input trays.
  const bool no_inputs = r.input_trays.status == -1 ||
                         (r.input_trays.status == 0 && r.input_trays.count == 0);
  auto empty = [](int32_t status, int32_t count) { return status == 0 && count == 0; };
  if (r.devices.status != 0 || r.devices.record_status != 0) return false;
  for (const auto& d : r.devices.rows) {
    if (d.type == 5) return false;  // hrDeviceTypePrinter
  }
  return r.printer.printerStatus == 0 && r.printer.detectedErrorState == 0 && no_inputs &&
         empty(r.output_trays.status, r.output_trays.count) &&
         empty(r.toner.status, r.toner.count) && empty(r.alerts.status, r.alerts.count);
}

void read_device_report(const ZelApi& api, ZelContext* ctx, uint32_t job_list,
                        DeviceReport* r, const ReadProgress& progress) {
  r->model = supported_model_name(api, ctx);
  read_options(api, ctx, r, progress);
  r->storage = read_table<ZelStorageInfo>(progress, "storage",
      [&](int32_t* n) { return api.ZelGetNumberOfStorageInfo(ctx, n); },
      [&](uint32_t i, ZelStorageInfo* p) { return api.ZelGetStorageInfo(ctx, i, p); });
  r->devices = read_table<ZelDeviceInfo>(progress, "devices",
      [&](int32_t* n) { return api.ZelGetNumberOfDeviceInfo(ctx, n); },
      [&](uint32_t i, ZelDeviceInfo* p) { return api.ZelGetDeviceInfo(ctx, i, p); });
  tell(progress, "printer status", 0, 0);
  r->printer_status = api.ZelGetPrinterInfo(ctx, &r->printer);
  r->input_trays = read_table<ZelInputTrayInfoEx>(progress, "input trays",
      [&](int32_t* n) { return api.ZelGetNumberOfInputTrayInfoEx(ctx, n); },
      [&](uint32_t i, ZelInputTrayInfoEx* p) { return api.ZelGetInputTrayInfoEx(ctx, i, p); });
  r->output_trays = read_table<ZelOutputTrayInfo>(progress, "output trays",
      [&](int32_t* n) { return api.ZelGetNumberOfOutputTrayInfo(ctx, n); },
      [&](uint32_t i, ZelOutputTrayInfo* p) { return api.ZelGetOutputTrayInfo(ctx, i, p); });
  r->toner = read_table<ZelTonerInfo>(progress, "toner",
      [&](int32_t* n) { return api.ZelGetNumberOfTonerInfo(ctx, n); },
      [&](uint32_t i, ZelTonerInfo* p) { return api.ZelGetTonerInfo(ctx, i, p); });
  r->alerts = read_table<ZelAlertInfo>(progress, "alerts",
      [&](int32_t* n) { return api.ZelGetNumberOfAlertInfo(ctx, n); },
      [&](uint32_t i, ZelAlertInfo* p) { return api.ZelGetAlertInfo(ctx, i, p); });
  r->job_list = job_list;
  r->jobs = read_table<ZelJobInfo>(progress, "jobs",
      [&](int32_t* n) { return api.ZelGetNumberOfJobInfo(ctx, job_list, n); },
      [&](uint32_t i, ZelJobInfo* p) { return api.ZelGetJobInfo(ctx, i, p); });
  tell(progress, "character sets", 0, 0);
  r->standard_charset.status = api.ZelGetCharSet(ctx, 0, &r->standard_charset.value);
  r->vendor_charset.status = api.ZelGetCharSet(ctx, 1, &r->vendor_charset.value);
}

std::vector<std::pair<std::string, int32_t>> failed_sections(const DeviceReport& r) {
  std::vector<std::pair<std::string, int32_t>> out;
  auto table = [&out](const char* name, int32_t status, int32_t record_status) {
    if (status != 0) out.emplace_back(name, status);
    else if (record_status != 0) out.emplace_back(name, record_status);
  };
  if (r.refresh_status != 0) out.emplace_back("options", r.refresh_status);
  table("storage", r.storage.status, r.storage.record_status);
  table("devices", r.devices.status, r.devices.record_status);
  if (r.printer_status != 0) out.emplace_back("printer", r.printer_status);
  // -1 from the Ex count call means the device has no input trays.
  table("input trays", r.input_trays.status == -1 ? 0 : r.input_trays.status,
        r.input_trays.record_status);
  table("output trays", r.output_trays.status, r.output_trays.record_status);
  table("toner", r.toner.status, r.toner.record_status);
  table("alerts", r.alerts.status, r.alerts.record_status);
  table("jobs", r.jobs.status, r.jobs.record_status);
  if (r.standard_charset.status != 0)
    out.emplace_back("standard character set", r.standard_charset.status);
  if (r.vendor_charset.status != 0)
    out.emplace_back("vendor character set", r.vendor_charset.status);
  return out;
}

}  // namespace zelctl
