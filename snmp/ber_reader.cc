// The forward BER octet cursor.
#include "snmp/ber_reader.h"

#include "snmp/ber_tags.h"

namespace {

// Writes `v` in decimal at text[*len..cap); false when it does not fit.
// Arcs are mostly below 100, so those take no division loop.
bool append_decimal(uint32_t v, char* text, size_t cap, size_t* len) {
  if (v < 10) {
    if (cap - *len < 1) return false;
    text[(*len)++] = static_cast<char>('0' + v);
    return true;
  }
  if (v < 100) {
    if (cap - *len < 2) return false;
    text[(*len)++] = static_cast<char>('0' + v / 10);
    text[(*len)++] = static_cast<char>('0' + v % 10);
    return true;
  }
  char digits[10];
  size_t n = 0;
  do {
    digits[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  if (cap - *len < n) return false;
  while (n != 0) text[(*len)++] = digits[--n];
  return true;
}

}  // namespace

bool BerReader::set_window(size_t n) {
  if (error_) return false;
  if (n > static_cast<size_t>(end_ - start_)) return fail();
  end_ = start_ + n;
  if (cur_ > end_) return fail();
  return true;
}

bool BerReader::peek_byte(uint8_t* b) const {
  if (error_ || cur_ == end_) return false;
  *b = *cur_;
  return true;
}

bool BerReader::read_byte(uint8_t* b) {
  if (error_) return false;
  if (cur_ == end_) return fail();
  *b = *cur_++;
  return true;
}

bool BerReader::expect_tag(uint8_t tag) {
  uint8_t b = 0;
  if (!read_byte(&b)) return false;
  if (b != tag) return fail();
  return true;
}

bool BerReader::read_length(size_t* n, bool within_window) {
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

bool BerReader::read_bytes(size_t n, const uint8_t** data) {
  if (error_) return false;
  if (n > remaining()) return fail();
  *data = cur_;
  cur_ += n;
  return true;
}

bool BerReader::read_int32_content(size_t n, uint32_t* bits) {
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

BerOidResult BerReader::read_oid_text(size_t n, char* text, size_t cap, size_t* len) {
  *len = 0;
  if (error_ || n > remaining()) {
    fail();
    return BerOidResult::kPastLength;
  }
  const uint8_t* p = cur_;
  const uint8_t* const stop = cur_ + n;
  bool first = true;
  while (p != stop) {
    // X.690 8.19.2: base 128, top bit set on every octet but the last.
    uint32_t v = 0;
    bool done = false;
    while (p != stop) {
      const uint8_t b = *p++;
      // nghttp2's rule: refuse before the shift would lose bits.
      if (v > (UINT32_MAX >> 7)) {
        fail();
        return BerOidResult::kOverflow;
      }
      v = (v << 7) | (b & 0x7f);
      if (!(b & 0x80)) {
        done = true;
        break;
      }
    }
    if (!done) {
      fail();
      return stop == end_ ? BerOidResult::kOutOfData : BerOidResult::kPastLength;
    }
    bool room = true;
    if (first) {
      const uint32_t x = v / 40 < 2 ? v / 40 : 2;
      room = append_decimal(x, text, cap, len) && *len < cap;
      if (room) {
        text[(*len)++] = '.';
        room = append_decimal(v - 40 * x, text, cap, len);
      }
      first = false;
    } else {
      room = *len < cap;
      if (room) {
        text[(*len)++] = '.';
        room = append_decimal(v, text, cap, len);
      }
    }
    if (!room) {
      fail();
      return BerOidResult::kNoRoom;
    }
  }
  cur_ = stop;
  return BerOidResult::kOk;
}
