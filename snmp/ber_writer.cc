// The backwards-running BER octet cursor.
#include "snmp/ber_writer.h"

#include <cstring>

#include "snmp/ber_tags.h"

void BerWriter::put_bytes(const uint8_t* data, size_t n) {
  if (!has_room(n)) {
    drop(n);
    return;
  }
  cur_ -= n;
  if (n) std::memcpy(cur_, data, n);
}

void BerWriter::put_long_length(size_t n) {
  if (n < 0x80) {
    put_byte(static_cast<uint8_t>(n));
    return;
  }
  size_t count = 0;
  for (size_t v = n; v != 0; v >>= 8) ++count;
  // The whole length or nothing: no half-written length before a drop.
  if (!has_room(count + 1)) {
    drop(count + 1);
    return;
  }
  uint8_t* c = cur_ - count - 1;
  c[0] = static_cast<uint8_t>(kKasBerLongLength | count);
  for (size_t i = count; i > 0; --i) {
    c[i] = static_cast<uint8_t>(n & 0xff);
    n >>= 8;
  }
  cur_ = c;
}

void BerWriter::put_long_header(uint8_t tag, size_t content_len) {
  put_long_length(content_len);
  put_byte(tag);
}

size_t BerWriter::put_int_content(int32_t v) {
  // Work on the bit pattern: shifting a negative number is not portable.
  uint32_t u = static_cast<uint32_t>(v);
  size_t n = 0;
  for (;;) {
    const uint8_t low = static_cast<uint8_t>(u & 0xff);
    put_byte(low);
    ++n;
    if (n == 4) break;
    const uint32_t rest = u >> 8;
    // Stop when the remaining octets are only the sign extension of `low`.
    const bool negative = (low & 0x80) != 0;
    if (!negative && rest == 0) break;
    if (negative && rest == (0xffffffffu >> (8 * n))) break;
    u = rest;
  }
  return n;
}

size_t BerWriter::put_uint_content(uint32_t v) { return put_uint64_content(0, v); }

size_t BerWriter::put_uint64_content(uint32_t high, uint32_t low) {
  uint64_t v = (static_cast<uint64_t>(high) << 32) | low;
  size_t n = 0;
  uint8_t last = 0;
  do {
    last = static_cast<uint8_t>(v & 0xff);
    put_byte(last);
    ++n;
    v >>= 8;
  } while (v != 0);
  if (last & 0x80) {
    put_byte(0x00);  // keep the number positive
    ++n;
  }
  return n;
}

size_t BerWriter::put_subid(uint64_t v) {
  if (v < 0x80 && room_for(1)) {
    put_byte_unchecked(static_cast<uint8_t>(v));
    return 1;
  }
  put_byte(static_cast<uint8_t>(v & 0x7f));
  size_t n = 1;
  v >>= 7;
  while (v != 0) {
    put_byte(static_cast<uint8_t>(0x80 | (v & 0x7f)));
    ++n;
    v >>= 7;
  }
  return n;
}

// One pass from the last character back, so no array of arcs is needed. The
// two arcs read last are the first two of the identifier; they are held back
// and written as one.
BerOidText BerWriter::put_oid_content(const char* text, size_t length) {
  if (length == 0) return BerOidText::kOk;
  uint32_t held[2] = {0, 0};  // held[0]: the arc read last
  size_t arcs = 0;
  size_t i = length;
  while (true) {
    uint64_t arc = 0;
    uint64_t scale = 1;
    size_t digits = 0;
    while (i > 0 && text[i - 1] != '.') {
      const char c = text[--i];
      if (c < '0' || c > '9' || digits == 10) return BerOidText::kMalformed;
      arc += static_cast<uint64_t>(c - '0') * scale;
      scale *= 10;
      ++digits;
    }
    if (digits == 0 || arc > UINT32_MAX) return BerOidText::kMalformed;
    if (arcs >= 2) put_subid(held[1]);
    held[1] = held[0];
    held[0] = static_cast<uint32_t>(arc);
    ++arcs;
    if (i == 0) break;
    --i;  // the dot
    if (i == 0) return BerOidText::kMalformed;  // leading dot
  }
  if (arcs == 1) return BerOidText::kOneArc;
  const uint64_t first = uint64_t{held[0]} * 40 + held[1];
  if (first > UINT32_MAX) return BerOidText::kMalformed;
  put_subid(first);
  return BerOidText::kOk;
}
