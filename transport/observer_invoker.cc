// The trap facility's dispatching thread: the bounded request queue and the
// observer list.
#include "transport/observer_invoker.h"

#include <chrono>
#include <cstdint>
#include <new>
#include <system_error>

#include "common/owned.h"
#include "log/log.h"

namespace {

unsigned short_id(const void* p) {
  return static_cast<unsigned>(reinterpret_cast<uintptr_t>(p));
}

}  // namespace

int ObserverInvoker::create(ObserverInvoker** ppOut) {
  if (!ppOut) return kKalErrInvalidArg;
  *ppOut = nullptr;
  ObserverInvoker* invoker = kal_new<ObserverInvoker>();
  if (!invoker) return kKalErrNoMemory;
  invoker->destroy_request_ =
      kal_new<Request>(Request{kDestroy, nullptr, nullptr});
  int rc =
      invoker->destroy_request_ ? invoker->create_thread() : kKalErrNoMemory;
  if (rc != kKalOk) {
    invoker->release();
    return rc;
  }
  *ppOut = invoker;
  return kKalOk;
}

void ObserverInvoker::release() {
  // From a notification the thread cannot wait for itself: it ends once
  // the notification has returned, and frees the invoker then.
  // (A second release() from there changes nothing.)
  if (on_own_thread() && is_alive()) {
    end_after_notification(&ObserverInvoker::free_invoker, this);
    return;
  }
  delete this;
}

void ObserverInvoker::free_invoker(void* invoker) {
  delete static_cast<ObserverInvoker*>(invoker);
}

int ObserverInvoker::end_after_notification(void (*finish)(void*), void* arg) {
  if (!on_own_thread() || ending_) return kKalErrGeneral;
  const int rc = end_on_own_thread(finish, arg);
  if (rc != kKalOk) return rc;
  ending_ = true;
  kal_log(kKalModuleSnmp, kKalLogDebug,
          "[ObserverInvoker]: ended from a notification.");
  return kKalOk;
}

void ObserverInvoker::discard_queued() {
  while (Request* left = dequeue()) {
    free_slots_.release();
    free_request(left);
  }
}

ObserverInvoker::~ObserverInvoker() {
  if (is_alive()) {
    if (state() == kCreated) {
      cancel();  // never started: it ends without running
    } else {
      resume();  // a suspended dispatcher could never reach kDestroy
      Request* destroy = destroy_request_;
      destroy_request_ = nullptr;
      // Wait for a slot only while the thread lives: one that ended (after a
      // cancel) frees no more slots.
      bool posted = false;
      while (!posted && is_alive()) {
        try {
          posted = free_slots_.try_acquire_for(std::chrono::milliseconds(100));
        } catch (const std::system_error&) {
          break;
        }
      }
      if (posted) {
        enqueue(destroy);
      } else {
        free_request(destroy);
      }
    }
  }
  wait();
  while (Request* left = dequeue()) free_request(left);
  free_request(destroy_request_);
}

void ObserverInvoker::free_request(Request* request) {
  if (!request) return;
  if (request->payload) request->payload->release();
  delete request;
}

bool ObserverInvoker::on_own_thread() const {
  return std::this_thread::get_id() == thread_id();
}

int ObserverInvoker::attach_observer(IKasTrapObserver* observer) {
  if (!observer) return kKalErrInvalidArg;
  if (on_own_thread()) {
    kal_log(
        kKalModuleSnmp, kKalLogError,
        "[ObserverInvoker]: attach observer(0x%x) from a notification refused.",
        short_id(observer));
    return kKalErrNotSupported;
  }
  std::lock_guard<std::mutex> hold(observer_lock_);
  try {
    observers_.push_back(observer);
  } catch (const std::bad_alloc&) {
    return kKalErrNoMemory;
  }
  kal_log(kKalModuleSnmp, kKalLogDebug,
          "[ObserverInvoker]: attach observer(0x%x).", short_id(observer));
  return kKalOk;
}

int ObserverInvoker::detach_observer(IKasTrapObserver* observer) {
  if (!observer) return kKalErrInvalidArg;
  if (on_own_thread()) {
    kal_log(
        kKalModuleSnmp, kKalLogError,
        "[ObserverInvoker]: detach observer(0x%x) from a notification refused.",
        short_id(observer));
    return kKalErrNotSupported;
  }
  std::lock_guard<std::mutex> hold(observer_lock_);
  std::erase(observers_, observer);
  kal_log(kKalModuleSnmp, kKalLogDebug,
          "[ObserverInvoker]: detach observer(0x%x).", short_id(observer));
  return kKalOk;
}

int ObserverInvoker::post_request(int kind, IKasSnmpPacket* packet) {
  KalOwned<IKasSnmpPacket> owned(packet);
  if (kind != kFireTrap && kind != kDestroy) return kKalErrInvalidArg;
  if (kind == kFireTrap && !packet) return kKalErrInvalidArg;
  Request* request = kal_new<Request>(Request{kind, nullptr, nullptr});
  if (!request) return kKalErrNoMemory;
  request->payload = owned.detach();
  ++waiting_posts_;
  try {
    free_slots_.acquire();
  } catch (const std::system_error&) {
    --waiting_posts_;
    free_request(request);
    return kKalErrGeneral;
  }
  --waiting_posts_;
  return enqueue(request);
}

// Called with a free slot already taken.
int ObserverInvoker::enqueue(Request* request) {
  {
    std::lock_guard<std::mutex> hold(queue_lock_);
    request->next = nullptr;
    if (tail_) {
      tail_->next = request;
    } else {
      head_ = request;
    }
    tail_ = request;
    ++count_;
  }
  try {
    queued_requests_.release();
  } catch (const std::system_error&) {
    // The request stays queued and is released with the invoker.
    return kKalErrGeneral;
  }
  return kKalOk;
}

ObserverInvoker::Request* ObserverInvoker::dequeue() {
  std::lock_guard<std::mutex> hold(queue_lock_);
  Request* request = head_;
  if (!request) return nullptr;
  head_ = request->next;
  if (!head_) tail_ = nullptr;
  --count_;
  request->next = nullptr;
  return request;
}

size_t ObserverInvoker::queued() const {
  std::lock_guard<std::mutex> hold(queue_lock_);
  return count_;
}

void ObserverInvoker::fire(const IKasSnmpPacket* packet) {
  std::lock_guard<std::mutex> hold(observer_lock_);
  for (IKasTrapObserver* observer : observers_) {
    observer->notify(packet);
    if (ending_) break;  // ended by that observer: call no one else
  }
}

void ObserverInvoker::run() {
  kal_log(kKalModuleSnmp, kKalLogTrace, "[%s] enter.", "ObserverInvoker::run");
  for (;;) {
    try {
      queued_requests_.acquire();
    } catch (const std::system_error&) {
      kal_log(kKalModuleSnmp, kKalLogError,
              "[ObserverInvoker]: waiting for a request failed.");
      break;
    }
    // A suspended dispatcher stops here, before it takes the next request.
    const bool cancelled = checkpoint();
    Request* request = dequeue();
    if (request) free_slots_.release();  // every signal follows a link
    if (cancelled) {
      kal_log(kKalModuleSnmp, kKalLogInfo, "[ObserverInvoker]: canceled.");
      free_request(request);
      break;
    }
    if (!request) continue;
    if (request->kind == kDestroy) {
      kal_log(kKalModuleSnmp, kKalLogDebug,
              "[ObserverInvoker]: accept kDestroy.");
      free_request(request);
      break;
    }
    kal_log(kKalModuleSnmp, kKalLogDebug,
            "[ObserverInvoker]: accept kFireTrap.");
    fire(request->payload);
    free_request(request);
    if (ending_) {
      // Ended from the notification: nobody will take the queued packets.
      // Freeing their slots also lets a poster that waits for one go on.
      discard_queued();
      break;
    }
  }
  kal_log(kKalModuleSnmp, kKalLogTrace, "[%s] exit.", "ObserverInvoker::run");
}
