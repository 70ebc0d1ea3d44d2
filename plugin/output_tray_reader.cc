#include "plugin/output_tray_reader.h"

#include <cstring>

namespace {

const char* const kOutputTrayColumns[] = {
    "1.3.6.1.2.1.43.9.2.1.2",   // prtOutputType
    "1.3.6.1.2.1.43.9.2.1.6",   // prtOutputStatus
    "1.3.6.1.2.1.43.9.2.1.7",   // prtOutputName
    "1.3.6.1.2.1.43.9.2.1.12",  // prtOutputDescription
};

}  // namespace

void zel_output_tray_record(const ZelDeviceRow& row, ZelOutputTrayInfo* record) noexcept {
  std::memset(record, 0, sizeof(*record));
  record->type = row.get_int(0);
  record->status = row.get_int(1);
  row.get_text(2, record->name);
  row.get_text(3, record->description);
}

int zel_read_output_trays(CZelDevice& device) noexcept {
  return zel_collect_rows(device, kOutputTrayColumns, 4, &device.output_trays,
                          [](const ZelDeviceRow& row, ZelOutputTrayInfo* record) {
                            zel_output_tray_record(row, record);
                            return true;
                          });
}
