// The toner reader: the toner rows (prtMarkerSuppliesType 3) of
// prtMarkerSuppliesTable as ZelTonerInfo records.
#ifndef PLUGIN_TONER_READER_H_
#define PLUGIN_TONER_READER_H_

#include <cstdint>

#include "plugin/device_object.h"
#include "plugin/device_rows.h"

inline constexpr int32_t kZelSupplyTypeToner = 3;

// Fills *record from a walked row and answers whether the row is a toner.
bool zel_toner_record(const ZelDeviceRow& row, ZelTonerInfo* record) noexcept;

// Walks prtMarkerSuppliesTable into device.toners (toner rows only).
int zel_read_toners(CZelDevice& device) noexcept;

#endif  // PLUGIN_TONER_READER_H_
