// SNMP values: the sixteen kinds a variable binding can carry, all behind
// IKasSnmpValue and keyed by their tag, and the object identifier's second
// interface IKasOid. Values convert to and from numbers, text, raw octets and
// the sub-identifiers of a table index. Every value has one owner and no
// lock; release() destroys it, clone() deep-copies it.
//
// Numbers returned by an operation that fails are -1 (0xFFFFFFFF for the
// unsigned results, 0xFFFF for get_port, null for pointers); the reason is in
// the optional out-status. An operation that does not apply to the kind
// answers kKalErrNotSupported (-5), in the out-status for those that have one.
#ifndef SNMP_VALUE_H_
#define SNMP_VALUE_H_

#include <cstddef>
#include <cstdint>

#include "common/status.h"

class IKalText;
class IKasOid;
class IKasSnmpValue;

// The kinds by tag. The tag is the kind's identity and, for the kinds that
// travel in a message, its BER identifier octet.
enum : int {
  kKasTagInteger = 0x02,
  kKasTagOctetString = 0x04,
  kKasTagNull = 0x05,
  kKasTagOid = 0x06,
  kKasTagIpAddress = 0x40,
  kKasTagCounter32 = 0x41,
  kKasTagGauge32 = 0x42,
  kKasTagTimeTicks = 0x43,
  kKasTagOpaque = 0x44,
  kKasTagCounter64 = 0x46,
  kKasTagIpv6Address = 0x48,
  kKasTagNoSuchObject = 0x80,
  kKasTagNoSuchInstance = 0x81,
  kKasTagEndOfMibView = 0x82,
  kKasTagUdpAddress = 0xFF02,  // never in a message
  kKasTagIpxAddress = 0xFF03,  // never in a message
};

// Relation of one object identifier to another (compare, compare_text,
// compare_numeric). 1 and 2 are subtree tests; 3 and 4 order identifiers that
// are not in one subtree.
enum : int {
  kKasOidEqual = 0,
  kKasOidAncestor = 1,    // this is a proper prefix of the other
  kKasOidDescendant = 2,  // the other is a proper prefix of this
  kKasOidBefore = 3,
  kKasOidAfter = 4,
};

// "Every remaining sub-identifier" for the length of an implied index and the
// count of erase().
inline constexpr size_t kKasAll = static_cast<size_t>(-1);

// The largest sub-identifier: arcs are unsigned 32-bit (RFC 2578 section 3.5).
inline constexpr uint32_t kKasMaxSubId = 0xFFFFFFFFu;

// The codec's view of a value: accept() calls the entry of the value's kind.
// Entries answer a status that accept() returns unchanged. The value is lent
// for the call.
class IKasValueVisitor {
 public:
  virtual int visit_oid(IKasSnmpValue* value) = 0;
  virtual int visit_octet_string(IKasSnmpValue* value) = 0;  // and Opaque
  virtual int visit_integer(IKasSnmpValue* value) = 0;
  virtual int visit_null(IKasSnmpValue* value) = 0;
  virtual int visit_counter32(IKasSnmpValue* value) = 0;
  virtual int visit_gauge32(IKasSnmpValue* value) = 0;
  virtual int visit_timeticks(IKasSnmpValue* value) = 0;
  virtual int visit_counter64(IKasSnmpValue* value) = 0;
  virtual int visit_ip_address(IKasSnmpValue* value) = 0;
  virtual int visit_ipv6_address(IKasSnmpValue* value) = 0;
  virtual int visit_udp_address(IKasSnmpValue* value) = 0;
  virtual int visit_ipx_address(IKasSnmpValue* value) = 0;
  // noSuchObject, noSuchInstance and endOfMibView.
  virtual int visit_exception(IKasSnmpValue* value) = 0;

 protected:
  virtual ~IKasValueVisitor() = default;
};

class IKasSnmpValue {
 public:
  virtual int accept(IKasValueVisitor* visitor) = 0;  // -2 for null
  // Destroys the value.
  virtual void release() = 0;
  // New value of the same kind and content; the caller owns it.
  // *pStatus: 0, kKalErrNoMemory.
  virtual IKasSnmpValue* clone(int* pStatus = nullptr) const = 0;
  // Copies other's content. -2 when other is null or of another tag; -3 when
  // the buffer cannot grow (the value is then unchanged).
  virtual int assign(const IKasSnmpValue* other) = 0;
  // Back to the content of a new value of the kind (fixed-length address
  // kinds stay at their length, all zero).
  virtual void clear() = 0;
  virtual int tag() const = 0;
  // False for null or another tag; octets byte for byte, numbers by value,
  // object identifiers by exact text.
  virtual bool equals(const IKasSnmpValue* other) const = 0;
  // The IKasOid interface of an object identifier (same object, lent); null
  // for every other kind.
  virtual IKasOid* as_oid() = 0;
  virtual const IKasOid* as_oid() const = 0;
  // Internal cast used by assign and equals: *ppStorage receives this
  // value's storage when `tag` is this value's tag, else null (and -2).
  virtual int query(int tag, const void** ppStorage) const = 0;
  // True for every kind except an object identifier whose text fails the
  // syntax check (IKasOid::is_valid_text).
  virtual bool is_valid() const = 0;

  // INTEGER: the number; object identifier: its first sub-identifier (-8 and
  // -1 when empty).
  virtual int32_t get_int(int* pStatus = nullptr) const = 0;
  // Counter32, Gauge32, TimeTicks: the number; IpAddress: the four octets,
  // the first most significant; Counter64: the low half.
  virtual uint32_t get_uint(int* pStatus = nullptr) const = 0;
  // New text object holding the display text (to_text_into); the caller
  // owns it. *pStatus: 0, -3, -5.
  virtual IKalText* to_text(int* pStatus = nullptr) const = 0;
  // Writes the display text: numbers in decimal, OCTET STRING and Opaque
  // their raw octets, address kinds their printed form, an object identifier
  // its dotted text. -2 for null, -3, -5 for NULL and the exceptions.
  virtual int to_text_into(IKalText* text) const = 0;
  // Lends the raw content: the octets of the octet kinds, the dotted text of
  // an object identifier. Good until the value changes or is released.
  virtual const uint8_t* get_bytes(size_t* pLength, int* pStatus = nullptr) const = 0;
  // The same copied into a new text object (caller owns) or a given one.
  virtual IKalText* to_bytes(int* pStatus = nullptr) const = 0;
  virtual int to_bytes_into(IKalText* text) const = 0;
  // UDP and IPX transport addresses: the port (socket); others 0xFFFF, -5.
  virtual uint16_t get_port(int* pStatus = nullptr) const = 0;
  // Counter64 halves.
  virtual uint32_t get_high(int* pStatus = nullptr) const = 0;
  virtual uint32_t get_low(int* pStatus = nullptr) const = 0;

  // INTEGER: stores it; object identifier: becomes that one sub-identifier.
  virtual int set_int(int32_t v) = 0;
  // Counter32, Gauge32, TimeTicks: stores it; IpAddress: its four octets,
  // most significant first; Counter64: low := v, high := 0.
  virtual int set_uint(uint32_t v) = 0;
  // Parses the text form (-2 when it does not parse; a caller discards a
  // value whose set_text failed). Null: -2, except that an OCTET STRING,
  // Opaque and an object identifier become empty. Numbers accept leading
  // decimal digits (trailing junk ignored, no digits gives 0); Counter64
  // accepts only digits of a number below 2^64; the address kinds accept
  // exactly their printed form; an object identifier stores any text as it
  // is (is_valid tells whether it is well formed).
  virtual int set_text(const char* text) = 0;
  virtual int set_text_object(const IKalText* text) = 0;  // -2 for null
  // Octet kinds: copies the octets (address kinds: -2 unless `length` is
  // their fixed length); object identifier: the octets become its text.
  // -2 for null data with a non-zero length, -3 (value unchanged), -5.
  virtual int set_bytes(const void* data, size_t length) = 0;
  virtual int set_bytes_object(const IKalText* bytes) = 0;  // -2 for null
  virtual int set_port(uint16_t port) = 0;  // UDP, IPX transport addresses
  virtual int set_high(uint32_t v) = 0;     // Counter64
  virtual int set_low(uint32_t v) = 0;      // Counter64

  // 1 for numbers, the length in octets for octet kinds, the number of
  // sub-identifiers for an object identifier, 0 for NULL and the exceptions.
  virtual size_t size() const = 0;

  // Table indexes (RFC 2578 section 7.7). The index form of a value:
  //   INTEGER, Counter32, Gauge32, TimeTicks: the number;
  //   OCTET STRING, Opaque: length, then one sub-identifier per octet;
  //   object identifier: count, then its sub-identifiers;
  //   IpAddress: 4 octets (no length); IPv6 address: 16, then 16 octets;
  //   UDP transport address: 1, 6, then 6 octets;
  //   IPX transport address: 5, 12, then 12 octets.
  // With `implied` (the last index of a table declared IMPLIED) the length
  // is left out. Kinds without an index form answer -5.
  //
  // Number of sub-identifiers the value's index form takes.
  virtual size_t index_length(bool implied) const = 0;
  // OCTET STRING family: the octet at `index` (-2 and -1 beyond the
  // length); object identifier: the sub-identifier at `index` (-7 when not
  // below the count, -8 when empty).
  virtual uint32_t element_at(size_t index, int* pStatus = nullptr) const = 0;
  // Appends the index form to `oid` (-2 for null, -3).
  virtual int append_to_index(IKasOid* oid, bool implied) const = 0;
  // `oid` becomes the index form alone.
  virtual int set_oid_to_index(IKasOid* oid, bool implied) const = 0;
  // Parses the value from the leading sub-identifiers of `oid`, which is not
  // changed. `length` is the octet count of an implied string index
  // (kKasAll: every remaining sub-identifier). -2 for null; -401 for a
  // malformed index: too few sub-identifiers, a length beyond the
  // identifier, an octet above 255, a wrong domain or length of an address
  // kind, a number above the kind's range. After success index_length(implied)
  // tells how many sub-identifiers were read. On failure the value is
  // unchanged.
  virtual int set_from_index(const IKasOid* oid, bool implied, size_t length = kKasAll) = 0;

 protected:
  virtual ~IKasSnmpValue() = default;
};

// The object identifier's second interface. The identifier is held as dotted
// decimal text ("1.3.6.1.2.1.1.1.0"); the empty text has no sub-identifiers.
// Positions are 0-based. Identifiers made here are handed out through their
// IKasSnmpValue interface, owned by the caller.
class IKasOid {
 public:
  // New identifier with the same text. *pStatus: 0, -3.
  virtual IKasSnmpValue* clone(int* pStatus = nullptr) const = 0;
  // Relation of this identifier to a dotted text, compared character by
  // character: equal 0, this an ancestor 1, a descendant 2, else 3 (this
  // sorts first by text) or 4. By text "1.3.6.1.10" sorts before
  // "1.3.6.1.9"; use compare_numeric to order walk results. Null text: -2
  // and -1.
  virtual int compare_text(const char* text, int* pStatus = nullptr) const = 0;
  virtual int compare(const IKasOid* other, int* pStatus = nullptr) const = 0;
  // When this identifier equals or lies below `prefix`, removes the prefix's
  // sub-identifiers and answers 0; else -2 and nothing changes.
  virtual int remove_prefix_text(const char* prefix) = 0;
  virtual int remove_prefix(const IKasOid* prefix) = 0;
  // Appends "." and the text (no dot when this is empty); null or empty
  // text: no change. -3.
  virtual int append_text(const char* text) = 0;
  virtual int append_number(uint32_t subid) = 0;
  virtual int append_oid(const IKasOid* other) = 0;  // empty or null: no change
  // Makes a value of `tag` from `text`, appends its index form, releases it.
  // -2 when the tag has no kind or the text does not parse.
  virtual int append_text_as_index(const char* text, int tag, bool implied) = 0;
  virtual int append_value_as_index(const IKasSnmpValue* value, bool implied) = 0;
  // New identifier holding the first n sub-identifiers (all when n is not
  // below the count), which are removed from this one. Caller owns it.
  virtual IKasSnmpValue* new_prefix(size_t n, int* pStatus = nullptr) = 0;
  // `value`->set_text(text of the first n sub-identifiers), then removes
  // them from this one. -2 for null.
  virtual int move_prefix_to_value(size_t n, IKasSnmpValue* value) = 0;
  // Removes and answers the first sub-identifier; empty: -8 and 0xFFFFFFFF.
  virtual uint32_t pop_first(int* pStatus = nullptr) = 0;
  // The same as new_prefix/move_prefix_to_value with a text object.
  virtual IKalText* new_prefix_text(size_t n, int* pStatus = nullptr) = 0;
  virtual int move_prefix_to_text(size_t n, IKalText* text) = 0;
  // New value of `tag` parsed from the front of this identifier, whose
  // sub-identifiers it consumed are removed. Caller owns it. *pStatus: 0,
  // -2 (no kind has the tag), -3, -401.
  virtual IKasSnmpValue* new_value_from_index(int tag, bool implied, size_t length,
                                              int* pStatus = nullptr) = 0;
  // `value` parses itself from the front; on success what it read is removed.
  virtual int take_value_from_index(IKasSnmpValue* value, bool implied, size_t length) = 0;
  // Removes n sub-identifiers (kKasAll: every remaining) from `start`.
  // -2 when start is not below the count.
  virtual int erase(size_t start, size_t n) = 0;
  // As new_value_from_index / take_value_from_index, removing nothing.
  virtual IKasSnmpValue* new_value_reading_index(int tag, bool implied, size_t length,
                                                 int* pStatus = nullptr) const = 0;
  virtual int read_value_from_index(IKasSnmpValue* value, bool implied,
                                    size_t length) const = 0;
  // This identifier becomes `value`'s index form.
  virtual int write_value_as_index(const IKasSnmpValue* value, bool implied) = 0;

  // --- Reading without copies.
  // The dotted text (lent, NUL-terminated, never null) and its length.
  virtual const char* text() const = 0;
  virtual size_t text_length() const = 0;
  // Number of sub-identifiers.
  virtual size_t count() const = 0;
  // The value interface of this same object (lent).
  virtual IKasSnmpValue* value() = 0;
  virtual const IKasSnmpValue* value() const = 0;
  // Relation codes as compare, but ordering sub-identifiers as numbers, the
  // order of SNMP walks (RFC 3416 section 4.2.2): 1.9 < 1.10 < 1.102.
  // No temporaries are made. Null: -2 and -1.
  virtual int compare_numeric(const IKasOid* other, int* pStatus = nullptr) const = 0;
  virtual int compare_numeric_text(const char* text, int* pStatus = nullptr) const = 0;
  // True when this identifier equals `root` or lies below it (a walk's
  // "still inside the subtree" test; "1.3.6.1.2" is not under "1.3.6.1.25").
  virtual bool is_within(const IKasOid* root) const = 0;
  // Replaces the text (not checked; is_valid tells). -2 for null data with
  // a non-zero length, -3 (unchanged).
  virtual int set_text_bytes(const char* text, size_t length) = 0;

 protected:
  virtual ~IKasOid() = default;
};

// Syntax check of a dotted text (empty is valid): decimal numbers separated
// by single dots, no leading zeros ("0" itself is fine), each at most
// 4294967295. No sign, space, leading, trailing or double dot.
bool kas_oid_text_is_valid(const char* text, size_t length);

// Numeric order of two dotted texts, as IKasOid::compare_numeric.
int kas_oid_compare_numeric(const char* a, size_t aLength, const char* b, size_t bLength);

// The text of `value` into out[size], cut to size - 1 bytes and
// NUL-terminated: an OCTET STRING's raw octets and an identifier's dotted
// text (lent by get_bytes, no text object made), the text form of any other
// kind; empty for a null value or a kind without text. Nothing is written
// to a null or empty buffer.
void kas_copy_value_text(const IKasSnmpValue* value, char* out, size_t size);

// Creation functions. Each returns a new value that the caller owns and frees
// with release(), or null; *pStatus (optional) receives 0 or the failure.
//
// A new value of the kind `tag` names, holding the kind's initial content
// (0, empty, or all-zero octets for the address kinds). -2 for a tag no kind
// has, -3.
IKasSnmpValue* kas_create_value(int tag, int* pStatus = nullptr);
// kas_create_value, then set_int / set_uint; their failure (-5 for a kind
// without it) releases the value and is returned.
IKasSnmpValue* kas_create_value_from_int(int32_t v, int tag, int* pStatus = nullptr);
IKasSnmpValue* kas_create_value_from_uint(uint32_t v, int tag, int* pStatus = nullptr);
// kas_create_value, then set_text and is_valid; null text, a text that does
// not parse or an invalid identifier: -2.
IKasSnmpValue* kas_create_value_from_text(const char* text, int tag, int* pStatus = nullptr);
// An empty object identifier (through its value interface; as_oid() gives
// the IKasOid interface). -3.
IKasSnmpValue* kas_create_oid(int* pStatus = nullptr);
// An object identifier holding `text`; -2 when it fails the syntax check
// (null counts as empty), -3.
IKasSnmpValue* kas_create_oid_from_text(const char* text, int* pStatus = nullptr);

#endif  // SNMP_VALUE_H_
