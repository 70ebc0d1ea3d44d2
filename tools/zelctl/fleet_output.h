// What the fleet commands share for their output: the outcome keys
// (outcome.h), a file written whole or not at all, and the time of day.
#ifndef TOOLS_ZELCTL_FLEET_OUTPUT_H_
#define TOOLS_ZELCTL_FLEET_OUTPUT_H_

#include <cstdint>
#include <string>

#include "tools/zelctl/outcome.h"
#include "tools/zelctl/report_json.h"

namespace zelctl {

// Writes `text` to a temporary file beside `path` and renames it over `path`,
// so that a reader sees the old file or the new one, never a part. Answers ""
// or a one-line reason.
std::string write_file_atomically(const std::string& path, const std::string& text);

// The UTC time as "2026-01-31T12:34:56Z".
std::string utc_timestamp();

}  // namespace zelctl

#endif  // TOOLS_ZELCTL_FLEET_OUTPUT_H_
