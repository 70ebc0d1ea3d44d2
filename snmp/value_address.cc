// The four address kinds: IpAddress (4 octets), IPv6 address (16), UDP
// transport address (IPv4 address and port, 6) and IPX transport address
// (network 4, node 6, socket 2). Fixed lengths, held inline; their printed
// forms and index forms are below. Text is parsed strictly: exactly the
// printed form, nothing before or after it.
#include <cstdio>
#include <cstring>

#include "common/owned.h"
#include "snmp/oid_text.h"
#include "snmp/value_base.h"

namespace {

size_t fixed_length(int tag) {
  switch (tag) {
    case kKasTagIpAddress: return 4;
    case kKasTagIpv6Address: return 16;
    case kKasTagUdpAddress: return 6;
    default: return 12;  // IPX
  }
}

// Index forms: a domain number (transport addresses), a length (left out
// when implied), then the octets. IpAddress has neither (RFC 2578 section
// 7.7: "four sub-identifiers, in the familiar a.b.c.d notation").
uint32_t index_domain(int tag) {
  return tag == kKasTagUdpAddress ? 1 : (tag == kKasTagIpxAddress ? 5 : 0);
}
bool index_has_length(int tag, bool implied) { return !implied && tag != kKasTagIpAddress; }

// A forward reader over a NUL-terminated text for the strict parsers.
class TextScanner {
 public:
  explicit TextScanner(const char* p) : p_(p) {}
  // 1 to max_digits decimal digits, value at most `limit`.
  bool decimal(uint32_t limit, uint32_t* out) {
    uint32_t v = 0;
    int n = 0;
    while (*p_ >= '0' && *p_ <= '9') {
      if (++n > 5) return false;
      v = v * 10 + static_cast<uint32_t>(*p_++ - '0');
    }
    if (n == 0 || v > limit) return false;
    *out = v;
    return true;
  }
  // Between min and max hex digits.
  bool hex(int min_digits, int max_digits, uint32_t* out) {
    uint32_t v = 0;
    int n = 0;
    while (n < max_digits) {
      const int d = hex_digit(*p_);
      if (d < 0) break;
      v = v * 16 + static_cast<uint32_t>(d);
      ++p_;
      ++n;
    }
    if (n < min_digits) return false;
    *out = v;
    return true;
  }
  bool expect(char c) {
    if (*p_ != c) return false;
    ++p_;
    return true;
  }
  bool at_end() const { return *p_ == '\0'; }

 private:
  static int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }
  const char* p_;
};

bool parse_ipv4(TextScanner* s, uint8_t* out) {
  for (int i = 0; i < 4; ++i) {
    uint32_t v = 0;
    if (i > 0 && !s->expect('.')) return false;
    if (!s->decimal(255, &v)) return false;
    out[i] = static_cast<uint8_t>(v);
  }
  return true;
}

// Parses the printed form of the kind into out[fixed_length(tag)].
bool parse_address(int tag, const char* text, uint8_t* out) {
  TextScanner s(text);
  uint32_t v = 0;
  switch (tag) {
    case kKasTagIpAddress:
      return parse_ipv4(&s, out) && s.at_end();
    case kKasTagIpv6Address:
      for (int i = 0; i < 8; ++i) {
        if (i > 0 && !s.expect(':')) return false;
        if (!s.hex(1, 4, &v)) return false;
        out[2 * i] = static_cast<uint8_t>(v >> 8);
        out[2 * i + 1] = static_cast<uint8_t>(v);
      }
      return s.at_end();
    case kKasTagUdpAddress:
      if (!parse_ipv4(&s, out) || !s.expect('/') || !s.decimal(65535, &v)) return false;
      out[4] = static_cast<uint8_t>(v >> 8);
      out[5] = static_cast<uint8_t>(v);
      return s.at_end();
    default:  // IPX: 8 hex digits, ':', 12 hex digits, '/', the socket in hex
      for (int i = 0; i < 10; ++i) {
        if (i == 4 && !s.expect(':')) return false;
        if (!s.hex(2, 2, &v)) return false;
        out[i] = static_cast<uint8_t>(v);
      }
      if (!s.expect('/') || !s.hex(1, 4, &v)) return false;
      out[10] = static_cast<uint8_t>(v >> 8);
      out[11] = static_cast<uint8_t>(v);
      return s.at_end();
  }
}

size_t print_address(int tag, const uint8_t* a, char* out, size_t size) {
  int n = 0;
  switch (tag) {
    case kKasTagIpAddress:
      n = std::snprintf(out, size, "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
      break;
    case kKasTagIpv6Address:
      n = std::snprintf(out, size, "%x:%x:%x:%x:%x:%x:%x:%x", (a[0] << 8) | a[1],
                        (a[2] << 8) | a[3], (a[4] << 8) | a[5], (a[6] << 8) | a[7],
                        (a[8] << 8) | a[9], (a[10] << 8) | a[11], (a[12] << 8) | a[13],
                        (a[14] << 8) | a[15]);
      break;
    case kKasTagUdpAddress:
      n = std::snprintf(out, size, "%d.%d.%d.%d/%d", a[0], a[1], a[2], a[3], (a[4] << 8) | a[5]);
      break;
    default:
      n = std::snprintf(out, size, "%02x%02x%02x%02x:%02x%02x%02x%02x%02x%02x/%x", a[0], a[1],
                        a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], (a[10] << 8) | a[11]);
      break;
  }
  return n < 0 ? 0 : static_cast<size_t>(n);
}

class CKasAddressValue final : public CKasValueBase {
 public:
  explicit CKasAddressValue(int tag) : CKasValueBase(tag), n_(fixed_length(tag)) {
    std::memset(a_, 0, sizeof(a_));
  }
  int accept(IKasValueVisitor* visitor) override {
    if (!visitor) return kKalErrInvalidArg;
    switch (tag()) {
      case kKasTagIpAddress: return visitor->visit_ip_address(this);
      case kKasTagIpv6Address: return visitor->visit_ipv6_address(this);
      case kKasTagUdpAddress: return visitor->visit_udp_address(this);
      default: return visitor->visit_ipx_address(this);
    }
  }
  IKasSnmpValue* clone(int* pStatus) const override {
    CKasAddressValue* copy = kal_new<CKasAddressValue>(tag());
    if (!copy) return kal_fail<IKasSnmpValue>(pStatus, kKalErrNoMemory);
    std::memcpy(copy->a_, a_, n_);
    kal_set_status(pStatus, kKalOk);
    return copy;
  }
  int assign(const IKasSnmpValue* other) override {
    if (!other || other->tag() != tag()) return kKalErrInvalidArg;
    std::memcpy(a_, static_cast<const CKasAddressValue*>(other)->a_, n_);
    return kKalOk;
  }
  void clear() override { std::memset(a_, 0, n_); }
  bool equals(const IKasSnmpValue* other) const override {
    return other && other->tag() == tag() &&
           std::memcmp(static_cast<const CKasAddressValue*>(other)->a_, a_, n_) == 0;
  }
  uint32_t get_uint(int* pStatus) const override {
    if (tag() != kKasTagIpAddress) return CKasValueBase::get_uint(pStatus);
    kal_set_status(pStatus, kKalOk);
    return (uint32_t{a_[0]} << 24) | (uint32_t{a_[1]} << 16) | (uint32_t{a_[2]} << 8) | a_[3];
  }
  int set_uint(uint32_t v) override {
    if (tag() != kKasTagIpAddress) return kKalErrNotSupported;
    a_[0] = static_cast<uint8_t>(v >> 24);
    a_[1] = static_cast<uint8_t>(v >> 16);
    a_[2] = static_cast<uint8_t>(v >> 8);
    a_[3] = static_cast<uint8_t>(v);
    return kKalOk;
  }
  uint16_t get_port(int* pStatus) const override {
    if (tag() != kKasTagUdpAddress && tag() != kKasTagIpxAddress) {
      return CKasValueBase::get_port(pStatus);
    }
    kal_set_status(pStatus, kKalOk);
    return static_cast<uint16_t>((a_[n_ - 2] << 8) | a_[n_ - 1]);
  }
  int set_port(uint16_t port) override {
    if (tag() != kKasTagUdpAddress && tag() != kKasTagIpxAddress) return kKalErrNotSupported;
    a_[n_ - 2] = static_cast<uint8_t>(port >> 8);
    a_[n_ - 1] = static_cast<uint8_t>(port);
    return kKalOk;
  }
  int to_text_into(IKalText* text) const override {
    if (!text) return kKalErrInvalidArg;
    char buf[64];
    return text->assign(buf, print_address(tag(), a_, buf, sizeof(buf)));
  }
  const uint8_t* get_bytes(size_t* pLength, int* pStatus) const override {
    if (pLength) *pLength = n_;
    kal_set_status(pStatus, kKalOk);
    return a_;
  }
  void view(KasValueView* view) const override {
    view->octets = a_;
    view->length = n_;
  }
  int set_text(const char* text) override {
    if (!text) return kKalErrInvalidArg;
    uint8_t parsed[16];
    if (!parse_address(tag(), text, parsed)) return kKalErrInvalidArg;
    std::memcpy(a_, parsed, n_);
    return kKalOk;
  }
  int set_bytes(const void* data, size_t length) override {
    if (!data || length != n_) return kKalErrInvalidArg;
    std::memcpy(a_, data, n_);
    return kKalOk;
  }
  size_t size() const override { return n_; }
  uint32_t element_at(size_t index, int* pStatus) const override {
    if (index >= n_) {
      kal_set_status(pStatus, kKalErrInvalidArg);
      return 0xFFFFFFFFu;
    }
    kal_set_status(pStatus, kKalOk);
    return a_[index];
  }
  size_t index_length(bool implied) const override {
    return n_ + (index_domain(tag()) ? 1 : 0) + (index_has_length(tag(), implied) ? 1 : 0);
  }
  int append_to_index(IKasOid* oid, bool implied) const override {
    if (!oid) return kKalErrInvalidArg;
    if (const uint32_t domain = index_domain(tag())) {
      if (int rc = oid->append_number(domain)) return rc;
    }
    if (index_has_length(tag(), implied)) {
      if (int rc = oid->append_number(static_cast<uint32_t>(n_))) return rc;
    }
    return kas_append_index_octets(oid, a_, n_);
  }
  int set_from_index(const IKasOid* oid, bool implied, size_t) override {
    if (!oid) return kKalErrInvalidArg;
    KasArcCursor cursor(oid->text(), oid->text_length());
    uint32_t v = 0;
    if (const uint32_t domain = index_domain(tag())) {
      if (!cursor.next(&v) || v != domain) return kKasErrBadIndex;
    }
    if (index_has_length(tag(), implied)) {
      if (!cursor.next(&v) || v != n_) return kKasErrBadIndex;
    }
    uint8_t parsed[16];
    if (int rc = kas_read_index_octets(&cursor, parsed, n_)) return rc;
    std::memcpy(a_, parsed, n_);
    return kKalOk;
  }

 protected:
  bool has_index_form() const override { return true; }

 private:
  uint8_t a_[16];
  const size_t n_;
};

}  // namespace

CKasValueBase* kas_new_address_value(int tag) { return kal_new<CKasAddressValue>(tag); }
