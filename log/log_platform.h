// What a log line needs from the platform: the local time to the millisecond
// and the process and thread identifiers. Implemented per platform
// (log_platform_posix.cc). Thread-safe.
#ifndef LOG_LOG_PLATFORM_H_
#define LOG_LOG_PLATFORM_H_

#include <cstdint>

struct KalLogStamp {
  int year;
  int month;  // 1..12
  int day;
  int hour;
  int minute;
  int second;
  int millisecond;
};

void kal_log_local_time(KalLogStamp* stamp) noexcept;
uint32_t kal_log_process_id() noexcept;
uint32_t kal_log_thread_id() noexcept;

#endif  // LOG_LOG_PLATFORM_H_
