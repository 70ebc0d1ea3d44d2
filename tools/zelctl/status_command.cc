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
namespace {

CallContext call_context(const Options& o, const std::string& operation) {
  CallContext c;
  c.operation = operation;
  c.address = o.address;
  c.protocol = o.protocol;
  c.timeout_ms = o.timeout_ms;
  c.retries = o.retries;
  c.v3 = o.v3;
  c.raw_protocol = o.raw_protocol;
  return c;
}

// Opens the device; on failure prints the reason and answers the exit code.
int open_device(const Session& s, const Options& o, int32_t* status) {
  *status = s.api().ZelInitDeviceEx(s.context(), o.address.c_str(), o.protocol, snmp_mode(o),
                                    &o.v3_settings, o.timeout_ms, o.retries);
  if (*status == kKalOk) return kExitOk;
  std::fprintf(stderr, "zelctl: %s\n",
               failure_message(*status, call_context(o, "device open")).c_str());
  // The address was checked against the protocol, so an invalid argument here
  // is the model check, unless the protocol was passed on unchecked.
  if (*status == kKalErrInvalidArg) return o.raw_protocol ? kExitUsage : kExitUnsupported;
  return exit_code_for(*status);
}

}  // namespace

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
