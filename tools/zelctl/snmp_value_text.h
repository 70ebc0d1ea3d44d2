// SNMP values of the static core as the fleet commands write them.
#ifndef TOOLS_ZELCTL_SNMP_VALUE_TEXT_H_
#define TOOLS_ZELCTL_SNMP_VALUE_TEXT_H_

#include <string>

class IKasSnmpValue;

namespace zelctl {

// Octet kinds: the raw octets; numbers in decimal (Counter64 whole);
// object identifiers and IpAddress in dotted form; "" for the rest.
std::string raw_value_text(const IKasSnmpValue* value);

// "INTEGER", "OCTET STRING", "Counter32", ... for a value's tag.
std::string value_type_name(int tag);

}  // namespace zelctl

#endif  // TOOLS_ZELCTL_SNMP_VALUE_TEXT_H_
