// The trap facility's receiving thread: one datagram at a time from the
// socket, decoded with the codec service and posted to the invoker.
#include "transport/trap_session.h"

#include <chrono>

#include "common/owned.h"
#include "log/log.h"
#include "snmp/codec_buffer.h"
#include "snmp/codec_service.h"
#include "snmp/target.h"
#include "transport/datagram_socket.h"
#include "transport/trap_v2_decode.h"

namespace {

unsigned short_id(const void* p) {
  return static_cast<unsigned>(reinterpret_cast<uintptr_t>(p));
}

}  // namespace

TrapSession* kas_create_trap_session(int protocol, uint16_t port,
                                     int* pStatus) {
  KalOwned<TrapSession> session(kal_new<TrapSession>());
  if (!session) return kal_fail<TrapSession>(pStatus, kKalErrNoMemory);
  int rc = session->open(protocol, port);
  if (rc != kKalOk) return kal_fail<TrapSession>(pStatus, rc);
  kal_set_status(pStatus, kKalOk);
  return session.detach();
}

int TrapSession::open(int protocol, uint16_t port) {
  int rc = DataGramSocket::create(protocol, port, &socket_);
  if (rc != kKalOk) {
    kal_log(kKalModuleSnmp, kKalLogError, "DataGramSocket::create() error=%d.",
            rc);
    return rc;
  }
  rc = ObserverInvoker::create(&invoker_);
  if (rc != kKalOk) return rc;
  rc = invoker_->start();
  if (rc != kKalOk) return rc;
  return create_thread();
}

void TrapSession::release() {
  if (invoker_ && invoker_->on_dispatching_thread() && invoker_->is_alive()) {
    // Freed by the dispatching thread once the notification has returned
    // (a second release() from there changes nothing).
    cancel();  // the receiving thread sees it within a receive time-out
    invoker_->end_after_notification(&TrapSession::free_session, this);
    return;
  }
  delete this;
}

void TrapSession::free_session(void* session) {
  delete static_cast<TrapSession*>(session);
}

TrapSession::~TrapSession() {
  // The receiving thread goes first: it is the only poster, so once it has
  // ended nothing can follow the invoker's kDestroy into the queue. While
  // the queue is full it waits for the invoker, which is still running (or,
  // when the session was ended from a notification, has freed every slot).
  cancel();
  wait();
  if (invoker_) invoker_->release();
  if (socket_) socket_->release();
}

int TrapSession::attach_observer(IKasTrapObserver* observer) {
  return invoker_->attach_observer(observer);
}

int TrapSession::detach_observer(IKasTrapObserver* observer) {
  return invoker_->detach_observer(observer);
}

const IKalNetworkAddress* TrapSession::local_address() const {
  return socket_->local_address();
}

int TrapSession::receive_trap(IKasSnmpPacket** ppPacket) {
  *ppPacket = nullptr;
  size_t received = 0;
  IKalNetworkAddress* raw_from = nullptr;
  int rc = socket_->receive(buffer_, sizeof buffer_, kReceiveTimeoutMs,
                            &received, &raw_from);
  KalOwned<IKalNetworkAddress> from(raw_from);
  if (rc != kKalOk) return rc;

  CKasMessageView raw(buffer_, received);
  KalOwned<IKasSnmpPacket> packet(kas_create_packet(&rc));
  if (!packet) return rc;
  rc = kas_codec_service()->decode_packet(&raw, packet.get(),
                                          kKasTargetCommunity);
  if (rc == kKalErrNotSupported && accept_v2c_) {
    // Perhaps an SNMPv2-Trap, which the codec leaves to us.
    packet.reset(kas_create_packet(&rc));
    if (!packet) return rc;
    rc = kas_decode_trap_v2(buffer_, received, packet.get());
  }
  if (rc != kKalOk) {
    kal_log(kKalModuleSnmp, kKalLogDebug,
            "[TrapSession]: drop undecodable datagram, error=%d.", rc);
    return rc;
  }
  // The decoder accepts every SNMPv1 and SNMPv2c message; only traps are
  // ours, SNMPv1 ones and, when asked for, SNMPv2c ones.
  IKasSnmpTarget* target = packet->get_target();
  if (packet->get_pdu()->get_type() != kKasPduTrap ||
      (target->get_version() != kKasVersion1 &&
       !(accept_v2c_ && target->get_version() == kKasVersion2c))) {
    kal_log(kKalModuleSnmp, kKalLogDebug,
            "[TrapSession]: drop pdu type %d, version %d.",
            packet->get_pdu()->get_type(), target->get_version());
    return kKalErrNotSupported;
  }
  target->adopt_address(from.detach());
  *ppPacket = packet.detach();
  return kKalOk;
}

void TrapSession::run() {
  kal_log(kKalModuleSnmp, kKalLogTrace, "[%s] enter.", "TrapSession::run");
  while (!checkpoint()) {
    IKasSnmpPacket* raw_packet = nullptr;
    const int rc = receive_trap(&raw_packet);
    KalOwned<IKasSnmpPacket> packet(raw_packet);
    if (rc == kKasErrReceive) {
      // A failing socket would fail again at once: pace the retries like
      // time-outs so that the loop does not spin.
      wait_for_cancel(std::chrono::milliseconds(kReceiveTimeoutMs));
      continue;
    }
    if (rc != kKalOk) continue;  // time-out, or a datagram that is no trap
    if (is_cancelled()) break;   // the packet goes with the holder
    kal_log(kKalModuleSnmp, kKalLogInfo, "[TrapSession]: receive packet(0x%x).",
            short_id(packet.get()));
    const int posted =
        invoker_->post_request(ObserverInvoker::kFireTrap, packet.detach());
    if (posted != kKalOk) {
      kal_log(kKalModuleSnmp, kKalLogError,
              "[TrapSession]: post_request() error=%d.", posted);
    }
  }
  kal_log(kKalModuleSnmp, kKalLogInfo, "[TrapSession]: canceled.");
  kal_log(kKalModuleSnmp, kKalLogTrace, "[%s] exit.", "TrapSession::run");
}
