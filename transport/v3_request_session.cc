#include "transport/v3_request_session.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "common/network_address.h"
#include "common/owned.h"
#include "log/log.h"
#include "snmp/ber_reader.h"
#include "snmp/ber_tags.h"
#include "snmp/packet.h"
#include "snmp/pdu.h"
#include "snmp/target.h"
#include "transport/netsnmp_convert.h"
#include "transport/netsnmp_errors.h"
#include "transport/netsnmp_library.h"
#include "transport/netsnmp_request.h"
#include "transport/datagram_socket.h"
#include "transport/group_address.h"
#include "transport/request_id.h"

namespace {

constexpr char kSendSync[] = "v3RequestSession::send_sync(IKasSnmpPacket*)";
constexpr char kSendSyncInternal[] =
    "v3RequestSession::send_sync_internal(IKasPdu*, IKasSnmpTarget*)";
constexpr char kBroadcastPacket[] =
    "v3RequestSession::send_broad_cast_sync(IKasSnmpPacket*, IKasSnmpPacketList**)";
constexpr char kBroadcast[] =
    "v3RequestSession::send_broad_cast_sync(IKasPdu*, IKasSnmpTarget*, IKasSnmpPacketList**)";
constexpr char kEngineIdBroadcast[] = "v3RequestSession::get_engine_id_broad_cast";
constexpr char kBroadcastCallback[] = "broadcast_callback";

// Logs "[name] enter." now and "[name] exit." when the scope ends.
class TraceScope {
 public:
  explicit TraceScope(const char* name) : name_(name) {
    kal_log(kKalModuleSnmp, kKalLogTrace, "[%s] enter.", name_);
  }
  ~TraceScope() { kal_log(kKalModuleSnmp, kKalLogTrace, "[%s] exit.", name_); }
  TraceScope(const TraceScope&) = delete;
  TraceScope& operator=(const TraceScope&) = delete;

 private:
  const char* name_;
};

// Answers from agents that cannot be queried: they are left out of a
// broadcast query, the others are still asked.
bool skips_agent(int status) {
  return status == kKasErrUndecodable || status == kKasErrV3Security ||
         status == kKasErrReceive || status == kKasErrTimeout;
}

using Clock = std::chrono::steady_clock;
using OwnedAddress = KalOwned<IKalNetworkAddress>;

// The window of one request with the target's time-out and retries:
// (retries + 1) x time-out, as every request gets it.
Clock::duration request_window(const IKasSnmpTarget* target) {
  const int64_t timeout_ms = target->get_timeout() > 0 ? target->get_timeout() : 1000;
  const int64_t tries = 1 + (target->get_retries() > 0 ? target->get_retries() : 0);
  return std::chrono::milliseconds(timeout_ms * tries);
}

// Fits the time-out and retries of `copy` (a target copy for one agent) into
// what is left until `deadline`: the time-out at most the time left, and no
// more tries than fit. False when nothing is left: the agent is skipped.
bool fit_to_deadline(IKasSnmpTarget* copy, Clock::time_point deadline) {
  const int64_t left_ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  if (left_ms < 1) return false;
  const int64_t timeout_ms =
      std::min<int64_t>(copy->get_timeout() > 0 ? copy->get_timeout() : 1000, left_ms);
  const int64_t tries =
      std::min<int64_t>(1 + (copy->get_retries() > 0 ? copy->get_retries() : 0),
                        left_ms / timeout_ms);
  copy->set_timeout(static_cast<int32_t>(timeout_ms));
  copy->set_retries(static_cast<int32_t>(tries - 1));
  return true;
}

// Notes the agent that sent `pdu`.
void collect_agent(IKasSnmpPacketList* collector, const snmp_pdu* pdu, OwnedAddress address) {
  kal_log(kKalModuleSnmp, kKalLogDebug, "v3 broad cast: engine ID from %s", address->text());
  int rc = kKalOk;
  KalOwned<IKasUsmTarget> entry(kas_create_usm_target(&rc));
  KalOwned<IKasSnmpPacket> packet(kas_create_packet(&rc));
  if (!entry || !packet) return;
  entry->set_version(kKasVersion3);
  entry->adopt_address(address.detach());
  if (entry->set_security_engine_id(pdu->securityEngineID,
                                    pdu->securityEngineID ? pdu->securityEngineIDLen : 0) !=
      kKalOk) {
    return;
  }
  packet->set_target(entry.detach());
  collector->push_back(packet.detach());
}

// What the response callback of one agent's engine-ID probe knows besides
// the library's loop state; it rides on the session (myvoid).
struct AgentProbe {
  IKasSnmpPacketList* collector = nullptr;
  const IKalNetworkAddress* agent = nullptr;  // the probed address
  const NetSnmpRequest* request = nullptr;    // for the probe's message ID
};

// The source of `pdu` when it answers the probe: a Report or a Response from
// the probed address under the probe's message ID and request ID (a Report
// may carry request ID 0, from an agent that could not read the probe's);
// else null. The library also hands the callback messages that match no
// request of its own, whatever their IDs and source.
OwnedAddress probe_answer_source(const AgentProbe& probe, const synch_state* state,
                                 const snmp_pdu* pdu) {
  const bool report = pdu->command == SNMP_MSG_REPORT;
  const snmp_pdu* sent = probe.request ? probe.request->pending() : nullptr;
  const bool ids_match = sent && pdu->msgid == sent->msgid &&
                         (pdu->reqid == state->reqid || (report && pdu->reqid == 0));
  if ((!report && pdu->command != SNMP_MSG_RESPONSE) || !ids_match) return OwnedAddress(nullptr);
  IKalNetworkAddress* raw = nullptr;
  if (kas_netsnmp_source_address(pdu, &raw) != kKalOk) return OwnedAddress(nullptr);
  OwnedAddress source(raw);
  const char* from = source->text();
  const char* agent = probe.agent ? probe.agent->text() : nullptr;
  if (!from || !agent || strcmp(from, agent) != 0) return OwnedAddress(nullptr);
  return source;
}

// The response callback of the engine-ID probe of one agent. `magic` is
// the library's synchronous-loop state. The library hands a callback one
// answer per request and then forgets the request, so the probe goes to one
// agent at a time: its Report ends the wait. Anything else that arrives is
// ignored and the wait goes on.
int broadcast_callback(int operation, snmp_session* session, int /*request_id*/, snmp_pdu* pdu,
                       void* magic) {
  TraceScope trace(kBroadcastCallback);
  auto* state = static_cast<synch_state*>(magic);
  if (!state || !session) return 0;
  const auto* probe = static_cast<const AgentProbe*>(session->myvoid);
  switch (operation) {
    case NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE: {
      if (!pdu || !probe) return 0;
      OwnedAddress source = probe_answer_source(*probe, state, pdu);
      if (!source) return 0;
      if (probe->collector) collect_agent(probe->collector, pdu, std::move(source));
      state->waiting = 0;
      state->status = STAT_SUCCESS;
      break;
    }
    case NETSNMP_CALLBACK_OP_TIMED_OUT:
      state->waiting = 0;
      state->status = STAT_TIMEOUT;
      session->s_snmp_errno = SNMPERR_TIMEOUT;
      break;
    case NETSNMP_CALLBACK_OP_DISCONNECT:
      state->waiting = 0;
      state->status = STAT_ERROR;
      session->s_snmp_errno = SNMPERR_ABORT;
      break;
    default:
      break;
  }
  return 1;
}

}  // namespace

void kas_v3::write_engine_id_probe(uint32_t message_id, uint32_t request_id,
                                   uint8_t (&out)[kas_v3::kProbeSize]) {
  message_id &= 0x7fffffffu;  // positive INTEGERs in four octets
  request_id &= 0x7fffffffu;
  const uint8_t probe[kas_v3::kProbeSize] = {
      0x30, 0x3e,                                      // SNMPv3Message
      0x02, 0x01, 0x03,                                // msgVersion 3
      0x30, 0x11,                                      // msgGlobalData
      0x02, 0x04, 0, 0, 0, 0,                          // msgID (offset 9)
      0x02, 0x03, 0x00, 0xff, 0xe3,                    // msgMaxSize 65507
      0x04, 0x01, 0x04,                                // msgFlags: reportable
      0x02, 0x01, 0x03,                                // msgSecurityModel USM
      0x04, 0x10, 0x30, 0x0e,                          // msgSecurityParameters
      0x04, 0x00, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00,  // engine ID, boots, time
      0x04, 0x00, 0x04, 0x00, 0x04, 0x00,              // user, auth, privacy
      0x30, 0x14,                                      // ScopedPDU
      0x04, 0x00, 0x04, 0x00,                          // context engine ID, name
      0xa0, 0x0e,                                      // GetRequest
      0x02, 0x04, 0, 0, 0, 0,                          // request-id (offset 52)
      0x02, 0x01, 0x00, 0x02, 0x01, 0x00,              // error status, index
      0x30, 0x00};                                     // no bindings
  memcpy(out, probe, kas_v3::kProbeSize);
  for (int i = 0; i < 4; ++i) {
    out[9 + i] = static_cast<uint8_t>(message_id >> (24 - 8 * i));
    out[52 + i] = static_cast<uint8_t>(request_id >> (24 - 8 * i));
  }
}

bool kas_v3::read_message_ids(const uint8_t* data, size_t size, MessageIds* ids) {
  if (!data || !ids) return false;
  BerReader r(data, size);
  size_t n = 0;
  uint32_t version = 0;
  const uint8_t* skipped = nullptr;
  if (!r.read_header(kKasBerSequence, &n) || n != r.remaining()) return false;
  if (!r.read_header(kKasBerInteger, &n) || !r.read_int32_content(n, &version) ||
      version != 3) {
    return false;
  }
  size_t global = 0;
  if (!r.read_header(kKasBerSequence, &global)) return false;
  const size_t global_end = r.offset() + global;
  uint32_t message_id = 0;
  const uint8_t* flags = nullptr;
  if (!r.read_header(kKasBerInteger, &n) || !r.read_int32_content(n, &message_id)) return false;
  if (!r.read_header(kKasBerInteger, &n) || !r.read_bytes(n, &skipped)) return false;  // size
  if (!r.read_header(kKasBerOctetString, &n) || n != 1 || !r.read_bytes(1, &flags)) return false;
  if (*flags & 0x02) return false;  // privacy: the scoped PDU is encrypted
  // The security model and whatever follows it in the header.
  if (r.offset() > global_end || !r.read_bytes(global_end - r.offset(), &skipped)) return false;
  if (!r.read_header(kKasBerOctetString, &n) || !r.read_bytes(n, &skipped)) return false;
  if (!r.read_header(kKasBerSequence, &n) || n != r.remaining()) return false;  // scoped PDU
  for (int i = 0; i < 2; ++i) {  // context engine ID and name
    if (!r.read_header(kKasBerOctetString, &n) || !r.read_bytes(n, &skipped)) return false;
  }
  uint8_t tag = 0;
  uint32_t request_id = 0;
  if (!r.read_byte(&tag) || tag < kKasBerGetRequest || tag > kKasBerReport) return false;
  if (!r.read_length(&n) || n != r.remaining()) return false;
  if (!r.read_header(kKasBerInteger, &n) || !r.read_int32_content(n, &request_id)) return false;
  ids->message_id = message_id;
  ids->pdu_tag = tag;
  ids->request_id = request_id;
  return true;
}

namespace {

// Whether `to` reaches a group of hosts, as the v1/v2c discovery judges it.
bool is_group_destination(const IKalNetworkAddress* to) {
  const char* text = to->text();
  return text && kas_is_discovery_group(to->get_protocol(), text);
}

// The IDs of one probe that went out.
struct SentProbe {
  uint32_t message_id;
  uint32_t request_id;
};

// Whether the datagram is a Report or Response to one of the probes sent.
// An agent that cannot read a probe's request ID answers with request ID 0.
bool answers_a_probe(const uint8_t* data, size_t size, const std::vector<SentProbe>& sent) {
  kas_v3::MessageIds ids;
  if (!kas_v3::read_message_ids(data, size, &ids)) return false;
  if (ids.pdu_tag != kKasBerReport && ids.pdu_tag != kKasBerResponse) return false;
  for (const SentProbe& probe : sent) {
    if (ids.message_id == probe.message_id) {
      return ids.request_id == probe.request_id ||
             (ids.pdu_tag == kKasBerReport && ids.request_id == 0);
    }
  }
  return false;
}

// Sends the probe to the target's destination and notes the source of every
// answer to it (see answers_a_probe) that comes back within the target's
// time-out, once per address, in order of arrival, at most
// kMaxDiscoveredAgents. The probe is sent again for each retry. At a
// destination that is one agent only its answer counts, and it ends the
// wait at once.
int collect_answering_agents(const IKasSnmpTarget* target,
                             std::vector<OwnedAddress>* answered) {
  const IKalNetworkAddress* destination = target->get_address();
  if (!destination) return kKalErrInvalidArg;
  IKalNetworkAddress* copy = nullptr;
  int rc = destination->clone(&copy);
  if (rc != kKalOk) return rc;
  OwnedAddress to(copy);
  if (to->get_port() == 0) {
    to->set_port(target->get_local_port() != 0 ? target->get_local_port() : 161);
  }
  const bool group = is_group_destination(to.get());
  DataGramSocket* raw_socket = nullptr;
  rc = DataGramSocket::create(to->get_protocol(), &raw_socket);
  if (rc != kKalOk) return rc;
  std::unique_ptr<DataGramSocket, void (*)(DataGramSocket*)> socket(
      raw_socket, [](DataGramSocket* s) { s->release(); });
  socket->set_broadcast(true);
  const int timeout_ms = target->get_timeout() > 0 ? target->get_timeout() : 1000;
  const int sends = 1 + (target->get_retries() > 0 ? target->get_retries() : 0);
  std::vector<SentProbe> sent;
  std::unordered_set<std::string> known;  // the answered addresses' texts
  for (int attempt = 0; attempt < sends; ++attempt) {
    const SentProbe ids{kas_draw_request_id() & 0x7fffffffu, kas_draw_request_id() & 0x7fffffffu};
    uint8_t probe[kas_v3::kProbeSize];
    kas_v3::write_engine_id_probe(ids.message_id, ids.request_id, probe);
    sent.push_back(ids);
    rc = socket->send(probe, sizeof probe, to.get());
    if (rc != kKalOk) return rc;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) break;
      uint8_t buffer[1500];
      size_t received = 0;
      IKalNetworkAddress* from = nullptr;
      rc = socket->receive(buffer, sizeof buffer, static_cast<int>(left), &received, &from);
      OwnedAddress source(from);
      if (rc == kKasErrTimeout) break;
      if (rc != kKalOk) return rc;
      if (!source || !source->text()) continue;
      if (!group && strcmp(source->text(), to->text()) != 0) continue;
      if (known.count(source->text()) != 0) continue;
      if (answered->size() >= kas_v3::kMaxDiscoveredAgents) continue;
      if (!answers_a_probe(buffer, received, sent)) continue;
      known.insert(source->text());
      kal_log(kKalModuleSnmp, kKalLogDebug, "v3 broad cast: answer from %s", source->text());
      answered->push_back(std::move(source));
      // One agent: nobody else will answer.
      if (!group) return kKalOk;
    }
  }
  return kKalOk;
}

// Probes each agent of `answered` alone through the library, which reads
// its engine ID from the Report, and notes it in `collector`. An agent
// silent now, or reached only after `deadline`, is left out.
int probe_agents(IKasSnmpTarget* target, const std::vector<OwnedAddress>& answered,
                 IKasSnmpPacketList* collector, Clock::time_point deadline) {
  int rc = kKalOk;
  for (const auto& address : answered) {
    KalOwned<IKasSnmpTarget> copy(target->clone(&rc));
    if (!copy) return rc;
    IKasUsmTarget* copy_usm = copy->as_usm();
    if (!copy_usm) return kKalErrInvalidArg;
    rc = copy->set_address(address.get());
    if (rc != kKalOk) return rc;
    if (!fit_to_deadline(copy.get(), deadline)) {
      kal_log(kKalModuleSnmp, kKalLogDebug, "v3 broad cast: no time left for %s",
              address->text());
      break;
    }
    std::unique_ptr<NetSnmpRequest> request(kal_new<NetSnmpRequest>());
    if (!request) return kKalErrNoMemory;
    AgentProbe probe;
    probe.collector = collector;
    probe.agent = address.get();
    probe.request = request.get();
    rc = request->open(copy_usm, true, &probe);
    if (rc == kKalOk) rc = request->build_probe();
    if (rc != kKalOk) return rc;
    const int library_status = request->exchange(&broadcast_callback);
    if (library_status == STAT_SUCCESS) continue;
    const int snmp_errno =
        kas_netsnmp_log_error("snmp_sess_synch_response_cb", request->session());
    rc = kas_netsnmp_map_result(library_status, snmp_errno);
    // An agent that stays silent now is left out.
    if (rc == kKasErrTimeout || skips_agent(rc)) continue;
    return rc == kKalOk ? kKasErrV3Unmapped : rc;
  }
  return kKalOk;
}

// Discovery within `deadline`; see get_engine_id_broad_cast.
int discover_engine_ids(IKasSnmpTarget* target, IKasSnmpPacketList* collector,
                        Clock::time_point deadline) {
  if (!target || !collector) return kKalErrInvalidArg;
  const IKasUsmTarget* usm = target->as_usm();
  if (!usm) return kKalErrInvalidArg;
  // The settings are checked before anything goes out.
  int rc = kKalOk;
  {
    std::unique_ptr<NetSnmpRequest> check(kal_new<NetSnmpRequest>());
    if (!check) return kKalErrNoMemory;
    rc = check->open(usm, true, nullptr);
    if (rc != kKalOk) return rc;
  }
  std::vector<OwnedAddress> answered;
  rc = collect_answering_agents(target, &answered);
  if (rc != kKalOk) return rc;
  return probe_agents(target, answered, collector, deadline);
}

// Queries one discovered agent with copies of the request; a packet for
// the list on success.
int query_agent(const IKasPdu* pdu, const IKasSnmpTarget* target, IKasSnmpPacket* entry,
                Clock::time_point deadline, IKasSnmpPacket** ppAnswer) {
  *ppAnswer = nullptr;
  const IKasSnmpTarget* found = entry ? entry->get_target() : nullptr;
  const IKasUsmTarget* found_usm = found ? found->as_usm() : nullptr;
  if (!found_usm) return kKalErrInvalidArg;
  int rc = kKalOk;
  KalOwned<IKasSnmpTarget> copy(target->clone(&rc));
  if (!copy) return rc;
  IKasUsmTarget* copy_usm = copy->as_usm();
  if (!copy_usm) return kKalErrInvalidArg;
  rc = copy->set_address(found->get_address());
  if (rc != kKalOk) return rc;
  size_t engine_length = 0;
  const uint8_t* engine = found_usm->get_security_engine_id(&engine_length);
  rc = copy_usm->set_security_engine_id(engine, engine_length);
  if (rc != kKalOk) return rc;
  if (!fit_to_deadline(copy.get(), deadline)) return kKasErrTimeout;
  KalOwned<IKasPdu> request(pdu->clone(&rc));
  if (!request) return rc;
  rc = kas_v3::send_sync_internal(request.get(), copy.get());
  if (rc != kKalOk) return rc;
  KalOwned<IKasSnmpPacket> packet(kas_create_packet(&rc));
  if (!packet) return rc;
  packet->set_pdu(request.detach());
  packet->set_target(copy.detach());
  *ppAnswer = packet.detach();
  return kKalOk;
}

class v3RequestSession final : public IKasRequestSession {
 public:
  void release() override { delete this; }

  int send_sync(IKasPdu* pdu, IKasSnmpTarget* target) override {
    NetSnmpLibraryScope library;
    if (library.status() != kKalOk) return library.status();
    TraceScope trace(kSendSync);
    return kas_v3::send_sync_internal(pdu, target);
  }

  int send_sync(IKasSnmpPacket* packet) override {
    TraceScope trace(kSendSync);
    if (!packet) return kKalErrInvalidArg;
    KalOwned<IKasPdu> pdu(packet->detach_pdu());
    KalOwned<IKasSnmpTarget> target(packet->detach_target());
    const int rc = send_sync(pdu.get(), target.get());
    packet->set_pdu(pdu.detach());
    packet->set_target(target.detach());
    return rc;
  }

  int send_broad_cast_sync(IKasSnmpPacket* packet, IKasSnmpPacketList** ppList) override {
    TraceScope trace(kBroadcastPacket);
    if (ppList) *ppList = nullptr;
    if (!packet) return kKalErrInvalidArg;
    KalOwned<IKasPdu> pdu(packet->detach_pdu());
    KalOwned<IKasSnmpTarget> target(packet->detach_target());
    const int rc = send_broad_cast_sync(pdu.get(), target.get(), ppList);
    packet->set_pdu(pdu.detach());
    packet->set_target(target.detach());
    return rc;
  }

  int send_broad_cast_sync(IKasPdu* pdu, IKasSnmpTarget* target,
                           IKasSnmpPacketList** ppList) override {
    NetSnmpLibraryScope library;
    if (library.status() != kKalOk) return library.status();
    TraceScope trace(kBroadcast);
    if (ppList) *ppList = nullptr;
    if (!pdu || !target || !ppList) return kKalErrInvalidArg;
    int rc = kKalOk;
    KalOwned<IKasSnmpPacketList> collector(kas_create_packet_list(&rc));
    if (!collector) return rc;
    // One budget for the discovery and every query: the discovery takes at
    // most two request windows (see get_engine_id_broad_cast), the queries
    // what is left of three.
    const Clock::time_point start = Clock::now();
    const Clock::duration window = request_window(target);
    const Clock::time_point deadline = start + 3 * window;
    {
      TraceScope discovery(kEngineIdBroadcast);
      rc = discover_engine_ids(target, collector.get(), start + 2 * window);
    }
    if (rc != kKalOk) return rc;
    KalOwned<IKasSnmpPacketList> answers(kas_create_packet_list(&rc));
    if (!answers) return rc;
    KalOwned<IKasListCursor> cursor(collector->new_cursor(&rc));
    if (!cursor) return rc;
    for (IKasSnmpPacket* entry; (entry = collector->current(cursor.get())) != nullptr;
         collector->next(cursor.get())) {
      IKasSnmpPacket* answer = nullptr;
      rc = query_agent(pdu, target, entry, deadline, &answer);
      if (rc == kKalOk) {
        rc = answers->push_back(answer);
        if (rc != kKalOk) return rc;
      } else if (!skips_agent(rc)) {
        return rc;
      }
    }
    *ppList = answers.detach();
    return kKalOk;
  }
};

}  // namespace

namespace kas_v3 {

int send_sync_internal(IKasPdu* pdu, IKasSnmpTarget* target) {
  TraceScope trace(kSendSyncInternal);
  if (!pdu || !target) return kKalErrInvalidArg;
  const IKasUsmTarget* usm = target->as_usm();
  if (!usm) return kKalErrInvalidArg;
  std::unique_ptr<NetSnmpRequest> request(kal_new<NetSnmpRequest>());
  if (!request) return kKalErrNoMemory;
  pdu->set_request_id(static_cast<int32_t>(kas_draw_request_id()));
  int rc = request->open(usm, false, nullptr);
  if (rc == kKalOk) rc = request->build(pdu);
  if (rc != kKalOk) return rc;
  const int library_status = request->exchange();
  int mapped = kKalOk;
  if (library_status != STAT_SUCCESS) {
    const int snmp_errno = kas_netsnmp_log_error("snmp_synch_response", request->session());
    mapped = kas_netsnmp_map_exchange(library_status, snmp_errno, request->refused_answers());
    // A failed exchange is never answered as success.
    if (mapped == kKalOk) mapped = kKasErrV3Unmapped;
  }
  const snmp_pdu* response = request->response();
  const int converted = response ? kas_netsnmp_convert_pdu(response, pdu) : kKasErrReceive;
  return mapped != kKalOk ? mapped : converted;
}

int get_engine_id_broad_cast(IKasSnmpTarget* target, IKasSnmpPacketList* collector) {
  TraceScope trace(kEngineIdBroadcast);
  if (!target) return kKalErrInvalidArg;
  return discover_engine_ids(target, collector, Clock::now() + 2 * request_window(target));
}

}  // namespace kas_v3

IKasRequestSession* kas_create_v3_request_session(int* pStatus) {
  IKasRequestSession* session = kal_new<v3RequestSession>();
  if (!session) return kal_fail<IKasRequestSession>(pStatus, kKalErrNoMemory);
  kal_set_status(pStatus, kKalOk);
  return session;
}
