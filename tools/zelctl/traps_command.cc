// "traps": listens through the library's trap session (the static core) and
// prints every SNMPv1 and SNMPv2c trap as it arrives, until SIGINT or
// SIGTERM. The signals are blocked before the session's threads start, so
// that they reach only the main thread, which waits for them.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>

#include "common/owned.h"
#include "common/status.h"
#include "snmp/packet.h"
#include "snmp/value.h"
#include "transport/trap_session.h"
#include "tools/zelctl/fleet_commands.h"
#include "tools/zelctl/fleet_output.h"
#include "tools/zelctl/snmp_value_text.h"
#include "tools/zelctl/status_text.h"
#include "tools/zelctl/trap_text.h"

namespace zelctl {
namespace {

TrapRecord trap_record(const IKasSnmpPacket* packet) {
  TrapRecord t;
  t.time = utc_timestamp();
  const IKasSnmpTarget* target = packet->get_target();
  const IKasCommunityTarget* community = target ? target->as_community() : nullptr;
  if (target) t.version = target->get_version() == kKasVersion1 ? "v1" : "v2c";
  if (community && community->get_community())
    t.community = printable_or_hex(
        std::string(community->get_community(), community->get_community_length()));
  if (target && target->get_address()) {
    t.source = target->get_address()->text();
    t.source_port = target->get_address()->get_port();
  }
  const IKasPdu* pdu = packet->get_pdu();
  if (!pdu) return t;
  t.trap_oid = raw_value_text(pdu->get_trap_oid());
  if (pdu->get_trap_timestamp()) t.uptime = pdu->get_trap_timestamp()->get_uint();
  const IKasVarBindList* list = pdu->get_bindings();
  for (size_t i = 0; list && i < list->count(); ++i) {
    const IKasVarBind* b = list->at(i);
    if (!b || !b->get_name()) continue;
    TrapBinding out;
    out.oid = raw_value_text(b->get_name());
    const IKasSnmpValue* v = b->get_value();
    out.type = v ? value_type_name(v->tag()) : "NULL";
    out.value = printable_or_hex(raw_value_text(v));
    t.bindings.push_back(std::move(out));
  }
  return t;
}

class Printer : public IKasTrapObserver {
 public:
  explicit Printer(bool json) : json_(json) {}
  void notify(const IKasSnmpPacket* packet) override {
    const TrapRecord t = trap_record(packet);
    const std::string out =
        json_ ? trap_json(t).dump(-1, ' ', false, Json::error_handler_t::replace) + "\n"
              : trap_text(t);
    std::fputs(out.c_str(), stdout);
    std::fflush(stdout);
  }

 private:
  bool json_;
};

std::string bind_advice(int32_t status, int32_t port) {
  std::string why = "cannot listen for traps on UDP port " + std::to_string(port) + ": " +
                    status_meaning(status) + " (status " + std::to_string(status) + ")";
  if (status == kKasErrBind && port < 1024 && geteuid() != 0)
    why += "; ports below 1024 need root: use --port with a port above 1023 and send the "
           "traps there";
  else if (status == kKasErrBind)
    why += "; is another trap receiver using the port? try another --port";
  return why;
}

}  // namespace

int run_traps(const Options& o) {
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);

  const int protocol = o.protocol == 5 ? IKalNetworkAddress::IPv6 : IKalNetworkAddress::IPv4;
  const int32_t port = o.fleet.port;
  int rc = kKalOk;
  TrapSession* session = kas_create_trap_session(protocol, static_cast<uint16_t>(port), &rc);
  if (!session) {
    const std::string why = bind_advice(rc, port);
    const int exit_code = exit_code_for(rc);
    if (o.json) {
      Json doc = outcome_json(rc, exit_code, why);
      std::fputs((doc.dump() + "\n").c_str(), stdout);
    }
    std::fprintf(stderr, "zelctl: %s\n", why.c_str());
    return exit_code;
  }
  Printer printer(o.json);
  session->set_accept_v2c(true);
  session->attach_observer(&printer);
  session->start();
  std::fprintf(stderr, "zelctl: listening for traps on UDP port %d (Ctrl-C ends)\n",
               static_cast<int>(port));
  int signal_number = 0;
  sigwait(&stop, &signal_number);
  // Ending the session lets the traps already queued reach the printer.
  session->release();
  return kExitOk;
}

}  // namespace zelctl
