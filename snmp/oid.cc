// The object identifier: dotted decimal text in a growable buffer plus a
// cached sub-identifier count (-1 when unknown) and cached BER content
// octets (snmp/oid_ber.h). Sub-identifiers are read from the text only when
// asked for, without copies. The text is stored unchecked; is_valid applies
// the syntax check. Every change of the text goes through set_count(), which
// also drops the BER octets.
#include <cstring>

#include "common/owned.h"
#include "common/text_buffer.h"
#include "snmp/ber_reader.h"
#include "snmp/ber_writer.h"
#include "snmp/oid_ber.h"
#include "snmp/oid_text.h"
#include "snmp/value_base.h"

namespace {

// The query() tag under which an identifier of this file lends itself to
// the codec's functions below. No kind has a negative tag.
constexpr int kOidBerQuery = -kKasTagOid;

class CKasOid final : public CKasValueBase, public IKasOid {
 public:
  CKasOid() : CKasValueBase(kKasTagOid) {}

  // --- IKasSnmpValue
  int accept(IKasValueVisitor* visitor) override {
    return visitor ? visitor->visit_oid(this) : kKalErrInvalidArg;
  }
  IKasSnmpValue* clone(int* pStatus) const override {
    KalOwned<CKasOid> copy(kal_new<CKasOid>());
    if (!copy) return kal_fail<IKasSnmpValue>(pStatus, kKalErrNoMemory);
    if (int rc = copy->set_text_bytes(text_buf().c_str(), text_buf().size())) {
      return kal_fail<IKasSnmpValue>(pStatus, rc);
    }
    copy->count_ = count_;
    copy->copy_ber_from(*this);
    kal_set_status(pStatus, kKalOk);
    return copy.detach();
  }
  int assign(const IKasSnmpValue* other) override {
    if (!other || other->tag() != kKasTagOid) return kKalErrInvalidArg;
    const IKasOid* o = other->as_oid();
    if (o == this) return kKalOk;
    const void* p = nullptr;
    if (other->query(kOidBerQuery, &p) == kKalOk && p) {
      const CKasOid* same = static_cast<const CKasOid*>(p);
      if (same->pending_) {
        // A received identifier whose text was never asked for: its checked
        // octets are copied, and the text is written here too only when
        // asked for (a walk asks for the identifiers just received without
        // reading most of them).
        if (int rc = buf_.reserve(BerReader::oid_text_bound(same->ber_.length))) return rc;
        buf_.clear();
        count_ = same->count_;
        copy_ber_from(*same);
        pending_ = true;
        return kKalOk;
      }
    }
    if (int rc = set_text_bytes(o->text(), o->text_length())) return rc;
    p = nullptr;
    if (other->query(kOidBerQuery, &p) == kKalOk && p) {
      const CKasOid* same = static_cast<const CKasOid*>(p);
      count_ = same->count_;
      copy_ber_from(*same);
    }
    return kKalOk;
  }
  void clear() override {
    buf_.clear();  // no need to write a pending text first
    set_count(0);
  }
  int query(int tag, const void** ppStorage) const override {
    if (tag == kOidBerQuery && ppStorage) {
      *ppStorage = this;
      return kKalOk;
    }
    if (tag == kKasOidBerQuery && ppStorage) {
      *ppStorage = ber_cache();
      return kKalOk;
    }
    return CKasValueBase::query(tag, ppStorage);
  }
  bool equals(const IKasSnmpValue* other) const override {
    if (!other || other->tag() != kKasTagOid) return false;
    const IKasOid* o = other->as_oid();
    return o->text_length() == text_buf().size() &&
           std::memcmp(o->text(), text_buf().c_str(), text_buf().size()) == 0;
  }
  IKasOid* as_oid() override { return this; }
  const IKasOid* as_oid() const override { return this; }
  bool is_valid() const override { return kas_oid_text_is_valid(text_buf().c_str(), text_buf().size()); }
  int32_t get_int(int* pStatus) const override {
    return static_cast<int32_t>(element_at(0, pStatus));
  }
  int to_text_into(IKalText* text) const override {
    return text ? text->assign(text_buf().c_str(), text_buf().size()) : kKalErrInvalidArg;
  }
  const uint8_t* get_bytes(size_t* pLength, int* pStatus) const override {
    if (pLength) *pLength = text_buf().size();
    kal_set_status(pStatus, kKalOk);
    return text_buf().bytes();
  }
  int set_int(int32_t v) override {
    char digits[10];
    const size_t n = kas_format_uint32(static_cast<uint32_t>(v), digits);
    if (int rc = text_buf().assign(digits, n)) return rc;
    set_count(1);
    return kKalOk;
  }
  int set_text(const char* text) override {
    return set_text_bytes(text, text ? std::strlen(text) : 0);
  }
  int set_text_object(const IKalText* text) override {
    if (!text) return kKalErrInvalidArg;
    return set_text_bytes(text->data(), text->length());
  }
  int set_bytes(const void* data, size_t length) override {
    if (!data && length) return kKalErrInvalidArg;
    return set_text_bytes(static_cast<const char*>(data), length);
  }
  size_t size() const override { return count(); }
  size_t index_length(bool implied) const override { return implied ? count() : count() + 1; }
  uint32_t element_at(size_t index, int* pStatus) const override;
  int append_to_index(IKasOid* oid, bool implied) const override;
  int set_from_index(const IKasOid* oid, bool implied, size_t length) override;

  // --- IKasOid
  int compare_text(const char* text, int* pStatus) const override {
    if (!text) {
      kal_set_status(pStatus, kKalErrInvalidArg);
      return -1;
    }
    kal_set_status(pStatus, kKalOk);
    return kas_oid_compare_text(text_buf().c_str(), text_buf().size(), text, std::strlen(text));
  }
  int compare(const IKasOid* other, int* pStatus) const override {
    if (!other) {
      kal_set_status(pStatus, kKalErrInvalidArg);
      return -1;
    }
    kal_set_status(pStatus, kKalOk);
    return kas_oid_compare_text(text_buf().c_str(), text_buf().size(), other->text(), other->text_length());
  }
  int remove_prefix_text(const char* prefix) override {
    if (!prefix) return kKalErrInvalidArg;
    return remove_prefix_bytes(prefix, std::strlen(prefix));
  }
  int remove_prefix(const IKasOid* prefix) override {
    if (!prefix) return kKalErrInvalidArg;
    return remove_prefix_bytes(prefix->text(), prefix->text_length());
  }
  int append_text(const char* text) override {
    if (!text || !*text) return kKalOk;
    const size_t n = std::strlen(text);
    if (int rc = text_buf().reserve(text_buf().size() + n + 1)) return rc;
    if (!text_buf().empty()) text_buf().append_char('.');
    text_buf().append(text, n);
    set_count(-1);
    return kKalOk;
  }
  int append_number(uint32_t subid) override {
    char digits[11];
    size_t n = 0;
    if (!text_buf().empty()) digits[n++] = '.';
    n += kas_format_uint32(subid, digits + n);
    if (int rc = text_buf().append(digits, n)) return rc;
    set_count(count_ >= 0 ? count_ + 1 : -1);
    return kKalOk;
  }
  int append_oid(const IKasOid* other) override {
    if (!other || other->text_length() == 0) return kKalOk;
    const size_t n = other->text_length();
    const long other_count = other == this ? count_ : -1;
    // Reserve first: `other` may be this identifier, whose text moves.
    if (int rc = text_buf().reserve(text_buf().size() + n + 1)) return rc;
    if (!text_buf().empty()) text_buf().append_char('.');
    text_buf().append(other->text(), n);
    set_count(other_count >= 0 ? 2 * other_count : -1);
    return kKalOk;
  }
  int append_text_as_index(const char* text, int tag, bool implied) override {
    int rc = kKalOk;
    KalOwned<IKasSnmpValue> value(kas_create_value_from_text(text, tag, &rc));
    if (!value) return rc;
    return value->append_to_index(this, implied);
  }
  int append_value_as_index(const IKasSnmpValue* value, bool implied) override {
    if (!value) return kKalErrInvalidArg;
    if (value == static_cast<const IKasSnmpValue*>(this)) {
      int rc = kKalOk;
      KalOwned<IKasSnmpValue> copy(clone(&rc));
      if (!copy) return rc;
      return copy->append_to_index(this, implied);
    }
    return value->append_to_index(this, implied);
  }
  IKasSnmpValue* new_prefix(size_t n, int* pStatus) override {
    KalOwned<CKasOid> prefix(kal_new<CKasOid>());
    if (!prefix) return kal_fail<IKasSnmpValue>(pStatus, kKalErrNoMemory);
    const size_t end = kas_oid_text_prefix_end(text_buf().c_str(), text_buf().size(), n);
    if (int rc = prefix->set_text_bytes(text_buf().c_str(), end)) {
      return kal_fail<IKasSnmpValue>(pStatus, rc);
    }
    remove_front(end, n);
    kal_set_status(pStatus, kKalOk);
    return prefix.detach();
  }
  int move_prefix_to_value(size_t n, IKasSnmpValue* value) override;
  uint32_t pop_first(int* pStatus) override {
    const uint32_t v = element_at(0, pStatus);
    if (!text_buf().empty()) {
      remove_front(kas_oid_text_prefix_end(text_buf().c_str(), text_buf().size(), 1), 1);
    }
    return v;
  }
  IKalText* new_prefix_text(size_t n, int* pStatus) override {
    KalOwned<IKalText> text(kal_create_text(pStatus));
    if (!text) return nullptr;
    if (int rc = move_prefix_to_text(n, text.get())) return kal_fail<IKalText>(pStatus, rc);
    return text.detach();
  }
  int move_prefix_to_text(size_t n, IKalText* text) override {
    if (!text) return kKalErrInvalidArg;
    const size_t end = kas_oid_text_prefix_end(text_buf().c_str(), text_buf().size(), n);
    if (int rc = text->assign(text_buf().c_str(), end)) return rc;
    remove_front(end, n);
    return kKalOk;
  }
  IKasSnmpValue* new_value_from_index(int tag, bool implied, size_t length,
                                      int* pStatus) override {
    KalOwned<IKasSnmpValue> value(kas_create_value(tag, pStatus));
    if (!value) return nullptr;
    if (int rc = take_value_from_index(value.get(), implied, length)) {
      return kal_fail<IKasSnmpValue>(pStatus, rc);
    }
    return value.detach();
  }
  int take_value_from_index(IKasSnmpValue* value, bool implied, size_t length) override {
    if (value == static_cast<IKasSnmpValue*>(this)) return kKalErrInvalidArg;
    if (int rc = read_value_from_index(value, implied, length)) return rc;
    const size_t consumed = value->index_length(implied);
    if (consumed > 0) erase(0, consumed);  // never beyond what was read
    return kKalOk;
  }
  int erase(size_t start, size_t n) override;
  IKasSnmpValue* new_value_reading_index(int tag, bool implied, size_t length,
                                         int* pStatus) const override {
    KalOwned<IKasSnmpValue> value(kas_create_value(tag, pStatus));
    if (!value) return nullptr;
    if (int rc = read_value_from_index(value.get(), implied, length)) {
      return kal_fail<IKasSnmpValue>(pStatus, rc);
    }
    return value.detach();
  }
  int read_value_from_index(IKasSnmpValue* value, bool implied, size_t length) const override {
    if (!value) return kKalErrInvalidArg;
    return value->set_from_index(this, implied, length);
  }
  int write_value_as_index(const IKasSnmpValue* value, bool implied) override {
    if (!value) return kKalErrInvalidArg;
    return value->set_oid_to_index(this, implied);
  }
  const char* text() const override { return text_buf().c_str(); }
  size_t text_length() const override {
    return pending_ ? pending_text_length() : text_buf().size();
  }
  size_t count() const override {
    if (count_ < 0) count_ = static_cast<long>(kas_oid_text_count(text_buf().c_str(), text_buf().size()));
    return static_cast<size_t>(count_);
  }
  IKasSnmpValue* value() override { return this; }
  const IKasSnmpValue* value() const override { return this; }
  int compare_numeric(const IKasOid* other, int* pStatus) const override {
    if (!other) {
      kal_set_status(pStatus, kKalErrInvalidArg);
      return -1;
    }
    kal_set_status(pStatus, kKalOk);
    return kas_oid_compare_numeric(text_buf().c_str(), text_buf().size(), other->text(),
                                   other->text_length());
  }
  int compare_numeric_text(const char* text, int* pStatus) const override {
    if (!text) {
      kal_set_status(pStatus, kKalErrInvalidArg);
      return -1;
    }
    kal_set_status(pStatus, kKalOk);
    return kas_oid_compare_numeric(text_buf().c_str(), text_buf().size(), text, std::strlen(text));
  }
  bool is_within(const IKasOid* root) const override {
    if (!root) return false;
    const int rel =
        kas_oid_compare_numeric(text_buf().c_str(), text_buf().size(), root->text(), root->text_length());
    return rel == kKasOidEqual || rel == kKasOidDescendant;
  }
  int set_text_bytes(const char* text, size_t length) override {
    if (!text && length) return kKalErrInvalidArg;
    if (int rc = text_buf().assign(text, length)) return rc;
    set_count(-1);
    return kKalOk;
  }

  // --- The codec's side (snmp/oid_ber.h, KasValueView).
  void view(KasValueView* view) const override {
    view->oid = ber_content(&view->octets, &view->length);
  }
  const KasOidBerCache* ber_cache() const {
    if (!ber_known_) fill_ber();
    return &ber_;
  }
  KasOidBer ber_content(const uint8_t** ppContent, size_t* pLength) const {
    if (!ber_known_) fill_ber();
    if (ber_.verdict == KasOidBer::kCached) {
      *ppContent = ber_.octets;
      *pLength = ber_.length;
    }
    return ber_.verdict;
  }
  // Reads a received identifier. Minimal octets that fit the cache are
  // only checked and kept: the text is written from them when first asked
  // for (room for it is made now, so that cannot fail later). Others are
  // written at once. A failure leaves the identifier empty.
  int read_ber(BerReader* reader, size_t n, BerOidResult* pResult) {
    *pResult = BerOidResult::kOk;
    if (int rc = buf_.reserve(BerReader::oid_text_bound(n))) return rc;
    const uint8_t* const content = reader->position();
    BerOidShape shape;
    *pResult = reader->scan_oid(n, &shape);
    if (*pResult != BerOidResult::kOk) {
      buf_.clear();
      set_count(0);
      return kKasErrUndecodable;
    }
    if (n != 0 && shape.minimal && n <= sizeof ber_.octets) {
      BerWriter::copy_short(ber_.octets, content, n);
      ber_.length = static_cast<uint8_t>(n);
      ber_.verdict = KasOidBer::kCached;
      ber_known_ = true;
      count_ = static_cast<long>(shape.arcs);
      pending_ = true;
      return kKalOk;
    }
    BerReader again(content, n);
    size_t length = 0;
    again.read_oid_text(n, buf_.data(), buf_.capacity(), &length);
    buf_.assign(buf_.data(), length);  // sets the size and the NUL; no growth
    set_count(static_cast<long>(shape.arcs));
    return kKalOk;
  }

 protected:
  bool has_index_form() const override { return true; }

 private:
  // Removes the text [0, end) that holds the first n sub-identifiers, and
  // the dot after it.
  void remove_front(size_t end, size_t n) {
    if (end >= text_buf().size()) {
      clear();
      return;
    }
    text_buf().erase(0, end + 1);
    set_count(count_ >= 0 ? count_ - static_cast<long>(n) : -1);
  }
  int remove_prefix_bytes(const char* prefix, size_t length) {
    const int rel = kas_oid_compare_text(text_buf().c_str(), text_buf().size(), prefix, length);
    if (rel == kKasOidEqual) {
      clear();
      return kKalOk;
    }
    if (rel != kKasOidDescendant) return kKalErrInvalidArg;
    // An empty prefix is no ancestor by text, so `length` is at least 1
    // and text[length] is the dot after the prefix.
    text_buf().erase(0, length + 1);
    set_count(-1);
    return kKalOk;
  }

  // The length of the text settle() would write, counted from the kept
  // octets without writing it (the walk limits count every received name).
  // The octets were checked when received: minimal, every arc below 2^32.
  size_t pending_text_length() const {
    size_t length = 0;
    uint32_t v = 0;
    bool first = true;
    for (size_t i = 0; i < ber_.length; ++i) {
      const uint8_t octet = ber_.octets[i];
      v = (v << 7) | (octet & 0x7Fu);
      if (octet & 0x80u) continue;
      if (first) {
        // X.690 8.19.4: x * 40 + y, x at most 2 (one digit).
        const uint32_t x = v < 80 ? v / 40 : 2;
        length += 2 + decimal_digits(v - 40 * x);
        first = false;
      } else {
        length += 1 + decimal_digits(v);
      }
      v = 0;
    }
    return length;
  }
  static size_t decimal_digits(uint32_t v) {
    size_t n = 1;
    while (v >= 10) {
      v /= 10;
      ++n;
    }
    return n;
  }

  KalBuffer& text_buf() const {
    if (pending_) settle();
    return buf_;
  }
  // Writes the text of the kept octets into the room made for it when they
  // were received (oid_text_bound): they were checked then, and nothing has
  // changed since, so this cannot fail or grow the buffer.
  void settle() const {
    pending_ = false;
    BerReader reader(ber_.octets, ber_.length);
    size_t length = 0;
    reader.read_oid_text(ber_.length, buf_.data(), buf_.capacity(), &length);
    buf_.assign(buf_.data(), length);
  }

  // Every change of the text ends here: the new count (-1: unknown) and the
  // BER octets of the old text dropped.
  void set_count(long count) {
    count_ = count;
    ber_known_ = false;
    pending_ = false;
  }
  void copy_ber_from(const CKasOid& other) {
    ber_known_ = other.ber_known_;
    ber_.verdict = other.ber_.verdict;
    ber_.length = other.ber_.length;
    if (ber_known_ && ber_.verdict == KasOidBer::kCached && ber_.length) {
      std::memcpy(ber_.octets, other.ber_.octets, ber_.length);
    }
  }
  // Encodes the text once into a writer over the cache itself; the verdict
  // on the text is kept with the octets, so a malformed text is judged once.
  void fill_ber() const {
    ber_known_ = true;
    BerWriter writer(ber_.octets, sizeof ber_.octets);
    switch (writer.put_oid_content(text_buf().c_str(), text_buf().size())) {
      case BerOidText::kOk:
        if (writer.overflowed()) {
          ber_.verdict = KasOidBer::kUncached;  // too long to keep
          return;
        }
        // The writer ends its octets at the end of the cache: move them to
        // the front.
        ber_.length = static_cast<uint8_t>(writer.written());
        std::memmove(ber_.octets, writer.data(), ber_.length);
        ber_.verdict = KasOidBer::kCached;
        return;
      case BerOidText::kOneArc:
        ber_.verdict = KasOidBer::kOneArc;
        return;
      case BerOidText::kMalformed:
        ber_.verdict = KasOidBer::kMalformed;
        return;
    }
  }

  // The text, or while pending_ the room for it: a received identifier
  // keeps only its BER octets until its text is first asked for. Every use
  // goes through text_buf(), which writes the text first.
  mutable KalBuffer buf_;
  mutable bool pending_ = false;
  mutable long count_ = 0;
  // The BER octets and the verdict on the text, once known.
  mutable bool ber_known_ = false;
  mutable KasOidBerCache ber_;
};

uint32_t CKasOid::element_at(size_t index, int* pStatus) const {
  if (text_buf().empty()) {
    kal_set_status(pStatus, kKalErrNotReady);
    return 0xFFFFFFFFu;
  }
  KasArcCursor cursor(text_buf().c_str(), text_buf().size());
  uint32_t v = 0;
  for (size_t i = 0; i <= index; ++i) {
    if (!cursor.next(&v)) {
      kal_set_status(pStatus, kKalErrNoData);
      return 0xFFFFFFFFu;
    }
  }
  kal_set_status(pStatus, kKalOk);
  return v;
}

int CKasOid::append_to_index(IKasOid* oid, bool implied) const {
  if (!oid) return kKalErrInvalidArg;
  if (oid == static_cast<const IKasOid*>(this)) {
    int rc = kKalOk;
    KalOwned<IKasSnmpValue> copy(clone(&rc));
    if (!copy) return rc;
    return copy->append_to_index(oid, implied);
  }
  if (!implied) {
    if (int rc = oid->append_number(static_cast<uint32_t>(count()))) return rc;
  }
  return oid->append_oid(this);
}

// Not implied: the count n, then n sub-identifiers; implied: `length`
// sub-identifiers or every remaining one. The sub-identifiers are written
// again as numbers, so a loosely stored source ("1..01") gives a well-formed
// identifier whose count matches its text.
int CKasOid::set_from_index(const IKasOid* oid, bool implied, size_t length) {
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
  KasArcCursor check = cursor;
  for (size_t i = 0; i < n; ++i) {
    uint32_t v = 0;
    bool overflow = false;
    if (!check.next(&v, &overflow) || overflow) return kKasErrBadIndex;
  }
  // Reading our own text: build aside, then take it over.
  KalBuffer aside;
  KalBuffer* out = oid == static_cast<const IKasOid*>(this) ? &aside : &text_buf();
  // At most 10 digits and a dot each: with room made first, the appends
  // below cannot fail and a failure leaves this identifier unchanged.
  if (int rc = out->reserve(n * 11)) return rc;
  out->clear();
  for (size_t i = 0; i < n; ++i) {
    uint32_t v = 0;
    cursor.next(&v);
    char digits[11];
    size_t len = 0;
    if (i > 0) digits[len++] = '.';
    len += kas_format_uint32(v, digits + len);
    out->append(digits, len);
  }
  if (out == &aside) text_buf().swap(aside);
  set_count(static_cast<long>(n));
  return kKalOk;
}

int CKasOid::move_prefix_to_value(size_t n, IKasSnmpValue* value) {
  if (!value || value == static_cast<IKasSnmpValue*>(this)) return kKalErrInvalidArg;
  const size_t end = kas_oid_text_prefix_end(text_buf().c_str(), text_buf().size(), n);
  if (IKasOid* oid = value->as_oid()) {
    if (int rc = oid->set_text_bytes(text_buf().c_str(), end)) return rc;
  } else if (end == text_buf().size()) {
    if (int rc = value->set_text(text_buf().c_str())) return rc;
  } else {
    // Lend the prefix as a C string by ending it in place for the call.
    char* p = text_buf().data();
    const char saved = p[end];
    p[end] = '\0';
    const int rc = value->set_text(p);
    p[end] = saved;
    if (rc != kKalOk) return rc;
  }
  remove_front(end, n);
  return kKalOk;
}

int CKasOid::erase(size_t start, size_t n) {
  const size_t total = count();
  if (start >= total) return kKalErrInvalidArg;
  if (n == 0) return kKalOk;
  const char* t = text_buf().c_str();
  const size_t len = text_buf().size();
  if (n == kKasAll || n >= total - start) {
    // Cut from the dot before `start` (or everything).
    text_buf().truncate(start == 0 ? 0 : kas_oid_text_prefix_end(t, len, start));
    set_count(static_cast<long>(start));
    return kKalOk;
  }
  const size_t from = start == 0 ? 0 : kas_oid_text_prefix_end(t, len, start) + 1;
  const size_t to = kas_oid_text_prefix_end(t, len, start + n) + 1;
  text_buf().erase(from, to - from);
  set_count(static_cast<long>(total - n));
  return kKalOk;
}

}  // namespace

CKasValueBase* kas_new_oid_value() { return kal_new<CKasOid>(); }

KasOidBer kas_oid_ber_content(const IKasSnmpValue* oid, const uint8_t** ppContent,
                              size_t* pLength) {
  const void* p = nullptr;
  if (!oid || oid->query(kOidBerQuery, &p) != kKalOk || !p) return KasOidBer::kUncached;
  return static_cast<const CKasOid*>(p)->ber_content(ppContent, pLength);
}

int kas_oid_read_ber(IKasSnmpValue* oid, BerReader* reader, size_t n, BerOidResult* pResult,
                     bool* pOurs) {
  *pOurs = false;
  *pResult = BerOidResult::kOk;
  const void* p = nullptr;
  if (!oid || oid->query(kOidBerQuery, &p) != kKalOk || !p) return kKalOk;
  *pOurs = true;
  // The object lent itself through its const query; it is ours to change.
  return const_cast<CKasOid*>(static_cast<const CKasOid*>(p))->read_ber(reader, n, pResult);
}

int kas_oid_read_ber_known(CKasValueBase* oid, BerReader* reader, size_t n,
                           BerOidResult* pResult) {
  return static_cast<CKasOid*>(oid)->read_ber(reader, n, pResult);
}

const KasOidBerCache* kas_oid_ber_known(const CKasValueBase* oid) {
  return static_cast<const CKasOid*>(oid)->ber_cache();
}
