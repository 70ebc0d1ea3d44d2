// ObserverInvoker: the dispatching thread of the trap facility. Received
// packets arrive as kFireTrap requests in a bounded queue (at most
// kQueueCapacity waiting, guarded by a queue lock and two counting
// semaphores: free slots and queued requests); the thread takes them in the
// order posted and calls every attached observer with each packet, one
// packet at a time, under the observer lock. A kDestroy request ends it.
//
// Thread-safe: attach, detach and post may be called from any thread. Log
// lines go to the module "snmp".
#ifndef TRANSPORT_OBSERVER_INVOKER_H_
#define TRANSPORT_OBSERVER_INVOKER_H_

#include <atomic>
#include <cstddef>
#include <mutex>
#include <semaphore>
#include <vector>

#include "snmp/packet.h"
#include "transport/worker_thread.h"

// Receives the traps of a trap session. notify() runs on the dispatching
// thread; `packet` is lent for the call (the invoker keeps and then releases
// it) and is shared by every observer of that packet, in attachment order.
// An observer may end the trap session (or the invoker) from inside
// notify(): see TrapSession::release().
class IKasTrapObserver {
 public:
  virtual void notify(const IKasSnmpPacket* packet) = 0;

 protected:
  virtual ~IKasTrapObserver() = default;
};

class ObserverInvoker : public WorkerThread {
 public:
  // Request kinds.
  enum ERequest : int {
    kDestroy = 0,
    kFireTrap = 1,
  };
  static constexpr std::ptrdiff_t kQueueCapacity = 200;

  // Made only by create().
  ObserverInvoker() = default;

  // Makes an invoker and its thread, parked (start() lets it run). *ppOut
  // receives it; the caller owns it and ends it with release(). Answers 0;
  // kKalErrInvalidArg for a null ppOut; kKalErrNoMemory when memory or a
  // thread cannot be had.
  static int create(ObserverInvoker** ppOut);

  // Ends the thread and frees the invoker: a live thread gets a kDestroy
  // request after everything already queued (so queued packets still reach
  // the observers) and is waited for without limit; packets left in the
  // queue are released. From an observer's notify() (on the dispatching
  // thread) it returns at once instead: no further observer is called, and
  // once the notification has returned the thread releases what is queued
  // undelivered, ends and frees the invoker itself
  // (WorkerThread::live_threads() tells when it is gone).
  void release();

  // From inside a notification only: like release() from there, except that
  // finish(arg) runs instead of freeing the invoker, as the dispatching
  // thread's last work; finish must release the invoker (whose release()
  // then frees it at once). This is how the owning trap session ends from a
  // notification. Answers 0; kKalErrGeneral from any other thread or when
  // an end is already under way.
  int end_after_notification(void (*finish)(void*), void* arg);

  // Whether the caller runs on the dispatching thread, i.e. inside a
  // notification.
  bool on_dispatching_thread() const { return on_own_thread(); }

  // Appends `observer` (lent: it must stay alive until detached or until
  // the invoker is released). The same observer may be attached more than
  // once and is then called once per entry. Waits for a dispatch in
  // progress, so the observer is called from the next packet on. Answers 0;
  // kKalErrInvalidArg for null; kKalErrNoMemory; kKalErrNotSupported when
  // called from inside a notification (the observer lock is held there).
  int attach_observer(IKasTrapObserver* observer);
  // Removes every entry of `observer`. Answers as attach_observer (an
  // observer not attached is no error).
  int detach_observer(IKasTrapObserver* observer);

  // Queues a request of `kind` carrying `packet`, whose ownership passes to
  // the invoker in every case (released on failure). Waits without limit
  // for a free slot. Answers 0; kKalErrInvalidArg for a kind other than
  // kFireTrap or kDestroy, or a kFireTrap without a packet; kKalErrNoMemory;
  // kKalErrGeneral when waiting or signalling fails.
  int post_request(int kind, IKasSnmpPacket* packet);

  // Requests waiting in the queue (not counting one being dispatched).
  size_t queued() const;
  // Posters waiting for a free slot right now.
  size_t waiting_posts() const { return waiting_posts_.load(); }

 protected:
  void run() override;

 private:
  struct Request {
    int kind;
    IKasSnmpPacket* payload;  // owned; kFireTrap only
    Request* next;
  };

  ~ObserverInvoker() override;  // through release()

  int enqueue(Request* request);
  Request* dequeue();
  void fire(const IKasSnmpPacket* packet);
  bool on_own_thread() const;
  // Releases every queued request and frees its slot.
  void discard_queued();
  static void free_request(Request* request);
  static void free_invoker(void* invoker);

  // Queue: a singly linked list; the lock is held only to link or unlink.
  mutable std::mutex queue_lock_;
  Request* head_ = nullptr;
  Request* tail_ = nullptr;
  size_t count_ = 0;
  std::counting_semaphore<kQueueCapacity> free_slots_{kQueueCapacity};
  std::counting_semaphore<kQueueCapacity> queued_requests_{0};
  std::atomic<size_t> waiting_posts_{0};
  // Made with the invoker, so that ending never depends on an allocation.
  Request* destroy_request_ = nullptr;
  // Set on the dispatching thread when it is ended from a notification.
  bool ending_ = false;

  std::mutex observer_lock_;  // held for a whole dispatch
  std::vector<IKasTrapObserver*> observers_;
};

#endif  // TRANSPORT_OBSERVER_INVOKER_H_
