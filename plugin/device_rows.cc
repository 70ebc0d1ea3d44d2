// Row views, the table walk and the single gets the readers share.
#include "plugin/device_rows.h"

#include "log/log.h"
#include "snmp/binding.h"
#include "snmp/value.h"

namespace {

const IKasVarBind* binding_at(const IKasPdu* pdu, size_t column) noexcept {
  if (!pdu) return nullptr;
  const IKasVarBindList* bindings = pdu->get_bindings();
  return bindings ? bindings->at(column) : nullptr;
}

}  // namespace

const IKasSnmpValue* ZelDeviceRow::value(size_t column) const noexcept {
  const IKasVarBind* binding = binding_at(pdu_, column);
  return binding ? binding->get_value() : nullptr;
}

const IKasOid* ZelDeviceRow::name(size_t column) const noexcept {
  const IKasVarBind* binding = binding_at(pdu_, column);
  return binding ? binding->get_oid() : nullptr;
}

int32_t ZelDeviceRow::get_int(size_t column) const noexcept {
  const IKasSnmpValue* v = value(column);
  return v ? v->get_int() : 0;
}

uint32_t ZelDeviceRow::get_uint(size_t column) const noexcept {
  const IKasSnmpValue* v = value(column);
  return v ? v->get_uint() : 0;
}

void ZelDeviceRow::get_text(size_t column, char* out, size_t size) const noexcept {
  kas_copy_value_text(value(column), out, size);
}

std::string_view ZelDeviceRow::get_bytes(size_t column) const noexcept {
  const IKasSnmpValue* v = value(column);
  if (!v) return {};
  size_t length = 0;
  int rc = kKalOk;
  const uint8_t* bytes = v->get_bytes(&length, &rc);
  if (rc != kKalOk || !bytes) return {};
  return std::string_view(reinterpret_cast<const char*>(bytes), length);
}

std::string_view zel_row_index(std::string_view oid, std::string_view column) noexcept {
  if (column.empty() || oid.size() <= column.size() + 1) return {};
  if (oid.substr(0, column.size()) != column || oid[column.size()] != '.') return {};
  return oid.substr(column.size() + 1);
}

bool zel_first_arc(std::string_view index, uint32_t* out) noexcept {
  uint64_t value = 0;
  size_t digits = 0;
  for (char c : index) {
    if (c == '.') break;
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > kKasMaxSubId) return false;
    ++digits;
  }
  if (digits == 0) return false;
  *out = static_cast<uint32_t>(value);
  return true;
}

int zel_prepare_columns(const CZelDevice& device, const char* const* columns, size_t count,
                        ZelRequest* request) noexcept {
  if (!columns || count == 0 || !request) return kKalErrInvalidArg;
  int rc = device.prepare_request(request);
  if (rc != kKalOk) return rc;
  for (size_t i = 0; i < count; ++i) {
    rc = (*request)->add_oid_string(columns[i], false);
    if (rc != kKalOk) {
      zel_log(kKalLogError, "%s: %d", "pGetData->add_oid_string()", rc);
      return rc;
    }
  }
  return kKalOk;
}

namespace {

int prepare_get(const CZelDevice& device, const char* oid, ZelRequest* request) {
  int rc = device.prepare_request(request);
  if (rc != kKalOk) return rc;
  rc = (*request)->add_oid_string(oid, false);
  if (rc != kKalOk) zel_log(kKalLogError, "%s: %d", "pGetData->add_oid_string()", rc);
  return rc;
}

}  // namespace

int zel_get_int(const CZelDevice& device, const char* oid, int32_t* out) noexcept {
  ZelRequest request;
  const int rc = prepare_get(device, oid, &request);
  if (rc != kKalOk) return rc;
  return request->get_data(out);
}

int zel_get_text(const CZelDevice& device, const char* oid, char* out, size_t size) noexcept {
  ZelRequest request;
  const int rc = prepare_get(device, oid, &request);
  if (rc != kKalOk) return rc;
  return request->get_data(out, size);
}

int ZelSingleGets::prepare(const char* oid) noexcept {
  if (request_ && request_->clear_oids() == kKalOk) {
    const int rc = request_->add_oid_string(oid, false);
    if (rc != kKalOk) zel_log(kKalLogError, "%s: %d", "pGetData->add_oid_string()", rc);
    return rc;
  }
  request_.reset();
  return prepare_get(device_, oid, &request_);
}

int ZelSingleGets::get_int(const char* oid, int32_t* out) noexcept {
  const int rc = prepare(oid);
  if (rc != kKalOk) return rc;
  return request_->get_data(out);
}

int ZelSingleGets::get_text(const char* oid, char* out, size_t size) noexcept {
  const int rc = prepare(oid);
  if (rc != kKalOk) return rc;
  return request_->get_data(out, size);
}
