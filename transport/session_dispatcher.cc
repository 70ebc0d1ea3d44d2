#include "transport/session_dispatcher.h"

#include "common/owned.h"
#include "log/log.h"
#include "snmp/packet.h"
#include "snmp/target.h"
#include "transport/request_session.h"

namespace {

IKasRequestSession* make_community_session(int* pStatus) {
  return kas_create_request_session(pStatus);
}

}  // namespace

KasSessionFactories kas_default_session_factories() {
  return KasSessionFactories{&make_community_session,
                             &kas_create_v3_request_session};
}

SessionDispatcher* kas_create_session_dispatcher(int* pStatus) {
  return kas_create_session_dispatcher(kas_default_session_factories(),
                                       pStatus);
}

SessionDispatcher* kas_create_session_dispatcher(
    const KasSessionFactories& factories, int* pStatus) {
  SessionDispatcher* dispatcher = kal_new<SessionDispatcher>(factories);
  if (!dispatcher) return kal_fail<SessionDispatcher>(pStatus, kKalErrNoMemory);
  kal_set_status(pStatus, kKalOk);
  return dispatcher;
}

SessionDispatcher::~SessionDispatcher() {
  if (IKasRequestSession* s = community_.exchange(nullptr)) s->release();
  if (IKasRequestSession* s = usm_.exchange(nullptr)) s->release();
}

void SessionDispatcher::release() { delete this; }

int SessionDispatcher::session_of(std::atomic<IKasRequestSession*>* slot,
                                  IKasRequestSession* (*factory)(int* pStatus),
                                  IKasRequestSession** ppSession) {
  IKasRequestSession* session = slot->load(std::memory_order_acquire);
  if (!session) {
    std::lock_guard<std::mutex> hold(make_lock_);
    session = slot->load(std::memory_order_relaxed);
    if (!session) {
      // Whatever the factory's reason, a session that cannot be made is
      // reported as such.
      session = factory ? factory(nullptr) : nullptr;
      if (!session) return kKalErrNoMemory;
      slot->store(session, std::memory_order_release);
    }
  }
  *ppSession = session;
  return kKalOk;
}

int SessionDispatcher::choose_session(const IKasSnmpTarget* target,
                                      IKasRequestSession** ppSession) {
  if (ppSession) *ppSession = nullptr;
  if (!target || !ppSession) return kKalErrInvalidArg;
  const int kind = target->get_kind();
  const int version = target->get_version();
  if (kind == kKasTargetCommunity &&
      (version == kKasVersion1 || version == kKasVersion2c)) {
    return session_of(&community_, factories_.community, ppSession);
  }
  if (kind == kKasTargetUsm && version == kKasVersion3) {
    return session_of(&usm_, factories_.usm, ppSession);
  }
  return kKalErrInvalidArg;
}

int SessionDispatcher::send_sync(IKasPdu* pdu, IKasSnmpTarget* target) {
  if (!pdu || !target) return kKalErrInvalidArg;
  IKasRequestSession* session = nullptr;
  const int rc = choose_session(target, &session);
  if (rc != kKalOk) return rc;
  return session->send_sync(pdu, target);
}

int SessionDispatcher::send_sync_into(IKasPdu* request,
                                      IKasSnmpTarget* target,
                                      IKasPdu* answer) {
  if (!request || !target || !answer || request == answer)
    return kKalErrInvalidArg;
  IKasRequestSession* session = nullptr;
  const int rc = choose_session(target, &session);
  if (rc != kKalOk) return rc;
  return session->send_sync_into(request, target, answer);
}

int SessionDispatcher::send_sync(IKasSnmpPacket* packet) {
  if (!packet || !packet->get_pdu() || !packet->get_target())
    return kKalErrInvalidArg;
  IKasRequestSession* session = nullptr;
  const int rc = choose_session(packet->get_target(), &session);
  if (rc != kKalOk) return rc;
  return session->send_sync(packet);
}

int SessionDispatcher::send_broad_cast_sync(IKasSnmpPacket* packet,
                                            IKasSnmpPacketList** ppList) {
  if (ppList) *ppList = nullptr;
  if (!packet || !ppList || !packet->get_pdu() || !packet->get_target()) {
    return kKalErrInvalidArg;
  }
  IKasRequestSession* session = nullptr;
  const int rc = choose_session(packet->get_target(), &session);
  if (rc != kKalOk) return rc;
  return session->send_broad_cast_sync(packet, ppList);
}

int SessionDispatcher::send_broad_cast_sync(IKasPdu* pdu,
                                            IKasSnmpTarget* target,
                                            IKasSnmpPacketList** ppList) {
  kal_log(kKalModuleSnmp, kKalLogTrace, "[%s] enter.",
          "SessionDispatcher::send_broad_cast_sync");
  if (ppList) *ppList = nullptr;
  int rc = kKalErrInvalidArg;
  IKasRequestSession* session = nullptr;
  if (pdu && target && ppList) rc = choose_session(target, &session);
  if (rc == kKalOk) rc = session->send_broad_cast_sync(pdu, target, ppList);
  kal_log(kKalModuleSnmp, kKalLogTrace, "[%s] exit.",
          "SessionDispatcher::send_broad_cast_sync");
  return rc;
}
