// Shared parts of the value classes: the base that answers "not supported"
// for every operation a kind does not override, the number parsers and
// formatters, and the makers of each kind that kas_create_value picks from.
// Internal to the snmp layer (and its tests).
#ifndef SNMP_VALUE_BASE_H_
#define SNMP_VALUE_BASE_H_

#include <cstddef>
#include <cstdint>

#include "common/text.h"
#include "snmp/oid_ber.h"
#include "snmp/value.h"

// query() with this tag (no kind has a negative tag) lends a value of this
// layer as its CKasValueBase; values implemented elsewhere answer -2. The
// codec uses it to read a value in one call (view) instead of a visitor
// round trip and a getter.
inline constexpr int kKasValueBaseQuery = -1;

// What the encoder writes of a value, filled by CKasValueBase::view.
struct KasValueView {
  // OCTET STRING, Opaque and the address kinds: the stored octets (lent);
  // object identifier: its BER content octets when `oid` is kCached.
  const uint8_t* octets = nullptr;
  size_t length = 0;
  // INTEGER (its bits), Counter32, Gauge32, TimeTicks; Counter64's low half.
  uint32_t number = 0;
  uint32_t high = 0;  // Counter64's high half
  KasOidBer oid = KasOidBer::kUncached;  // object identifier
};

class CKasValueBase : public IKasSnmpValue {
 public:
  explicit CKasValueBase(int tag) : tag_(tag) {}

  void release() override { delete this; }
  int tag() const override { return tag_; }
  IKasOid* as_oid() override { return nullptr; }
  const IKasOid* as_oid() const override { return nullptr; }
  int query(int tag, const void** ppStorage) const override;
  bool is_valid() const override { return true; }
  int32_t get_int(int* pStatus) const override;
  uint32_t get_uint(int* pStatus) const override;
  IKalText* to_text(int* pStatus) const override;
  int to_text_into(IKalText* text) const override;
  const uint8_t* get_bytes(size_t* pLength, int* pStatus) const override;
  IKalText* to_bytes(int* pStatus) const override;
  int to_bytes_into(IKalText* text) const override;
  uint16_t get_port(int* pStatus) const override;
  uint32_t get_high(int* pStatus) const override;
  uint32_t get_low(int* pStatus) const override;
  int set_int(int32_t v) override;
  int set_uint(uint32_t v) override;
  int set_text(const char* text) override;
  int set_text_object(const IKalText* text) override;
  int set_bytes(const void* data, size_t length) override;
  int set_bytes_object(const IKalText* bytes) override;
  int set_port(uint16_t port) override;
  int set_high(uint32_t v) override;
  int set_low(uint32_t v) override;
  size_t index_length(bool implied) const override;
  uint32_t element_at(size_t index, int* pStatus) const override;
  int append_to_index(IKasOid* oid, bool implied) const override;
  int set_oid_to_index(IKasOid* oid, bool implied) const override;
  int set_from_index(const IKasOid* oid, bool implied, size_t length) override;

  // The kind's tag without a virtual call.
  int kind() const { return tag_; }
  // Fills `view` with the content (see KasValueView); the markers leave it
  // empty. Lent pointers are good until the value changes or is released.
  virtual void view(KasValueView* view) const { (void)view; }

 protected:
  ~CKasValueBase() override = default;
  // Whether the kind has an index form (set_oid_to_index asks first, so an
  // unsupported kind leaves the identifier alone).
  virtual bool has_index_form() const { return false; }

 private:
  const int tag_;
};

// Leading decimal number of a text as the C library's atol reads it
// (leading white space, a sign, digits; trailing junk ignored; no digits:
// 0), saturated to [lo, hi] instead of overflowing.
int64_t kas_parse_leading_number(const char* text, int64_t lo, int64_t hi);

// Decimal text of numbers into out (at least 21 octets); answer the length.
size_t kas_format_int32(int32_t v, char* out);
size_t kas_format_uint64(uint64_t v, char* out);

// Reads `count` octets (sub-identifiers of at most 255) from the cursor
// position of a dotted text into out. kKasErrBadIndex when fewer are left or
// one is above 255.
class KasArcCursor;
int kas_read_index_octets(KasArcCursor* cursor, uint8_t* out, size_t count);
// Appends n octets as sub-identifiers to oid.
int kas_append_index_octets(IKasOid* oid, const uint8_t* octets, size_t n);

// The makers of each family; kas_create_value chooses by tag.
CKasValueBase* kas_new_integer_value();
CKasValueBase* kas_new_unsigned_value(int tag);  // Counter32, Gauge32, TimeTicks
CKasValueBase* kas_new_counter64_value();
CKasValueBase* kas_new_marker_value(int tag);    // NULL and the exceptions
CKasValueBase* kas_new_octet_value(int tag);     // OCTET STRING, Opaque
CKasValueBase* kas_new_address_value(int tag);   // IpAddress, IPv6, UDP, IPX
CKasValueBase* kas_new_oid_value();

// The octet buffer's capacity of an OCTET STRING or Opaque (tests); 0 for
// other kinds.
size_t kas_octet_value_capacity(const IKasSnmpValue* value);

#endif  // SNMP_VALUE_BASE_H_
