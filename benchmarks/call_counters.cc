#include "benchmarks/call_counters.h"

#include <dlfcn.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstddef>

#define ZEL_BENCH_VISIBLE __attribute__((visibility("default")))

namespace {

std::atomic<uint64_t> g_sent{0};
std::atomic<uint64_t> g_sent_octets{0};
std::atomic<uint64_t> g_received{0};
std::atomic<uint64_t> g_received_octets{0};
std::atomic<uint64_t> g_allocations{0};
std::atomic<uint64_t> g_wait_us{0};

}  // namespace

CallCounts call_counts_now() {
  return {g_sent.load(std::memory_order_relaxed), g_sent_octets.load(std::memory_order_relaxed),
          g_received.load(std::memory_order_relaxed),
          g_received_octets.load(std::memory_order_relaxed),
          g_allocations.load(std::memory_order_relaxed), g_wait_us.load(std::memory_order_relaxed)};
}

// The library calls the C library's sendto and recvfrom through its own
// dynamic symbol table; the executable's definitions come first.
extern "C" ZEL_BENCH_VISIBLE ssize_t sendto(int fd, const void* buffer, size_t length, int flags,
                                            const sockaddr* to, socklen_t to_length) {
  using Fn = ssize_t (*)(int, const void*, size_t, int, const sockaddr*, socklen_t);
  static const Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "sendto"));
  const ssize_t rc = real(fd, buffer, length, flags, to, to_length);
  if (rc >= 0) {
    g_sent.fetch_add(1, std::memory_order_relaxed);
    g_sent_octets.fetch_add(static_cast<uint64_t>(rc), std::memory_order_relaxed);
  }
  return rc;
}

extern "C" ZEL_BENCH_VISIBLE ssize_t recvfrom(int fd, void* buffer, size_t length, int flags,
                                              sockaddr* from, socklen_t* from_length) {
  using Fn = ssize_t (*)(int, void*, size_t, int, sockaddr*, socklen_t*);
  static const Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "recvfrom"));
  const ssize_t rc = real(fd, buffer, length, flags, from, from_length);
  if (rc >= 0) {
    g_received.fetch_add(1, std::memory_order_relaxed);
    g_received_octets.fetch_add(static_cast<uint64_t>(rc), std::memory_order_relaxed);
  }
  return rc;
}

// The library waits for an answer in poll: the time spent there is the
// agent's (and the scheduler's), not the client's.
extern "C" ZEL_BENCH_VISIBLE int poll(pollfd* fds, nfds_t count, int timeout_ms) {
  using Fn = int (*)(pollfd*, nfds_t, int);
  static const Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "poll"));
  const auto start = std::chrono::steady_clock::now();
  const int rc = real(fds, count, timeout_ms);
  g_wait_us.fetch_add(static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                                std::chrono::steady_clock::now() - start)
                                                .count()),
                      std::memory_order_relaxed);
  return rc;
}

// The sanitizers bring their own allocator: there the count stays 0.
#if defined(ZEL_BENCH_COUNT_ALLOCATIONS)
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);

ZEL_BENCH_VISIBLE void* malloc(size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_malloc(size);
}
ZEL_BENCH_VISIBLE void* calloc(size_t count, size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_calloc(count, size);
}
ZEL_BENCH_VISIBLE void* realloc(void* block, size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_realloc(block, size);
}
ZEL_BENCH_VISIBLE void free(void* block) { __libc_free(block); }
}  // extern "C"
#endif

