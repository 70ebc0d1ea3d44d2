#include "snmp/oid_text.h"

#include <cstring>

#include "snmp/value.h"

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Compares two runs of decimal digits (no leading zeros) as numbers.
int compare_digits(const char* a, size_t an, const char* b, size_t bn) {
  if (an != bn) return an < bn ? -1 : 1;
  const int c = an ? std::memcmp(a, b, an) : 0;
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace

bool KasArcCursor::next(uint32_t* pValue, bool* pOverflow) {
  if (done_) return false;
  uint64_t v = 0;
  bool overflow = false;
  const char* p = p_;
  while (p < end_ && is_digit(*p)) {
    v = v * 10 + static_cast<uint64_t>(*p - '0');
    if (v > kKasMaxSubId) {
      overflow = true;
      v = kKasMaxSubId;  // stays small enough never to wrap
    }
    ++p;
  }
  while (p < end_ && *p != '.') ++p;
  if (p < end_) {
    p_ = p + 1;
  } else {
    p_ = p;
    done_ = true;
  }
  *pValue = static_cast<uint32_t>(v);
  if (pOverflow) *pOverflow = overflow;
  return true;
}

bool KasArcCursor::next_digits(const char** pDigits, size_t* pCount) {
  if (done_) return false;
  const char* p = p_;
  while (p < end_ && *p == '0') ++p;
  const char* digits = p;
  while (p < end_ && is_digit(*p)) ++p;
  *pDigits = digits;
  *pCount = static_cast<size_t>(p - digits);
  while (p < end_ && *p != '.') ++p;
  if (p < end_) {
    p_ = p + 1;
  } else {
    p_ = p;
    done_ = true;
  }
  return true;
}

bool kas_oid_text_is_valid(const char* text, size_t length) {
  if (length == 0) return true;
  if (!text) return false;
  static const char kMax[] = "4294967295";
  size_t i = 0;
  while (true) {
    const size_t start = i;
    while (i < length && is_digit(text[i])) ++i;
    const size_t n = i - start;
    if (n == 0) return false;                       // empty, or not a digit
    if (n > 1 && text[start] == '0') return false;  // leading zero
    if (n > 10 || (n == 10 && std::memcmp(text + start, kMax, 10) > 0)) return false;
    if (i == length) return true;
    if (text[i] != '.') return false;
    ++i;
    if (i == length) return false;  // trailing dot
  }
}

size_t kas_oid_text_count(const char* text, size_t length) {
  if (length == 0) return 0;
  size_t dots = 0;
  for (const char* p = text; (p = static_cast<const char*>(
                                  std::memchr(p, '.', length - (p - text)))) != nullptr;
       ++p) {
    ++dots;
  }
  return dots + 1;
}

size_t kas_oid_text_prefix_end(const char* text, size_t length, size_t n) {
  if (n == 0) return 0;
  const char* p = text;
  const char* end = text + length;
  while (p < end) {
    const char* dot = static_cast<const char*>(std::memchr(p, '.', end - p));
    if (!dot) return length;
    if (--n == 0) return static_cast<size_t>(dot - text);
    p = dot + 1;
  }
  return length;
}

int kas_oid_compare_text(const char* a, size_t an, const char* b, size_t bn) {
  size_t i = 0;
  for (; i < an && i < bn; ++i) {
    if (a[i] != b[i]) {
      return static_cast<unsigned char>(a[i]) > static_cast<unsigned char>(b[i])
                 ? kKasOidAfter
                 : kKasOidBefore;
    }
  }
  if (an == bn) return kKasOidEqual;
  if (i == an) return b[i] == '.' ? kKasOidAncestor : kKasOidBefore;
  return a[i] == '.' ? kKasOidDescendant : kKasOidAfter;
}

int kas_oid_compare_numeric(const char* a, size_t an, const char* b, size_t bn) {
  if (!a) an = 0;
  if (!b) bn = 0;
  KasArcCursor ca(a, an);
  KasArcCursor cb(b, bn);
  while (true) {
    const bool ha = !ca.done();
    const bool hb = !cb.done();
    if (!ha && !hb) return kKasOidEqual;
    if (!ha) return kKasOidAncestor;
    if (!hb) return kKasOidDescendant;
    const char* da;
    const char* db;
    size_t na, nb;
    ca.next_digits(&da, &na);
    cb.next_digits(&db, &nb);
    const int c = compare_digits(da, na, db, nb);
    if (c != 0) return c < 0 ? kKasOidBefore : kKasOidAfter;
  }
}

size_t kas_format_uint32(uint32_t v, char* out) {
  char tmp[10];
  size_t n = 0;
  do {
    tmp[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v);
  for (size_t i = 0; i < n; ++i) out[i] = tmp[n - 1 - i];
  return n;
}
