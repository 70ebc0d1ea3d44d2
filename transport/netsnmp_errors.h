// How Net-SNMP's results become this system's status codes: the library's
// request status (success, error, time-out) and the error numbers of its
// error table (SNMPERR_*). Pure functions without library state; safe from
// any thread.
#ifndef TRANSPORT_NETSNMP_ERRORS_H_
#define TRANSPORT_NETSNMP_ERRORS_H_

#include "common/status.h"

// The status for one library error number: 0 for 0; time-out -203; sendto
// -205; recvfrom and unknown engine ID -204; out of memory -3; context probe
// -10; build, parse and USM decoding failures -250; security model, user,
// level, authentication, time window and decryption failures -214; bad
// address, session, version, context, security settings and PDU contents
// -2; anything else kKasErrV3Unmapped (-200).
int kas_netsnmp_map_error(int snmp_errno);

// The status for a request status of the library (STAT_SUCCESS 0,
// STAT_ERROR 1, STAT_TIMEOUT 2) with the session's error number: 0 for
// success, -203 for a time-out, otherwise kas_netsnmp_map_error(snmp_errno).
int kas_netsnmp_map_result(int library_status, int snmp_errno);

// The status of one exchange: kas_netsnmp_map_result, except that a
// time-out or an undecodable answer becomes kKasErrV3Security (-214) when
// `refused_answers` messages came in meanwhile that the library's own
// security check refused (wrong digest, decryption error, unknown user,
// unsupported level, outside the time window: its usmStats counters). That
// is how an agent whose keys differ from ours shows itself when it sends
// its Report authenticated with its own key, as pysnmp's agent does: the
// library cannot verify the Report, drops it, and waits until the time-out.
int kas_netsnmp_map_exchange(int library_status, int snmp_errno, unsigned refused_answers);

#endif  // TRANSPORT_NETSNMP_ERRORS_H_
