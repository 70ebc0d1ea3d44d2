// "discover": one discovery, then the found devices as a table or JSON, the
// count of the other agents that answered (listed with --all), and a
// failure that names its cause: nothing answered, or the filters left
// nothing.
#include <cstdio>

#include "tools/zelctl/commands.h"
#include "tools/zelctl/discovery.h"
#include "tools/zelctl/outcome.h"
#include "tools/zelctl/report_json.h"
#include "tools/zelctl/report_text.h"
#include "tools/zelctl/session.h"
#include "tools/zelctl/status_text.h"
#include "tools/zelctl/table.h"

namespace zelctl {
namespace {

std::string filters_text(const Options& o) {
  std::string out;
  for (const auto& f : o.filters) out += (out.empty() ? "'" : ", '") + f + "'";
  return out;
}

// The exit code and one-line message of the outcome.
int outcome(const Options& o, const DiscoveryResult& r, int32_t* status, std::string* message) {
  CallContext c = call_context(o, "discovery");
  *status = r.filter_status != 0 ? r.filter_status : r.status;
  if (r.filter_status != 0) {
    c.operation = "adding a filter";
    *message = failure_message(r.filter_status, c);
    return exit_code_for(r.filter_status);
  }
  if (r.status != 0) {
    *message = failure_message(r.status, c);
    return r.status == -2 ? kExitUsage : exit_code_for(r.status);
  }
  if (!r.devices.empty()) {
    *message = "ok";
    return kExitOk;
  }
  const std::string where = o.address.empty() ? default_destination(o.protocol) : o.address;
  if (r.unfiltered_count > 0) {
    *message = std::to_string(r.unfiltered_count) + " supported device(s) answered at " + where +
               ", but the filter(s) " + filters_text(o) + " matched none of them";
  } else {
    *message = "no supported device answered at " + where + " within " +
               std::to_string(discovery_budget_ms(o)) + " ms";
    if (r.others_probed && !r.others.empty())
      *message += " (" + std::to_string(r.others.size()) + " other agent(s) did)";
  }
  return kExitNothingFound;
}

Json others_json(const DiscoveryResult& r) {
  Json list = Json::array();
  for (const auto& a : r.others) {
    list.push_back(Json{
        {"address", a.address},
        {"sys_object_id", a.sys_object_id.empty() ? Json(nullptr) : Json(a.sys_object_id)},
        {"sys_descr", a.sys_descr.empty() ? Json(nullptr) : Json(a.sys_descr)}});
  }
  return list;
}

std::string others_text(const Options& o, const DiscoveryResult& r) {
  if (!r.others_probed) {
    return o.all ? "Other agents: not counted (" +
                       (r.probe_failure.empty() ? std::string("zelctl asks them in community "
                                                              "mode over IPv4 and IPv6 only")
                                                : r.probe_failure) +
                       ")\n"
                 : "";
  }
  std::string out = std::to_string(r.others.size()) +
                    " other agent(s) answered (not a supported model, or filtered out)";
  if (!o.all || r.others.empty()) return out + (r.others.empty() || o.all ? "\n" : "; --all lists them\n");
  Table table({{"address"}, {"sysObjectID", false, 48}, {"sysDescr", false, 60}});
  for (const auto& a : r.others) {
    table.add_row({a.address, a.sys_object_id.empty() ? "not reported" : a.sys_object_id,
                   a.sys_descr.empty() ? "not reported" : a.sys_descr});
  }
  return out + ":\n" + table.render();
}

}  // namespace

int run_discover(const Options& o) {
  Session session;
  if (const int rc = session.start(o); rc != kExitOk) return rc;
  const DiscoveryResult r = run_discovery(session.api(), session.context(), o);
  int32_t status = 0;
  std::string message;
  const int rc = outcome(o, r, &status, &message);
  if (o.json) {
    Json doc = outcome_json(status, rc, message);
    doc.update(discovery_json(o, session.library_path(), r));
    doc["other_agents"] = r.others_probed ? Json{{"count", r.others.size()},
                                                 {"agents", others_json(r)}}
                                          : Json(nullptr);
    if (r.unfiltered_count >= 0) doc["count_without_filters"] = r.unfiltered_count;
    std::fputs(dump_json(doc).c_str(), stdout);
  } else if (r.filter_status == 0 && r.status == 0) {
    std::fputs((discovery_text(o, r) + others_text(o, r)).c_str(), stdout);
  }
  if (rc != kExitOk) std::fprintf(stderr, "zelctl: %s\n", message.c_str());
  return rc;
}

}  // namespace zelctl
