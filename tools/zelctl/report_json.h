// The --json documents, written with nlohmann-json. Every field of every host
// record appears under a stable name with its raw value; names derived by the
// command-line host sit beside them under keys ending in "_name" or "_names",
// so a script can always tell the plug-in's values from the host's reading.
#ifndef TOOLS_ZELCTL_REPORT_JSON_H_
#define TOOLS_ZELCTL_REPORT_JSON_H_

#include <nlohmann/json.hpp>
#include <string>

#include "tools/zelctl/cli.h"
#include "tools/zelctl/device_report.h"
#include "tools/zelctl/discovery.h"
#include "tools/zelctl/status_outcome.h"

namespace zelctl {

using Json = nlohmann::ordered_json;

Json record_json(const ZelStorageInfo& r);
Json record_json(const ZelDeviceInfo& r);
Json record_json(const ZelPrinterInfo& r);
Json record_json(const ZelInputTrayInfoEx& r);
Json record_json(const ZelOutputTrayInfo& r);
Json record_json(const ZelTonerInfo& r);
Json record_json(const ZelAlertInfo& r);
Json record_json(const ZelJobInfo& r);
// A time as an ISO 8601 text, or null when the device sent none.
Json record_json(const ZelDateTime& r);
std::string date_time_text(const ZelDateTime& r);  // "" when none

// {"status": N, "meaning": "..."}
Json status_json(int32_t status);

// What the command asked for: address, protocol, SNMP mode, time-out, retries.
Json request_json(const Options& options);

Json discovery_json(const Options& options, const std::string& library,
                    const DiscoveryResult& result);
// The status document: schema_version, status, exit_code and message of the
// outcome first, then the request, the open, warnings, a summary and the
// sections that --section picks (all of them, options included, without it).
Json status_report_json(const Options& options, const std::string& library,
                        const DeviceReport& report, const StatusOutcome& outcome);
// The same with the outcome that status_outcome() gives.
Json status_report_json(const Options& options, const std::string& library,
                        const DeviceReport& report);

// The document as text; bytes that are not UTF-8 become U+FFFD instead of
// failing the dump.
std::string dump_json(const Json& doc);

// A fixed-size text field up to its first NUL (or its whole size).
template <size_t N>
std::string field_text(const char (&field)[N]) {
  size_t n = 0;
  while (n < N && field[n] != '\0') ++n;
  return std::string(field, n);
}

}  // namespace zelctl

#endif  // TOOLS_ZELCTL_REPORT_JSON_H_
