// SessionDispatcher: the object the request facade holds for one exchange.
// It looks at each target and hands the request to the SNMPv1/v2c
// RequestSession (community target, version 0 or 1) or to the SNMPv3
// session (SNMPv3 target, version 2), making each session on first need and
// reusing it for every later request; it destroys them with itself.
//
// Thread-safe only for the making of the sessions (a lock with a double
// check: two threads asking at once get the same session). Requests are not
// locked: one request at a time per dispatcher.
//
//   int rc = kKalOk;
//   KalOwned<SessionDispatcher> dispatcher(kas_create_session_dispatcher(&rc));
//   if (!dispatcher) return rc;
//   rc = dispatcher->send_sync(pdu, target);       // the answer is in pdu
//   rc = dispatcher->send_broad_cast_sync(pdu, target, &list);
#ifndef TRANSPORT_SESSION_DISPATCHER_H_
#define TRANSPORT_SESSION_DISPATCHER_H_

#include <atomic>
#include <mutex>

#include "common/status.h"
#include "transport/request_session_base.h"

// How the dispatcher makes its sessions. Each answers a new session the
// caller owns, or null with *pStatus set. Tests replace them.
struct KasSessionFactories {
  IKasRequestSession* (*community)(int* pStatus);  // SNMPv1/v2c
  IKasRequestSession* (*usm)(int* pStatus);        // SNMPv3
};
// kas_create_request_session and kas_create_v3_request_session.
KasSessionFactories kas_default_session_factories();

class SessionDispatcher {
 public:
  explicit SessionDispatcher(const KasSessionFactories& factories)
      : factories_(factories) {}
  SessionDispatcher(const SessionDispatcher&) = delete;
  SessionDispatcher& operator=(const SessionDispatcher&) = delete;

  // Destroys the dispatcher and its sessions.
  virtual void release();
  // Each request operation answers kKalErrInvalidArg for a missing argument
  // (packet, PDU, target, out list) or an unsupported kind/version pair,
  // kKalErrNoMemory when the chosen session cannot be made, otherwise the
  // status of the same operation of the chosen session (see
  // transport/request_session.h). Arguments are lent.
  virtual int send_sync(IKasPdu* pdu, IKasSnmpTarget* target);
  virtual int send_sync(IKasSnmpPacket* packet);
  // The chosen session's send_sync_into (transport/request_session_base.h).
  int send_sync_into(IKasPdu* request, IKasSnmpTarget* target,
                     IKasPdu* answer);
  virtual int send_broad_cast_sync(IKasSnmpPacket* packet,
                                   IKasSnmpPacketList** ppList);
  virtual int send_broad_cast_sync(IKasPdu* pdu, IKasSnmpTarget* target,
                                   IKasSnmpPacketList** ppList);
  virtual ~SessionDispatcher();

  // The session for `target`: kind 0 (community) with version 0 or 1 the
  // SNMPv1/v2c session, kind 1 (SNMPv3) with version 2 the SNMPv3 session,
  // made on first need. *ppSession is lent (good while the dispatcher
  // lives). 0; kKalErrInvalidArg for a null argument or any other pair;
  // kKalErrNoMemory when the session cannot be made.
  int choose_session(const IKasSnmpTarget* target,
                     IKasRequestSession** ppSession);

 private:
  int session_of(std::atomic<IKasRequestSession*>* slot,
                 IKasRequestSession* (*factory)(int* pStatus),
                 IKasRequestSession** ppSession);

  const KasSessionFactories factories_;
  std::mutex make_lock_;
  std::atomic<IKasRequestSession*> community_{nullptr};
  std::atomic<IKasRequestSession*> usm_{nullptr};
};

// A new dispatcher with no sessions yet. The caller owns it (release()).
// *pStatus: 0, kKalErrNoMemory.
SessionDispatcher* kas_create_session_dispatcher(int* pStatus = nullptr);
// The same with other session factories (tests; null entries make no
// session of that kind).
SessionDispatcher* kas_create_session_dispatcher(
    const KasSessionFactories& factories, int* pStatus = nullptr);

#endif  // TRANSPORT_SESSION_DISPATCHER_H_
