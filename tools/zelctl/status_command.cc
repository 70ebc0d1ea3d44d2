// "status": open one device, then read everything from it.
#include <cstdio>

#include "common/status.h"
#include "tools/zelctl/commands.h"
#include "tools/zelctl/device_report.h"
#include "tools/zelctl/progress.h"
#include "tools/zelctl/report_json.h"
#include "tools/zelctl/report_text.h"
#include "tools/zelctl/session.h"
#include "tools/zelctl/status_outcome.h"
#include "tools/zelctl/status_text.h"

namespace zelctl {
int run_status(const Options& o) {
  Session session;
  if (const int rc = session.start(o); rc != kExitOk) return rc;
  DeviceReport report;
  {
    // Erased before anything else is printed.
    ReadingProgress progress(o.progress);
    progress.update("the device's model", 0, 0);
    report.open_status =
        session.api().ZelInitDeviceEx(session.context(), o.address.c_str(), o.protocol,
                                      snmp_mode(o), &o.v3_settings, o.timeout_ms, o.retries);
    if (report.open_status == kKalOk) {
      read_device_report(session.api(), session.context(), static_cast<uint32_t>(o.job_list),
                         &report, [&progress](const char* what, int done, int total) {
                           progress.update(what, done, total);
                         });
    }
  }
  const StatusOutcome outcome = status_outcome(o, report);
  if (o.json) {
    std::fputs(
        dump_json(status_report_json(o, session.library_path(), report, outcome)).c_str(),
        stdout);
  } else if (report.open_status == kKalOk) {
    std::fputs(status_report_text(o, report).c_str(), stdout);
  }
  for (const auto& line : outcome.errors) std::fprintf(stderr, "zelctl: %s\n", line.c_str());
  for (const auto& line : outcome.warnings) std::fprintf(stderr, "zelctl: %s\n", line.c_str());
  return outcome.exit_code;
}

}  // namespace zelctl
