// The human output of "discover" and "status": aligned tables per section,
// the names of codes beside their numbers, and for every section that failed
// the meaning of its status instead of rows.
#ifndef TOOLS_ZELCTL_REPORT_TEXT_H_
#define TOOLS_ZELCTL_REPORT_TEXT_H_

#include <string>

#include "tools/zelctl/cli.h"
#include "tools/zelctl/device_report.h"
#include "tools/zelctl/discovery.h"

namespace zelctl {

std::string discovery_text(const Options& options, const DiscoveryResult& result);
std::string status_report_text(const Options& options, const DeviceReport& report);

}  // namespace zelctl

#endif  // TOOLS_ZELCTL_REPORT_TEXT_H_
