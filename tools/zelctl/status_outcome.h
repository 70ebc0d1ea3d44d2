// The outcome of "status" as one verdict: the exit code, the plug-in status
// behind it (-1 when no plug-in call failed), a one-line message, and the
// lines for standard error. A device that opens as the supported model but
// serves none of the printer tables is not a success: it gets a warning and
// an exit code of its own.
#ifndef TOOLS_ZELCTL_STATUS_OUTCOME_H_
#define TOOLS_ZELCTL_STATUS_OUTCOME_H_

#include <cstdint>
#include <string>
#include <vector>

#include "tools/zelctl/cli.h"
#include "tools/zelctl/device_report.h"
#include "tools/zelctl/status_text.h"

namespace zelctl {

// The version of the layout of zelctl's JSON documents.
inline constexpr int kJsonSchemaVersion = 1;

struct StatusOutcome {
  int exit_code = kExitOk;
  int32_t status = 0;
  std::string message = "ok";
  std::vector<std::string> errors;    // one line each, without "zelctl: "
  std::vector<std::string> warnings;  // likewise
};

StatusOutcome status_outcome(const Options& options, const DeviceReport& report);

}  // namespace zelctl

#endif  // TOOLS_ZELCTL_STATUS_OUTCOME_H_
