// Everything "status" reads from one opened device, gathered through the
// exported interface into plain values: every table's count-call status and
// its records, the printer state, both character sets and every option value
// with its own status. Nothing is interpreted here; names come later.
#ifndef TOOLS_ZELCTL_DEVICE_REPORT_H_
#define TOOLS_ZELCTL_DEVICE_REPORT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "tools/zelctl/plugin_library.h"

namespace zelctl {

// One table: the count call's status, the count it answered, and the records
// read by index. record_status is the first failing record call (0 if none).
template <class Record>
struct TableRead {
  int32_t status = 0;
  int32_t count = 0;
  int32_t record_status = 0;
  std::vector<Record> rows;
};

struct OptionValue {
  enum Kind { kBoolean, kInteger, kText } kind = kBoolean;
  std::string key;
  int index = -1;   // -1 for keys that take no index
  int32_t status = 0;
  int64_t number = 0;  // boolean 0/1 or integer
  std::string text;
};

struct CharSetRead {
  int32_t status = 0;
  int32_t value = 0;
};

struct DeviceReport {
  int32_t open_status = 0;
  int32_t refresh_status = 0;
  std::vector<OptionValue> options;  // device-wide keys, then per input and output tray
  TableRead<ZelStorageInfo> storage;
  TableRead<ZelDeviceInfo> devices;
  int32_t printer_status = 0;
  ZelPrinterInfo printer{};
  TableRead<ZelInputTrayInfoEx> input_trays;
  TableRead<ZelOutputTrayInfo> output_trays;
  TableRead<ZelTonerInfo> toner;
  TableRead<ZelAlertInfo> alerts;
  uint32_t job_list = 0;
  TableRead<ZelJobInfo> jobs;
  CharSetRead standard_charset, vendor_charset;
};

// The option keys that take no index, by kind.
const std::vector<std::string>& boolean_option_keys();
const std::vector<std::string>& integer_option_keys();
const std::vector<std::string>& text_option_keys();

// Reads the tables, printer, character sets and options of the device that
// is open in `context` (the open's status is the caller's to store).
void read_device_report(const ZelApi& api, ZelContext* context, uint32_t job_list,
                        DeviceReport* report);

// The sections whose read failed, as (section name, status); the input tray
// count's -1 (no input trays) is not a failure.
std::vector<std::pair<std::string, int32_t>> failed_sections(const DeviceReport& report);

}  // namespace zelctl

#endif  // TOOLS_ZELCTL_DEVICE_REPORT_H_
