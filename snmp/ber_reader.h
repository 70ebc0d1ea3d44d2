// The forward octet cursor of the BER decoder. Every read knows where the
// data ends: lengths are checked against the window before they are used,
// and nothing is read past its end. Errors are sticky: after the first
// failure every read answers false, so reads chain with && and the caller
// checks once. Not thread-safe; one reader per decode.
#ifndef SNMP_BER_READER_H_
#define SNMP_BER_READER_H_

#include <cstddef>
#include <cstdint>
#include <cstring>

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

// What read_oid_text found besides the text.
struct BerOidShape {
  size_t arcs = 0;  // sub-identifiers in the text
  // True when every number is in its minimal form (no leading 0x80 octet,
  // X.690 8.19.2), so that the content octets are exactly what an encoder
  // writes for the text.
  bool minimal = true;
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
  bool peek_byte(uint8_t* b) const {
    if (error_ || cur_ == end_) return false;
    *b = *cur_;
    return true;
  }
  bool read_byte(uint8_t* b) {
    if (error_) return false;
    if (cur_ == end_) return fail();
    *b = *cur_++;
    return true;
  }
  // The next octet must equal `tag`.
  bool expect_tag(uint8_t tag) {
    uint8_t b = 0;
    if (!read_byte(&b)) return false;
    if (b != tag) return fail();
    return true;
  }
  // A definite length that fits in the remaining window. The indefinite
  // form 0x80 and lengths running past the window fail. With
  // `within_window` false the length octets must still be there, but the
  // length itself is not compared with the window: the caller compares it
  // and reports the difference.
  bool read_length(size_t* n, bool within_window = true) {
    // The short form inline; the long form and every failure out of line.
    if (!error_ && cur_ != end_ && *cur_ < 0x80) {
      const size_t len = *cur_;
      if (!within_window || len < static_cast<size_t>(end_ - cur_)) {
        ++cur_;
        *n = len;
        return true;
      }
    }
    return read_long_length(n, within_window);
  }
  // expect_tag(tag), then read_length.
  bool read_header(uint8_t tag, size_t* n) {
    // Tag and a short length that fits, the usual case, with one check of
    // the window.
    if (!error_ && end_ - cur_ >= 2 && cur_[0] == tag && cur_[1] < 0x80 &&
        static_cast<size_t>(cur_[1]) <= static_cast<size_t>(end_ - cur_) - 2) {
      *n = cur_[1];
      cur_ += 2;
      return true;
    }
    return expect_tag(tag) && read_length(n);
  }
  // Lends the next n octets and consumes them.
  bool read_bytes(size_t n, const uint8_t** data) {
    if (error_) return false;
    if (n > remaining()) return fail();
    *data = cur_;
    cur_ += n;
    return true;
  }

  // n content octets of an INTEGER or an unsigned 32-bit kind, sign-extended
  // from the first octet; 0 octets read as 0. More than four octets are
  // accepted only when every octet before the last four is 0x00 (a positive
  // number that needs 32 bits); the 32 bits are then taken as they are.
  bool read_int32_content(size_t n, uint32_t* bits) {
    if (n - 1 < 4 && !error_ && n <= remaining()) {
      // One to four octets, the usual case, inline.
      const uint8_t* p = cur_;
      cur_ += n;
      uint32_t v = (p[0] & 0x80) ? 0xffffffffu : 0u;  // sign extension
      for (size_t i = 0; i < n; ++i) v = (v << 8) | p[i];
      *bits = v;
      return true;
    }
    return read_long_int32_content(n, bits);
  }
  // n content octets of a Counter64: the last four are the low half, those
  // before them the high half; octets before the last eight must be 0x00.
  // n = 0 reads as 0.
  bool read_uint64_content(size_t n, uint32_t* high, uint32_t* low);
  // n content octets of an object identifier as dotted decimal text in
  // text[0..cap), not NUL-terminated; *len receives its length. The first
  // number n splits into x = min(n / 40, 2) and y = n - 40 * x (X.690
  // 8.19.4). On a result other than kOk the reader is failed.
  BerOidResult read_oid_text(size_t n, char* text, size_t cap, size_t* len,
                             BerOidShape* shape = nullptr);
  // The same checks and shape without writing the text: read_oid_text on
  // these octets later answers kOk.
  BerOidResult scan_oid(size_t n, BerOidShape* shape) {
    // Most identifiers have only one-octet numbers: one pass over the
    // octets, eight at a time (the last eight, or the first and last four,
    // overlapping), tells, and then there is nothing to check.
    if (!error_ && n <= remaining()) {
      const uint8_t* p = cur_;
      uint64_t any_long = 0;
      if (n >= 8) {
        for (size_t i = 0; i + 8 <= n; i += 8) any_long |= load64(p + i);
        any_long |= load64(p + n - 8);
      } else if (n >= 4) {
        any_long = load32(p) | load32(p + n - 4);
      } else {
        for (size_t i = 0; i < n; ++i) any_long |= p[i];
      }
      if (!(any_long & 0x8080808080808080u)) {
        cur_ += n;
        shape->arcs = n == 0 ? 0 : n + 1;  // the first number holds two arcs
        shape->minimal = true;
        return BerOidResult::kOk;
      }
    }
    return scan_long_oid(n, shape);
  }

  // Text room that read_oid_text needs at most for n content octets.
  static size_t oid_text_capacity(size_t n) { return 11 * (n + 1); }
  // The tighter bound it actually needs: no number of m octets has more
  // than 4m - 1 digits ("x.y" from one octet is at most "2.47"), and the
  // four-octet stores of one-octet arcs end within 4n + 1 octets. With this
  // much room no arc checks its room.
  static size_t oid_text_bound(size_t n) { return 4 * n + 2; }

 private:
  static uint64_t load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
  }
  static uint32_t load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
  }
  bool read_long_length(size_t* n, bool within_window);
  bool read_long_int32_content(size_t n, uint32_t* bits);
  BerOidResult scan_long_oid(size_t n, BerOidShape* shape);

  const uint8_t* const start_;
  const uint8_t* cur_;
  const uint8_t* end_;
  bool error_ = false;
};

#endif  // SNMP_BER_READER_H_
