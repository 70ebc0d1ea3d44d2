// The CPU time clocks the benchmarks read.
#ifndef BENCHMARKS_CPU_CLOCK_H_
#define BENCHMARKS_CPU_CLOCK_H_

#include <sys/resource.h>
#include <time.h>

namespace zelbench {

inline double seconds_of(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// The calling thread's CPU time, user and system, from the scheduler's own
// accounting (finer than getrusage's split of ticks).
inline double thread_cpu_seconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The calling thread's system CPU time (getrusage; tick-sampled, so only the
// split between user and system time is read from it).
inline double thread_system_seconds() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return seconds_of(usage.ru_stime);
}

// The process's CPU time in user space (`user`) or in the kernel (`!user`).
inline double process_cpu_seconds(bool user) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return seconds_of(user ? usage.ru_utime : usage.ru_stime);
}

}  // namespace zelbench

#endif  // BENCHMARKS_CPU_CLOCK_H_
