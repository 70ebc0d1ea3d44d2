#include "plugin/printer_reader.h"

#include "plugin/device_rows.h"

namespace {

const char* const kPrinterColumns[] = {
    "1.3.6.1.2.1.25.3.5.1.1",  // hrPrinterStatus
    "1.3.6.1.2.1.25.3.5.1.2",  // hrPrinterDetectedErrorState
};

}  // namespace

int32_t zel_error_state_bits(std::string_view octets) noexcept {
  uint32_t bits = 0;
  for (size_t i = 0; i < octets.size() && i < 4; ++i) {
    bits |= static_cast<uint32_t>(static_cast<uint8_t>(octets[i])) << (8 * i);
  }
  return static_cast<int32_t>(bits);
}

int zel_read_printer(CZelDevice& device, ZelPrinterInfo* info) noexcept {
  device.printer_status = 0;
  device.detected_error_state = 0;
  const int rc = zel_for_each_row(device, kPrinterColumns, 2, [&](const ZelDeviceRow& row) {
    device.printer_status = row.get_int(0);
    device.detected_error_state = zel_error_state_bits(row.get_bytes(1));
    return kKalOk;
  });
  if (rc != kKalOk) return rc;
  info->printerStatus = device.printer_status;
  info->detectedErrorState = device.detected_error_state;
  return kKalOk;
}
