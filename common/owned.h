// Ownership helpers for in-house objects: the allocation hook every creation
// function goes through (tests use it to fail the N-th allocation), the status
// out-argument helpers, and KalOwned, a holder that calls release() or
// destroy() when its scope ends.
#ifndef COMMON_OWNED_H_
#define COMMON_OWNED_H_

#include <atomic>
#include <new>
#include <utility>

#include "common/status.h"

namespace kal_alloc_hook {
// Number of kal_new calls still to succeed before one fails; negative: never
// fail. Tests set it; production code never does.
extern std::atomic<long> g_fail_countdown;
// Counts every kal_new call (tests read it to size a fail-each-allocation run).
extern std::atomic<long> g_calls;
// True when the current allocation must fail.
inline bool should_fail() noexcept {
  g_calls.fetch_add(1, std::memory_order_relaxed);
  long left = g_fail_countdown.load(std::memory_order_relaxed);
  if (left < 0) return false;
  return g_fail_countdown.fetch_sub(1, std::memory_order_relaxed) == 0;
}
}  // namespace kal_alloc_hook

// new (std::nothrow) T(args...), through the test hook.
template <class T, class... Args>
T* kal_new(Args&&... args) noexcept {
  if (kal_alloc_hook::should_fail()) return nullptr;
  return new (std::nothrow) T(std::forward<Args>(args)...);
}

inline void kal_set_status(int* pStatus, int status) noexcept {
  if (pStatus) *pStatus = status;
}

// Stores `status` (if asked) and returns nullptr: the failure path of every
// creation function.
template <class T>
T* kal_fail(int* pStatus, int status) noexcept {
  kal_set_status(pStatus, status);
  return nullptr;
}

struct KalCallRelease {
  template <class T>
  void operator()(T* p) const noexcept { p->release(); }
};
struct KalCallDestroy {
  template <class T>
  void operator()(T* p) const noexcept { p->destroy(); }
};

// Owns one in-house object and frees it when the scope ends. This is not
// std::unique_ptr: there, release() means "stop owning", the opposite of our
// interfaces' release(). Use detach() to hand the object on, get() to lend it.
template <class T, class Free = KalCallRelease>
class KalOwned {
 public:
  explicit KalOwned(T* p = nullptr) noexcept : p_(p) {}
  ~KalOwned() { reset(); }
  KalOwned(const KalOwned&) = delete;
  KalOwned& operator=(const KalOwned&) = delete;
  KalOwned(KalOwned&& o) noexcept : p_(o.detach()) {}
  KalOwned& operator=(KalOwned&& o) noexcept {
    if (this != &o) reset(o.detach());
    return *this;
  }
  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  T* detach() noexcept { return std::exchange(p_, nullptr); }
  void reset(T* p = nullptr) noexcept {
    if (p_) Free{}(p_);
    p_ = p;
  }

 private:
  T* p_;
};

#endif  // COMMON_OWNED_H_
