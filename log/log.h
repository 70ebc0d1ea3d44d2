// The log call every layer uses: log(module, level, format, ...). It finds or
// makes the module's logger in the process-wide log manager and writes one
// line to the logger's outputs when the level passes its mask. As built no
// mask is set and no output attached, so nothing is written until a
// configuring caller turns it on (log/log_config.h). Callers ignore the
// result. Thread-safe.
#ifndef LOG_LOG_H_
#define LOG_LOG_H_

#include <cstdarg>
#include <cstdint>

// Level bits: a message carries one, a mask any combination.
enum : uint32_t {
  kKalLogError = 1,
  kKalLogWarn = 2,
  kKalLogInfo = 4,
  kKalLogDebug = 8,
  kKalLogTrace = 16,
  kKalLogAll = 31,
};

// Module names of the layers.
inline constexpr const char kKalModuleZel[] = "Zel";
inline constexpr const char kKalModuleSocket[] = "socket";
inline constexpr const char kKalModuleSnmp[] = "snmp";

// Answers a non-zero manager error unchanged, else the logger's result.
int kal_log(const char* module, uint32_t level, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
int kal_vlog(const char* module, uint32_t level, const char* format, va_list args);

// The plug-in layer's form: module "Zel".
int zel_log(uint32_t level, const char* format, ...) __attribute__((format(printf, 2, 3)));

// True when a line of `level` for `module` would be written. The log call
// itself is already cheap when filtered (the modules "Zel", "socket" and
// "snmp" cost one cached pointer and one atomic read); use this only to skip
// building expensive arguments such as hex dumps.
bool kal_log_enabled(const char* module, uint32_t level);

#endif  // LOG_LOG_H_
