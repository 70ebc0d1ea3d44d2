// The dispatching thread on its own: attach and detach rules, ending with
// requests still queued, suspension, and the worker-thread states (the
// bounded queue is tested through a trap session). Run under LeakSanitizer
// and ThreadSanitizer too.
#include "transport/observer_invoker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "common/owned.h"
#include "transport/trap_session_test_util.h"

namespace {

using trap_test::eventually;
using trap_test::make_trap;
using trap_test::RecordingObserver;

struct InvokerFree {
  void operator()(ObserverInvoker* p) const { p->release(); }
};
using Invoker = KalOwned<ObserverInvoker, InvokerFree>;

Invoker make_invoker(bool started = true) {
  ObserverInvoker* raw = nullptr;
  EXPECT_EQ(ObserverInvoker::create(&raw), kKalOk);
  if (raw && started) {
    EXPECT_EQ(raw->start(), kKalOk);
  }
  return Invoker(raw);
}

std::vector<int32_t> iota(int32_t from, int32_t to) {
  std::vector<int32_t> out;
  for (int32_t i = from; i < to; ++i) out.push_back(i);
  return out;
}

// Posts trap packets FROM..TO-1 for dispatch.
void fire(ObserverInvoker* invoker, int32_t from, int32_t to = -1) {
  for (int32_t seq = from; seq < (to < 0 ? from + 1 : to); ++seq) {
    EXPECT_EQ(invoker->post_request(ObserverInvoker::kFireTrap, make_trap(seq)), kKalOk);
  }
}

TEST(ObserverInvoker, DetachRemovesEveryEntryOfAnObserver) {
  Invoker invoker = make_invoker();
  RecordingObserver twice, once;
  ASSERT_EQ(invoker->attach_observer(&twice), kKalOk);
  ASSERT_EQ(invoker->attach_observer(&once), kKalOk);
  ASSERT_EQ(invoker->attach_observer(&twice), kKalOk);
  fire(invoker.get(), 1);
  ASSERT_TRUE(once.wait_for(1));
  ASSERT_TRUE(twice.wait_for(2));  // one call per entry

  ASSERT_EQ(invoker->detach_observer(&twice), kKalOk);
  fire(invoker.get(), 2);
  ASSERT_TRUE(once.wait_for(2));
  EXPECT_EQ(twice.sequence(), (std::vector<int32_t>{1, 1}));
  EXPECT_EQ(once.sequence(), (std::vector<int32_t>{1, 2}));
}

TEST(ObserverInvoker, ObserverAttachedDuringADispatchIsCalledFromTheNextPacket) {
  Invoker invoker = make_invoker();
  RecordingObserver first, late;
  first.hold();
  ASSERT_EQ(invoker->attach_observer(&first), kKalOk);
  fire(invoker.get(), 1);
  ASSERT_TRUE(first.wait_for(1));  // packet 1 is being dispatched

  // The attach waits for the dispatch of packet 1 to end.
  std::thread attacher([&] { EXPECT_EQ(invoker->attach_observer(&late), kKalOk); });
  first.let_go();
  attacher.join();
  fire(invoker.get(), 2);
  ASSERT_TRUE(late.wait_for(1));
  ASSERT_TRUE(first.wait_for(2));
  EXPECT_EQ(late.sequence(), (std::vector<int32_t>{2}));
  EXPECT_EQ(first.sequence(), (std::vector<int32_t>{1, 2}));
}

// The observer lock is held during a notification: an attach or detach from
// there would wait for its own thread for ever. It is refused instead.
TEST(ObserverInvoker, AttachOrDetachFromInsideANotificationIsRefused) {
  Invoker invoker = make_invoker();
  RecordingObserver observer, other;
  std::atomic<int> attach_rc{1}, detach_rc{1};
  observer.set_during([&] {
    attach_rc = invoker->attach_observer(&other);
    detach_rc = invoker->detach_observer(&observer);
  });
  ASSERT_EQ(invoker->attach_observer(&observer), kKalOk);
  fire(invoker.get(), 1, 3);
  ASSERT_TRUE(observer.wait_for(2));  // still attached
  EXPECT_EQ(attach_rc.load(), kKalErrNotSupported);
  EXPECT_EQ(detach_rc.load(), kKalErrNotSupported);
  EXPECT_EQ(other.count(), 0u);
}

// Releasing the invoker from inside its own notification returns at once;
// the thread ends after the notification and frees the invoker and the
// packets still queued.
TEST(ObserverInvoker, ReleasedFromInsideANotificationEndsAfterIt) {
  const size_t threads_before = WorkerThread::live_threads();
  ObserverInvoker* invoker = nullptr;
  ASSERT_EQ(ObserverInvoker::create(&invoker), kKalOk);
  ASSERT_EQ(invoker->start(), kKalOk);
  RecordingObserver observer;
  observer.hold();
  observer.set_during([&] {
    invoker->release();
    invoker->release();  // a second one changes nothing
  });
  ASSERT_EQ(invoker->attach_observer(&observer), kKalOk);
  fire(invoker, 0, 3);
  ASSERT_TRUE(observer.wait_for(1));
  observer.let_go();
  ASSERT_TRUE(eventually(
      [&] { return WorkerThread::live_threads() == threads_before; }));
  EXPECT_EQ(observer.count(), 1u);
}

TEST(ObserverInvoker, RefusedRequestsReleaseTheirPacket) {
  Invoker invoker = make_invoker();
  EXPECT_EQ(invoker->post_request(7, make_trap(1)), kKalErrInvalidArg);
  EXPECT_EQ(invoker->post_request(-1, make_trap(1)), kKalErrInvalidArg);
  EXPECT_EQ(invoker->post_request(ObserverInvoker::kFireTrap, nullptr), kKalErrInvalidArg);
  EXPECT_EQ(invoker->attach_observer(nullptr), kKalErrInvalidArg);
  EXPECT_EQ(invoker->detach_observer(nullptr), kKalErrInvalidArg);
  EXPECT_EQ(invoker->queued(), 0u);
  EXPECT_EQ(ObserverInvoker::create(nullptr), kKalErrInvalidArg);
}

TEST(ObserverInvoker, EndingDeliversWhatIsQueuedFirst) {
  RecordingObserver observer;
  {
    Invoker invoker = make_invoker();
    observer.hold();
    ASSERT_EQ(invoker->attach_observer(&observer), kKalOk);
    fire(invoker.get(), 0, 10);
    ASSERT_TRUE(observer.wait_for(1));
    observer.let_go();
  }  // kDestroy follows the ten packets
  EXPECT_EQ(observer.sequence(), iota(0, 10));
}

// Requests left in the queue when the thread ends go with the invoker
// (LeakSanitizer checks that every packet is released).
TEST(ObserverInvoker, EndingReleasesPacketsThatWereNeverDispatched) {
  {
    Invoker never_started = make_invoker(false);
    fire(never_started.get(), 0, 5);
    EXPECT_EQ(never_started->queued(), 5u);
  }
  {
    RecordingObserver observer;
    Invoker cancelled = make_invoker();
    ASSERT_EQ(cancelled->attach_observer(&observer), kKalOk);
    fire(cancelled.get(), 0);
    ASSERT_TRUE(observer.wait_for(1));  // the thread runs
    ASSERT_EQ(cancelled->cancel(), kKalOk);
    fire(cancelled.get(), 0, 5);
    // The cancelled thread ends at the first request it takes.
    ASSERT_TRUE(eventually([&] { return !cancelled->is_alive(); }));
    EXPECT_EQ(cancelled->queued(), 4u);
    EXPECT_EQ(observer.count(), 1u);
  }
}

TEST(ObserverInvoker, SuspendedDispatcherHoldsPacketsUntilResumedOrEnded) {
  Invoker invoker = make_invoker();
  RecordingObserver observer;
  ASSERT_EQ(invoker->attach_observer(&observer), kKalOk);
  ASSERT_EQ(invoker->suspend(), kKalOk);
  fire(invoker.get(), 0, 3);
  // At most the first request was taken off the semaphore; none was handed
  // to an observer.
  EXPECT_EQ(observer.count(), 0u);
  ASSERT_EQ(invoker->resume(), kKalOk);
  ASSERT_TRUE(observer.wait_for(3));
  EXPECT_EQ(observer.sequence(), iota(0, 3));

  // Ending a suspended dispatcher still ends, and delivers what is queued.
  RecordingObserver last;
  {
    Invoker suspended = make_invoker();
    ASSERT_EQ(suspended->attach_observer(&last), kKalOk);
    ASSERT_EQ(suspended->suspend(), kKalOk);
    fire(suspended.get(), 1);
  }
  EXPECT_EQ(last.sequence(), (std::vector<int32_t>{1}));
}

struct StateStep {
  const char* name;
  int (WorkerThread::*call)();
  int expected_rc;
  WorkerThread::EState expected_state;
};

TEST(WorkerThread, StateTransitions) {
  using W = WorkerThread;
  const StateStep steps[] = {
      {"suspend before start", &W::suspend, kKalErrGeneral, W::kCreated},
      {"resume before start", &W::resume, kKalErrGeneral, W::kCreated},
      {"start", &W::start, kKalOk, W::kRunning},
      {"start again", &W::start, kKalErrGeneral, W::kRunning},
      {"resume while running", &W::resume, kKalErrGeneral, W::kRunning},
      {"suspend", &W::suspend, kKalOk, W::kSuspended},
      {"suspend again", &W::suspend, kKalErrGeneral, W::kSuspended},
      {"resume", &W::resume, kKalOk, W::kRunning},
      {"suspend before cancel", &W::suspend, kKalOk, W::kSuspended},
      {"cancel wakes it", &W::cancel, kKalOk, W::kCancelled},
      {"cancel again", &W::cancel, kKalOk, W::kCancelled},
      {"start after cancel", &W::start, kKalErrGeneral, W::kCancelled},
  };
  Invoker invoker = make_invoker(false);
  ASSERT_TRUE(invoker);
  EXPECT_EQ(invoker->state(), W::kCreated);
  EXPECT_TRUE(invoker->is_alive());
  for (const StateStep& step : steps) {
    SCOPED_TRACE(step.name);
    EXPECT_EQ((invoker.get()->*step.call)(), step.expected_rc);
    EXPECT_EQ(invoker->state(), step.expected_state);
  }
  EXPECT_TRUE(invoker->is_cancelled());
}

TEST(WorkerThread, ThreadCancelledBeforeStartEndsWithoutRunning) {
  RecordingObserver observer;
  Invoker invoker = make_invoker(false);
  ASSERT_EQ(invoker->attach_observer(&observer), kKalOk);
  fire(invoker.get(), 1);
  ASSERT_EQ(invoker->cancel(), kKalOk);
  ASSERT_EQ(invoker->wait(), kKalOk);
  EXPECT_FALSE(invoker->is_alive());
  EXPECT_EQ(observer.count(), 0u);
  EXPECT_EQ(invoker->queued(), 1u);  // released with the invoker
}

TEST(ObserverInvoker, EveryFailedAllocationInCreateIsReportedAndLeaksNothing) {
  long calls = 0;
  {
    const long before = kal_alloc_hook::g_calls.load();
    Invoker probe = make_invoker(false);
    calls = kal_alloc_hook::g_calls.load() - before;
  }
  ASSERT_GT(calls, 0);
  for (long n = 0; n < calls; ++n) {
    SCOPED_TRACE(n);
    kal_alloc_hook::g_fail_countdown = n;
    ObserverInvoker* raw = nullptr;
    const int rc = ObserverInvoker::create(&raw);
    kal_alloc_hook::g_fail_countdown = -1;
    EXPECT_EQ(rc, kKalErrNoMemory);
    EXPECT_EQ(raw, nullptr);
  }
}

}  // namespace
