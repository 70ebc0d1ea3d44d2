// The forward BER octet cursor.
#include "snmp/ber_reader.h"

#include <cstring>

#include "snmp/ber_tags.h"

namespace {

// "00".."99": two digits per table look-up.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

size_t decimal_digits(uint32_t v) {
  size_t n = 1;
  while (v >= 100) {
    v /= 100;
    n += 2;
  }
  return v >= 10 ? n + 1 : n;
}

// Writes v in decimal ending just before `end` (digits(v) octets).
void write_decimal(uint32_t v, char* end) {
  while (v >= 100) {
    const uint32_t pair = (v % 100) * 2;
    v /= 100;
    *--end = kDigitPairs[pair + 1];
    *--end = kDigitPairs[pair];
  }
  if (v >= 10) {
    *--end = kDigitPairs[v * 2 + 1];
    *--end = kDigitPairs[v * 2];
  } else {
    *--end = static_cast<char>('0' + v);
  }
}

// ".0" to ".127": the text of every one-octet arc, padded to four octets
// so that it is stored with one write, and its real length.
struct ArcText {
  char text[4];
  uint8_t length;
};
constexpr ArcText make_arc_text(uint32_t v) {
  ArcText a{{'.', 0, 0, 0}, 0};
  if (v < 10) {
    a.text[1] = static_cast<char>('0' + v);
    a.length = 2;
  } else if (v < 100) {
    a.text[1] = static_cast<char>('0' + v / 10);
    a.text[2] = static_cast<char>('0' + v % 10);
    a.length = 3;
  } else {
    a.text[1] = static_cast<char>('0' + v / 100);
    a.text[2] = static_cast<char>('0' + v / 10 % 10);
    a.text[3] = static_cast<char>('0' + v % 10);
    a.length = 4;
  }
  return a;
}
struct ArcTextTable {
  ArcText arcs[128];
  constexpr ArcTextTable() : arcs() {
    for (uint32_t v = 0; v < 128; ++v) arcs[v] = make_arc_text(v);
  }
};
constexpr ArcTextTable kArcTexts;

}  // namespace

bool BerReader::set_window(size_t n) {
  if (error_) return false;
  if (n > static_cast<size_t>(end_ - start_)) return fail();
  end_ = start_ + n;
  if (cur_ > end_) return fail();
  return true;
}

bool BerReader::read_long_length(size_t* n, bool within_window) {
  uint8_t first = 0;
  if (!read_byte(&first)) return false;
  size_t len = 0;
  if (first < kKasBerLongLength) {
    len = first;
  } else {
    // RFC 3417 section 8: definite lengths only.
    if (first == kKasBerIndefiniteLength) return fail();
    size_t count = first & 0x7f;
    // X.690 8.1.3.5 c: 0xFF is reserved.
    if (count == 0x7f) return fail();
    if (count > remaining()) return fail();
    for (; count != 0; --count) {
      const uint8_t b = *cur_++;
      // Checked before the shift: a length that needs more bits than size_t
      // cannot fit the window anyway. Leading zero octets are allowed.
      if (len > (SIZE_MAX >> 8)) return fail();
      len = (len << 8) | b;
    }
  }
  if (within_window && len > remaining()) return fail();
  *n = len;
  return true;
}

bool BerReader::read_long_int32_content(size_t n, uint32_t* bits) {
  const uint8_t* p = nullptr;
  if (!read_bytes(n, &p)) return false;
  if (n == 0) {
    *bits = 0;
    return true;
  }
  if (n > 4) {
    for (size_t i = 0; i + 4 < n; ++i) {
      if (p[i] != 0x00) return fail();
    }
    p += n - 4;
    *bits = (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
    return true;
  }
  uint32_t v = (p[0] & 0x80) ? 0xffffffffu : 0u;  // sign extension
  for (size_t i = 0; i < n; ++i) v = (v << 8) | p[i];
  *bits = v;
  return true;
}

bool BerReader::read_uint64_content(size_t n, uint32_t* high, uint32_t* low) {
  const uint8_t* p = nullptr;
  if (!read_bytes(n, &p)) return false;
  if (n > 8) {
    for (size_t i = 0; i + 8 < n; ++i) {
      if (p[i] != 0x00) return fail();
    }
    p += n - 8;
    n = 8;
  }
  uint64_t v = 0;
  for (size_t i = 0; i < n; ++i) v = (v << 8) | p[i];
  *high = static_cast<uint32_t>(v >> 32);
  *low = static_cast<uint32_t>(v);
  return true;
}

namespace {

// One base-128 number of an object identifier at *pp (X.690 8.19.2: top bit
// set on every octet but the last; the first octet of a minimal number is
// never 0x80). `end` is the end of the reader's window, which tells a number
// cut by the end of the data from one running past its content.
BerOidResult read_number(const uint8_t** pp, const uint8_t* stop, const uint8_t* end,
                         uint32_t* pValue, bool* pMinimal) {
  const uint8_t* p = *pp;
  uint32_t v = *p++;
  if (v & 0x80) {
    if (v == 0x80) *pMinimal = false;
    v &= 0x7f;
    while (true) {
      if (p == stop) {
        return stop == end ? BerOidResult::kOutOfData : BerOidResult::kPastLength;
      }
      const uint8_t b = *p++;
      // nghttp2's rule: refuse before the shift would lose bits.
      if (v > (UINT32_MAX >> 7)) return BerOidResult::kOverflow;
      v = (v << 7) | (b & 0x7f);
      if (!(b & 0x80)) break;
    }
  }
  *pp = p;
  *pValue = v;
  return BerOidResult::kOk;
}

// Writes "." and v at t; answers the new end.
char* put_arc(char* t, uint32_t v) {
  if (v < 0x80) {
    const ArcText& a = kArcTexts.arcs[v];
    std::memcpy(t, a.text, sizeof a.text);
    return t + a.length;
  }
  *t++ = '.';
  t += decimal_digits(v);
  write_decimal(v, t);
  return t;
}

}  // namespace

BerOidResult BerReader::read_oid_text(size_t n, char* text, size_t cap, size_t* len,
                                      BerOidShape* shape) {
  *len = 0;
  if (error_ || n > remaining()) {
    fail();
    return BerOidResult::kPastLength;
  }
  const uint8_t* p = cur_;
  const uint8_t* const stop = cur_ + n;
  char* t = text;
  size_t arcs = 0;
  bool minimal = true;
  BerOidResult result = BerOidResult::kOk;
  if (cap >= oid_text_bound(n)) {
    // Room for the longest text these octets can give, and for the
    // four-octet stores of put_arc: no check per arc.
    if (p != stop) {
      uint32_t v = 0;
      result = read_number(&p, stop, end_, &v, &minimal);
      if (result == BerOidResult::kOk) {
        // X.690 8.19.4: the first number is x * 40 + y with x at most 2.
        const uint32_t x = v < 80 ? v / 40 : 2;
        *t++ = static_cast<char>('0' + x);
        t = put_arc(t, v - 40 * x);
        arcs = 2;
      }
    }
    while (result == BerOidResult::kOk && p != stop) {
      uint32_t v = *p;
      if (v < 0x80) {
        ++p;  // most arcs after the first are one octet
      } else {
        result = read_number(&p, stop, end_, &v, &minimal);
        if (result != BerOidResult::kOk) break;
      }
      t = put_arc(t, v);
      ++arcs;
    }
  } else {
    while (p != stop) {
      uint32_t v = 0;
      result = read_number(&p, stop, end_, &v, &minimal);
      if (result != BerOidResult::kOk) break;
      uint32_t x = 0;
      if (arcs == 0) {
        x = v < 80 ? v / 40 : 2;
        v -= 40 * x;
      }
      // "x." before the first arc, a dot before every other.
      const size_t need = (arcs == 0 ? 2 : 1) + decimal_digits(v);
      if (static_cast<size_t>(text + cap - t) < need) {
        result = BerOidResult::kNoRoom;
        break;
      }
      if (arcs == 0) {
        *t++ = static_cast<char>('0' + x);
        ++arcs;
      }
      *t++ = '.';
      t += decimal_digits(v);
      write_decimal(v, t);
      ++arcs;
    }
  }
  if (result != BerOidResult::kOk) {
    fail();
    return result;
  }
  cur_ = stop;
  *len = static_cast<size_t>(t - text);
  if (shape) {
    shape->arcs = arcs;
    shape->minimal = minimal;
  }
  return BerOidResult::kOk;
}

BerOidResult BerReader::scan_long_oid(size_t n, BerOidShape* shape) {
  if (error_ || n > remaining()) {
    fail();
    return BerOidResult::kPastLength;
  }
  const uint8_t* p = cur_;
  const uint8_t* const stop = cur_ + n;
  size_t numbers = 0;
  bool minimal = true;
  while (p != stop) {
    if (*p < 0x80) {
      ++p;  // most numbers are one octet
    } else {
      uint32_t v = 0;
      const BerOidResult result = read_number(&p, stop, end_, &v, &minimal);
      if (result != BerOidResult::kOk) {
        fail();
        return result;
      }
    }
    ++numbers;
  }
  cur_ = stop;
  // The first number holds the first two arcs.
  shape->arcs = numbers == 0 ? 0 : numbers + 1;
  shape->minimal = minimal;
  return BerOidResult::kOk;
}
