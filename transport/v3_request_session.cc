#include "transport/v3_request_session.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "common/network_address.h"
#include "common/owned.h"
#include "log/log.h"
#include "snmp/packet.h"
#include "snmp/pdu.h"
#include "snmp/target.h"
#include "transport/netsnmp_convert.h"
#include "transport/netsnmp_errors.h"
#include "transport/netsnmp_library.h"
#include "transport/netsnmp_request.h"
#include "transport/datagram_socket.h"
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

// Whether the collector already holds an entry for `address`.
bool collected(IKasSnmpPacketList* collector, const IKalNetworkAddress* address) {
  int rc = kKalOk;
  KalOwned<IKasListCursor> cursor(collector->new_cursor(&rc));
  if (!cursor) return false;
  for (IKasSnmpPacket* entry; (entry = collector->current(cursor.get())) != nullptr;
       collector->next(cursor.get())) {
    const IKasSnmpTarget* target = entry->get_target();
    const IKalNetworkAddress* known = target ? target->get_address() : nullptr;
    const char* a = known ? known->text() : nullptr;
    const char* b = address->text();
    if (a && b && strlen(a) == strlen(b) && strcmp(a, b) == 0) return true;
  }
  return false;
}

// Notes the agent that sent `pdu`, once per address.
void collect_agent(IKasSnmpPacketList* collector, const snmp_pdu* pdu) {
  IKalNetworkAddress* raw = nullptr;
  if (kas_netsnmp_source_address(pdu, &raw) != kKalOk) return;
  KalOwned<IKalNetworkAddress> address(raw);
  if (collected(collector, address.get())) return;
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

// The response callback of the engine-ID probe of one agent. `magic` is
// the library's synchronous-loop state; the collector rides on the session.
// The library hands a callback one answer per request and then forgets the
// request, so the probe goes to one agent at a time: its Report ends the
// wait.
int broadcast_callback(int operation, snmp_session* session, int request_id, snmp_pdu* pdu,
                       void* magic) {
  TraceScope trace(kBroadcastCallback);
  auto* state = static_cast<synch_state*>(magic);
  if (!state || !session) return 0;
  if (request_id != state->reqid && pdu && pdu->command != SNMP_MSG_REPORT) return 0;
  auto* collector = static_cast<IKasSnmpPacketList*>(session->myvoid);
  switch (operation) {
    case NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE:
      if (pdu && collector) collect_agent(collector, pdu);
      state->waiting = 0;
      state->status = STAT_SUCCESS;
      break;
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

namespace {

// Sends the probe to the target's destination (a broadcast address or one
// agent) and notes the source of every SNMP message that comes back within
// the target's time-out, once per address, in order of arrival. The probe
// is sent again for each retry. An answer from the destination itself ends
// the wait at once.
int collect_answering_agents(const IKasSnmpTarget* target,
                             std::vector<KalOwned<IKalNetworkAddress>>* answered) {
  const IKalNetworkAddress* destination = target->get_address();
  if (!destination) return kKalErrInvalidArg;
  IKalNetworkAddress* copy = nullptr;
  int rc = destination->clone(&copy);
  if (rc != kKalOk) return rc;
  KalOwned<IKalNetworkAddress> to(copy);
  if (to->get_port() == 0) {
    to->set_port(target->get_local_port() != 0 ? target->get_local_port() : 161);
  }
  DataGramSocket* raw_socket = nullptr;
  rc = DataGramSocket::create(to->get_protocol(), &raw_socket);
  if (rc != kKalOk) return rc;
  std::unique_ptr<DataGramSocket, void (*)(DataGramSocket*)> socket(
      raw_socket, [](DataGramSocket* s) { s->release(); });
  socket->set_broadcast(true);
  const int timeout_ms = target->get_timeout() > 0 ? target->get_timeout() : 1000;
  const int sends = 1 + (target->get_retries() > 0 ? target->get_retries() : 0);
  for (int attempt = 0; attempt < sends; ++attempt) {
    uint8_t probe[kas_v3::kProbeSize];
    kas_v3::write_engine_id_probe(kas_draw_request_id(), kas_draw_request_id(), probe);
    rc = socket->send(probe, sizeof probe, to.get());
    if (rc != kKalOk) return rc;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
      if (left <= 0) break;
      uint8_t buffer[1500];
      size_t received = 0;
      IKalNetworkAddress* from = nullptr;
      rc = socket->receive(buffer, sizeof buffer, static_cast<int>(left), &received, &from);
      KalOwned<IKalNetworkAddress> source(from);
      if (rc == kKasErrTimeout) break;
      if (rc != kKalOk) return rc;
      // Only an SNMP message (a SEQUENCE) counts as an answer.
      if (received < 2 || buffer[0] != 0x30 || !source) continue;
      bool known = false;
      for (const auto& a : *answered) known = known || a->equals(source.get());
      if (known) continue;
      kal_log(kKalModuleSnmp, kKalLogDebug, "v3 broad cast: answer from %s", source->text());
      // An answer from the destination itself: it was one agent, not a
      // broadcast address, and nobody else will answer.
      const bool unicast = strcmp(source->text(), to->text()) == 0;
      answered->push_back(std::move(source));
      if (unicast) return kKalOk;
    }
  }
  return kKalOk;
}

// Queries one discovered agent with copies of the request; a packet for
// the list on success.
int query_agent(const IKasPdu* pdu, const IKasSnmpTarget* target, IKasSnmpPacket* entry,
                IKasSnmpPacket** ppAnswer) {
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
    rc = kas_v3::get_engine_id_broad_cast(target, collector.get());
    if (rc != kKalOk) return rc;
    KalOwned<IKasSnmpPacketList> answers(kas_create_packet_list(&rc));
    if (!answers) return rc;
    KalOwned<IKasListCursor> cursor(collector->new_cursor(&rc));
    if (!cursor) return rc;
    for (IKasSnmpPacket* entry; (entry = collector->current(cursor.get())) != nullptr;
         collector->next(cursor.get())) {
      IKasSnmpPacket* answer = nullptr;
      rc = query_agent(pdu, target, entry, &answer);
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
  std::vector<KalOwned<IKalNetworkAddress>> answered;
  rc = collect_answering_agents(target, &answered);
  if (rc != kKalOk) return rc;
  // Each answering agent is probed alone through the library, which reads
  // its engine ID from the Report.
  for (const auto& address : answered) {
    KalOwned<IKasSnmpTarget> copy(target->clone(&rc));
    if (!copy) return rc;
    IKasUsmTarget* copy_usm = copy->as_usm();
    if (!copy_usm) return kKalErrInvalidArg;
    rc = copy->set_address(address.get());
    if (rc != kKalOk) return rc;
    std::unique_ptr<NetSnmpRequest> request(kal_new<NetSnmpRequest>());
    if (!request) return kKalErrNoMemory;
    rc = request->open(copy_usm, true, collector);
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

}  // namespace kas_v3

IKasRequestSession* kas_create_v3_request_session(int* pStatus) {
  IKasRequestSession* session = kal_new<v3RequestSession>();
  if (!session) return kal_fail<IKasRequestSession>(pStatus, kKalErrNoMemory);
  kal_set_status(pStatus, kKalOk);
  return session;
}
