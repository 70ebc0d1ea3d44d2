// How much one table walk may collect. The largest table of a printer (its
// job list, its alerts) holds a few hundred rows of a few hundred octets, so
// these limits are far beyond any real device; a walk that reaches them is
// an agent whose table never ends (it keeps answering GetNext with ever
// larger identifiers inside the subtree). Such a walk ends with
// kKalErrTooMuchData instead of taking the host's memory. Time needs no
// limit of its own: every step is one exchange, bounded by (retries + 1) x
// time-out, and the row limit bounds the number of steps.
#ifndef FACADE_WALK_LIMITS_H_
#define FACADE_WALK_LIMITS_H_

#include <cstddef>

class IKasPdu;

// Rows (answers kept) one walk may collect.
inline constexpr size_t kKalWalkMaxRows = 100000;
// Octets of collected values one walk may keep (64 MiB), counted by
// kal_walk_row_octets.
inline constexpr size_t kKalWalkMaxOctets = size_t{64} << 20;
// What the objects that hold a kept answer cost on the heap besides its
// texts and octets (measured on 64-bit Linux: about 220 octets per answer
// and 360 per binding with a name of 24 characters), so that the octet limit
// bounds the memory a walk holds even when an agent sends rows of many tiny
// values.
inline constexpr size_t kKalWalkRowOctets = 256;
inline constexpr size_t kKalWalkBindingOctets = 320;

struct KalWalkLimits {
  size_t max_rows = kKalWalkMaxRows;
  size_t max_octets = kKalWalkMaxOctets;
};

// The octets one answer counts against max_octets: kKalWalkRowOctets, and
// for each binding the dotted text of its name, its value's octets (the
// dotted text of an identifier, the octets of a string or address, 1 for a
// number, 0 for NULL) and kKalWalkBindingOctets. `answer` lent; null
// counts 0.
size_t kal_walk_row_octets(const IKasPdu* answer);

#endif  // FACADE_WALK_LIMITS_H_
