#include "tools/zelctl/session.h"

#include <cstdio>

#include "tools/zelctl/outcome.h"
#include "tools/zelctl/status_text.h"

namespace zelctl {

Session::~Session() {
  if (context_) library_.api().ZelUnInit(context_);
}

int Session::start(const Options& o) {
  std::string error;
  // --log without --library loads the diagnostic build, which has the switch.
  if (!library_.open(o.library, &error, o.log)) {
    failure_ = error;
    return report_failure(o.json, failure_status_, kExitLibrary, failure_);
  }
  const ZelApi& api = library_.api();
  if (o.log) {
    if (api.log_to_stderr) {
      api.log_to_stderr(o.log_mask);
    } else {
      log_available_ = false;
      std::fprintf(stderr,
                   "zelctl: --log: this plug-in exports no log switch (%s); "
                   "going on without its log lines\n",
                   kLogSwitchSymbol);
    }
  }
  const int32_t rc = api.ZelInit(&context_);
  if (rc != 0) {
    context_ = nullptr;
    CallContext c;
    c.operation = "ZelInit";
    failure_ = failure_message(rc, c);
    failure_status_ = rc;
    return report_failure(o.json, rc, kExitFailure, failure_);
  }
  struct {
    const char* command;
    const std::string& value;
  } const communities[] = {
      {"CmdSetCommunityFind", o.community},
      {"CmdSetCommunityGetOption", o.read_community.empty() ? o.community : o.read_community},
      {"CmdSetCommunityWrite", o.write_community},
  };
  for (const auto& c : communities) {
    if (c.value.empty()) continue;
    const int32_t set = api.ZelCommandString(context_, c.command, c.value.c_str());
    if (set != 0) {
      CallContext cc;
      cc.operation = std::string("setting the community (") + c.command + ")";
      failure_ = failure_message(set, cc);
      failure_status_ = set;
      return report_failure(o.json, set, exit_code_for(set), failure_);
    }
  }
  return kExitOk;
}

}  // namespace zelctl
