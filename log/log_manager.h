// The log manager: the loggers by module name (the group "All" first), the
// outputs made through it, the output factories ("stdout", "file", then
// "stderr") and the null logger it hands out when it cannot answer a real
// one. The process has one, made on first use by kal_log_manager() and
// destroyed when the module is unloaded; tests may make their own. Every
// operation is thread-safe; the manager's lock is never held while a line is
// written.
#ifndef LOG_LOG_MANAGER_H_
#define LOG_LOG_MANAGER_H_

#include <cstdint>
#include <mutex>
#include <vector>

#include "common/owned.h"
#include "log/logger.h"
#include "log/null_logger.h"

class LogOutput;
class LogOutputFactory;

class LogManager {
 public:
  // A new manager with the factories registered and the group made. The
  // caller owns it (destroy()). *pStatus (optional): 0, kKalErrNoMemory.
  static LogManager* create(int* pStatus = nullptr) noexcept;
  // Frees the manager with its loggers and the outputs it made.
  int destroy() noexcept;

  // The logger of `name`, made (joined to the group, given `output` when not
  // null) when there is none. Lent for the life of the manager.
  // *pStatus: 0; kKalErrInvalidArg (null name), kKalErrNoMemory or the
  // failing attachment's result, each with the null logger.
  Logger* get_or_create_logger(const char* name, LogOutput* output,
                               int* pStatus = nullptr) noexcept;
  // The logger of `name`, or null with kKalErrNotFound; a null name answers
  // the null logger with kKalErrInvalidArg.
  Logger* find_logger(const char* name, int* pStatus = nullptr) noexcept;
  // get_or_create_logger without an output.
  Logger* get_logger(const char* name, int* pStatus = nullptr) noexcept;

  // The output named `instance` when its kind is `kind`; a new one made by
  // the kind's factory (and kept by the manager) when none has that name.
  // Either argument missing: the null output of the kind's factory (else of
  // "stdout"); a name taken by another kind: the null output of `kind`; an
  // unknown kind: null. Lent for the life of the manager.
  LogOutput* get_or_create_output(const char* kind, const char* instance) noexcept;
  // The output named `instance`, else the null standard output.
  LogOutput* find_output(const char* instance) noexcept;
  // Adds a factory (lent: it must outlive the manager). The first factory of
  // a kind wins. Answers 0, kKalErrInvalidArg, kKalErrNoMemory.
  int register_output_factory(LogOutputFactory* factory) noexcept;

  // Convenience: set a module's level mask or column flags by name (the
  // logger is made when missing; "All" sets every logger).
  int set_level_mask(const char* module, uint32_t mask) noexcept;
  int set_column_flags(const char* module, uint32_t flags) noexcept;

  // The group "All" and the null logger, lent for the life of the manager.
  Logger* group_logger() noexcept { return group_; }
  Logger* null_logger() noexcept { return &null_logger_; }

 private:
  template <class T, class... Args>
  friend T* kal_new(Args&&... args) noexcept;
  LogManager() = default;
  ~LogManager();
  int init() noexcept;
  Logger* find_locked(const char* name) noexcept;
  LogOutputFactory* factory_locked(const char* kind) noexcept;

  std::mutex lock_;
  std::vector<Logger*> loggers_;
  std::vector<LogOutput*> outputs_;
  std::vector<LogOutputFactory*> factories_;
  Logger* group_ = nullptr;
  NullLogger null_logger_;
};

// The process-wide manager, made on first use under a process-wide lock
// (double-checked). After a failed creation the next call tries again.
// *pStatus (optional): 0, kKalErrNoMemory; kKalErrNotSupported once the
// module is being unloaded.
LogManager* kal_log_manager(int* pStatus = nullptr) noexcept;

#endif  // LOG_LOG_MANAGER_H_
