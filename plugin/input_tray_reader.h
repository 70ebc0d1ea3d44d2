// The input tray readers: prtInputTable rows as ZelInputTrayInfo records,
// and the Ex form that adds the vendor's tray number, paired with the
// standard rows by position.
#ifndef PLUGIN_INPUT_TRAY_READER_H_
#define PLUGIN_INPUT_TRAY_READER_H_

#include <cstdint>

#include "plugin/device_object.h"
#include "plugin/device_rows.h"

// The vendor tray number column (one integer per input tray row).
inline constexpr char kZelVendorTrayColumn[] = "1.3.6.1.4.1.61802.2.9999.43.8.2.1.2";

// One walked row of the 15 columns (ten integers, five texts) as a record.
void zel_input_tray_record(const ZelDeviceRow& row, ZelInputTrayInfo* record) noexcept;

// Walks prtInputTable into device.input_trays. 0 or the failing status.
int zel_read_input_trays(CZelDevice& device) noexcept;

// Walks prtInputTable into device.input_trays_ex, then the vendor column
// with the same request object initialised again: the first record takes
// the first vendor row's number, and so on; records without a partner row,
// or all when that walk fails or finds nothing, get -1. The vendor walk
// never fails the call. Answers kKalErrGeneral when no tray was found.
int zel_read_input_trays_ex(CZelDevice& device) noexcept;

#endif  // PLUGIN_INPUT_TRAY_READER_H_
