// Loggers: one per module name, each with a level mask, indent, column flags,
// an ID radix and the outputs its lines go to. A line is built and written
// under the logger's own lock, so lines are never interleaved. The group
// logger "All" passes its settings and outputs on to every member, and the
// null logger "null_session" stands in where no real logger can be answered.
// All loggers belong to their LogManager and live as long as it does.
#ifndef LOG_LOGGER_H_
#define LOG_LOGGER_H_

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "common/interface_id.h"

class LogOutput;

inline constexpr char kKalLogGroupName[] = "All";
inline constexpr char kKalNullLoggerName[] = "null_session";

// Answers kKalIidRoot and kKalIidLogger (per-module loggers and the group
// also kKalIidLoggerExtension; the group and the null logger
// kKalIidManagedLogger; the group kKalIidLogGroup). add_reference answers 0,
// release and destroy kKalErrNotSupported: the manager frees its loggers.
class Logger : public IKalRoot {
 public:
  // Lent for the life of the logger.
  virtual const char* module_name() = 0;
  // Adds an output (lent: it must outlive its attachment). An output whose
  // instance name is already attached is not attached again; answers 0,
  // kKalErrInvalidArg for null, kKalErrNoMemory.
  virtual int attach_output(LogOutput* output) = 0;
  virtual int set_level_mask(uint32_t mask) = 0;
  virtual uint32_t get_level_mask(int* pStatus = nullptr) = 0;
  // Lines are indented by `count` groups of four blanks.
  virtual int set_indent(uint32_t count) = 0;
  virtual uint32_t get_indent(int* pStatus = nullptr) = 0;
  // kKalLogColumnTime | kKalLogColumnProcess | kKalLogColumnThread.
  virtual int set_column_flags(uint32_t flags) = 0;
  virtual uint32_t get_column_flags(int* pStatus = nullptr) = 0;
  // 10 or 16, else kKalErrInvalidArg and the radix stays.
  virtual int set_radix(uint32_t radix) = 0;
  virtual uint32_t get_radix(int* pStatus = nullptr) = 0;
  // Reserved slot: answers kKalErrNotFound.
  virtual int unsupported() = 0;
  // Writes one line when `level` has a bit in common with the level mask,
  // else answers 0. Answers the last non-zero output result, else 0.
  virtual int log(uint32_t level, const char* format, ...)
      __attribute__((format(printf, 3, 4))) = 0;
  virtual int vlog(uint32_t level, const char* format, va_list args) = 0;
};

// The outputs of a real logger (kKalIidLoggerExtension).
class LoggerExtension : public Logger {
 public:
  virtual size_t output_count() = 0;
  // Lent; null past the end.
  virtual LogOutput* output_at(size_t index) = 0;
  // Removes an attached output (the group: from itself and every member), so
  // that a caller may free it. Answers 0, kKalErrInvalidArg for null,
  // kKalErrNotFound when it was not attached here.
  virtual int detach_output(LogOutput* output) = 0;
};

// A logger that takes other loggers in (kKalIidManagedLogger).
class ManagedLogger : public IKalRoot {
 public:
  // The member takes over, in this order, the level mask, column flags,
  // radix and indent, then every output, in order. The first failing
  // attachment aborts the join with its result (the member is then not
  // kept). The null logger answers 0 and keeps nothing.
  virtual int add_member(Logger* member) = 0;
};

// The group's member list (kKalIidLogGroup).
class LogGroup : public IKalRoot {
 public:
  virtual size_t member_count() = 0;
  virtual Logger* member_at(size_t index) = 0;
  // Forgets a member (its settings and outputs stay). Answers 0 or
  // kKalErrNotFound.
  virtual int remove_member(Logger* member) = 0;
};

// Creation functions for the manager and for tests. The caller owns the
// result and frees it with delete (loggers refuse destroy: in the process
// they belong to the manager). *pStatus (optional): 0, kKalErrInvalidArg for
// a missing name, kKalErrNoMemory.
LoggerExtension* kal_create_logger(const char* module, int* pStatus = nullptr) noexcept;
// The group "All".
LoggerExtension* kal_create_log_group(int* pStatus = nullptr) noexcept;

#endif  // LOG_LOGGER_H_
