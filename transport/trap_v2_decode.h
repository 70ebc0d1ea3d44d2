// The SNMPv2-Trap (PDU 0xA7 in a version-1 message), which the codec does not
// speak, decoded into the shape of a decoded SNMPv1 trap: PDU type trap, the
// trap identifier from snmpTrapOID.0 and the time-stamp from sysUpTime.0 in
// the PDU's trap fields, and the bindings that follow those two as the
// trap's bindings. The target carries version 1 (SNMPv2c) and the community.
#ifndef TRANSPORT_TRAP_V2_DECODE_H_
#define TRANSPORT_TRAP_V2_DECODE_H_

#include <cstddef>
#include <cstdint>

#include "snmp/packet.h"

// Decodes the datagram data[0..size) into `packet` (which the caller owns
// and which should be empty). Answers 0; kKalErrNotSupported when the
// datagram is no SNMPv2c message with an SNMPv2-Trap PDU; kKasErrUndecodable
// when it is one but malformed, or lacks sysUpTime.0 and snmpTrapOID.0 as its
// first two bindings (RFC 3416 4.2.6); kKalErrNoMemory; the decoder's errors.
int kas_decode_trap_v2(const uint8_t* data, size_t size, IKasSnmpPacket* packet);

#endif  // TRANSPORT_TRAP_V2_DECODE_H_
