// The printer reader: hrPrinterStatus and hrPrinterDetectedErrorState.
#ifndef PLUGIN_PRINTER_READER_H_
#define PLUGIN_PRINTER_READER_H_

#include <cstdint>
#include <string_view>

#include "plugin/device_object.h"

// hrPrinterDetectedErrorState (a BITS string) as a little-endian number:
// octet 1 in the least significant byte up to octet 4; missing octets are 0,
// octets after the fourth are ignored.
int32_t zel_error_state_bits(std::string_view octets) noexcept;

// Walks hrPrinterTable; the last row wins. On success the device object's
// printer status and error state are copied into *info; on failure *info is
// untouched and the status answered.
int zel_read_printer(CZelDevice& device, ZelPrinterInfo* info) noexcept;

#endif  // PLUGIN_PRINTER_READER_H_
