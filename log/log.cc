// The log call, the process-wide manager with its cached module loggers, and
// the configuring calls.
#include "log/log.h"

#include <cstring>

#include "common/status.h"
#include "log/cached_logger.h"
#include "log/log_config.h"
#include "log/log_manager.h"
#include "log/log_output.h"

namespace {

std::atomic<LogManager*> g_manager{nullptr};
std::mutex g_manager_lock;
std::atomic<bool> g_unloading{false};

constinit KalCachedLogger g_socket_cache{.module = kKalModuleSocket};
constinit KalCachedLogger g_snmp_cache{.module = kKalModuleSnmp};
constinit KalCachedLogger g_zel_cache{.module = kKalModuleZel};
KalCachedLogger* const kCaches[] = {&g_socket_cache, &g_snmp_cache, &g_zel_cache};

// Destroys the manager when the module is unloaded. It is made right after
// the manager, so services made later (which may log while they go) are
// destroyed before it; log calls after it write nothing.
struct ManagerReaper {
  ~ManagerReaper() {
    g_unloading.store(true);
    // Cache locks before the manager lock: the order kal_cached_logger uses.
    for (KalCachedLogger* cache : kCaches) {
      std::lock_guard<std::mutex> hold(cache->lock);
      cache->logger.store(nullptr);
    }
    std::lock_guard<std::mutex> hold(g_manager_lock);
    if (LogManager* manager = g_manager.exchange(nullptr)) manager->destroy();
  }
};

KalCachedLogger* cache_for(const char* module) {
  for (KalCachedLogger* cache : kCaches) {
    if (module == cache->module) return cache;
  }
  if (!module) return nullptr;
  for (KalCachedLogger* cache : kCaches) {
    if (std::strcmp(module, cache->module) == 0) return cache;
  }
  return nullptr;
}

// The logger of `module`, through its cache where it has one.
Logger* logger_for(const char* module, int* pStatus) {
  if (KalCachedLogger* cache = cache_for(module)) return kal_cached_logger(cache, pStatus);
  LogManager* manager = kal_log_manager(pStatus);
  return manager ? manager->get_logger(module, pStatus) : nullptr;
}

bool same_text(const char* a, const char* b) { return a && b && std::strcmp(a, b) == 0; }

// The manager's output `instance` of `kind`, or the reason there is none.
LogOutput* own_output(LogManager* manager, const char* kind, const char* instance, int* pStatus) {
  LogOutput* output = manager->get_or_create_output(kind, instance);
  if (output && same_text(output->kind_name(), kind)) {
    *pStatus = kKalOk;
    return output;
  }
  // A null output: the name is taken by another kind, or making it failed.
  LogOutput* taken = manager->find_output(instance);
  *pStatus = taken != kal_null_standard_output() ? kKalErrInvalidArg : kKalErrNoMemory;
  return nullptr;
}

int configure_stream(const char* kind, uint32_t mask) noexcept {
  int rc = kKalOk;
  LogManager* manager = kal_log_manager(&rc);
  if (!manager) return rc;
  LogOutput* output = own_output(manager, kind, kind, &rc);
  return output ? kal_log_configure_output(output, mask) : rc;
}

}  // namespace

LogManager* kal_log_manager(int* pStatus) noexcept {
  LogManager* manager = g_manager.load(std::memory_order_acquire);
  if (!manager) {
    std::lock_guard<std::mutex> hold(g_manager_lock);
    if (g_unloading.load()) return kal_fail<LogManager>(pStatus, kKalErrNotSupported);
    manager = g_manager.load(std::memory_order_relaxed);
    if (!manager) {
      int rc = kKalOk;
      manager = LogManager::create(&rc);
      // Nothing is recorded on failure, so the next call tries again.
      if (!manager) return kal_fail<LogManager>(pStatus, rc);
      static ManagerReaper reaper;
      g_manager.store(manager, std::memory_order_release);
    }
  }
  kal_set_status(pStatus, kKalOk);
  return manager;
}

Logger* kal_cached_logger(KalCachedLogger* cache, int* pStatus) noexcept {
  if (!cache) return kal_fail<Logger>(pStatus, kKalErrInvalidArg);
  Logger* logger = cache->logger.load(std::memory_order_acquire);
  if (!logger) {
    std::lock_guard<std::mutex> hold(cache->lock);
    logger = cache->logger.load(std::memory_order_relaxed);
    if (!logger) {
      int rc = kKalOk;
      LogManager* manager = kal_log_manager(&rc);
      if (!manager) return kal_fail<Logger>(pStatus, rc);
      logger = manager->get_logger(cache->module, &rc);
      if (rc != kKalOk) {
        kal_set_status(pStatus, rc);
        return logger;
      }
      cache->logger.store(logger, std::memory_order_release);
    }
  }
  kal_set_status(pStatus, kKalOk);
  return logger;
}

KalCachedLogger* kal_socket_logger_cache() noexcept { return &g_socket_cache; }
KalCachedLogger* kal_snmp_logger_cache() noexcept { return &g_snmp_cache; }
KalCachedLogger* kal_zel_logger_cache() noexcept { return &g_zel_cache; }

int kal_vlog(const char* module, uint32_t level, const char* format, va_list args) {
  int rc = kKalOk;
  Logger* logger = logger_for(module, &rc);
  if (rc != kKalOk || !logger) return rc;
  return logger->vlog(level, format, args);
}

int kal_log(const char* module, uint32_t level, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int rc = kal_vlog(module, level, format, args);
  va_end(args);
  return rc;
}

int zel_log(uint32_t level, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int rc = kal_vlog(kKalModuleZel, level, format, args);
  va_end(args);
  return rc;
}

bool kal_log_enabled(const char* module, uint32_t level) {
  int rc = kKalOk;
  Logger* logger = logger_for(module, &rc);
  return rc == kKalOk && logger && (logger->get_level_mask() & level) != 0;
}

int kal_log_configure_output(LogOutput* output, uint32_t mask) noexcept {
  if (!output) return kKalErrInvalidArg;
  int rc = kKalOk;
  LogManager* manager = kal_log_manager(&rc);
  if (!manager) return rc;
  Logger* group = manager->group_logger();
  rc = group->attach_output(output);
  return rc != kKalOk ? rc : group->set_level_mask(mask);
}

int kal_log_configure_stdout(uint32_t mask) noexcept { return configure_stream("stdout", mask); }
int kal_log_configure_stderr(uint32_t mask) noexcept { return configure_stream("stderr", mask); }

int kal_log_configure_file(const char* path, uint32_t mask, uint32_t size_limit) noexcept {
  if (!path || !*path) return kKalErrInvalidArg;
  int rc = kKalOk;
  LogManager* manager = kal_log_manager(&rc);
  if (!manager) return rc;
  LogOutput* output = own_output(manager, "file", path, &rc);
  if (!output) return rc;
  void* itf = nullptr;
  rc = output->query_interface(kKalIidFileLogOutput, &itf);
  if (rc != kKalOk) return rc;
  FileLogOutput* file = static_cast<FileLogOutput*>(itf);
  rc = file->set_file_path(path);
  if (rc == kKalOk) rc = file->set_size_limit(size_limit);
  return rc != kKalOk ? rc : kal_log_configure_output(output, mask);
}

int kal_log_detach_output(LogOutput* output) noexcept {
  if (!output) return kKalErrInvalidArg;
  int rc = kKalOk;
  LogManager* manager = kal_log_manager(&rc);
  if (!manager) return rc;
  void* itf = nullptr;
  rc = manager->group_logger()->query_interface(kKalIidLoggerExtension, &itf);
  if (rc != kKalOk) return rc;
  return static_cast<LoggerExtension*>(itf)->detach_output(output);
}
