// Hand-written readers and printers for the address text forms. sscanf-style
// reading would accept signs, white space, "0x" prefixes and trailing text;
// these readers take the documented form only.
#include "common/network_address_forms.h"

#include <cstdio>
#include <cstring>

#include "common/status.h"

namespace {

int hex_value(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads one or more decimal digits at text[*pos]; false when there is none or
// the number exceeds `max`.
bool read_decimal(std::string_view text, size_t* pos, uint32_t max, uint32_t* out) noexcept {
  size_t i = *pos;
  uint32_t value = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    value = value * 10 + static_cast<uint32_t>(text[i] - '0');
    if (value > max) return false;  // also stops before the multiplication could wrap
    ++i;
  }
  if (i == *pos) return false;
  *pos = i;
  *out = value;
  return true;
}

// Reads one to `max_digits` hex digits at text[*pos].
bool read_hex(std::string_view text, size_t* pos, size_t max_digits, uint32_t* out) noexcept {
  size_t i = *pos;
  uint32_t value = 0;
  while (i < text.size() && i - *pos < max_digits && hex_value(text[i]) >= 0) {
    value = value * 16 + static_cast<uint32_t>(hex_value(text[i]));
    ++i;
  }
  if (i == *pos) return false;
  if (i < text.size() && hex_value(text[i]) >= 0) return false;  // too many digits
  *pos = i;
  *out = value;
  return true;
}

bool expect(std::string_view text, size_t* pos, char c) noexcept {
  if (*pos >= text.size() || text[*pos] != c) return false;
  ++*pos;
  return true;
}

// Exactly 2 * count hex digits into count octets.
bool read_hex_octets(std::string_view text, size_t* pos, uint8_t* out, size_t count) noexcept {
  if (text.size() - *pos < 2 * count) return false;
  for (size_t k = 0; k < count; ++k) {
    const int hi = hex_value(text[*pos + 2 * k]);
    const int lo = hex_value(text[*pos + 2 * k + 1]);
    if (hi < 0 || lo < 0) return false;
    if (out) out[k] = static_cast<uint8_t>(hi * 16 + lo);
  }
  *pos += 2 * count;
  return true;
}

bool read_dotted(std::string_view text, size_t* pos, uint8_t out[4]) noexcept {
  for (int k = 0; k < 4; ++k) {
    uint32_t v = 0;
    if (k > 0 && !expect(text, pos, '.')) return false;
    if (!read_decimal(text, pos, 255, &v)) return false;
    out[k] = static_cast<uint8_t>(v);
  }
  return true;
}

// Index prefix: the domain number (transport kinds only).
uint32_t domain_of(EKalAddressKind kind) noexcept {
  switch (kind) {
    case EKalAddressKind::kUdp: return 1;
    case EKalAddressKind::kIpx: return 5;
    default: return 0;
  }
}

}  // namespace

bool kal_read_ipv4_decimal(std::string_view text, uint8_t out[4]) noexcept {
  uint8_t octets[4];
  size_t pos = 0;
  if (!read_dotted(text, &pos, octets) || pos != text.size()) return false;
  if (out) std::memcpy(out, octets, 4);
  return true;
}

bool kal_read_ipx_text(std::string_view text, uint8_t network[4], uint8_t node[6]) noexcept {
  if (text.size() != 21) return false;
  uint8_t net[4], nd[6];
  size_t pos = 0;
  if (!read_hex_octets(text, &pos, net, 4) || !expect(text, &pos, ':') ||
      !read_hex_octets(text, &pos, nd, 6)) {
    return false;
  }
  if (network) std::memcpy(network, net, 4);
  if (node) std::memcpy(node, nd, 6);
  return true;
}

int kal_read_ipv6_groups(std::string_view text, uint8_t out[16]) noexcept {
  uint16_t head[8] = {}, tail[8] = {};
  size_t n_head = 0, n_tail = 0;
  bool compressed = false;
  size_t pos = 0;
  if (text.substr(0, 2) == "::") {
    compressed = true;
    pos = 2;
  }
  while (pos < text.size()) {
    uint32_t group = 0;
    if (!read_hex(text, &pos, 4, &group)) return kKalErrInvalidArg;
    if (n_head + n_tail >= 8) return kKalErrInvalidArg;
    (compressed ? tail[n_tail++] : head[n_head++]) = static_cast<uint16_t>(group);
    if (pos == text.size()) break;
    if (!expect(text, &pos, ':')) return kKalErrInvalidArg;
    if (pos < text.size() && text[pos] == ':') {
      if (compressed) return kKalErrInvalidArg;  // a second "::"
      compressed = true;
      ++pos;
    } else if (pos == text.size()) {
      return kKalErrInvalidArg;  // a single trailing ':'
    }
  }
  const size_t groups = n_head + n_tail;
  if (compressed ? groups > 7 : groups != 8) return kKalErrInvalidArg;
  uint16_t all[8] = {};
  for (size_t k = 0; k < n_head; ++k) all[k] = head[k];
  for (size_t k = 0; k < n_tail; ++k) all[8 - n_tail + k] = tail[k];
  for (size_t k = 0; k < 8; ++k) {
    out[2 * k] = static_cast<uint8_t>(all[k] >> 8);
    out[2 * k + 1] = static_cast<uint8_t>(all[k] & 0xff);
  }
  return kKalOk;
}

size_t kal_address_octets(EKalAddressKind kind) noexcept {
  switch (kind) {
    case EKalAddressKind::kIpv4: return 4;
    case EKalAddressKind::kIpv6: return 16;
    case EKalAddressKind::kUdp: return 6;
    case EKalAddressKind::kIpx: return 12;
  }
  return 0;
}

int kal_address_parse(EKalAddressKind kind, const char* text, uint8_t* octets,
                      size_t size) noexcept {
  const size_t need = kal_address_octets(kind);
  if (!text || !octets || need == 0 || size < need) return kKalErrInvalidArg;
  const std::string_view t(text);
  uint8_t tmp[16] = {};
  size_t pos = 0;
  uint32_t v = 0;
  bool ok = false;
  switch (kind) {
    case EKalAddressKind::kIpv4:
      ok = read_dotted(t, &pos, tmp);
      break;
    case EKalAddressKind::kIpv6:
      ok = true;
      for (int k = 0; ok && k < 8; ++k) {
        if (k > 0) ok = expect(t, &pos, ':');
        ok = ok && read_hex(t, &pos, 4, &v);
        tmp[2 * k] = static_cast<uint8_t>(v >> 8);
        tmp[2 * k + 1] = static_cast<uint8_t>(v & 0xff);
      }
      break;
    case EKalAddressKind::kUdp:
      ok = read_dotted(t, &pos, tmp) && expect(t, &pos, '/') && read_decimal(t, &pos, 65535, &v);
      tmp[4] = static_cast<uint8_t>(v >> 8);
      tmp[5] = static_cast<uint8_t>(v & 0xff);
      break;
    case EKalAddressKind::kIpx:
      ok = read_hex_octets(t, &pos, tmp, 4) && expect(t, &pos, ':') &&
           read_hex_octets(t, &pos, tmp + 4, 6) && expect(t, &pos, '/') &&
           read_hex(t, &pos, 4, &v);
      tmp[10] = static_cast<uint8_t>(v >> 8);
      tmp[11] = static_cast<uint8_t>(v & 0xff);
      break;
  }
  if (!ok || pos != t.size()) return kKalErrInvalidArg;
  std::memcpy(octets, tmp, need);
  return kKalOk;
}

int kal_address_print(EKalAddressKind kind, const uint8_t* o, size_t count, char* buf,
                      size_t size) noexcept {
  if (!o || !buf || size == 0 || count == 0 || count != kal_address_octets(kind)) {
    return kKalErrInvalidArg;
  }
  int n = -1;
  switch (kind) {
    case EKalAddressKind::kIpv4:
      n = std::snprintf(buf, size, "%d.%d.%d.%d", o[0], o[1], o[2], o[3]);
      break;
    case EKalAddressKind::kIpv6: {
      unsigned g[8];
      for (int k = 0; k < 8; ++k) g[k] = static_cast<unsigned>(o[2 * k] << 8 | o[2 * k + 1]);
      n = std::snprintf(buf, size, "%x:%x:%x:%x:%x:%x:%x:%x", g[0], g[1], g[2], g[3], g[4], g[5],
                        g[6], g[7]);
      break;
    }
    case EKalAddressKind::kUdp:
      n = std::snprintf(buf, size, "%d.%d.%d.%d/%d", o[0], o[1], o[2], o[3], o[4] << 8 | o[5]);
      break;
    case EKalAddressKind::kIpx:
      n = std::snprintf(buf, size, "%02x%02x%02x%02x:%02x%02x%02x%02x%02x%02x/%x", o[0], o[1], o[2],
                        o[3], o[4], o[5], o[6], o[7], o[8], o[9],
                        static_cast<unsigned>(o[10] << 8 | o[11]));
      break;
  }
  if (n < 0 || static_cast<size_t>(n) >= size) {
    buf[0] = '\0';
    return kKalErrInvalidArg;
  }
  return kKalOk;
}

int kal_address_to_index(EKalAddressKind kind, const uint8_t* octets, size_t count, bool implied,
                         uint32_t* subids, size_t capacity, size_t* pCount) noexcept {
  const size_t need = kal_address_octets(kind);
  if (!octets || !subids || !pCount || need == 0 || count != need) return kKalErrInvalidArg;
  const uint32_t domain = domain_of(kind);
  const size_t total = (domain ? 1 : 0) + (implied ? 0 : 1) + need;
  if (capacity < total) return kKalErrInvalidArg;
  size_t n = 0;
  if (domain) subids[n++] = domain;
  if (!implied) subids[n++] = static_cast<uint32_t>(need);
  for (size_t k = 0; k < need; ++k) subids[n++] = octets[k];
  *pCount = n;
  return kKalOk;
}

int kal_address_from_index(EKalAddressKind kind, const uint32_t* subids, size_t count,
                           bool implied, uint8_t* octets, size_t size, size_t* pUsed) noexcept {
  const size_t need = kal_address_octets(kind);
  if ((!subids && count) || !octets || need == 0 || size < need) return kKalErrInvalidArg;
  size_t n = 0;
  if (const uint32_t domain = domain_of(kind)) {
    if (n >= count || subids[n] != domain) return kKasErrBadIndex;
    ++n;
  }
  if (!implied) {
    if (n >= count || subids[n] != need) return kKasErrBadIndex;
    ++n;
  }
  if (count - n < need) return kKasErrBadIndex;
  for (size_t k = 0; k < need; ++k) {
    if (subids[n + k] > 255) return kKasErrBadIndex;
  }
  for (size_t k = 0; k < need; ++k) octets[k] = static_cast<uint8_t>(subids[n + k]);
  if (pUsed) *pUsed = n + need;
  return kKalOk;
}
