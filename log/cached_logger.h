// Cached module loggers: the socket and SNMP layers (and the plug-in's "Zel")
// log on hot paths, so each keeps its logger in a record filled once, under
// the record's own lock with a double check, and read without locking after.
// The records are statically initialised and cleared when the process-wide
// manager is destroyed.
#ifndef LOG_CACHED_LOGGER_H_
#define LOG_CACHED_LOGGER_H_

#include <atomic>
#include <mutex>

class Logger;

struct KalCachedLogger {
  std::atomic<Logger*> logger{nullptr};
  const char* module = nullptr;
  std::mutex lock{};
};

// The cached logger of a module: the process-wide manager's logger for
// cache->module, obtained on first use. Lent for the life of the manager.
// On failure answers the manager's null logger (or null when there is no
// manager) with the status in *pStatus (optional), and caches nothing, so the
// next call tries again.
Logger* kal_cached_logger(KalCachedLogger* cache, int* pStatus = nullptr) noexcept;

// The records of the modules "socket", "snmp" and "Zel".
KalCachedLogger* kal_socket_logger_cache() noexcept;
KalCachedLogger* kal_snmp_logger_cache() noexcept;
KalCachedLogger* kal_zel_logger_cache() noexcept;

#endif  // LOG_CACHED_LOGGER_H_
