// Reading dotted object-identifier texts in place: the syntax check, the
// sub-identifier count, a cursor over sub-identifiers and the two relations
// (by text and by number). Nothing here allocates. The text of an identifier
// is not checked when it is stored, so every function here copes with any
// bytes: an empty sub-identifier reads as 0, digits stop at the first other
// character, and a number beyond 32 bits is flagged, never wrapped.
#ifndef SNMP_OID_TEXT_H_
#define SNMP_OID_TEXT_H_

#include <cstddef>
#include <cstdint>

// Walks the sub-identifiers of a dotted text from the front.
class KasArcCursor {
 public:
  KasArcCursor(const char* text, size_t length)
      : p_(text), end_(text + length), done_(length == 0) {}
  bool done() const { return done_; }
  // Reads the next sub-identifier; false when none is left. *pValue is the
  // number (0xFFFFFFFF and *pOverflow true when it does not fit 32 bits).
  bool next(uint32_t* pValue, bool* pOverflow = nullptr);
  // The next sub-identifier's leading digits without the leading zeros, as
  // a span of the text; false when none is left.
  bool next_digits(const char** pDigits, size_t* pCount);

 private:
  const char* p_;
  const char* end_;
  bool done_;
};

// Number of sub-identifiers: 0 for the empty text, else dots + 1.
size_t kas_oid_text_count(const char* text, size_t length);
// Offset of the end of the first n sub-identifiers (the n-th dot), or
// `length` when the text has no more than n.
size_t kas_oid_text_prefix_end(const char* text, size_t length, size_t n);
// The relation of a to b by characters (0 equal, 1 a is an ancestor, 2 a
// descendant, 3 a sorts first, 4 a sorts after).
int kas_oid_compare_text(const char* a, size_t aLength, const char* b, size_t bLength);
// Writes v in decimal into out[10] and answers the number of digits.
size_t kas_format_uint32(uint32_t v, char* out);

#endif  // SNMP_OID_TEXT_H_
