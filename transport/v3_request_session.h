// v3RequestSession: the SNMPv3 session with the user-based security model.
// It does not encode messages itself: it turns our PDU and SNMPv3 target
// into a Net-SNMP library session and PDU, lets the library do the exchange
// (message building, authentication, privacy, engine discovery, retries)
// and turns the answer back into the same PDU. Its broadcast form first
// discovers the engine IDs of all answering agents with a probe and then
// queries each of them.
//
// The session has no state of its own; every caller-facing operation sets
// the library up and shuts it down again around its work, holding the
// process-wide library lock meanwhile (transport/netsnmp_library.h), so
// SNMPv3 operations from different threads run one after another. Log
// lines go to the module "snmp".
//
// The dispatcher makes it through kas_create_v3_request_session
// (transport/request_session_base.h) for targets of kind 1 with version 2.
#ifndef TRANSPORT_V3_REQUEST_SESSION_H_
#define TRANSPORT_V3_REQUEST_SESSION_H_

#include <cstddef>
#include <cstdint>

#include "common/status.h"
#include "transport/request_session_base.h"

class IKasSnmpPacketList;
class IKasSnmpTarget;

// The steps of the SNMPv3 session, public so that each can be tested alone.
// All of them must run inside a NetSnmpLibraryScope.
namespace kas_v3 {

// One exchange without library set-up: draws a request ID into `pdu`,
// opens a library session for `target` (an SNMPv3 target, version 2),
// builds the request, exchanges and converts the response into `pdu` (type,
// error fields, bindings), also when the library reported an error.
// 0; -2 for missing arguments, a community target or settings outside the
// USM table (before anything is sent); -3; the mapped library error
// (-203 time-out, -214 security failure, ...); -204 when no error and no
// response came back.
int send_sync_internal(IKasPdu* pdu, IKasSnmpTarget* target);

// Discovers the engine IDs of the agents that answer an engine-ID probe to
// the target's destination (a broadcast or multicast address, or one agent).
// The library hands its callback one answer per request and then forgets the
// request, so the probe to the destination goes out through a socket of our
// own (again for each retry); each of the agents that answered it is then
// probed alone through the library, which reads its engine ID from the
// Report. Appends to `collector` one packet per answering address, in order
// of arrival, holding an SNMPv3 target with that address and the agent's
// security engine ID (no PDU). Nobody answering is a success with nothing
// appended. 0, -2 (also for USM settings outside the table, before anything
// is sent), -3, a socket error (-205 send failed), or the mapped library
// error.
//
// Any host on the network can send us datagrams, so an answer counts only
// when it is a Report or a Response that echoes the message ID (and the
// request ID, where the agent keeps it) of a probe we sent; at a destination
// that is one agent only that agent's answers count; at most
// kMaxDiscoveredAgents agents are noted. Time: the probe window is
// (retries + 1) x time-out, as for every other request, and the per-agent
// probes share one more such window, each getting at most what is left:
// the discovery is over within 2 x (retries + 1) x time-out, and agents
// left when that has passed are skipped. The broadcast query
// (send_broad_cast_sync) adds one more window for the queries, so it is
// over within 3 x (retries + 1) x time-out: one window for each step, so
// that one agent silent in a step still gets the usual wait, yet no host
// can stretch the whole. SNMPv3 operations of the whole process wait for
// one another (transport/netsnmp_library.h), so this bound is also the
// longest that a discovery, however many hosts answer it, holds up any
// other one.
int get_engine_id_broad_cast(IKasSnmpTarget* target, IKasSnmpPacketList* collector);

// At most this many agents are noted by one discovery: every host of a /24
// network (254) with room to spare, more printers than one broadcast domain
// carries in practice. Answers from further addresses are ignored, so that a
// flood of forged source addresses can grow neither the list nor the
// per-agent work without bound.
constexpr size_t kMaxDiscoveredAgents = 256;

// The IDs that tie an SNMPv3 answer to its request.
struct MessageIds {
  uint32_t message_id = 0;  // msgID of the header
  uint8_t pdu_tag = 0;      // 0xa0 GetRequest ... 0xa8 Report
  uint32_t request_id = 0;  // request-id of the scoped PDU
};
// Reads the IDs of an SNMPv3 message whose scoped PDU travels in plain text
// (not encrypted, as every engine-ID probe and its Report do). False for
// anything else: another version, an encrypted scoped PDU, a malformation,
// octets past the message.
bool read_message_ids(const uint8_t* data, size_t size, MessageIds* ids);

// The engine-ID probe as it goes on the wire (RFC 3414 section 4): an
// SNMPv3 message from the empty user at noAuthNoPriv, reportable, with an
// empty engine ID and a get without bindings, which every agent answers with
// a Report. The IDs are cut to 31 bits (positive four-octet INTEGERs).
constexpr size_t kProbeSize = 64;
void write_engine_id_probe(uint32_t message_id, uint32_t request_id,
                           uint8_t (&out)[kProbeSize]);

}  // namespace kas_v3

#endif  // TRANSPORT_V3_REQUEST_SESSION_H_
