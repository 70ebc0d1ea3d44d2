#include "plugin/input_tray_reader.h"

#include <cstring>
#include <vector>

#include "log/log.h"

namespace {

const char* const kInputTrayColumns[] = {
    "1.3.6.1.2.1.43.8.2.1.2",   // prtInputType
    "1.3.6.1.2.1.43.8.2.1.3",   // prtInputDimUnit
    "1.3.6.1.2.1.43.8.2.1.4",   // prtInputMediaDimFeedDirDeclared
    "1.3.6.1.2.1.43.8.2.1.5",   // prtInputMediaDimXFeedDirDeclared
    "1.3.6.1.2.1.43.8.2.1.6",   // prtInputMediaDimFeedDirChosen
    "1.3.6.1.2.1.43.8.2.1.7",   // prtInputMediaDimXFeedDirChosen
    "1.3.6.1.2.1.43.8.2.1.8",   // prtInputCapacityUnit
    "1.3.6.1.2.1.43.8.2.1.9",   // prtInputMaxCapacity
    "1.3.6.1.2.1.43.8.2.1.10",  // prtInputCurrentLevel
    "1.3.6.1.2.1.43.8.2.1.11",  // prtInputStatus
    "1.3.6.1.2.1.43.8.2.1.12",  // prtInputMediaName
    "1.3.6.1.2.1.43.8.2.1.13",  // prtInputName
    "1.3.6.1.2.1.43.8.2.1.18",  // prtInputDescription
    "1.3.6.1.2.1.43.8.2.1.21",  // prtInputMediaType
    "1.3.6.1.2.1.43.8.2.1.22",  // prtInputMediaColor
};
constexpr size_t kInputTrayColumnCount = sizeof(kInputTrayColumns) / sizeof(kInputTrayColumns[0]);

constexpr int32_t kUnknownTrayNumber = -1;

// Numbers the Ex records from a second walk on the same request object.
// Failures of that walk are the caller's to drop; init and add failures are
// logged here.
int number_trays(const CZelDevice& device, IKalGetData* request,
                 std::vector<ZelInputTrayInfoEx>* trays) {
  int rc = device.init_request(request);
  if (rc != kKalOk) {
    zel_log(kKalLogError, "%s: %d", "pGetData->init()", rc);
    return rc;
  }
  rc = request->add_oid_string(kZelVendorTrayColumn, false);
  if (rc != kKalOk) {
    zel_log(kKalLogError, "%s: %d", "pGetData->add_oid_string()", rc);
    return rc;
  }
  // The numbers are staged as the rows arrive and given to the records only
  // when the walk succeeds; rows beyond the records are not needed.
  struct Sink final : IKalWalkRowSink {
    explicit Sink(size_t wanted) : wanted(wanted) {}
    int row(const IKasPdu* answer) override {
      if (numbers.size() >= wanted) return kKalOk;
      return zel_append_row(&numbers, ZelDeviceRow(answer).get_int(0)) == kKalOk
                 ? static_cast<int>(kKalOk)
                 : static_cast<int>(kKalErrNoMemory);
    }
    size_t wanted;
    std::vector<int32_t> numbers;
  } sink(trays->size());
  sink.numbers.reserve(trays->size());
  if (request->walk_rows(kZelVendorTrayColumn, &sink) != kKalOk) return kKalOk;
  for (size_t i = 0; i < sink.numbers.size(); ++i) (*trays)[i].vendorTrayNumber = sink.numbers[i];
  return kKalOk;
}

}  // namespace

void zel_input_tray_record(const ZelDeviceRow& row, ZelInputTrayInfo* record) noexcept {
  std::memset(record, 0, sizeof(*record));
  record->type = row.get_int(0);
  record->dimensionUnit = row.get_int(1);
  record->mediaDimFeedDeclared = row.get_int(2);
  record->mediaDimXFeedDeclared = row.get_int(3);
  record->mediaDimFeedChosen = row.get_int(4);
  record->mediaDimXFeedChosen = row.get_int(5);
  record->capacityUnit = row.get_int(6);
  record->maxCapacity = row.get_int(7);
  record->currentLevel = row.get_int(8);
  record->status = row.get_int(9);
  row.get_text(10, record->mediaName);
  row.get_text(11, record->name);
  row.get_text(12, record->description);
  row.get_text(13, record->mediaType);
  row.get_text(14, record->mediaColor);
}

int zel_read_input_trays(CZelDevice& device) noexcept {
  return zel_collect_rows(device, kInputTrayColumns, kInputTrayColumnCount,
                          &device.input_trays,
                          [](const ZelDeviceRow& row, ZelInputTrayInfo* record) {
                            zel_input_tray_record(row, record);
                            return true;
                          });
}

int zel_read_input_trays_ex(CZelDevice& device) noexcept {
  ZelRequest request;
  int rc = zel_prepare_columns(device, kInputTrayColumns, kInputTrayColumnCount, &request);
  if (rc != kKalOk) return rc;
  rc = zel_collect_rows(request.get(), kInputTrayColumns[0], &device.input_trays_ex,
                        [](const ZelDeviceRow& row, ZelInputTrayInfoEx* record) {
                          std::memset(record, 0, sizeof(*record));
                          zel_input_tray_record(row, &record->tray);
                          record->vendorTrayNumber = kUnknownTrayNumber;
                          return true;
                        });
  if (rc != kKalOk) return rc;
  rc = number_trays(device, request.get(), &device.input_trays_ex);
  if (rc != kKalOk) return rc;
  return device.input_trays_ex.empty() ? kKalErrGeneral : kKalOk;
}
