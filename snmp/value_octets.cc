// OCTET STRING and Opaque: an owned octet buffer that grows in steps of 128
// octets and never shrinks, so a value reused for many answers stops
// allocating.
#include <cstring>

#include "common/owned.h"
#include "common/text_buffer.h"
#include "snmp/oid_text.h"
#include "snmp/value_base.h"

namespace {

class CKasOctetValue final : public CKasValueBase {
 public:
  explicit CKasOctetValue(int tag) : CKasValueBase(tag) {}
  int accept(IKasValueVisitor* visitor) override {
    return visitor ? visitor->visit_octet_string(this) : kKalErrInvalidArg;
  }
  IKasSnmpValue* clone(int* pStatus) const override {
    KalOwned<CKasOctetValue> copy(kal_new<CKasOctetValue>(tag()));
    if (!copy) return kal_fail<IKasSnmpValue>(pStatus, kKalErrNoMemory);
    if (int rc = copy->buf_.assign(buf_.bytes(), buf_.size())) {
      return kal_fail<IKasSnmpValue>(pStatus, rc);
    }
    kal_set_status(pStatus, kKalOk);
    return copy.detach();
  }
  int assign(const IKasSnmpValue* other) override {
    if (!other || other->tag() != tag()) return kKalErrInvalidArg;
    const auto* o = static_cast<const CKasOctetValue*>(other);
    return buf_.assign(o->buf_.bytes(), o->buf_.size());
  }
  void clear() override { buf_.clear(); }
  bool equals(const IKasSnmpValue* other) const override {
    if (!other || other->tag() != tag()) return false;
    const auto* o = static_cast<const CKasOctetValue*>(other);
    return o->buf_.size() == buf_.size() &&
           std::memcmp(o->buf_.bytes(), buf_.bytes(), buf_.size()) == 0;
  }
  int to_text_into(IKalText* text) const override {
    return text ? text->assign(buf_.bytes(), buf_.size()) : kKalErrInvalidArg;
  }
  const uint8_t* get_bytes(size_t* pLength, int* pStatus) const override {
    if (pLength) *pLength = buf_.size();
    kal_set_status(pStatus, kKalOk);
    return buf_.bytes();
  }
  void view(KasValueView* view) const override {
    view->octets = buf_.bytes();
    view->length = buf_.size();
  }
  int set_text(const char* text) override {
    if (!text) {
      buf_.clear();
      return kKalOk;
    }
    return buf_.assign(text, std::strlen(text));
  }
  // The whole content, inner zero octets included.
  int set_text_object(const IKalText* text) override {
    if (!text) return kKalErrInvalidArg;
    return buf_.assign(text->data(), text->length());
  }
  int set_bytes(const void* data, size_t length) override {
    if (!data && length) return kKalErrInvalidArg;
    return buf_.assign(data, length);
  }
  size_t size() const override { return buf_.size(); }
  size_t index_length(bool implied) const override {
    return implied ? buf_.size() : buf_.size() + 1;
  }
  uint32_t element_at(size_t index, int* pStatus) const override {
    if (index >= buf_.size()) {
      kal_set_status(pStatus, kKalErrInvalidArg);
      return 0xFFFFFFFFu;
    }
    kal_set_status(pStatus, kKalOk);
    return buf_.bytes()[index];
  }
  int append_to_index(IKasOid* oid, bool implied) const override {
    if (!oid) return kKalErrInvalidArg;
    if (!implied) {
      if (int rc = oid->append_number(static_cast<uint32_t>(buf_.size()))) return rc;
    }
    return kas_append_index_octets(oid, buf_.bytes(), buf_.size());
  }
  int set_from_index(const IKasOid* oid, bool implied, size_t length) override;

  size_t capacity() const { return buf_.capacity(); }

 protected:
  bool has_index_form() const override { return true; }

 private:
  KalBuffer buf_;
};

// Not implied: the first sub-identifier is the length n, then n octets.
// Implied: `length` octets, or every remaining sub-identifier.
int CKasOctetValue::set_from_index(const IKasOid* oid, bool implied, size_t length) {
  if (!oid) return kKalErrInvalidArg;
  const char* text = oid->text();
  const size_t text_length = oid->text_length();
  const size_t count = oid->count();
  KasArcCursor cursor(text, text_length);
  size_t n = 0;
  if (!implied) {
    uint32_t v = 0;
    bool overflow = false;
    if (!cursor.next(&v, &overflow) || overflow || v > count - 1) return kKasErrBadIndex;
    n = v;
  } else {
    n = (length == kKasAll || length >= count) ? count : length;
  }
  // Parse into a scratch area first so that a malformed index leaves the
  // value unchanged; small indexes need no allocation.
  uint8_t local[64];
  KalBuffer scratch;
  uint8_t* out = local;
  if (n > sizeof(local)) {
    if (int rc = scratch.reserve(n)) return rc;
    out = reinterpret_cast<uint8_t*>(scratch.data());
  }
  if (int rc = kas_read_index_octets(&cursor, out, n)) return rc;
  return buf_.assign(out, n);
}

}  // namespace

CKasValueBase* kas_new_octet_value(int tag) { return kal_new<CKasOctetValue>(tag); }

size_t kas_octet_value_capacity(const IKasSnmpValue* value) {
  if (!value || (value->tag() != kKasTagOctetString && value->tag() != kKasTagOpaque)) {
    return 0;
  }
  return static_cast<const CKasOctetValue*>(value)->capacity();
}
