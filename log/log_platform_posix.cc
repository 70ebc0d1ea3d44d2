#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include "log/log_platform.h"

void kal_log_local_time(KalLogStamp* stamp) noexcept {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  const time_t seconds = now.tv_sec;
  localtime_r(&seconds, &local);
  stamp->year = local.tm_year + 1900;
  stamp->month = local.tm_mon + 1;
  stamp->day = local.tm_mday;
  stamp->hour = local.tm_hour;
  stamp->minute = local.tm_min;
  stamp->second = local.tm_sec;
  stamp->millisecond = static_cast<int>(now.tv_nsec / 1000000);
}

uint32_t kal_log_process_id() noexcept { return static_cast<uint32_t>(getpid()); }

uint32_t kal_log_thread_id() noexcept { return static_cast<uint32_t>(gettid()); }
