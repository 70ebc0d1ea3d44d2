// Counters of the benchmark process: request datagrams and octets sent
// and received, time spent waiting in poll, heap allocations. The counted
// C library functions (sendto, recvfrom, poll; malloc, calloc and realloc
// outside sanitizer builds) are defined in the executable, which exports
// them: a library loaded later binds to these definitions before the C
// library's own, so its calls are counted too.
#ifndef BENCHMARKS_CALL_COUNTERS_H_
#define BENCHMARKS_CALL_COUNTERS_H_

#include <cstdint>

struct CallCounts {
  uint64_t sent = 0;
  uint64_t sent_octets = 0;
  uint64_t received = 0;
  uint64_t received_octets = 0;
  uint64_t allocations = 0;
  uint64_t wait_us = 0;  // time spent in poll, waiting for answers

  CallCounts operator-(const CallCounts& o) const {
    return {sent - o.sent, sent_octets - o.sent_octets, received - o.received,
            received_octets - o.received_octets, allocations - o.allocations,
            wait_us - o.wait_us};
  }
  void add(const CallCounts& o) {
    sent += o.sent;
    sent_octets += o.sent_octets;
    received += o.received;
    received_octets += o.received_octets;
    allocations += o.allocations;
    wait_us += o.wait_us;
  }
};

// The counters since the process started (allocations stay 0 in sanitizer
// builds, which bring their own allocator).
CallCounts call_counts_now();

#endif  // BENCHMARKS_CALL_COUNTERS_H_
