// The device reader: hrDeviceTable rows as ZelDeviceInfo records.
#ifndef PLUGIN_DEVICE_READER_H_
#define PLUGIN_DEVICE_READER_H_

#include <cstdint>

#include "plugin/device_object.h"
#include "plugin/device_rows.h"

// hrDeviceType text -> type code by the device type table: the standard
// family "1.3.6.1.2.1.25.3.1.N" for N in 1-6 and 10-21, and the vendor
// family "1.3.6.1.4.1.61801.8.52.2.N" for N in 101-109, 151-154 and
// 201-207, each giving N. Any other text gives 0.
int32_t zel_device_type_code(const char* text) noexcept;

void zel_device_record(const ZelDeviceRow& row, ZelDeviceInfo* record) noexcept;

// Walks hrDeviceTable into device.devices. 0 or the failing step's status.
int zel_read_devices(CZelDevice& device) noexcept;

#endif  // PLUGIN_DEVICE_READER_H_
