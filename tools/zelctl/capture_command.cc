// "capture": walks one device with GetNext over the subtrees the plug-in
// reads and writes what it answered as an snmpsim recording. The walk runs
// through the library's own request object (the static core), so that the
// capture sees the device exactly as the plug-in does.
#include <cstdio>
#include <string>
#include <vector>

#include "common/owned.h"
#include "common/status.h"
#include "tools/zelctl/outcome.h"
#include "facade/get_data.h"
#include "snmp/packet.h"
#include "snmp/value.h"
#include "tools/zelctl/fleet_commands.h"
#include "tools/zelctl/fleet_output.h"
#include "tools/zelctl/snmp_value_text.h"
#include "tools/zelctl/snmprec_writer.h"
#include "tools/zelctl/status_text.h"

namespace zelctl {
namespace {

// system, host resources, printer, and the supported family's two vendor
// subtrees.
const std::vector<std::string>& default_subtrees() {
  static const std::vector<std::string> kSubtrees = {
      "1.3.6.1.2.1.1", "1.3.6.1.2.1.25", "1.3.6.1.2.1.43", "1.3.6.1.4.1.61801",
      "1.3.6.1.4.1.61802"};
  return kSubtrees;
}

constexpr char kSysDescr[] = "1.3.6.1.2.1.1.1";

class Capture {
 public:
  explicit Capture(const Options& o) : o_(o) {}

  // A request object ready for one exchange with the device.
  int prepare(KalOwned<IKalGetData>* request) const {
    int rc = kKalOk;
    request->reset(kal_create_get_data(&rc));
    if (!*request) return rc;
    const std::string& community =
        o_.read_community.empty() ? o_.community : o_.read_community;
    if (!community.empty()) (*request)->set_community(community.c_str(), community.size() + 1);
    const ZelSnmpV3Settings& s = o_.v3_settings;
    KalUsmParams usm;
    usm.security_name = s.securityName;
    usm.security_level = s.securityLevel;
    usm.auth_protocol = s.authProtocol;
    usm.priv_protocol = s.privProtocol;
    usm.auth_pass_phrase = s.authPassphrase;
    usm.priv_pass_phrase = s.privPassphrase;
    usm.context_name = s.contextName;
    const auto protocol = o_.protocol == 5 ? IKalNetworkAddress::IPv6 : IKalNetworkAddress::IPv4;
    return (*request)->init(o_.address.c_str(), protocol, 161, o_.v3 ? 2 : 1, &usm,
                            static_cast<uint32_t>(o_.timeout_ms),
                            static_cast<uint32_t>(o_.retries), 0);
  }

  int sys_descr(std::string* out) const {
    KalOwned<IKalGetData> request;
    int rc = prepare(&request);
    if (rc == kKalOk) rc = request->add_oid_string(kSysDescr, true);
    char text[1024] = {};
    if (rc == kKalOk) rc = request->get_data(text, sizeof text);
    *out = text;
    return rc;
  }

  // Walks `root`; the rows go to records_. A walk that fails after some rows,
  // or whose agent answers out of order, keeps what came in order and says
  // so in *warning.
  int walk(const std::string& root, std::string* warning) {
    KalOwned<IKalGetData> request;
    int rc = prepare(&request);
    if (rc == kKalOk) rc = request->add_oid_string(root.c_str(), false);
    if (rc != kKalOk) return rc;
    KalOwned<IKasPduList> list(kas_create_pdu_list(&rc));
    if (!list) return rc;
    const int walked = request->get_data(list.get(), root.c_str());
    size_t kept = 0;
    std::string last;
    bool out_of_order = false;
    KalOwned<IKasListCursor> cursor(list->new_cursor(&rc));
    if (!cursor) return rc;
    for (const IKasPdu* pdu; (pdu = list->current(cursor.get())); list->next(cursor.get())) {
      const IKasVarBindList* bindings = pdu->get_bindings();
      const IKasVarBind* b = bindings && bindings->count() ? bindings->at(0) : nullptr;
      if (!b || !b->get_name() || !b->get_value()) continue;
      SnmprecRecord r;
      r.oid = raw_value_text(b->get_name());
      r.tag = b->get_value()->tag();
      r.value = raw_value_text(b->get_value());
      if (!last.empty() && !oid_before(last, r.oid)) {
        out_of_order = true;  // the agent repeats or goes back: a loop
        break;
      }
      last = r.oid;
      records_.push_back(std::move(r));
      ++kept;
    }
    if (out_of_order) {
      *warning = "the walk of " + root + " went back to an earlier object after " +
                 std::to_string(kept) + " objects; kept those";
    } else if (walked != kKalOk && walked != kKalErrNoData && kept > 0) {
      *warning = "the walk of " + root + " ended after " + std::to_string(kept) +
                 " objects: " + status_meaning(walked) + " (status " +
                 std::to_string(walked) + "); kept those";
    } else if (walked != kKalOk && walked != kKalErrNoData) {
      return walked;
    }
    return kKalOk;
  }

  std::vector<SnmprecRecord>& records() { return records_; }

 private:
  const Options& o_;
  std::vector<SnmprecRecord> records_;
};

int finish(const Options& o, int32_t status, int exit_code, const std::string& message,
           size_t objects, const std::vector<std::string>& warnings) {
  if (o.json) {
    Json doc = outcome_json(status, exit_code, message);
    doc["command"] = "capture";
    doc["address"] = o.address;
    doc["output"] = o.fleet.output;
    doc["objects"] = objects;
    doc["warnings"] = warnings;
    std::fputs(dump_json(doc).c_str(), stdout);
  }
  if (exit_code != kExitOk && exit_code != kExitPartial)
    std::fprintf(stderr, "zelctl: %s\n", message.c_str());
  return exit_code;
}

}  // namespace

int run_capture(const Options& o) {
  const FleetOptions& f = o.fleet;
  const bool to_stdout = f.output.empty() || f.output == "-";
  if (o.json && to_stdout) {
    std::fprintf(stderr, "zelctl: capture --json writes its summary to standard output: "
                         "give the recording a file with -o (see zelctl capture --help)\n");
    return kExitUsage;
  }
  Capture capture(o);
  std::string descr;
  const int got = capture.sys_descr(&descr);
  if (got != kKalOk) {
    const std::string why = failure_message(got, call_context(o, "reading sysDescr"));
    return finish(o, got, exit_code_for(got), why, 0, {});
  }
  std::vector<std::string> warnings;
  for (const auto& root : f.subtrees.empty() ? default_subtrees() : f.subtrees) {
    std::string warning;
    const int rc = capture.walk(root, &warning);
    if (rc != kKalOk) {
      warning = failure_message(rc, call_context(o, "walk of " + root)) + "; nothing kept";
    }
    if (!warning.empty()) {
      std::fprintf(stderr, "zelctl: warning: %s\n", warning.c_str());
      warnings.push_back(warning);
    }
  }
  const size_t objects = capture.records().size();
  const std::string text = snmprec_document(
      {"zelctl capture of " + o.address + " at " + utc_timestamp(), "sysDescr: " + descr},
      std::move(capture.records()));
  if (to_stdout) {
    std::fputs(text.c_str(), stdout);
  } else if (const std::string why = write_file_atomically(f.output, text); !why.empty()) {
    return finish(o, kKalErrGeneral, kExitFailure, why, objects, warnings);
  }
  if (!o.json && !to_stdout)
    std::fprintf(stderr, "zelctl: captured %zu objects of %s into %s\n", objects,
                 o.address.c_str(), f.output.c_str());
  if (!warnings.empty())
    return finish(o, 0, kExitPartial, "the capture is incomplete: " + warnings.front(), objects,
                  warnings);
  return finish(o, 0, kExitOk, "ok", objects, warnings);
}

}  // namespace zelctl
