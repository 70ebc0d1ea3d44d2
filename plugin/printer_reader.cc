#include "plugin/printer_reader.h"

#include "log/log.h"
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
  ZelRequest request;
  int rc = zel_prepare_columns(device, kPrinterColumns, 2, &request);
  if (rc != kKalOk) return rc;
  // The last row wins; nothing is taken unless the walk succeeds.
  struct Sink final : IKalWalkRowSink {
    int row(const IKasPdu* answer) override {
      const ZelDeviceRow row(answer);
      status = row.get_int(0);
      error_state = zel_error_state_bits(row.get_bytes(1));
      return kKalOk;
    }
    int32_t status = 0;
    int32_t error_state = 0;
  } sink;
  rc = request->walk_rows(kPrinterColumns[0], &sink);
  if (rc != kKalOk) {
    zel_log(kKalLogError, "%s: %d", "pGetData->get_data()", rc);
    return rc;
  }
  device.printer_status = sink.status;
  device.detected_error_state = sink.error_state;
  info->printerStatus = sink.status;
  info->detectedErrorState = sink.error_state;
  return kKalOk;
}
