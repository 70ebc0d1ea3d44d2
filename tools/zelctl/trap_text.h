// One received trap as zelctl shows it: a plain record made from the decoded
// packet, printed as one text block or as one JSON line. Bindings under the
// Printer MIB's alert table are named (prtAlertSeverityLevel, ...) and their
// numbers given their meaning (critical, ...).
#ifndef TOOLS_ZELCTL_TRAP_TEXT_H_
#define TOOLS_ZELCTL_TRAP_TEXT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "tools/zelctl/report_json.h"

namespace zelctl {

struct TrapBinding {
  std::string oid;
  std::string type;   // "INTEGER", "OCTET STRING", ...
  std::string value;  // display text; octets that are no plain text in hex "0x..."
};

struct TrapRecord {
  std::string time;       // UTC, when it arrived
  std::string source;     // sender address
  int32_t source_port = 0;
  std::string version;    // "v1" or "v2c"
  std::string community;  // as printable text or hex
  std::string trap_oid;
  uint32_t uptime = 0;    // the time-stamp, hundredths of a second
  std::vector<TrapBinding> bindings;
};

// The column name of an alert table object (1.3.6.1.2.1.43.18.1.1.C.D.I):
// "prtAlertSeverityLevel.D.I"; "" for other objects.
std::string alert_column_name(const std::string& oid);
// The meaning of an alert column's number (severity, group, code), or "".
std::string alert_column_meaning(const std::string& oid, const std::string& value);

// Plain text for octets: as they are when every octet is printable ASCII,
// else "0x" and lower-case hex.
std::string printable_or_hex(const std::string& octets);

std::string trap_text(const TrapRecord& trap);
Json trap_json(const TrapRecord& trap);

}  // namespace zelctl

#endif  // TOOLS_ZELCTL_TRAP_TEXT_H_
