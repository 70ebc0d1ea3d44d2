// The forward octet cursor of the BER decoder. Every read knows where the
// data ends: lengths are checked against the window before they are used,
// and nothing is read past its end. Errors are sticky: after the first
// failure every read answers false, so reads chain with && and the caller
// checks once. Not thread-safe; one reader per decode.
#ifndef SNMP_BER_READER_H_
#define SNMP_BER_READER_H_

#include <cstddef>
#include <cstdint>

// How reading an object identifier's content ended.
enum class BerOidResult {
  kOk,
  // The last number's octets run on past the content, and the window has
  // more octets after it.
  kPastLength,
  // The last number's octets run on to the very end of the window.
  kOutOfData,
  // A number does not fit in 32 bits (the first pair, x * 40 + y, included).
  kOverflow,
  // The text does not fit the caller's buffer.
  kNoRoom,
};

class BerReader {
 public:
  // `data[0..size)` must stay live while the reader is in use.
  BerReader(const uint8_t* data, size_t size)
      : start_(data), cur_(data), end_(data + size) {}

  bool failed() const { return error_; }
  // Octets left before the end of the window.
  size_t remaining() const { return static_cast<size_t>(end_ - cur_); }
  // Octets consumed since the start.
  size_t offset() const { return static_cast<size_t>(cur_ - start_); }
  const uint8_t* position() const { return cur_; }
  const uint8_t* start() const { return start_; }
  const uint8_t* end() const { return end_; }

  // Moves the end of the window to start + n, dropping what follows; n past
  // the current end is an error.
  bool set_window(size_t n);
  // Marks the reader failed (a check by the caller found a malformation).
  bool fail() {
    error_ = true;
    return false;
  }

  // The next octet, without consuming it.
  bool peek_byte(uint8_t* b) const;
  bool read_byte(uint8_t* b);
  // The next octet must equal `tag`.
  bool expect_tag(uint8_t tag);
  // A definite length that fits in the remaining window. The indefinite
  // form 0x80 and lengths running past the window fail. With
  // `within_window` false the length octets must still be there, but the
  // length itself is not compared with the window: the caller compares it
  // and reports the difference.
  bool read_length(size_t* n, bool within_window = true);
  // expect_tag(tag), then read_length.
  bool read_header(uint8_t tag, size_t* n) { return expect_tag(tag) && read_length(n); }
  // Lends the next n octets and consumes them.
  bool read_bytes(size_t n, const uint8_t** data);

  // n content octets of an INTEGER or an unsigned 32-bit kind, sign-extended
  // from the first octet; 0 octets read as 0. More than four octets are
  // accepted only when every octet before the last four is 0x00 (a positive
  // number that needs 32 bits); the 32 bits are then taken as they are.
  bool read_int32_content(size_t n, uint32_t* bits);
  // n content octets of a Counter64: the last four are the low half, those
  // before them the high half; octets before the last eight must be 0x00.
  // n = 0 reads as 0.
  bool read_uint64_content(size_t n, uint32_t* high, uint32_t* low);
  // n content octets of an object identifier as dotted decimal text in
  // text[0..cap), not NUL-terminated; *len receives its length. The first
  // number n splits into x = min(n / 40, 2) and y = n - 40 * x (X.690
  // 8.19.4). On a result other than kOk the reader is failed.
  BerOidResult read_oid_text(size_t n, char* text, size_t cap, size_t* len);

  // Text room that read_oid_text needs at most for n content octets.
  static size_t oid_text_capacity(size_t n) { return 11 * (n + 1); }

 private:
  const uint8_t* const start_;
  const uint8_t* cur_;
  const uint8_t* end_;
  bool error_ = false;
};

#endif  // SNMP_BER_READER_H_
