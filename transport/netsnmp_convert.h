// The response converter: turns what Net-SNMP's library received (its PDU,
// bindings and values, the answering transport address) into this system's
// objects. Reads only the library structures it is given; safe on any input
// the library hands over (unknown types answer a status, never a guess).
#ifndef TRANSPORT_NETSNMP_CONVERT_H_
#define TRANSPORT_NETSNMP_CONVERT_H_

#include <cstdint>

class IKalNetworkAddress;
class IKasPdu;
class IKasSnmpValue;
class IKasUsmTarget;
struct snmp_pdu;
struct variable_list;

// Library PDU command -> our PDU type: 160 0, 161 1, 162 2, 163 3, 165 5,
// 166 6, 167 4, 168 8; any other -1.
int kas_netsnmp_pdu_type(int command);

// Our PDU type -> the library command of a request: 0 GetRequest (160),
// 1 GetNextRequest (161), 3 SetRequest (163), 4 SNMPv2-Trap (167); -1 for
// every other type.
int kas_netsnmp_request_command(int type);

// A new value for the binding's library value, by the library's type (low
// byte): 2 INTEGER; 4, 196 OCTET STRING; 5 NULL; 6 OBJECT IDENTIFIER; 64
// IpAddress; 65 Counter32; 66, 71 Gauge32; 67 TimeTicks; 68 Opaque; 70
// Counter64; 128-130 the exceptions. The caller owns *ppValue.
// 0; kKalErrPlatform (-10) for any other type; kKasErrUndecodable for a
// value that does not fit its kind (an IpAddress that is not 4 octets, an
// identifier arc above 2^32-1); -2 for null arguments; -3.
int kas_netsnmp_convert_value(const variable_list* binding, IKasSnmpValue** ppValue);

// Writes the response into `pdu`: type, request ID, error status (0..18
// copied, other values 100), error index and the bindings in order, with
// each binding's status marked from the error fields as the decoder does
// (mark_error for a non-trap PDU with an error, else mark_all(0)). The
// bindings are converted first and replace the PDU's only when all
// converted: on failure `pdu` is unchanged. 0, -2, -3, or the value
// conversion's failure.
int kas_netsnmp_convert_pdu(const snmp_pdu* response, IKasPdu* pdu);

// A new network address (caller owns) for the address that sent
// `response`: its IPv4 or IPv6 text, protocol and port. -2 when the
// library kept no UDP address for it, -3.
int kas_netsnmp_source_address(const snmp_pdu* response, IKalNetworkAddress** ppAddress);

// The answering target of an SNMPv3 response: version 2, security name,
// level (library 1, 2, 3 -> 0, 1, 2; others -2), context name, source
// address and security engine ID. 0, -2, -3.
int kas_netsnmp_fill_target(const snmp_pdu* response, IKasUsmTarget* target);

#endif  // TRANSPORT_NETSNMP_CONVERT_H_
