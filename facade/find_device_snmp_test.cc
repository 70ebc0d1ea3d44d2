// The device finder: its init and identifier rules over a session that
// answers from memory, a unicast search of one responder on loopback, and a
// broadcast over a bridge of simulated devices inside a private network
// namespace (never in the machine's own network).
#include "facade/find_device_snmp.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/owned.h"
#include "common/status.h"
#include "facade/fake_agent_test_util.h"
#include "facade/request_testing.h"
#include "snmp/packet.h"
#include "snmp/pdu.h"
#include "snmp/value.h"
#include "testing/netns.h"
#include "testing/scripted_responder.h"

namespace {

using zeltest::FakeAgent;
using zeltest::ScriptedReply;
using zeltest::ScriptedRequest;
using zeltest::ScriptedResponder;

const char kSysObjectId[] = "1.3.6.1.2.1.1.2";
const char kModel[] = "1.3.6.1.4.1.61802.1.11.93.1.37.22.4";

// Init, the sysObjectID column and one send; the list answered (null when
// the send fails).
IKasSnmpPacketList* search(IKalFindDeviceSnmp* finder, const char* address,
                           IKalNetworkAddress::EProtocol protocol, uint16_t port,
                           int32_t version = 0, const KalUsmParams* usm = nullptr,
                           uint32_t timeout = 100, uint32_t retries = 0) {
  EXPECT_EQ(finder->init(address, protocol, port, version, usm, timeout, retries, 0), kKalOk);
  EXPECT_EQ(finder->add_oid_string(kSysObjectId), kKalOk);
  IKasSnmpPacketList* raw = nullptr;
  return finder->send_broad_cast(&raw) == kKalOk ? raw : nullptr;
}

IKalFindDeviceSnmp* make_fake_finder() {
  return kal_create_find_device_snmp_with(FakeAgent::factories());
}

// ---- over the fake session ----

TEST(FindDevice, AsksForSysObjectIdInstanceZeroWithAGet) {
  FakeAgent agent;
  agent.set_text("1.3.6.1.2.1.1.2.0", "x");
  KalOwned<IKalFindDeviceSnmp> finder(make_fake_finder());
  finder->set_community("lan");
  KalOwned<IKasSnmpPacketList> list(
      search(finder.get(), "255.255.255.255", IKalNetworkAddress::IPv4, 161, 1, nullptr, 300, 1));
  ASSERT_TRUE(list);
  EXPECT_EQ(list->count(), 1u);
  ASSERT_EQ(agent.broadcasts(), 1);
  const zeltest::SeenRequest& r = agent.seen().at(0);
  EXPECT_EQ(r.type, kKasPduGet);
  EXPECT_EQ(r.oids, std::vector<std::string>{"1.3.6.1.2.1.1.2.0"});
  EXPECT_EQ(r.kind, 0);
  EXPECT_EQ(r.version, 0);
  EXPECT_EQ(r.community, "lan");
  EXPECT_EQ(r.address, "255.255.255.255");
  EXPECT_EQ(r.timeout, 300);
  EXPECT_EQ(r.retries, 1);
  EXPECT_EQ(r.max_message_size, 1400u);
}

TEST(FindDevice, IpxWithSizeZeroGets546AndVersion2TheSnmpV3Target) {
  FakeAgent agent;
  KalOwned<IKalFindDeviceSnmp> finder(make_fake_finder());
  KalOwned<IKasSnmpPacketList> ipx(
      search(finder.get(), "00000000:ffffffffffff", IKalNetworkAddress::IPX, 36879));
  ASSERT_EQ(agent.seen().size(), 1u);
  EXPECT_EQ(agent.seen()[0].max_message_size, 546u);
  EXPECT_EQ(agent.seen()[0].community, "vorovo");
  EXPECT_EQ(agent.seen()[0].port, 36879);

  const KalUsmParams usm{"finder", 1, 1, 2, "a-phrase", "p-phrase", "c"};
  KalOwned<IKalFindDeviceSnmp> v3(make_fake_finder());
  KalOwned<IKasSnmpPacketList> list(
      search(v3.get(), "ff02::1", IKalNetworkAddress::IPv6, 161, 2, &usm));
  ASSERT_EQ(agent.seen().size(), 2u);
  const zeltest::SeenRequest& r = agent.seen()[1];
  EXPECT_EQ(r.kind, 1);
  EXPECT_EQ(r.version, 2);
  EXPECT_EQ(r.security_name, "finder");
  EXPECT_EQ(r.security_level, 1);
  EXPECT_EQ(r.auth_protocol, 1);
  EXPECT_EQ(r.priv_protocol, 2);
  EXPECT_EQ(r.auth_pass_phrase, "a-phrase");
  EXPECT_EQ(r.priv_pass_phrase, "p-phrase");
  EXPECT_EQ(r.context_name, "c");
}

TEST(FindDevice, FailureLeavesTheOutListUnset) {
  FakeAgent agent;
  agent.set_answer([](IKasPdu*, int) { return kKasErrSend; });
  KalOwned<IKalFindDeviceSnmp> finder(make_fake_finder());
  ASSERT_EQ(finder->init("10.1.2.255", IKalNetworkAddress::IPv4, 161, 0,
                         nullptr, 100, 0, 0),
            kKalOk);
  ASSERT_EQ(finder->add_oid_string(kSysObjectId), kKalOk);
  IKasSnmpPacketList* sentinel = reinterpret_cast<IKasSnmpPacketList*>(0x1);
  IKasSnmpPacketList* out = sentinel;
  EXPECT_EQ(finder->send_broad_cast(&out), kKasErrSend);
  EXPECT_EQ(out, sentinel);
}

TEST(FindDevice, ArgumentsAndOrderAreChecked) {
  FakeAgent agent;
  KalOwned<IKalFindDeviceSnmp> finder(make_fake_finder());
  IKasSnmpPacketList* out = nullptr;
  EXPECT_EQ(finder->add_oid_string(kSysObjectId), kKalErrInvalidArg);
  EXPECT_EQ(finder->send_broad_cast(&out), kKalErrInvalidArg);
  ASSERT_EQ(finder->init("10.1.2.255", IKalNetworkAddress::IPv4, 161, 0,
                         nullptr, 100, 0, 0),
            kKalOk);
  EXPECT_EQ(finder->add_oid_string("1.3.6..1"), kKalErrInvalidArg);
  EXPECT_EQ(finder->add_oid_string(nullptr), kKalErrInvalidArg);
  EXPECT_EQ(finder->send_broad_cast(nullptr), kKalErrInvalidArg);
  EXPECT_TRUE(agent.seen().empty());
}

TEST(FindDevice, GetProtocolClassifiesNumericTexts) {
  KalOwned<IKalFindDeviceSnmp> finder(kal_create_find_device_snmp());
  IKalNetworkAddress::EProtocol p = IKalNetworkAddress::Unknown;
  ASSERT_EQ(finder->get_protocol("255.255.255.255", &p), kKalOk);
  EXPECT_EQ(p, IKalNetworkAddress::IPv4);
  ASSERT_EQ(finder->get_protocol("ff02::1", &p), kKalOk);
  EXPECT_EQ(p, IKalNetworkAddress::IPv6);
  EXPECT_EQ(finder->get_protocol(nullptr, &p), kKalErrInvalidArg);
  EXPECT_EQ(finder->get_protocol("1.2.3.4", nullptr), kKalErrInvalidArg);
}

// ---- real sockets ----

// A responder's script: sysObjectID.0 = `model`.
zeltest::ResponderScript answers_model(const std::string& model) {
  return [model](const ScriptedRequest& r) {
    KalOwned<IKasPdu> pdu(kas_create_pdu());
    pdu->append_pair(kas_create_oid_from_text("1.3.6.1.2.1.1.2.0"),
                     kas_create_oid_from_text(model.c_str()));
    return std::vector<ScriptedReply>{{zeltest::response_with(r, pdu.get())}};
  };
}

// Source address -> sysObjectID text of every packet.
std::map<std::string, std::string> answers(IKasSnmpPacketList* list) {
  std::map<std::string, std::string> out;
  KalOwned<IKasListCursor> cursor(list->new_cursor());
  for (IKasSnmpPacket* p; (p = list->current(cursor.get())) != nullptr;
       list->next(cursor.get())) {
    const IKasVarBind* b = p->get_pdu()->get_bindings()->at(0);
    size_t n = 0;
    const uint8_t* text = b->get_value()->get_bytes(&n);
    out[p->get_target()->get_address()->text()] =
        std::string(reinterpret_cast<const char*>(text), n);
  }
  return out;
}

TEST(FindDeviceLoopback, UnicastSearchFindsTheOneDeviceAndSilenceIsAnEmptyList) {
  ScriptedResponder agent, silent;
  std::string error;
  ASSERT_TRUE(agent.start("127.0.7.30", 0, answers_model(kModel), &error)) << error;
  ASSERT_TRUE(silent.start(
      "127.0.7.31", 0, [](const ScriptedRequest&) { return std::vector<ScriptedReply>{}; },
      &error))
      << error;
  KalOwned<IKalFindDeviceSnmp> finder(kal_create_find_device_snmp());
  finder->set_community("public");
  KalOwned<IKasSnmpPacketList> list(
      search(finder.get(), "127.0.7.30", IKalNetworkAddress::IPv4, agent.port(), 0, nullptr, 150));
  ASSERT_TRUE(list);
  EXPECT_EQ(answers(list.get()), (std::map<std::string, std::string>{{"127.0.7.30", kModel}}));
  ASSERT_EQ(agent.request_count(), 1u);
  const ScriptedRequest r = agent.requests()[0];
  EXPECT_EQ(r.version, 0);
  EXPECT_EQ(r.community, "public");
  EXPECT_EQ(r.type, 0);
  EXPECT_EQ(r.oids, std::vector<std::string>{"1.3.6.1.2.1.1.2.0"});

  KalOwned<IKalFindDeviceSnmp> lonely(kal_create_find_device_snmp());
  KalOwned<IKasSnmpPacketList> empty(search(lonely.get(), "127.0.7.31", IKalNetworkAddress::IPv4,
                                            silent.port(), 0, nullptr, 100, 1));
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->count(), 0u);
  EXPECT_EQ(silent.request_count(), 2u);  // one per try
}

// ---- broadcast, in a private network namespace ----

TEST(FindDeviceNetns, BroadcastCollectsOneAnswerPerDevice) {
  ZEL_RUN_IN_PRIVATE_NETNS([] {
    ASSERT_EQ(zeltest::add_bridge("br0", "10.9.7.1/24"), "");
    const std::vector<std::string> models = {kModel, std::string(kModel) + ".5",
                                             "1.3.6.1.4.1.11.2.3.9.1"};
    std::vector<std::unique_ptr<zeltest::NetNsNode>> nodes;
    std::vector<std::unique_ptr<ScriptedResponder>> agents;
    for (size_t i = 0; i < models.size(); ++i) {
      nodes.push_back(std::make_unique<zeltest::NetNsNode>());
      ASSERT_EQ(nodes.back()->create(), "");
      const std::string n = std::to_string(i + 2);
      ASSERT_EQ(nodes.back()->attach("br0", "veth" + n, "eth0",
                                     "10.9.7." + n + "/24"),
                "");
      agents.push_back(std::make_unique<ScriptedResponder>());
      zeltest::ScopedNetNsEnter enter(*nodes.back());
      ASSERT_TRUE(enter.ok());
      std::string error;
      ASSERT_TRUE(agents.back()->start("0.0.0.0", 161, answers_model(models[i]),
                                       &error))
          << error;
    }
    KalOwned<IKalFindDeviceSnmp> finder(kal_create_find_device_snmp());
    IKalNetworkAddress::EProtocol protocol = IKalNetworkAddress::Unknown;
    ASSERT_EQ(finder->get_protocol("10.9.7.255", &protocol), kKalOk);
    ASSERT_EQ(protocol, IKalNetworkAddress::IPv4);
    finder->set_community("public");
    // Three tries: a fresh bridge port may still drop the first datagram, and
    // every device must still hear at least two of them.
    ASSERT_EQ(finder->init("10.9.7.255", protocol, 161, 0, nullptr, 300, 2, 0),
              kKalOk);
    ASSERT_EQ(finder->add_oid_string(kSysObjectId), kKalOk);
    IKasSnmpPacketList* raw = nullptr;
    ASSERT_EQ(finder->send_broad_cast(&raw), kKalOk);
    KalOwned<IKasSnmpPacketList> list(raw);
    // Every device answered at least two tries; each appears once.
    EXPECT_EQ(answers(list.get()),
              (std::map<std::string, std::string>{{"10.9.7.2", models[0]},
                                                  {"10.9.7.3", models[1]},
                                                  {"10.9.7.4", models[2]}}));
    for (const auto& agent : agents) {
      ASSERT_TRUE(agent->wait_for_requests(2, 2000));
      EXPECT_EQ(agent->requests()[0].community, "public");
      EXPECT_EQ(agent->requests()[0].version, 0);
    }
    agents.clear();  // stop the threads before their namespaces go
    nodes.clear();
  });
}

}  // namespace
