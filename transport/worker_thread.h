// WorkerThread: the thread base of the trap facility (TrapSession and
// ObserverInvoker). It owns one std::thread that is made parked, so that a
// creator can finish setting up before anything runs, and that runs the
// subclass's run() once started. Its state (created, running, suspended,
// cancelled) and the cancel flag sit under one lock; every operation is
// thread-safe.
//
// Suspension is cooperative: suspend() takes effect when run() next calls
// checkpoint(), so a suspended thread never holds a lock that others wait
// for. A thread cancelled before it was started ends without calling run().
//
// An object may be ended from its own thread (an observer ending its trap
// session from inside a notification): run() then returns, the thread is
// detached instead of joined, and a finisher frees the object on that thread
// as the thread's last work (end_on_own_thread()).
#ifndef TRANSPORT_WORKER_THREAD_H_
#define TRANSPORT_WORKER_THREAD_H_

#include <chrono>
#include <cstddef>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "common/status.h"

class WorkerThread {
 public:
  enum EState : int {
    kCreated = 0,
    kCancelled = 2,
    kRunning = 3,
    kSuspended = 4,
  };

  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Lets a created thread run run(): state kRunning. Answers 0;
  // kKalErrGeneral when the thread was already started, cancelled or never
  // made.
  int start();
  // kRunning -> kSuspended (taking effect at the thread's next checkpoint).
  // Answers 0, kKalErrGeneral in any other state.
  int suspend();
  // kSuspended -> kRunning. Answers 0, kKalErrGeneral in any other state.
  int resume();
  // Sets the cancel flag and state kCancelled, and wakes a suspended or
  // never-started thread so that it sees the flag. Answers 0 (also when
  // already cancelled).
  int cancel();
  // Waits without limit until the thread has ended and joins it. Answers 0
  // (also when there is no thread or it was joined before); kKalErrGeneral
  // when called from the thread itself.
  int wait();

  EState state() const;
  bool is_cancelled() const;
  // True from the thread's creation until run() has returned (or the
  // thread ended without running).
  bool is_alive() const;
  std::thread::id thread_id() const;
  // Threads of the trap facility in this process that have not yet ended
  // (a thread ended from inside a notification ends after its caller has
  // returned; this tells when it is gone).
  static size_t live_threads();

 protected:
  WorkerThread() = default;
  // Cancels and joins. Subclasses must end the thread in their own
  // destructor already: run() may use their members.
  virtual ~WorkerThread();

  // Makes the thread, parked in state kCreated. Answers 0; kKalErrNoMemory
  // when no thread can be had; kKalErrGeneral when one was made before.
  int create_thread();

  // The thread's work. Runs once, on the thread, after start().
  virtual void run() = 0;

  // Blocks while the thread is suspended; answers true when it is
  // cancelled. Called by run() between units of work.
  bool checkpoint();
  // Waits up to `timeout` for the cancel flag; answers true when set.
  bool wait_for_cancel(std::chrono::milliseconds timeout);

  // From the thread itself, while run() is active: once run() has returned,
  // the thread detaches itself (nobody joins it) and calls finish(arg) as
  // its last work; finish frees the object (through a destructor that no
  // longer waits for this thread). Answers 0; kKalErrGeneral from another
  // thread or when a finisher is already set.
  int end_on_own_thread(void (*finish)(void*), void* arg);

 private:
  void thread_main();

  mutable std::mutex lock_;  // guards state_, cancel_, alive_
  std::condition_variable changed_;
  EState state_ = kCreated;
  bool cancel_ = false;
  bool alive_ = false;
  std::thread::id id_;

  std::mutex join_lock_;  // one joiner at a time
  std::thread thread_;

  // Set and read on the thread itself only.
  void (*finish_)(void*) = nullptr;
  void* finish_arg_ = nullptr;
};

#endif  // TRANSPORT_WORKER_THREAD_H_
