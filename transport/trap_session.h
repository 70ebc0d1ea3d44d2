// TrapSession: listens on a datagram socket for SNMPv1 trap messages (and,
// when set_accept_v2c is on, SNMPv2c ones) on a thread of its own, decodes
// each one into a packet (its target carries the
// version, the community and the sender's address) and hands it to its
// ObserverInvoker, whose thread calls every attached observer. The bounded
// queue between the two threads keeps a slow observer from stopping the
// socket from being read, up to 200 waiting packets; beyond that the
// receiving thread waits and the datagrams wait in the socket.
//
// The plug-in itself never makes a trap session: this is the session
// layer's facility for callers that want traps. Thread-safe; log lines go to
// the module "snmp".
#ifndef TRANSPORT_TRAP_SESSION_H_
#define TRANSPORT_TRAP_SESSION_H_

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "common/network_address.h"
#include "transport/observer_invoker.h"
#include "transport/worker_thread.h"

class DataGramSocket;

class TrapSession : public WorkerThread {
 public:
  // Made only by kas_create_trap_session. Not "= default": kal_new
  // value-initialises, which would zero the 64 KiB receive buffer.
  TrapSession() {}

  // The receive buffer, one per session: room for the largest UDP payload
  // (65,507 octets over IPv4, 65,527 over IPv6), so that every trap arrives
  // whole.
  static constexpr size_t kReceiveBufferSize = 65536;
  // How long one receive waits, and so how late a cancel may be seen.
  static constexpr int kReceiveTimeoutMs = 1000;

  // Ends the session and frees it: cancels the receiving thread and waits
  // for it (at most about a second when no observer holds it up), lets the
  // invoker deliver what is already queued, ends the invoker and closes the
  // socket. Every packet still queued is released.
  //
  // From an observer's notify() (on the dispatching thread, which cannot
  // wait for itself) it returns at once: the receiving thread is cancelled,
  // no further observer is called, and once the notification has returned
  // the dispatching thread releases the queued packets undelivered, waits
  // for the receiving thread (at most about a second), closes the socket,
  // frees the session and ends. WorkerThread::live_threads() tells when
  // both threads are gone. The session must not be used after release().
  void release();

  // Forwarded to the invoker: see ObserverInvoker.
  int attach_observer(IKasTrapObserver* observer);
  int detach_observer(IKasTrapObserver* observer);

  // The socket's bound address (the actual port when 0 was asked). Lent:
  // good while the session lives.
  const IKalNetworkAddress* local_address() const;
  // Also deliver SNMPv2c traps (SNMPv2-Trap PDUs, decoded as
  // kas_decode_trap_v2 describes); off by default, when only SNMPv1 traps
  // are delivered. Call it before start().
  void set_accept_v2c(bool accept) { accept_v2c_ = accept; }

  // The invoker, lent for its counters (queued(), waiting_posts()).
  const ObserverInvoker* invoker() const { return invoker_; }

 protected:
  void run() override;

 private:
  friend TrapSession* kas_create_trap_session(int protocol, uint16_t port,
                                              int* pStatus);

  ~TrapSession() override;  // through release()
  static void free_session(void* session);

  int open(int protocol, uint16_t port);
  // One datagram decoded into a new SNMPv1 trap packet (*ppPacket, owned by
  // the caller). Answers 0; kKasErrTimeout; the receive error; -250 and the
  // decoder's errors; kKalErrNotSupported for a message that decodes but
  // is no SNMPv1 trap.
  int receive_trap(IKasSnmpPacket** ppPacket);

  DataGramSocket* socket_ = nullptr;
  ObserverInvoker* invoker_ = nullptr;
  std::atomic<bool> accept_v2c_{false};
  uint8_t buffer_[kReceiveBufferSize];
};

// Makes a trap session: opens its socket for `protocol` (IKalNetworkAddress::
// IPv4 or IPv6) on `port` (0: any port) on every local address, makes the
// invoker and starts its thread, and makes the session's own receiving
// thread parked: the caller calls start(). The caller owns the session and
// ends it with release(). *pStatus (optional): 0; kKalErrNoMemory when
// memory or a thread cannot be had; the socket's error (kKalErrInvalidArg
// for another protocol, kKasErrSocketOpen, kKasErrBind, ...).
TrapSession* kas_create_trap_session(int protocol, uint16_t port,
                                     int* pStatus = nullptr);

#endif  // TRANSPORT_TRAP_SESSION_H_
