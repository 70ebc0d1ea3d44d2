#include "plugin/alert_reader.h"

#include <cstring>

namespace {

const char* const kAlertColumns[] = {
    "1.3.6.1.2.1.43.18.1.1.2",  // prtAlertSeverityLevel
    "1.3.6.1.2.1.43.18.1.1.4",  // prtAlertGroup
    "1.3.6.1.2.1.43.18.1.1.5",  // prtAlertGroupIndex
    "1.3.6.1.2.1.43.18.1.1.6",  // prtAlertLocation
    "1.3.6.1.2.1.43.18.1.1.7",  // prtAlertCode
    "1.3.6.1.2.1.43.18.1.1.8",  // prtAlertDescription
};

}  // namespace

void zel_alert_record(const ZelDeviceRow& row, ZelAlertInfo* record) noexcept {
  std::memset(record, 0, sizeof(*record));
  record->severityLevel = row.get_int(0);
  record->group = row.get_int(1);
  record->groupIndex = row.get_int(2);
  record->location = row.get_int(3);
  record->code = row.get_int(4);
  row.get_text(5, record->description);
}

int zel_read_alerts(CZelDevice& device) noexcept {
  return zel_collect_rows(device, kAlertColumns, 6, &device.alerts,
                          [](const ZelDeviceRow& row, ZelAlertInfo* record) {
                            zel_alert_record(row, record);
                            return true;
                          });
}
