// The trap facility's thread base: a parked std::thread, its state machine
// and the cancel flag.
#include "transport/worker_thread.h"

#include <atomic>
#include <new>
#include <system_error>

#include "common/owned.h"

namespace {

std::atomic<size_t> g_live_threads{0};

}  // namespace

WorkerThread::~WorkerThread() {
  cancel();
  wait();
}

int WorkerThread::create_thread() {
  std::lock_guard<std::mutex> hold(join_lock_);
  if (thread_.joinable()) return kKalErrGeneral;
  // Thread creation goes through the allocation hook too, so that the
  // failure paths of the trap facility can be driven by tests.
  if (kal_alloc_hook::should_fail()) return kKalErrNoMemory;
  {
    std::lock_guard<std::mutex> state(lock_);
    state_ = kCreated;
    cancel_ = false;
    alive_ = true;
  }
  ++g_live_threads;  // before the thread can end and count itself off
  try {
    thread_ = std::thread(&WorkerThread::thread_main, this);
  } catch (const std::system_error&) {
    --g_live_threads;
    std::lock_guard<std::mutex> state(lock_);
    alive_ = false;
    return kKalErrNoMemory;
  } catch (const std::bad_alloc&) {
    --g_live_threads;
    std::lock_guard<std::mutex> state(lock_);
    alive_ = false;
    return kKalErrNoMemory;
  }
  std::lock_guard<std::mutex> state(lock_);
  id_ = thread_.get_id();
  return kKalOk;
}

void WorkerThread::thread_main() {
  bool cancelled = false;
  {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [this] { return state_ != kCreated; });
    cancelled = cancel_;
  }
  if (!cancelled) run();
  void (*finish)(void*) = finish_;
  void* arg = finish_arg_;
  if (finish) {
    // Ended from its own thread: the owner has let go, nobody joins.
    std::lock_guard<std::mutex> hold(join_lock_);
    thread_.detach();
  }
  {
    std::lock_guard<std::mutex> hold(lock_);
    alive_ = false;
  }
  if (finish) finish(arg);  // frees this object: touch no member after it
  --g_live_threads;
}

int WorkerThread::end_on_own_thread(void (*finish)(void*), void* arg) {
  if (!finish || finish_ || std::this_thread::get_id() != thread_id()) {
    return kKalErrGeneral;
  }
  finish_ = finish;
  finish_arg_ = arg;
  return kKalOk;
}

size_t WorkerThread::live_threads() { return g_live_threads.load(); }

int WorkerThread::start() {
  std::lock_guard<std::mutex> hold(lock_);
  if (state_ != kCreated || !alive_) return kKalErrGeneral;
  state_ = kRunning;
  changed_.notify_all();
  return kKalOk;
}

int WorkerThread::suspend() {
  std::lock_guard<std::mutex> hold(lock_);
  if (state_ != kRunning) return kKalErrGeneral;
  state_ = kSuspended;
  return kKalOk;
}

int WorkerThread::resume() {
  std::lock_guard<std::mutex> hold(lock_);
  if (state_ != kSuspended) return kKalErrGeneral;
  state_ = kRunning;
  changed_.notify_all();
  return kKalOk;
}

int WorkerThread::cancel() {
  std::lock_guard<std::mutex> hold(lock_);
  cancel_ = true;
  state_ = kCancelled;
  changed_.notify_all();
  return kKalOk;
}

int WorkerThread::wait() {
  std::lock_guard<std::mutex> hold(join_lock_);
  if (!thread_.joinable()) return kKalOk;
  if (thread_.get_id() == std::this_thread::get_id()) return kKalErrGeneral;
  thread_.join();
  return kKalOk;
}

WorkerThread::EState WorkerThread::state() const {
  std::lock_guard<std::mutex> hold(lock_);
  return state_;
}

bool WorkerThread::is_cancelled() const {
  std::lock_guard<std::mutex> hold(lock_);
  return cancel_;
}

bool WorkerThread::is_alive() const {
  std::lock_guard<std::mutex> hold(lock_);
  return alive_;
}

std::thread::id WorkerThread::thread_id() const {
  std::lock_guard<std::mutex> hold(lock_);
  return id_;
}

bool WorkerThread::checkpoint() {
  std::unique_lock<std::mutex> hold(lock_);
  changed_.wait(hold, [this] { return state_ != kSuspended; });
  return cancel_;
}

bool WorkerThread::wait_for_cancel(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> hold(lock_);
  return changed_.wait_for(hold, timeout, [this] { return cancel_; });
}
