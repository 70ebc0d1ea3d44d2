// "cancel-job": open one device, then cancel one job on it.
#include <cstdio>

#include "common/status.h"
#include "tools/zelctl/commands.h"
#include "tools/zelctl/outcome.h"
#include "tools/zelctl/progress.h"
#include "tools/zelctl/report_json.h"
#include "tools/zelctl/session.h"
#include "tools/zelctl/status_text.h"

namespace zelctl {
namespace {

// The one line for a failed open, and its exit code.
int open_failure(const Options& o, int32_t status, std::string* message) {
  *message = failure_message(status, call_context(o, "device open"));
  // The address was checked against the protocol, so an invalid argument here
  // is the model check, unless the protocol was passed on unchecked.
  if (status == kKalErrInvalidArg) return o.raw_protocol ? kExitUsage : kExitUnsupported;
  return exit_code_for(status);
}

// The one line for a failed cancel. The open answered with the read
// community, so silence on the set most likely means the device drops the
// write community: an agent does not answer a community it does not know.
std::string cancel_failure(const Options& o, int32_t status) {
  std::string m = failure_message(status, call_context(o, "cancelling job " + o.job_id));
  if (status == kKasErrTimeout && !o.v3) {
    m += "; the device answered the open but not the cancel: " +
         std::string(o.write_community.empty()
                         ? "the plug-in's default write community may not be the device's"
                         : "the write community given may not be the device's") +
         " (give it with --write-community)";
  }
  return m;
}

}  // namespace

int run_cancel_job(const Options& o) {
  Session session;
  if (const int rc = session.start(o); rc != kExitOk) return rc;
  int32_t open_status = 0;
  int32_t cancel_status = 0;
  int rc = kExitOk;
  std::string message = "ok";
  {
    // Erased before anything else is printed.
    ReadingProgress progress(o.progress);
    progress.update("the device's model", 0, 0);
    open_status = session.api().ZelInitDeviceEx(session.context(), o.address.c_str(), o.protocol,
                                                snmp_mode(o), &o.v3_settings, o.timeout_ms,
                                                o.retries);
    if (open_status != kKalOk) {
      rc = open_failure(o, open_status, &message);
    } else {
      progress.show("cancelling job " + o.job_id + "...");
      cancel_status = session.api().ZelCancelJob(session.context(), o.job_id.c_str());
      if (cancel_status != kKalOk) {
        message = cancel_failure(o, cancel_status);
        rc = exit_code_for(cancel_status);
      }
    }
  }
  if (rc != kExitOk) std::fprintf(stderr, "zelctl: %s\n", message.c_str());
  if (o.json) {
    Json doc = outcome_json(open_status != kKalOk ? open_status : cancel_status, rc, message);
    doc.update(Json{{"command", "cancel-job"},
                    {"library", session.library_path()},
                    {"request", request_json(o)},
                    {"open", status_json(open_status)}});
    doc["request"]["job_id"] = o.job_id;
    doc["cancel"] = open_status == kKalOk ? status_json(cancel_status) : Json(nullptr);
    std::fputs(dump_json(doc).c_str(), stdout);
  } else if (rc == kExitOk) {
    std::printf("job %s cancelled on %s\n", o.job_id.c_str(), o.address.c_str());
  }
  return rc;
}

}  // namespace zelctl
