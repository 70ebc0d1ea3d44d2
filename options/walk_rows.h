// Reads a row of a table walk of the request object: one PDU per row,
// holding one binding per column in the order the columns were added. A
// missing binding or a value of another kind reads as 0 or as empty text,
// so a short or odd answer never stops the reader.
#ifndef OPTIONS_WALK_ROWS_H_
#define OPTIONS_WALK_ROWS_H_

#include <cstddef>
#include <cstdint>

#include "snmp/packet.h"

// One row, lent by whoever holds the answer (a walk hands each answer to its
// sink only for the call).
class ZelWalkRow {
 public:
  explicit ZelWalkRow(const IKasPdu* row) : row_(row) {}

  // The integer of the row's binding at `column` (0-based); 0 when absent
  // or not a number.
  int32_t get_int(size_t column) const;
  // The text of the binding at `column` (raw octets for an OCTET STRING),
  // cut to size - 1 bytes and NUL-terminated; empty when absent.
  void get_text(size_t column, char* out, size_t size) const;

 private:
  const IKasSnmpValue* value_at(size_t column) const;

  const IKasPdu* row_;
};

#endif  // OPTIONS_WALK_ROWS_H_
