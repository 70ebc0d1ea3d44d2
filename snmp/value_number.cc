// The number kinds (INTEGER; Counter32, Gauge32 and TimeTicks; Counter64) and
// the markers that hold no datum (NULL and the three SNMPv2 exceptions).
#include <cstdint>

#include "common/owned.h"
#include "snmp/oid_text.h"
#include "snmp/value_base.h"

namespace {

int write_text(IKalText* text, const char* digits, size_t n) {
  return text ? text->assign(digits, n) : kKalErrInvalidArg;
}

// Reads the first sub-identifier of an index.
int read_index_number(const IKasOid* oid, uint32_t* pValue) {
  if (!oid) return kKalErrInvalidArg;
  KasArcCursor cursor(oid->text(), oid->text_length());
  bool overflow = false;
  if (!cursor.next(pValue, &overflow) || overflow) return kKasErrBadIndex;
  return kKalOk;
}

class CKasIntegerValue final : public CKasValueBase {
 public:
  explicit CKasIntegerValue(int32_t v = 0) : CKasValueBase(kKasTagInteger), v_(v) {}
  int accept(IKasValueVisitor* visitor) override {
    return visitor ? visitor->visit_integer(this) : kKalErrInvalidArg;
  }
  IKasSnmpValue* clone(int* pStatus) const override {
    IKasSnmpValue* copy = kal_new<CKasIntegerValue>(v_);
    if (!copy) return kal_fail<IKasSnmpValue>(pStatus, kKalErrNoMemory);
    kal_set_status(pStatus, kKalOk);
    return copy;
  }
  int assign(const IKasSnmpValue* other) override {
    if (!other || other->tag() != tag()) return kKalErrInvalidArg;
    v_ = static_cast<const CKasIntegerValue*>(other)->v_;
    return kKalOk;
  }
  void clear() override { v_ = 0; }
  bool equals(const IKasSnmpValue* other) const override {
    return other && other->tag() == tag() &&
           static_cast<const CKasIntegerValue*>(other)->v_ == v_;
  }
  int32_t get_int(int* pStatus) const override {
    kal_set_status(pStatus, kKalOk);
    return v_;
  }
  void view(KasValueView* view) const override { view->number = static_cast<uint32_t>(v_); }
  int to_text_into(IKalText* text) const override {
    char buf[24];
    return write_text(text, buf, kas_format_int32(v_, buf));
  }
  int set_int(int32_t v) override {
    v_ = v;
    return kKalOk;
  }
  int set_text(const char* text) override {
    if (!text) return kKalErrInvalidArg;
    v_ = static_cast<int32_t>(kas_parse_leading_number(text, INT32_MIN, INT32_MAX));
    return kKalOk;
  }
  size_t size() const override { return 1; }
  size_t index_length(bool) const override { return 1; }
  // A negative number travels as its 32-bit two's complement (RFC 2578
  // allows only non-negative integer indexes; this keeps the round trip).
  int append_to_index(IKasOid* oid, bool) const override {
    return oid ? oid->append_number(static_cast<uint32_t>(v_)) : kKalErrInvalidArg;
  }
  int set_from_index(const IKasOid* oid, bool, size_t) override {
    uint32_t v = 0;
    if (int rc = read_index_number(oid, &v)) return rc;
    v_ = static_cast<int32_t>(v);
    return kKalOk;
  }

 protected:
  bool has_index_form() const override { return true; }

 private:
  int32_t v_;
};

class CKasUnsignedValue final : public CKasValueBase {
 public:
  explicit CKasUnsignedValue(int tag, uint32_t v = 0) : CKasValueBase(tag), v_(v) {}
  int accept(IKasValueVisitor* visitor) override {
    if (!visitor) return kKalErrInvalidArg;
    switch (tag()) {
      case kKasTagCounter32: return visitor->visit_counter32(this);
      case kKasTagTimeTicks: return visitor->visit_timeticks(this);
      default: return visitor->visit_gauge32(this);
    }
  }
  IKasSnmpValue* clone(int* pStatus) const override {
    IKasSnmpValue* copy = kal_new<CKasUnsignedValue>(tag(), v_);
    if (!copy) return kal_fail<IKasSnmpValue>(pStatus, kKalErrNoMemory);
    kal_set_status(pStatus, kKalOk);
    return copy;
  }
  int assign(const IKasSnmpValue* other) override {
    if (!other || other->tag() != tag()) return kKalErrInvalidArg;
    v_ = static_cast<const CKasUnsignedValue*>(other)->v_;
    return kKalOk;
  }
  void clear() override { v_ = 0; }
  bool equals(const IKasSnmpValue* other) const override {
    return other && other->tag() == tag() &&
           static_cast<const CKasUnsignedValue*>(other)->v_ == v_;
  }
  uint32_t get_uint(int* pStatus) const override {
    kal_set_status(pStatus, kKalOk);
    return v_;
  }
  void view(KasValueView* view) const override { view->number = v_; }
  int to_text_into(IKalText* text) const override {
    char buf[24];
    return write_text(text, buf, kas_format_uint64(v_, buf));
  }
  int set_uint(uint32_t v) override {
    v_ = v;
    return kKalOk;
  }
  // A negative text keeps its 32-bit pattern ("-1" is 4294967295), as the
  // signed reading stored unsigned; beyond 32 bits it saturates.
  int set_text(const char* text) override {
    if (!text) return kKalErrInvalidArg;
    v_ = static_cast<uint32_t>(kas_parse_leading_number(text, INT32_MIN, UINT32_MAX));
    return kKalOk;
  }
  size_t size() const override { return 1; }
  size_t index_length(bool) const override { return 1; }
  int append_to_index(IKasOid* oid, bool) const override {
    return oid ? oid->append_number(v_) : kKalErrInvalidArg;
  }
  int set_from_index(const IKasOid* oid, bool, size_t) override {
    uint32_t v = 0;
    if (int rc = read_index_number(oid, &v)) return rc;
    v_ = v;
    return kKalOk;
  }

 protected:
  bool has_index_form() const override { return true; }

 private:
  uint32_t v_;
};

class CKasCounter64Value final : public CKasValueBase {
 public:
  CKasCounter64Value(uint32_t high = 0, uint32_t low = 0)
      : CKasValueBase(kKasTagCounter64), high_(high), low_(low) {}
  int accept(IKasValueVisitor* visitor) override {
    return visitor ? visitor->visit_counter64(this) : kKalErrInvalidArg;
  }
  IKasSnmpValue* clone(int* pStatus) const override {
    IKasSnmpValue* copy = kal_new<CKasCounter64Value>(high_, low_);
    if (!copy) return kal_fail<IKasSnmpValue>(pStatus, kKalErrNoMemory);
    kal_set_status(pStatus, kKalOk);
    return copy;
  }
  int assign(const IKasSnmpValue* other) override {
    if (!other || other->tag() != tag()) return kKalErrInvalidArg;
    const auto* o = static_cast<const CKasCounter64Value*>(other);
    high_ = o->high_;
    low_ = o->low_;
    return kKalOk;
  }
  void clear() override { high_ = low_ = 0; }
  bool equals(const IKasSnmpValue* other) const override {
    if (!other || other->tag() != tag()) return false;
    const auto* o = static_cast<const CKasCounter64Value*>(other);
    return o->high_ == high_ && o->low_ == low_;
  }
  uint32_t get_uint(int* pStatus) const override { return get_low(pStatus); }
  void view(KasValueView* view) const override {
    view->high = high_;
    view->number = low_;
  }
  uint32_t get_high(int* pStatus) const override {
    kal_set_status(pStatus, kKalOk);
    return high_;
  }
  uint32_t get_low(int* pStatus) const override {
    kal_set_status(pStatus, kKalOk);
    return low_;
  }
  int to_text_into(IKalText* text) const override {
    char buf[24];
    const uint64_t v = (uint64_t{high_} << 32) | low_;
    return write_text(text, buf, kas_format_uint64(v, buf));
  }
  int set_uint(uint32_t v) override {
    high_ = 0;
    low_ = v;
    return kKalOk;
  }
  // Digits only, below 2^64; the empty text is 0.
  int set_text(const char* text) override {
    if (!text) return kKalErrInvalidArg;
    uint64_t v = 0;
    for (const char* p = text; *p; ++p) {
      if (*p < '0' || *p > '9') return kKalErrInvalidArg;
      const uint64_t d = static_cast<uint64_t>(*p - '0');
      if (v > (UINT64_MAX - d) / 10) return kKalErrInvalidArg;
      v = v * 10 + d;
    }
    high_ = static_cast<uint32_t>(v >> 32);
    low_ = static_cast<uint32_t>(v);
    return kKalOk;
  }
  int set_high(uint32_t v) override {
    high_ = v;
    return kKalOk;
  }
  int set_low(uint32_t v) override {
    low_ = v;
    return kKalOk;
  }
  size_t size() const override { return 1; }

 private:
  uint32_t high_;
  uint32_t low_;
};

// NULL, noSuchObject, noSuchInstance, endOfMibView: the tag is the content.
class CKasMarkerValue final : public CKasValueBase {
 public:
  explicit CKasMarkerValue(int tag) : CKasValueBase(tag) {}
  int accept(IKasValueVisitor* visitor) override {
    if (!visitor) return kKalErrInvalidArg;
    return tag() == kKasTagNull ? visitor->visit_null(this) : visitor->visit_exception(this);
  }
  IKasSnmpValue* clone(int* pStatus) const override {
    IKasSnmpValue* copy = kal_new<CKasMarkerValue>(tag());
    if (!copy) return kal_fail<IKasSnmpValue>(pStatus, kKalErrNoMemory);
    kal_set_status(pStatus, kKalOk);
    return copy;
  }
  int assign(const IKasSnmpValue* other) override {
    return other && other->tag() == tag() ? kKalOk : kKalErrInvalidArg;
  }
  void clear() override {}
  bool equals(const IKasSnmpValue* other) const override {
    return other && other->tag() == tag();
  }
  size_t size() const override { return 0; }
};

}  // namespace

CKasValueBase* kas_new_integer_value() { return kal_new<CKasIntegerValue>(); }
CKasValueBase* kas_new_unsigned_value(int tag) { return kal_new<CKasUnsignedValue>(tag); }
CKasValueBase* kas_new_counter64_value() { return kal_new<CKasCounter64Value>(); }
CKasValueBase* kas_new_marker_value(int tag) { return kal_new<CKasMarkerValue>(tag); }
