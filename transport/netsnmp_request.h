// The library-session holder of one SNMPv3 request: the opened Net-SNMP
// session, the library PDU being built, and whether the session only probes
// for engine IDs. It frees what the library handed out (an unsent PDU, the
// response) and closes the session when it goes. Must live inside a
// NetSnmpLibraryScope; one thread at a time.
#ifndef TRANSPORT_NETSNMP_REQUEST_H_
#define TRANSPORT_NETSNMP_REQUEST_H_

#include "common/status.h"

class IKasPdu;
class IKasUsmTarget;
struct snmp_pdu;
struct snmp_session;

// The library's response callback (snmp_callback).
using KasNetSnmpCallback = int (*)(int operation, snmp_session* session, int request_id,
                                   snmp_pdu* pdu, void* magic);

class NetSnmpRequest {
 public:
  NetSnmpRequest() = default;
  ~NetSnmpRequest();
  NetSnmpRequest(const NetSnmpRequest&) = delete;
  NetSnmpRequest& operator=(const NetSnmpRequest&) = delete;

  // Opens a library session for `target` (lent). In probe mode the session
  // does not discover the engine ID when it opens (library flag 0x100), may
  // send to a broadcast address, and carries `callback_data` for the
  // response callback (session->myvoid). The USM settings are checked
  // before anything is sent: -2 for settings outside the table (see
  // transport/usm_settings.h). When snmp_open fails the error is logged
  // ("snmp_open") and mapped (transport/netsnmp_errors.h), an unmapped
  // error answering -2: a silent agent gives -203 (the engine-ID discovery
  // timed out), a refused user -214.
  int open(const IKasUsmTarget* target, bool probe, void* callback_data);

  // Builds the library request from `pdu` (lent): the mapped type (-2 for a
  // type that is not get, get-next, set or trap), then each binding in
  // order; identifiers are numeric text (snmp_parse_oid, -2 and a
  // "snmp_parse_oid" log line when one does not parse); values go in by
  // their type letter (snmp_add_var, failures logged "snmp_add_var" and
  // mapped), OCTET STRING values as their raw octets, NULL and absent values
  // as null bindings; other kinds -5. -3 when snmp_pdu_create fails.
  int build(const IKasPdu* pdu);
  // Builds the engine-ID probe: a get without bindings from the empty user
  // at noAuthNoPriv, which every agent answers with a Report carrying its
  // engine ID (RFC 3414 section 4).
  int build_probe();

  // Sends the built request and waits (snmp_synch_response): answers the
  // library status (0 success, 1 error, 2 time-out). The library takes the
  // request PDU; the response, if any, stays here (response()).
  int exchange();
  // The same through the library's synchronous loop with `callback` as the
  // response callback (snmp_synch_response_cb).
  int exchange(KasNetSnmpCallback callback);

  snmp_session* session() const { return session_; }
  snmp_pdu* response() const { return response_; }
  // Messages that came in during the last exchange and that the library's
  // security check refused (its usmStats counters: unsupported level, not
  // in time window, unknown user, unknown engine ID, wrong digest,
  // decryption error). Counted under the library's process-wide lock, so
  // they are this exchange's.
  unsigned refused_answers() const { return refused_answers_; }
  // While exchange(callback) waits: the request as the library sent it
  // (its message ID), for the callback to match answers against. The
  // library owns and frees it; null outside exchange(callback).
  const snmp_pdu* pending() const { return pending_; }

 private:
  snmp_session* session_ = nullptr;
  snmp_pdu* request_ = nullptr;
  snmp_pdu* response_ = nullptr;
  unsigned refused_answers_ = 0;
  const snmp_pdu* pending_ = nullptr;
};

#endif  // TRANSPORT_NETSNMP_REQUEST_H_
