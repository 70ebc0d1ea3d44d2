// The outcome keys that every JSON document of zelctl starts with, and the
// one way a failure is reported: one line on standard error and, with
// --json, one document on standard output.
#ifndef TOOLS_ZELCTL_OUTCOME_H_
#define TOOLS_ZELCTL_OUTCOME_H_

#include <cstdint>
#include <string>

#include "tools/zelctl/cli.h"
#include "tools/zelctl/report_json.h"
#include "tools/zelctl/status_text.h"

namespace zelctl {

inline constexpr int kSchemaVersion = 1;
// The status of an outcome that has no plug-in code (a usage error).
inline constexpr int32_t kNoPluginStatus = -1;

// {"schema_version": 1, "status": S, "exit_code": E, "message": M}; the
// message is "ok" on success and one line otherwise.
Json outcome_json(int32_t status, int exit_code, const std::string& message);

// What a call to the device named on the command line was doing, for
// failure_message.
CallContext call_context(const Options& o, const std::string& operation);

// Prints "zelctl: MESSAGE" on standard error and, when `json`, the outcome
// document on standard output. Answers `exit_code`.
int report_failure(bool json, int32_t status, int exit_code, const std::string& message);

}  // namespace zelctl

#endif  // TOOLS_ZELCTL_OUTCOME_H_
