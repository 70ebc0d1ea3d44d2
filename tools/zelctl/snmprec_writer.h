// The snmpsim ".snmprec" form of captured bindings: one "OID|TYPE|VALUE" line
// per binding, with snmpsim's type codes (the BER tag in decimal: 2 INTEGER,
// 4 OCTET STRING, 5 NULL, 6 OBJECT IDENTIFIER, 64 IpAddress, 65 Counter32,
// 66 Gauge32, 67 TimeTicks, 68 Opaque, 70 Counter64). An octet string that
// is not plain printable text (or that snmpsim would trim) is written in hex
// with an "x" after the code. Lines are sorted by OID, as snmpsimd needs.
#ifndef TOOLS_ZELCTL_SNMPREC_WRITER_H_
#define TOOLS_ZELCTL_SNMPREC_WRITER_H_

#include <string>
#include <vector>

namespace zelctl {

struct SnmprecRecord {
  std::string oid;  // dotted decimal, no leading dot
  int tag = 0;      // the value's BER tag
  // Octet kinds: the raw octets; numbers: decimal text; object identifier
  // and IpAddress: dotted text.
  std::string value;
};

// The type code for a BER tag, or "" for a kind snmprec cannot carry (the
// SNMPv2 exceptions).
std::string snmprec_type_code(int tag);

// One line without its line end, or "" for a record that cannot be written.
std::string snmprec_line(const SnmprecRecord& record);

// True when `a` comes before `b` in OID order (arc by arc, numerically).
bool oid_before(const std::string& a, const std::string& b);

// The whole file: each header line as a "# " comment, then the records'
// lines in OID order, each OID once (the first record wins).
std::string snmprec_document(const std::vector<std::string>& header,
                             std::vector<SnmprecRecord> records);

}  // namespace zelctl

#endif  // TOOLS_ZELCTL_SNMPREC_WRITER_H_
