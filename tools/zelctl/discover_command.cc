// "discover": one discovery, then the found devices as a table or JSON.
#include <cstdio>

#include "tools/zelctl/commands.h"
#include "tools/zelctl/discovery.h"
#include "tools/zelctl/report_json.h"
#include "tools/zelctl/report_text.h"
#include "tools/zelctl/session.h"
#include "tools/zelctl/status_text.h"

namespace zelctl {

int run_discover(const Options& o) {
  Session session;
  if (const int rc = session.start(o); rc != kExitOk) return rc;
  const DiscoveryResult r = run_discovery(session.api(), session.context(), o);
  if (o.json) std::fputs(dump_json(discovery_json(o, session.library_path(), r)).c_str(), stdout);

  CallContext c;
  c.operation = "discovery";
  c.address = o.address;
  c.protocol = o.protocol;
  c.timeout_ms = o.timeout_ms;
  c.retries = o.retries;
  c.v3 = o.v3;
  c.raw_protocol = o.raw_protocol;
  if (r.filter_status != 0) {
    c.operation = "adding a filter";
    std::fprintf(stderr, "zelctl: %s\n", failure_message(r.filter_status, c).c_str());
    return exit_code_for(r.filter_status);
  }
  if (r.status != 0) {
    std::fprintf(stderr, "zelctl: %s\n", failure_message(r.status, c).c_str());
    return r.status == -2 ? kExitUsage : exit_code_for(r.status);
  }
  if (!o.json) std::fputs(discovery_text(o, r).c_str(), stdout);
  if (r.devices.empty()) {
    std::fprintf(stderr, "zelctl: no supported device answered at %s within %lld ms\n",
                 (o.address.empty() ? default_destination(o.protocol) : o.address).c_str(),
                 static_cast<long long>(discovery_budget_ms(o)));
    return kExitNothingFound;
  }
  return kExitOk;
}

}  // namespace zelctl
