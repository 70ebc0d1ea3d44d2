// The octet cursor of the BER encoder. It writes from the end of a buffer
// towards its start, so that every length is known by the time its header is
// written and the finished message ends exactly at the buffer's end. Not
// thread-safe; one writer per encode.
#ifndef SNMP_BER_WRITER_H_
#define SNMP_BER_WRITER_H_

#include <cstddef>
#include <cstdint>

// After an overflow, writes are dropped and overflowed() stays true: callers
// check once, after the whole message, instead of after every octet. The
// count of octets that would have been written keeps growing, so lengths
// computed from written() stay right and tell how large the message is.
class BerWriter {
 public:
  // `base[0..size)` must stay live while the writer is in use.
  BerWriter(uint8_t* base, size_t size) : base_(base), cur_(base + size) {}

  void put_byte(uint8_t b) {
    ++written_;
    if (overflow_ || cur_ == base_) {
      overflow_ = true;
      return;
    }
    *--cur_ = b;
  }
  // Writes data[0..n) so that it reads forward on the wire.
  void put_bytes(const uint8_t* data, size_t n);
  // Short form below 128, else 0x80 + count followed by the minimal
  // big-endian length (X.690 8.1.3.4 and 8.1.3.5).
  void put_length(size_t n);
  void put_header(uint8_t tag, size_t content_len) {
    put_length(content_len);
    put_byte(tag);
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

  // Whole elements: content, then its length, then its tag.
  void put_integer(uint8_t tag, int32_t v) { put_header(tag, put_int_content(v)); }
  void put_unsigned(uint8_t tag, uint32_t v) { put_header(tag, put_uint_content(v)); }
  void put_unsigned64(uint8_t tag, uint32_t high, uint32_t low) {
    put_header(tag, put_uint64_content(high, low));
  }
  void put_octets(uint8_t tag, const uint8_t* data, size_t n) {
    put_bytes(data, n);
    put_header(tag, n);
  }

  bool overflowed() const { return overflow_; }
  // True when n more octets fit: the caller may then use the unchecked
  // put_byte_unchecked for them.
  bool room_for(size_t n) const { return !overflow_ && static_cast<size_t>(cur_ - base_) >= n; }
  void put_byte_unchecked(uint8_t b) {
    ++written_;
    *--cur_ = b;
  }
  // Octets written so far, counting those dropped after an overflow.
  size_t written() const { return written_; }
  // First octet of what has been written (meaningful without overflow).
  uint8_t* data() const { return cur_; }

 private:
  uint8_t* const base_;
  uint8_t* cur_;
  size_t written_ = 0;
  bool overflow_ = false;
};

#endif  // SNMP_BER_WRITER_H_
