#include "transport/request_id.h"

#include <unistd.h>

#include <atomic>
#include <chrono>

namespace {

// SplitMix64's finaliser: every input bit reaches every output bit.
uint64_t mix(uint64_t x) {
  x += 0x9e3779b97f4a7c15ull;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
  return x ^ (x >> 31);
}

// The first ID: from the system's random source, else from what differs
// between processes and runs (the clock, the process ID, where the stack
// and the code were placed), which a sender on the LAN does not see.
uint32_t first_request_id() {
  uint32_t random = 0;
  if (!kas_random_bytes(&random, sizeof random)) {
    const int local = 0;
    uint64_t seed = static_cast<uint64_t>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    seed = mix(seed ^ static_cast<uint64_t>(getpid()));
    seed = mix(seed ^ reinterpret_cast<uintptr_t>(&local));
    seed = mix(seed ^ reinterpret_cast<uintptr_t>(&first_request_id));
    random = static_cast<uint32_t>(seed ^ (seed >> 32));
  }
  return kas_request_id_from_random(random);
}

// Made on first use, so a session running during the static initialisation
// of another module still finds a seeded counter. Holds the next ID.
std::atomic<uint32_t>& counter() {
  static std::atomic<uint32_t> next{first_request_id()};
  return next;
}

}  // namespace

uint32_t kas_request_id_from_random(uint32_t random) {
  return 1 + random % kKasRequestIdMax;
}

uint32_t kas_draw_request_id() {
  std::atomic<uint32_t>& next = counter();
  uint32_t id = next.load(std::memory_order_relaxed);
  uint32_t after = 0;
  do {
    after = id >= kKasRequestIdMax ? 1 : id + 1;
  } while (!next.compare_exchange_weak(id, after, std::memory_order_relaxed));
  return id;
}

void kas_set_next_request_id_for_testing(uint32_t next) {
  counter().store(next == 0 || next > kKasRequestIdMax ? 1 : next,
                  std::memory_order_relaxed);
}
