#include "facade/fake_agent_test_util.h"

#include <cstdlib>

#include "common/network_address.h"
#include "common/owned.h"
#include "snmp/packet.h"
#include "snmp/pdu.h"
#include "snmp/target.h"
#include "snmp/value.h"

namespace zeltest {
namespace {

FakeAgent* g_agent = nullptr;

class FakeSession : public IKasRequestSession {
 public:
  void release() override { delete this; }
  int send_sync(IKasPdu* pdu, IKasSnmpTarget* target) override {
    return g_agent ? g_agent->serve(pdu, target) : kKasErrTimeout;
  }
  int send_sync(IKasSnmpPacket* packet) override {
    return send_sync(packet->get_pdu(), packet->get_target());
  }
  int send_broad_cast_sync(IKasSnmpPacket* packet,
                           IKasSnmpPacketList** ppList) override {
    return send_broad_cast_sync(packet->get_pdu(), packet->get_target(),
                                ppList);
  }
  int send_broad_cast_sync(IKasPdu* pdu, IKasSnmpTarget* target,
                           IKasSnmpPacketList** ppList) override {
    return g_agent ? g_agent->serve_broadcast(pdu, target, ppList)
                   : kKasErrTimeout;
  }
};

IKasRequestSession* make_session(int* pStatus) {
  kal_set_status(pStatus, kKalOk);
  return new FakeSession;
}

SeenRequest see(const IKasPdu* pdu, IKasSnmpTarget* target) {
  SeenRequest r;
  r.type = pdu->get_type();
  const IKasVarBindList* list = pdu->get_bindings();
  for (size_t i = 0; list && i < list->count(); ++i) {
    const IKasVarBind* b = list->at(i);
    r.oids.push_back(b->get_oid() ? b->get_oid()->text() : "<none>");
    const IKasSnmpValue* v = b->get_value();
    r.value_tags.push_back(v ? v->tag() : -1);
    r.int_values.push_back(v && v->tag() == kKasTagInteger ? v->get_int() : 0);
  }
  r.kind = target->get_kind();
  r.version = target->get_version();
  r.timeout = target->get_timeout();
  r.retries = target->get_retries();
  r.max_message_size = target->get_max_message_size();
  if (const IKalNetworkAddress* a = target->get_address()) {
    r.address = a->text() ? a->text() : "";
    r.protocol = a->get_protocol();
    r.port = a->get_port();
  }
  if (const IKasCommunityTarget* c = target->as_community()) {
    r.community = c->get_community() ? c->get_community() : "<none>";
  }
  if (const IKasUsmTarget* u = target->as_usm()) {
    r.security_name = u->get_security_name();
    r.security_level = u->get_security_level();
    r.auth_protocol = u->get_auth_protocol();
    r.priv_protocol = u->get_priv_protocol();
    r.auth_pass_phrase = u->get_auth_passphrase();
    r.priv_pass_phrase = u->get_priv_passphrase();
    r.context_name = u->get_context_name();
  }
  return r;
}

}  // namespace

bool FakeAgent::NumericLess::operator()(const std::string& a,
                                        const std::string& b) const {
  return kas_oid_compare_numeric(a.data(), a.size(), b.data(), b.size()) ==
             kKasOidBefore ||
         kas_oid_compare_numeric(a.data(), a.size(), b.data(), b.size()) ==
             kKasOidAncestor;
}

FakeAgent::FakeAgent() { g_agent = this; }
FakeAgent::~FakeAgent() { g_agent = nullptr; }

KasSessionFactories FakeAgent::factories() {
  return {make_session, make_session};
}

int FakeAgent::serve(IKasPdu* pdu, IKasSnmpTarget* target) {
  seen_.push_back(see(pdu, target));
  const int call = static_cast<int>(seen_.size()) - 1;
  return answer_ ? answer_(pdu, call) : answer_from_table(pdu);
}

// An SNMPv1 agent: Get answers the exact objects, GetNext the next ones;
// a missing object answers noSuchName with the request echoed.
int FakeAgent::answer_from_table(IKasPdu* pdu) {
  IKasVarBindList* list = pdu->get_bindings();
  const bool next = pdu->get_type() == kKasPduGetNext;
  pdu->set_type(kKasPduResponse);
  for (size_t i = 0; list && i < list->count(); ++i) {
    IKasVarBind* b = list->at(i);
    if (!b->get_oid()) {  // left so by a failed allocation of the fake itself
      pdu->set_error_status(kKasSnmpGenErr);
      return kKalOk;
    }
    const std::string oid = b->get_oid()->text();
    auto it = next ? table_.upper_bound(oid) : table_.find(oid);
    if (it == table_.end()) {
      pdu->set_error_status(kKasSnmpNoSuchName);
      pdu->set_error_index(static_cast<int32_t>(i + 1));
      return kKalOk;
    }
    IKasSnmpValue* value =
        it->second.type == 'i'
            ? kas_create_value_from_int(std::atoi(it->second.value.c_str()),
                                        kKasTagInteger)
            : kas_create_value_from_text(it->second.value.c_str(),
                                         kKasTagOctetString);
    b->set(kas_create_oid_from_text(it->first.c_str()), value);
  }
  return kKalOk;
}

int FakeAgent::serve_broadcast(IKasPdu* pdu, IKasSnmpTarget* target,
                               IKasSnmpPacketList** ppList) {
  ++broadcasts_;
  const int rc = serve(pdu, target);
  if (rc != kKalOk) return rc;
  KalOwned<IKasSnmpPacketList> list(kas_create_packet_list());
  KalOwned<IKasSnmpPacket> packet(kas_create_packet());
  packet->set_pdu(pdu->clone());
  packet->set_target(target->clone());
  list->push_back(packet.detach());
  *ppList = list.detach();
  return kKalOk;
}

}  // namespace zeltest
