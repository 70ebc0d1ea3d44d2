// Turns an SNMPv3 target (IKasUsmTarget) into the settings of a Net-SNMP
// library session: the security level, the authentication and privacy
// protocols, the keys made from the pass phrases (generate_Ku), the context
// and the peer name. Nothing is sent here, so a setting the library cannot
// take is refused before any traffic.
//
//   target value        library setting
//   level 0 / 1 / 2     noAuthNoPriv (1) / authNoPriv (2) / authPriv (3)
//   auth 1 / 2          usmHMACMD5AuthProtocol / usmHMACSHA1AuthProtocol
//   priv 1 / 2          usmDESPrivProtocol / usmAESPrivProtocol
//
// Must run inside a NetSnmpLibraryScope (generate_Ku uses the library's
// crypto set-up).
#ifndef TRANSPORT_USM_SETTINGS_H_
#define TRANSPORT_USM_SETTINGS_H_

#include <cstddef>
#include <cstdint>

class IKasSnmpTarget;
class IKasUsmTarget;
struct snmp_session;

// Longest peer name we make ("udp6:[" + address + "]:65535").
inline constexpr size_t kKasPeerNameSize = 128;

// The library's peer name for the target's destination: "udp:TEXT" for
// IPv4, "udp6:[TEXT]" for IPv6, "ipx:TEXT" for IPX, then ":PORT" (IPv4,
// IPv6) or "/PORT" (IPX) with the destination's port or, when that is 0,
// the target's local port (nothing when both are 0). 0; kKalErrInvalidArg
// for a null argument, a target without address text, an unknown protocol
// or a name that does not fit in `size`.
int kas_usm_peer_name(const IKasSnmpTarget* target, char* buffer, size_t size);

// Fills `session` (prepared with snmp_sess_init) for `target`: version 3,
// retries, time-out (ms -> us; negative values take the library's
// defaults), security name (when not empty), level, protocols and keys,
// context name (when not empty) and security engine ID (when known).
// Pointers stored in `session` are lent from `target` and from the
// library's protocol tables: `target` must outlive the session's opening.
// `peer_name` is stored as the peer name (lent as well).
// 0; kKalErrInvalidArg for a version other than 3, a security name longer
// than 32 characters, a level, authentication protocol (levels 1 and 2) or
// privacy protocol (level 2) outside the table, or a pass phrase the
// library cannot turn into a key (shorter than 8 characters).
int kas_usm_fill_session(const IKasUsmTarget* target, char* peer_name, snmp_session* session);

#endif  // TRANSPORT_USM_SETTINGS_H_
