// What every value kind shares: "not supported" answers, the text-object
// forms built on to_text_into and get_bytes, number parsing and index octets.
#include "snmp/value_base.h"

#include <cstring>

#include "common/owned.h"
#include "snmp/oid_text.h"

int CKasValueBase::query(int tag, const void** ppStorage) const {
  if (!ppStorage) return kKalErrInvalidArg;
  if (tag != tag_ && tag != kKasValueBaseQuery) {
    *ppStorage = nullptr;
    return kKalErrInvalidArg;
  }
  *ppStorage = this;
  return kKalOk;
}

int32_t CKasValueBase::get_int(int* pStatus) const {
  kal_set_status(pStatus, kKalErrNotSupported);
  return -1;
}
uint32_t CKasValueBase::get_uint(int* pStatus) const {
  kal_set_status(pStatus, kKalErrNotSupported);
  return 0xFFFFFFFFu;
}

IKalText* CKasValueBase::to_text(int* pStatus) const {
  KalOwned<IKalText> text(kal_create_text(pStatus));
  if (!text) return nullptr;
  if (int rc = to_text_into(text.get())) return kal_fail<IKalText>(pStatus, rc);
  kal_set_status(pStatus, kKalOk);
  return text.detach();
}

int CKasValueBase::to_text_into(IKalText* text) const {
  return text ? kKalErrNotSupported : kKalErrInvalidArg;
}

const uint8_t* CKasValueBase::get_bytes(size_t* pLength, int* pStatus) const {
  if (pLength) *pLength = 0;
  return kal_fail<const uint8_t>(pStatus, kKalErrNotSupported);
}

IKalText* CKasValueBase::to_bytes(int* pStatus) const {
  KalOwned<IKalText> text(kal_create_text(pStatus));
  if (!text) return nullptr;
  if (int rc = to_bytes_into(text.get())) return kal_fail<IKalText>(pStatus, rc);
  kal_set_status(pStatus, kKalOk);
  return text.detach();
}

int CKasValueBase::to_bytes_into(IKalText* text) const {
  if (!text) return kKalErrInvalidArg;
  size_t n = 0;
  int rc = kKalOk;
  const uint8_t* p = get_bytes(&n, &rc);
  if (rc != kKalOk) return rc;
  return text->assign(p, n);
}

uint16_t CKasValueBase::get_port(int* pStatus) const {
  kal_set_status(pStatus, kKalErrNotSupported);
  return 0xFFFF;
}
uint32_t CKasValueBase::get_high(int* pStatus) const {
  kal_set_status(pStatus, kKalErrNotSupported);
  return 0xFFFFFFFFu;
}
uint32_t CKasValueBase::get_low(int* pStatus) const {
  kal_set_status(pStatus, kKalErrNotSupported);
  return 0xFFFFFFFFu;
}

int CKasValueBase::set_int(int32_t) { return kKalErrNotSupported; }
int CKasValueBase::set_uint(uint32_t) { return kKalErrNotSupported; }
int CKasValueBase::set_text(const char*) { return kKalErrNotSupported; }
int CKasValueBase::set_text_object(const IKalText* text) {
  if (!text) return kKalErrInvalidArg;
  return set_text(text->data());
}
int CKasValueBase::set_bytes(const void*, size_t) { return kKalErrNotSupported; }
int CKasValueBase::set_bytes_object(const IKalText* bytes) {
  if (!bytes) return kKalErrInvalidArg;
  return set_bytes(bytes->data(), bytes->length());
}
int CKasValueBase::set_port(uint16_t) { return kKalErrNotSupported; }
int CKasValueBase::set_high(uint32_t) { return kKalErrNotSupported; }
int CKasValueBase::set_low(uint32_t) { return kKalErrNotSupported; }

size_t CKasValueBase::index_length(bool) const { return 0; }

uint32_t CKasValueBase::element_at(size_t, int* pStatus) const {
  kal_set_status(pStatus, kKalErrNotSupported);
  return 0xFFFFFFFFu;
}

int CKasValueBase::append_to_index(IKasOid* oid, bool) const {
  return oid ? kKalErrNotSupported : kKalErrInvalidArg;
}

int CKasValueBase::set_oid_to_index(IKasOid* oid, bool implied) const {
  if (!oid) return kKalErrInvalidArg;
  if (!has_index_form()) return kKalErrNotSupported;
  if (oid == as_oid()) {
    // Writing an identifier's index form into itself: work on a copy.
    int rc = kKalOk;
    KalOwned<IKasSnmpValue> copy(clone(&rc));
    if (!copy) return rc;
    return copy->set_oid_to_index(oid, implied);
  }
  oid->erase(0, kKasAll);
  return append_to_index(oid, implied);
}

int CKasValueBase::set_from_index(const IKasOid* oid, bool, size_t) {
  return oid ? kKalErrNotSupported : kKalErrInvalidArg;
}

int64_t kas_parse_leading_number(const char* text, int64_t lo, int64_t hi) {
  if (!text) return 0;
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = (*p++ == '-');
  // Accumulate the magnitude with a ceiling well inside uint64_t.
  uint64_t mag = 0;
  const uint64_t ceiling = uint64_t{1} << 59;  // far beyond any 32-bit kind
  while (*p >= '0' && *p <= '9') {
    if (mag < ceiling) mag = mag * 10 + static_cast<uint64_t>(*p - '0');
    ++p;
  }
  if (mag > ceiling) mag = ceiling;
  const int64_t v = negative ? -static_cast<int64_t>(mag) : static_cast<int64_t>(mag);
  return v < lo ? lo : (v > hi ? hi : v);
}

size_t kas_format_int32(int32_t v, char* out) {
  if (v >= 0) return kas_format_uint64(static_cast<uint64_t>(v), out);
  out[0] = '-';
  // Negate in 64 bits: -INT32_MIN does not fit 32.
  return 1 + kas_format_uint64(static_cast<uint64_t>(-static_cast<int64_t>(v)), out + 1);
}

size_t kas_format_uint64(uint64_t v, char* out) {
  char tmp[20];
  size_t n = 0;
  do {
    tmp[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v);
  for (size_t i = 0; i < n; ++i) out[i] = tmp[n - 1 - i];
  return n;
}

int kas_read_index_octets(KasArcCursor* cursor, uint8_t* out, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    uint32_t v = 0;
    if (!cursor->next(&v) || v > 255) return kKasErrBadIndex;
    out[i] = static_cast<uint8_t>(v);
  }
  return kKalOk;
}

int kas_append_index_octets(IKasOid* oid, const uint8_t* octets, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (int rc = oid->append_number(octets[i])) return rc;
  }
  return kKalOk;
}
