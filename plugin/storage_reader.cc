#include "plugin/storage_reader.h"

#include <cstring>
#include <string_view>

namespace {

constexpr char kStorageTypeFamily[] = "1.3.6.1.2.1.25.2.1.";

// Walk order: the type column defines the rows.
const char* const kStorageColumns[] = {
    "1.3.6.1.2.1.25.2.3.1.2",  // hrStorageType
    "1.3.6.1.2.1.25.2.3.1.4",  // hrStorageAllocationUnits
    "1.3.6.1.2.1.25.2.3.1.5",  // hrStorageSize
    "1.3.6.1.2.1.25.2.3.1.3",  // hrStorageDescr
};

}  // namespace

int32_t zel_storage_type_code(const char* text) noexcept {
  if (!text) return 0;
  const std::string_view value(text);
  const std::string_view family(kStorageTypeFamily);
  if (value.size() != family.size() + 1 || value.substr(0, family.size()) != family) return 0;
  const char last = value.back();
  return last >= '1' && last <= '8' ? last - '0' : 0;
}

void zel_storage_record(const ZelDeviceRow& row, ZelStorageInfo* record) noexcept {
  std::memset(record, 0, sizeof(*record));
  char type[256];
  row.get_text(0, type);
  record->type = zel_storage_type_code(type);
  record->allocationUnits = row.get_int(1);
  record->size = row.get_int(2);
  row.get_text(3, record->description);
}

int zel_read_storage(CZelDevice& device) noexcept {
  return zel_collect_rows(device, kStorageColumns, 4, &device.storage,
                          [](const ZelDeviceRow& row, ZelStorageInfo* record) {
                            zel_storage_record(row, record);
                            return true;
                          });
}
