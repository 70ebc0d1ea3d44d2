// Turning the library's log lines on. As built nothing is written: the group
// "All" has level mask 0 and no output. A configuring caller (a command-line
// host, a test) attaches an output to the group, and so to every module's
// logger, present and future, and sets the group's level mask. Calling again
// with the same output only changes the mask; mask 0 turns lines off again.
// Thread-safe.
#ifndef LOG_LOG_CONFIG_H_
#define LOG_LOG_CONFIG_H_

#include <cstdint>

#include "log/log_output.h"

// Lines to standard output (output "stdout", kind "stdout") or to standard
// error (output "stderr", kind "stderr"), for the levels in `mask`
// (kKalLogError.. kKalLogAll). Answers 0, kKalErrNoMemory, or the manager's
// failure.
int kal_log_configure_stdout(uint32_t mask) noexcept;
int kal_log_configure_stderr(uint32_t mask) noexcept;

// Lines to the file `path` (also the output's instance name), at most
// `size_limit` bytes with one "<path>.bak" backup. Answers 0,
// kKalErrInvalidArg for a null or empty path or a path already used by an
// output of another kind, kKalErrNoMemory.
int kal_log_configure_file(const char* path, uint32_t mask,
                           uint32_t size_limit = kKalLogFileSizeLimitDefault) noexcept;

// Attaches `output` (lent: it must stay alive until detached) to the group
// and sets the group's mask. Answers 0, kKalErrInvalidArg, kKalErrNoMemory.
int kal_log_configure_output(LogOutput* output, uint32_t mask) noexcept;

// Detaches `output` from the group and every logger (so that the caller may
// free it). Answers 0, kKalErrNotFound when it was not attached.
int kal_log_detach_output(LogOutput* output) noexcept;

#endif  // LOG_LOG_CONFIG_H_
