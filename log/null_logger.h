// NullLogger: the logger handed out, together with a failure status, when no
// real logger can be answered (a missing module name, a logger that cannot be
// made). Its module name is "null_session"; it writes nothing and every
// operation answers 0 or an empty result (its radix reads 10). It lives
// inside its LogManager and is never destroyed on its own. Thread-safe.
#ifndef LOG_NULL_LOGGER_H_
#define LOG_NULL_LOGGER_H_

#include "log/logger.h"

class NullLogger final : public Logger, public ManagedLogger {
 public:
  int query_interface(const char* iid, void** ppInterface) override;
  int add_reference() override;
  int release() override;  // kKalErrNotSupported
  int destroy() override;  // kKalErrNotSupported
  const char* module_name() override;
  int attach_output(LogOutput* output) override;
  int set_level_mask(uint32_t mask) override;
  uint32_t get_level_mask(int* pStatus) override;
  int set_indent(uint32_t count) override;
  uint32_t get_indent(int* pStatus) override;
  int set_column_flags(uint32_t flags) override;
  uint32_t get_column_flags(int* pStatus) override;
  int set_radix(uint32_t radix) override;
  uint32_t get_radix(int* pStatus) override;
  int unsupported() override;
  int log(uint32_t level, const char* format, ...) override;
  int vlog(uint32_t level, const char* format, va_list args) override;
  int add_member(Logger* member) override;
};

#endif  // LOG_NULL_LOGGER_H_
