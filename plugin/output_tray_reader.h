// The output tray reader: prtOutputTable rows as ZelOutputTrayInfo records.
#ifndef PLUGIN_OUTPUT_TRAY_READER_H_
#define PLUGIN_OUTPUT_TRAY_READER_H_

#include "plugin/device_object.h"
#include "plugin/device_rows.h"

void zel_output_tray_record(const ZelDeviceRow& row, ZelOutputTrayInfo* record) noexcept;

// Walks prtOutputTable into device.output_trays. 0 or the failing status.
int zel_read_output_trays(CZelDevice& device) noexcept;

#endif  // PLUGIN_OUTPUT_TRAY_READER_H_
