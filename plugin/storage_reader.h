// The storage reader: hrStorageTable rows as ZelStorageInfo records.
#ifndef PLUGIN_STORAGE_READER_H_
#define PLUGIN_STORAGE_READER_H_

#include <cstdint>

#include "plugin/device_object.h"
#include "plugin/device_rows.h"

// hrStorageType text -> type code: "1.3.6.1.2.1.25.2.1.1" to
// "1.3.6.1.2.1.25.2.1.8" give 1 to 8; any other text (whole-text
// comparison) gives 0.
int32_t zel_storage_type_code(const char* text) noexcept;

// One walked row (type, allocation units, size, description) as a record.
void zel_storage_record(const ZelDeviceRow& row, ZelStorageInfo* record) noexcept;

// Walks hrStorageTable and appends one record per row to device.storage
// (which the count call empties first). 0 or the failing step's status.
int zel_read_storage(CZelDevice& device) noexcept;

#endif  // PLUGIN_STORAGE_READER_H_
