#include "plugin/charset_reader.h"

#include <cstdio>
#include <vector>

#include "plugin/device_rows.h"
#include "snmp/value.h"

bool zel_char_set_oid(const char* target, uint32_t g, int32_t f, char* out,
                      size_t size) noexcept {
  // f travels as an index sub-identifier: its 32-bit pattern, never a sign.
  const int n = std::snprintf(out, size, "%s.%u.%u", target, static_cast<unsigned>(g),
                              static_cast<unsigned>(static_cast<uint32_t>(f)));
  return n > 0 && static_cast<size_t>(n) < size;
}

namespace {

// One row of the index column as walked: the row's first index
// sub-identifier (when it is one) and its value.
struct IndexRow {
  int status;  // 0, or what the row answers when its turn comes
  uint32_t g;
  int32_t f;
};

}  // namespace

int zel_char_set_lookup(const CZelDevice& device, const char* indexColumn,
                        const char* targetColumn, int32_t* out) noexcept {
  ZelSingleGets gets(device);
  return zel_char_set_lookup(device, indexColumn, targetColumn, out, &gets);
}

int zel_char_set_lookup(const CZelDevice& device, const char* indexColumn,
                        const char* targetColumn, int32_t* out, ZelSingleGets* gets) noexcept {
  const char* const columns[] = {indexColumn};
  ZelRequest request;
  int rc = zel_prepare_columns(device, columns, 1, &request);
  if (rc != kKalOk) return rc;
  // The rows are taken as they arrive and read once the walk has ended, in
  // the same order and with the same answers as rows kept until then.
  struct Sink final : IKalWalkRowSink {
    explicit Sink(const char* c) : column(c) {}
    int row(const IKasPdu* answer) override {
      const ZelDeviceRow r(answer);
      IndexRow entry{kKalOk, 0, r.get_int(0)};
      const IKasOid* name = r.name(0);
      if (!name) {
        entry.status = kKalErrNoData;
      } else if (!zel_first_arc(
                     zel_row_index(std::string_view(name->text(), name->text_length()), column),
                     &entry.g)) {
        entry.status = kKasErrBadIndex;
      }
      return zel_append_row(&rows, entry) == kKalOk ? static_cast<int>(kKalOk)
                                                    : static_cast<int>(kKalErrNoMemory);
    }
    const char* column;
    std::vector<IndexRow> rows;
  } sink(indexColumn);
  rc = request->walk_rows(indexColumn, &sink);
  if (rc != kKalOk) {
    zel_log(kKalLogError, "%s: %d", "pGetData->get_data()", rc);
    return rc;
  }
  // The walk's request object makes the gets.
  gets->adopt(&request);
  for (const IndexRow& entry : sink.rows) {
    if (entry.status != kKalOk) return entry.status;
    char oid[256];
    if (!zel_char_set_oid(targetColumn, entry.g, entry.f, oid, sizeof(oid))) {
      return kKalErrInvalidArg;
    }
    rc = gets->get_int(oid, out);
    if (rc != kKalOk) return rc;
  }
  return kKalOk;
}

int zel_get_char_set(CZelDevice& device, uint32_t selector, int32_t* charSet) noexcept {
  int32_t* stored = nullptr;
  int rc = kKalErrInvalidArg;
  switch (selector) {
    case 0:
      stored = &device.standard_char_set;
      rc = zel_char_set_lookup(device, kZelStdCharSetIndexColumn, kZelStdCharSetTargetColumn,
                               stored);
      break;
    case 1:
      stored = &device.vendor_char_set;
      rc = zel_char_set_lookup(device, kZelVendorCharSetIndexColumn,
                               kZelVendorCharSetTargetColumn, stored);
      break;
    default:
      return kKalErrInvalidArg;
  }
  if (rc != kKalOk) return rc;
  *charSet = *stored;
  return kKalOk;
}
