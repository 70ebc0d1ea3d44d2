// Everything "status" reads from one opened device, gathered through the
// exported interface into plain values: every table's count-call status and
// its records, the printer state, both character sets and every option value
// with its own status. Nothing is interpreted here; names come later.
#ifndef TOOLS_ZELCTL_DEVICE_REPORT_H_
#define TOOLS_ZELCTL_DEVICE_REPORT_H_

#include <cstdint>
#include <functional>
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
  std::string model;  // the supported model's name, "" when not known
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

// Told what is being read: a section name ("input trays") and, while its
// records are copied, how many of how many (0 and 0 before that).
using ReadProgress = std::function<void(const char* what, int done, int total)>;

// Reads the model, tables, printer, character sets and options of the device
// that is open in `context` (the open's status is the caller's to store).
void read_device_report(const ZelApi& api, ZelContext* context, uint32_t job_list,
                        DeviceReport* report, const ReadProgress& progress = nullptr);

// The name of the model whose sysObjectID the open device proved, or "".
std::string supported_model_name(const ZelApi& api, ZelContext* context);

// The device's sysName as the option object holds it, or "".
std::string report_sys_name(const DeviceReport& report);

// True when every printer table was read without failure and none of them
// holds anything (no hrPrinterTable row, no input or output tray, no toner,
// no alert) and the device table lists no printer either. An agent that
// merely claims the supported model answers so; a real printer whose
// supplies carry no type still lists itself as a printer device.
bool serves_no_printer_data(const DeviceReport& report);

// The sections whose read failed, as (section name, status); the input tray
// count's -1 (no input trays) is not a failure.
std::vector<std::pair<std::string, int32_t>> failed_sections(const DeviceReport& report);

}  // namespace zelctl

#endif  // TOOLS_ZELCTL_DEVICE_REPORT_H_
