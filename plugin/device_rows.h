// What every table reader shares: reading the bindings of one walked row,
// the table walk itself (request preparation, the columns, one walk) and the
// single gets of the lookups. A row is one answer PDU holding one binding per
// column, in the order the columns were added; a walk over columns that the
// device lacks lands on whatever object follows, and the readers take that
// value as it comes.
#ifndef PLUGIN_DEVICE_ROWS_H_
#define PLUGIN_DEVICE_ROWS_H_

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "common/owned.h"
#include "log/log.h"
#include "plugin/device_object.h"
#include "snmp/packet.h"
#include "snmp/pdu.h"

class IKasOid;
class IKasSnmpValue;

// A lent view of one row; the PDU must outlive it.
class ZelDeviceRow {
 public:
  explicit ZelDeviceRow(const IKasPdu* pdu) noexcept : pdu_(pdu) {}

  // The binding's value and name at `column` (0-based); null when absent.
  const IKasSnmpValue* value(size_t column) const noexcept;
  const IKasOid* name(size_t column) const noexcept;
  // The value as a signed 32-bit number (get_int, its status not examined:
  // -1 for a kind without a signed reading); 0 when the binding is absent.
  int32_t get_int(size_t column) const noexcept;
  // The value as an unsigned 32-bit number (get_uint, as above).
  uint32_t get_uint(size_t column) const noexcept;
  // The value's text (raw octets for an OCTET STRING, dotted text for an
  // identifier), cut to size - 1 bytes and NUL-terminated; empty when absent
  // or when the kind has no text.
  void get_text(size_t column, char* out, size_t size) const noexcept;
  template <size_t N>
  void get_text(size_t column, char (&out)[N]) const noexcept {
    get_text(column, out, N);
  }
  // The value's raw octets (OCTET STRING family); empty for other kinds.
  std::string_view get_bytes(size_t column) const noexcept;

 private:
  const IKasPdu* pdu_;
};

// The row index of a binding: the text after `column` and its ".", or an
// empty view when `oid` is not below `column`.
std::string_view zel_row_index(std::string_view oid, std::string_view column) noexcept;

// The first sub-identifier of an index text ("101.8.74" -> 101). false when
// it is empty, not a number or above 4294967295.
bool zel_first_arc(std::string_view index, uint32_t* out) noexcept;

// Prepares a request for `device` and adds the `count` columns (no instance
// suffix). Failures are logged with the failing step
// ("pGetData->add_oid_string()" and those of request preparation) and
// answered unchanged.
int zel_prepare_columns(const CZelDevice& device, const char* const* columns, size_t count,
                        ZelRequest* request) noexcept;

// A table reader whose rows become records and nothing else: walks `root`
// with the request's columns and turns each row into a record as it arrives, with
// convert(const ZelDeviceRow&, Record*) -> bool (false: the row makes no
// record). The answers are not kept. On success the records follow what
// *out held, in order; when the walk fails (logged as "pGetData->get_data()")
// *out is left as it was, as if no row had arrived; a record that
// cannot be appended ends it with kKalErrNoMemory and the records before.
template <class Record, class Convert>
int zel_collect_rows(IKalGetData* request, const char* root, std::vector<Record>* out,
                     Convert&& convert) {
  struct Sink final : IKalWalkRowSink {
    Sink(std::vector<Record>* o, Convert& c) : out(o), convert(c) {}
    int row(const IKasPdu* answer) override {
      Record record;
      if (!convert(ZelDeviceRow(answer), &record)) return kKalOk;
      failed = zel_append_row(out, record) != kKalOk;
      return failed ? static_cast<int>(kKalErrNoMemory) : static_cast<int>(kKalOk);
    }
    std::vector<Record>* out;
    Convert& convert;
    bool failed = false;
  } sink(out, convert);
  const size_t kept = out->size();
  const int rc = request->walk_rows(root, &sink);
  // A record that could not be kept ends the walk with what was kept so far.
  if (rc != kKalOk && !sink.failed) {
    out->resize(kept);
    zel_log(kKalLogError, "%s: %d", "pGetData->get_data()", rc);
  }
  return rc;
}

// The same with a request of its own, prepared for `device` with the
// `count` columns (zel_prepare_columns), walked from the first.
template <class Record, class Convert>
int zel_collect_rows(const CZelDevice& device, const char* const* columns, size_t count,
                     std::vector<Record>* out, Convert&& convert) {
  ZelRequest request;
  const int rc = zel_prepare_columns(device, columns, count, &request);
  if (rc != kKalOk) return rc;
  return zel_collect_rows(request.get(), columns[0], out, convert);
}

// Single gets through a request object from prepare_request: one identifier
// (no instance suffix), its value as integer or as text (cut to size - 1; an
// empty answer leaves `out` as it was). Creation, initialisation and add failures are
// logged; a failing read is answered without a log line.
int zel_get_int(const CZelDevice& device, const char* oid, int32_t* out) noexcept;
int zel_get_text(const CZelDevice& device, const char* oid, char* out, size_t size) noexcept;

// The single gets of one exported call, all through one request object:
// the first get prepares it (as zel_get_int does), each later one empties
// it and adds its identifier. A request object that cannot be emptied is
// replaced by a fresh one. Logs as zel_get_int and zel_get_text. Lives no
// longer than the call.
class ZelSingleGets {
 public:
  explicit ZelSingleGets(const CZelDevice& device) noexcept : device_(device) {}
  ZelSingleGets(const ZelSingleGets&) = delete;
  ZelSingleGets& operator=(const ZelSingleGets&) = delete;

  // Takes a prepared request object of this call (a walk's, once it has
  // ended) for the gets that follow.
  void adopt(ZelRequest* request) noexcept { request_ = std::move(*request); }

  int get_int(const char* oid, int32_t* out) noexcept;
  int get_text(const char* oid, char* out, size_t size) noexcept;

 private:
  int prepare(const char* oid) noexcept;

  const CZelDevice& device_;
  ZelRequest request_;
};

#endif  // PLUGIN_DEVICE_ROWS_H_
