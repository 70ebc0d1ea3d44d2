// The outputs of "poll": one text line or one JSON object per device and
// round, and the node_exporter textfile collector format for a whole round.
#ifndef TOOLS_ZELCTL_POLL_FORMAT_H_
#define TOOLS_ZELCTL_POLL_FORMAT_H_

#include <string>
#include <vector>

#include "tools/zelctl/poll_read.h"
#include "tools/zelctl/report_json.h"

namespace zelctl {

// "critical:1 warning:2", or "none".
std::string alerts_text(const PollResult& r);

// The header line and the line of one device (columns padded to fit).
std::string poll_header_line();
std::string poll_line(const PollResult& r);

// One object: the four outcome keys (status, exit code and message of this
// device), the round, the time and the device's values.
Json poll_json(const PollResult& r, int round, const std::string& time);

// A label value in the exposition format: backslash, double quote and line
// feed escaped; other control octets and every octet beyond ASCII become '?'
// so that the file stays valid whatever the device answers.
std::string prometheus_label(const std::string& value);

// The whole textfile for one round: zel_printer_up, zel_supply_level_percent,
// zel_alerts, zel_input_tray_level_percent and zel_read_duration_seconds,
// each family once with its HELP and TYPE lines.
std::string prometheus_text(const std::vector<PollResult>& results);

}  // namespace zelctl

#endif  // TOOLS_ZELCTL_POLL_FORMAT_H_
