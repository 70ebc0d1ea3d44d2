// The diagnostic library's one extra export: a switch that sends the log
// lines of every module ("Zel", "socket", "snmp") to standard error. Only
// libzelprinter-diag.so carries it; the shipped library exports the Zel
// functions and the option classes alone and never writes a line.
#include <cstdint>
#include <cstring>

#include "common/status.h"
#include "log/log.h"
#include "log/log_config.h"
#include "log/log_manager.h"
#include "log/log_output.h"
#include "plugin/export.h"

namespace {

constexpr char kStderrOutput[] = "stderr";

// Mask 0: the group's mask drops to 0 and the standard-error output leaves
// every logger, so a later call starts from a clean state.
int32_t log_off() noexcept {
  int rc = kKalOk;
  LogManager* manager = kal_log_manager(&rc);
  if (!manager) return rc;
  LogOutput* output = manager->find_output(kStderrOutput);
  if (output && output->kind_name() &&
      std::strcmp(output->kind_name(), kStderrOutput) == 0) {
    rc = kal_log_detach_output(output);
    if (rc != kKalOk && rc != kKalErrNotFound) return rc;
  }
  return manager->group_logger()->set_level_mask(0);
}

}  // namespace

// Turns the library's log lines on (to standard error) for the levels in
// `mask` (1 Error, 2 Warn, 4 Info, 8 Debug, 16 Trace; 31 all), for every
// module; 0 turns them off. A second call replaces the mask. Thread-safe.
// Answers 0; -2 for bits outside 31 (nothing changes); -3 when the output
// cannot be made.
extern "C" ZEL_EXPORT int32_t ZelLogToStderr(uint32_t mask) ZEL_NOEXCEPT {
  if ((mask & ~static_cast<uint32_t>(kKalLogAll)) != 0)
    return kKalErrInvalidArg;
  if (mask == 0) return log_off();
  return kal_log_configure_stderr(mask);
}
