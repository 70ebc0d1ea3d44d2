#include "plugin/toner_reader.h"

#include <cstring>

namespace {

const char* const kTonerColumns[] = {
    "1.3.6.1.2.1.43.11.1.1.5",  // prtMarkerSuppliesType: the row filter
    "1.3.6.1.2.1.43.11.1.1.7",  // prtMarkerSuppliesSupplyUnit
    "1.3.6.1.2.1.43.11.1.1.8",  // prtMarkerSuppliesMaxCapacity
    "1.3.6.1.2.1.43.11.1.1.9",  // prtMarkerSuppliesLevel
    "1.3.6.1.2.1.43.11.1.1.6",  // prtMarkerSuppliesDescription
};

}  // namespace

bool zel_toner_record(const ZelDeviceRow& row, ZelTonerInfo* record) noexcept {
  std::memset(record, 0, sizeof(*record));
  const int32_t type = row.get_int(0);
  record->supplyUnit = row.get_int(1);
  record->maxCapacity = row.get_int(2);
  record->level = row.get_int(3);
  row.get_text(4, record->description);
  return type == kZelSupplyTypeToner;
}

int zel_read_toners(CZelDevice& device) noexcept {
  return zel_collect_rows(device, kTonerColumns, 5, &device.toners,
                          [](const ZelDeviceRow& row, ZelTonerInfo* record) {
                            return zel_toner_record(row, record);
                          });
}
