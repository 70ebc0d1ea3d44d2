#include "tools/zelctl/status_outcome.h"

#include "common/status.h"
#include "tools/zelctl/outcome.h"

namespace zelctl {
StatusOutcome status_outcome(const Options& o, const DeviceReport& r) {
  StatusOutcome out;
  if (r.open_status != kKalOk) {
    // The address was checked against the protocol, so an invalid argument
    // is the model check, unless the protocol was passed on unchecked.
    out.exit_code = r.open_status != kKalErrInvalidArg ? exit_code_for(r.open_status)
                    : o.raw_protocol                   ? kExitUsage
                                                       : kExitUnsupported;
    out.status = r.open_status;
    out.message = failure_message(r.open_status, call_context(o, "device open"));
    out.errors.push_back(out.message);
    return out;
  }
  const auto failures = failed_sections(r);
  bool only_not_available = true;
  for (const auto& [section, status] : failures) {
    out.errors.push_back(failure_message(status, call_context(o, section)));
    if (status != kKalErrNotSupported && status != kKalErrNotReady) only_not_available = false;
  }
  if (!failures.empty()) {
    out.exit_code = only_not_available ? kExitNotAvailable : kExitPartial;
    out.status = failures.front().second;
    out.message.clear();
    for (const auto& e : out.errors) out.message += (out.message.empty() ? "" : "; ") + e;
    return out;
  }
  if (serves_no_printer_data(r)) {
    const std::string model = r.model.empty() ? "the supported model" : r.model;
    out.warnings.push_back("warning: " + o.address + " opens as " + model +
                           " but serves none of the printer tables (no printer status, "
                           "trays, toner or alerts, and no printer device): not a printer, "
                           "or a restricted view");
    out.exit_code = kExitNoPrinterData;
    out.status = -1;  // every plug-in call succeeded
    out.message = out.warnings.front();
  }
  return out;
}

}  // namespace zelctl
