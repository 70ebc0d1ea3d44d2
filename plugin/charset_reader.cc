#include "plugin/charset_reader.h"

#include <cstdio>

#include "plugin/device_rows.h"
#include "snmp/value.h"

bool zel_char_set_oid(const char* target, uint32_t g, int32_t f, char* out,
                      size_t size) noexcept {
  // f travels as an index sub-identifier: its 32-bit pattern, never a sign.
  const int n = std::snprintf(out, size, "%s.%u.%u", target, static_cast<unsigned>(g),
                              static_cast<unsigned>(static_cast<uint32_t>(f)));
  return n > 0 && static_cast<size_t>(n) < size;
}

int zel_char_set_lookup(const CZelDevice& device, const char* indexColumn,
                        const char* targetColumn, int32_t* out) noexcept {
  const char* const columns[] = {indexColumn};
  return zel_for_each_row(device, columns, 1, [&](const ZelDeviceRow& row) {
    const IKasOid* name = row.name(0);
    if (!name) return static_cast<int>(kKalErrNoData);
    uint32_t g = 0;
    if (!zel_first_arc(zel_row_index(std::string_view(name->text(), name->text_length()),
                                     indexColumn),
                       &g)) {
      return static_cast<int>(kKasErrBadIndex);
    }
    char oid[256];
    if (!zel_char_set_oid(targetColumn, g, row.get_int(0), oid, sizeof(oid))) {
      return static_cast<int>(kKalErrInvalidArg);
    }
    return zel_get_int(device, oid, out);
  });
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
