// The octet cursor of the BER encoder. It writes from the end of a buffer
// towards its start, so that every length is known by the time its header is
// written and the finished message ends exactly at the buffer's end. Not
// thread-safe; one writer per encode.
#ifndef SNMP_BER_WRITER_H_
#define SNMP_BER_WRITER_H_

#include <cstddef>
#include <cstdint>
#include <cstring>

// How writing an object identifier's content from its dotted text ended.
enum class BerOidText {
  kOk,
  kOneArc,     // a single sub-identifier has no encoding (X.690 8.19.4)
  kMalformed,  // not dotted numbers of 32 bits, or x * 40 + y beyond 32 bits
};

// After an overflow, writes are dropped and overflowed() stays true: callers
// check once, after the whole message, instead of after every octet. The
// count of octets that would have been written keeps growing, so lengths
// computed from written() stay right and tell how large the message is.
//
// The whole-element writers check the room once per element and then store
// through a local pointer: octets stored through a uint8_t pointer may alias
// the cursor itself, so a store per octet through cur_ would make the
// compiler reload it after each one.
class BerWriter {
 public:
  // `base[0..size)` must stay live while the writer is in use.
  BerWriter(uint8_t* base, size_t size) : base_(base), end_(base + size), cur_(base + size) {}

  void put_byte(uint8_t b) {
    if (overflow_ || cur_ == base_) {
      drop(1);
      return;
    }
    *--cur_ = b;
  }
  // Writes data[0..n) so that it reads forward on the wire.
  void put_bytes(const uint8_t* data, size_t n);
  // Short form below 128, else 0x80 + count followed by the minimal
  // big-endian length (X.690 8.1.3.4 and 8.1.3.5).
  void put_length(size_t n) {
    if (n < 0x80 && has_room(1)) {
      *--cur_ = static_cast<uint8_t>(n);
      return;
    }
    put_long_length(n);
  }
  void put_header(uint8_t tag, size_t content_len) {
    if (content_len < 0x80 && has_room(2)) {
      uint8_t* c = cur_ - 2;
      c[0] = tag;
      c[1] = static_cast<uint8_t>(content_len);
      cur_ = c;
      return;
    }
    // The sequences around the bindings: one or two length octets.
    if (content_len < 0x100 && has_room(3)) {
      uint8_t* c = cur_ - 3;
      c[0] = tag;
      c[1] = 0x81;
      c[2] = static_cast<uint8_t>(content_len);
      cur_ = c;
      return;
    }
    if (content_len < 0x10000 && has_room(4)) {
      uint8_t* c = cur_ - 4;
      c[0] = tag;
      c[1] = 0x82;
      c[2] = static_cast<uint8_t>(content_len >> 8);
      c[3] = static_cast<uint8_t>(content_len);
      cur_ = c;
      return;
    }
    put_long_header(tag, content_len);
  }

  // Content writers; each answers the number of content octets it wrote.
  // Two's complement, minimal (1 to 4 octets; X.690 8.3).
  size_t put_int_content(int32_t v);
  // Unsigned, minimal, with a leading 0x00 when the top bit would be set
  // (1 to 5 octets).
  size_t put_uint_content(uint32_t v);
  // The same for a 64-bit number given as its two halves (1 to 9 octets).
  size_t put_uint64_content(uint32_t high, uint32_t low);
  // One object-identifier number in base 128, most significant group first,
  // the top bit set on every octet but the last (X.690 8.19.2; 1 to 5
  // octets for 32 bits, up to 10 for 64).
  size_t put_subid(uint64_t v);
  // The content octets of an object identifier given as dotted text, read
  // from its last character back: the first two sub-identifiers x.y as
  // x * 40 + y, the others one by one (X.690 8.19). The empty text writes
  // nothing. On kOneArc or kMalformed what was written stays; the caller
  // drops the message.
  BerOidText put_oid_content(const char* text, size_t length);

  // Whole elements: content, then its length, then its tag.
  void put_integer(uint8_t tag, int32_t v) {
    // Minimal two's complement: the octets beyond n are the sign extension.
    const size_t n = (v >= -0x80 && v < 0x80)          ? 1
                     : (v >= -0x8000 && v < 0x8000)     ? 2
                     : (v >= -0x800000 && v < 0x800000) ? 3
                                                        : 4;
    put_small_number(tag, static_cast<uint32_t>(v), n);
  }
  void put_unsigned(uint8_t tag, uint32_t v) {
    if (v >= 0x80000000u) {
      // Five octets: a leading 0x00 keeps the number positive.
      put_header(tag, put_uint_content(v));
      return;
    }
    const size_t n = v < 0x80 ? 1 : v < 0x8000 ? 2 : v < 0x800000 ? 3 : 4;
    put_small_number(tag, v, n);
  }
  void put_unsigned64(uint8_t tag, uint32_t high, uint32_t low) {
    put_header(tag, put_uint64_content(high, low));
  }
  void put_octets(uint8_t tag, const uint8_t* data, size_t n) {
    if (n < 0x80 && has_room(n + 2)) {
      uint8_t* c = cur_ - n - 2;
      c[0] = tag;
      c[1] = static_cast<uint8_t>(n);
      copy_short(c + 2, data, n);
      cur_ = c;
      return;
    }
    put_bytes(data, n);
    put_header(tag, n);
  }

  // Copies n octets (distinct areas). Most contents (identifiers, short strings) are
  // under 32 octets: two overlapping fixed-size moves each, inline, instead
  // of a library call.
  static void copy_short(uint8_t* to, const uint8_t* from, size_t n) {
    if (n >= 8 && n <= 32) {
      if (n >= 16) {
        std::memcpy(to, from, 16);
        std::memcpy(to + n - 16, from + n - 16, 16);
      } else {
        std::memcpy(to, from, 8);
        std::memcpy(to + n - 8, from + n - 8, 8);
      }
    } else if (n >= 4 && n < 8) {
      std::memcpy(to, from, 4);
      std::memcpy(to + n - 4, from + n - 4, 4);
    } else if (n > 32) {
      std::memcpy(to, from, n);
    } else {
      for (size_t i = 0; i < n; ++i) to[i] = from[i];
    }
  }

  bool overflowed() const { return overflow_; }
  // True when n more octets fit: the caller may then use the unchecked
  // put_byte_unchecked for them.
  bool room_for(size_t n) const { return has_room(n); }
  void put_byte_unchecked(uint8_t b) { *--cur_ = b; }
  // Octets written so far, counting those dropped after an overflow.
  size_t written() const { return static_cast<size_t>(end_ - cur_) + dropped_; }
  // First octet of what has been written (meaningful without overflow).
  uint8_t* data() const { return cur_; }

 private:
  bool has_room(size_t n) const { return !overflow_ && static_cast<size_t>(cur_ - base_) >= n; }
  // The message cannot fit: keep the cursor where it is, so that later
  // writes cannot land in the middle of a half-written element, and count
  // what would have been written.
  void drop(size_t n) {
    overflow_ = true;
    dropped_ += n;
  }
  void put_long_length(size_t n);
  void put_long_header(uint8_t tag, size_t content_len);

  // Tag, length n and the low n octets of bits, most significant first.
  void put_small_number(uint8_t tag, uint32_t bits, size_t n) {
    if (!has_room(n + 2)) {
      drop(n + 2);
      return;
    }
    uint8_t* c = cur_ - n - 2;
    c[0] = tag;
    c[1] = static_cast<uint8_t>(n);
    for (size_t i = 0; i < n; ++i) c[2 + i] = static_cast<uint8_t>(bits >> (8 * (n - 1 - i)));
    cur_ = c;
  }

  uint8_t* const base_;
  uint8_t* const end_;
  uint8_t* cur_;
  size_t dropped_ = 0;
  bool overflow_ = false;
};

#endif  // SNMP_BER_WRITER_H_
