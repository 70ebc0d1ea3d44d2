// Broadcast requests. Everything that sends runs inside a private network
// namespace made by the test: a bridge 10.9.0.0/24 with one node per
// simulated device, each with a scripted responder on 0.0.0.0:161. Nothing is
// ever broadcast in the machine's own namespace.
#include "transport/broadcast_request.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/network_address.h"
#include "common/owned.h"
#include "log/capture_output.h"
#include "log/log.h"
#include "log/log_config.h"
#include "snmp/codec_buffer.h"
#include "snmp/codec_service.h"
#include "snmp/packet.h"
#include "testing/netns.h"
#include "testing/scripted_responder.h"
#include "transport/request_session.h"
#include "transport/request_session_test_util.h"
#include "transport/socket_api.h"

namespace {

using sessiontest::make_pdu;
using sessiontest::make_target;
using zeltest::echo_response;
using zeltest::ScriptedReply;
using zeltest::ScriptedRequest;
using zeltest::ScriptedResponder;
using Replies = std::vector<ScriptedReply>;
using Address = KalOwned<IKalNetworkAddress>;
using PacketList = KalOwned<IKasSnmpPacketList, KalCallDestroy>;

Address address(const char* text, IKalNetworkAddress::EProtocol protocol,
                uint16_t port = 0) {
  return Address(kal_create_network_address(text, protocol, port));
}

// ---- Without sockets ----

struct FilterRow {
  const char* name;
  const char* destination;
  const char* source;
  IKalNetworkAddress::EProtocol protocol;
  bool passes;
};

TEST(BroadcastSourceFilter, Table) {
  using P = IKalNetworkAddress::EProtocol;
  const FilterRow rows[] = {
      {"IPv4: every source", "10.9.0.255", "192.168.7.7", P::IPv4, true},
      {"IPv6: every source", "ff02::1", "fe80::1", P::IPv6, true},
      {"IPX: other network is ignored", "00000005:ffffffffffff",
       "00000007:0000c0a80101", P::IPX, false},
      {"IPX: same network passes", "00000005:ffffffffffff",
       "00000005:0000c0a80101", P::IPX, true},
      {"IPX: network 0 takes every answer", "00000000:ffffffffffff",
       "00000007:0000c0a80101", P::IPX, true},
      {"IPX: a short source text never matches", "00000005:ffffffffffff",
       "0000", P::IPX, false},
  };
  for (const FilterRow& row : rows) {
    Address to = address(row.destination, row.protocol, 161);
    Address from = address(row.source, row.protocol, 161);
    EXPECT_EQ(kas_broadcast_source_passes(to.get(), from.get()), row.passes)
        << row.name;
  }
  Address any = address("10.9.0.255", P::IPv4);
  EXPECT_FALSE(kas_broadcast_source_passes(nullptr, any.get()));
  EXPECT_FALSE(kas_broadcast_source_passes(any.get(), nullptr));
}

TEST(BroadcastSearch, FindsThePacketOfAnAddress) {
  KalOwned<IKasSnmpPacketList, KalCallDestroy> list(kas_create_packet_list());
  for (const char* text : {"10.9.0.2", "10.9.0.3"}) {
    IKasSnmpPacket* packet = kas_create_packet();
    IKasSnmpTarget* target = kas_create_community_target();
    Address a = address(text, IKalNetworkAddress::IPv4, 161);
    target->set_address(a.get());
    packet->set_target(target);
    list->push_back(packet);
  }
  IKasSnmpPacket* found = nullptr;
  Address known = address("10.9.0.3", IKalNetworkAddress::IPv4, 161);
  ASSERT_EQ(search_new_packet(list.get(), known.get(), &found), kKalOk);
  ASSERT_NE(found, nullptr);
  EXPECT_STREQ(found->get_target()->get_address()->text(), "10.9.0.3");
  Address unknown = address("10.9.0.4", IKalNetworkAddress::IPv4, 161);
  ASSERT_EQ(search_new_packet(list.get(), unknown.get(), &found), kKalOk);
  EXPECT_EQ(found, nullptr);
  EXPECT_EQ(search_new_packet(nullptr, unknown.get(), &found),
            kKalErrInvalidArg);
}

TEST(BroadcastAnswer, UndecodableDatagramAppendsNothing) {
  KalOwned<IKasSnmpPacketList, KalCallDestroy> list(kas_create_packet_list());
  const std::vector<uint8_t> garbage = zeltest::garbage_datagram();
  CKasMessageView raw(garbage.data(), garbage.size());
  Address from = address("10.9.0.2", IKalNetworkAddress::IPv4, 161);
  EXPECT_EQ(add_broadcast_answer(list.get(), &raw, from.get()),
            kKasErrUndecodable);
  EXPECT_EQ(list->count(), 0u);
}

TEST(BroadcastSession, RefusesMissingArgumentsAndOtherTargetKinds) {
  KalOwned<RequestSession> session(kas_create_request_session());
  KalOwned<IKasPdu> pdu(make_pdu(kKasPduGet, 1));
  KalOwned<IKasSnmpTarget> target(make_target("127.0.0.1", 161, 10, 0));
  KalOwned<IKasSnmpTarget> v3(kas_create_usm_target());
  Address a = address("127.0.0.1", IKalNetworkAddress::IPv4, 161);
  v3->set_address(a.get());
  IKasSnmpPacketList* list = reinterpret_cast<IKasSnmpPacketList*>(1);
  EXPECT_EQ(session->send_broad_cast_sync(pdu.get(), target.get(), nullptr),
            kKalErrInvalidArg);
  EXPECT_EQ(session->send_broad_cast_sync(nullptr, target.get(), &list),
            kKalErrInvalidArg);
  EXPECT_EQ(list, nullptr);
  EXPECT_EQ(session->send_broad_cast_sync(pdu.get(), v3.get(), &list),
            kKalErrInvalidArg);
  EXPECT_EQ(session->send_broad_cast_sync(static_cast<IKasSnmpPacket*>(nullptr),
                                          &list),
            kKalErrInvalidArg);
}

// ---- Over a scripted socket table: nothing goes on the wire ----

// One datagram the scripted socket delivers: its source, and how it differs
// from a proper answer to the request (a v1 GetRequest).
struct Datagram {
  std::string source;
  uint16_t port = 161;
  int32_t id_delta = 0;  // added to the request's ID
  int type = kKasPduResponse;
  int version = kKasVersion1;
  int32_t error_status = 0;  // kept answers are the ones with 0
};

struct Scripted {
  std::vector<Datagram> datagrams;
  size_t next = 0;
  uint32_t request_id = 0;
};
Scripted g_scripted;

long scripted_sendto(int, const void* b, size_t n, int, const sockaddr*, uint32_t) {
  CKasMessageView sent(static_cast<const uint8_t*>(b), n);
  int32_t status = 0, id = 0;
  if (kas_codec_service()->peek(&sent, &status, &id, kKasTargetCommunity) != kKalOk) return -1;
  g_scripted.request_id = static_cast<uint32_t>(id);
  return static_cast<long>(n);
}

int scripted_select(int, int) { return g_scripted.next < g_scripted.datagrams.size() ? 1 : 0; }

long scripted_recvfrom(int, void* buffer, size_t capacity, int, sockaddr* from,
                       uint32_t* from_length) {
  const Datagram& d = g_scripted.datagrams.at(g_scripted.next++);
  KalOwned<IKasPdu> answer(make_pdu(d.type, 1));
  answer->set_request_id(static_cast<int32_t>(g_scripted.request_id + static_cast<uint32_t>(d.id_delta)));
  answer->set_error_status(d.error_status);
  KalOwned<IKasSnmpTarget> target(make_target(d.source.c_str(), d.port, 0, 0, d.version));
  KalOwned<IKasMessageBuffer> out(kas_create_message_buffer());
  if (kas_codec_service()->encode(answer.get(), target.get(), out.get()) != kKalOk) return -1;
  const size_t n = static_cast<size_t>(out->base() + out->size() - out->data());
  KalSockAddr source{};
  if (n > capacity || NKalSocketAPI::ipv4_to_sockaddr(d.source.c_str(), d.port, &source) != kKalOk)
    return -1;
  std::memcpy(buffer, out->data(), n);
  std::memcpy(from, source.bytes, source.length);
  *from_length = source.length;
  return static_cast<long>(n);
}

struct DiscoveryRow {
  const char* name;
  const char* destination;
  std::vector<Datagram> datagrams;
  size_t flood;  // then answers from this many further hosts 10.8.x.y
  std::vector<std::string> found;  // the kept sources in order (first ones)
  size_t count;
  int cap_warnings;
};

TEST(BroadcastDiscovery, KeepsOnlyAnswersToTheRequest) {
  const Datagram ok2{"10.9.0.2"}, ok3{"10.9.0.3"}, me{"127.0.22.1"};
  Datagram other_id = ok2, get = ok2, v2c = ok2, port2 = me, port3 = me, nat = me;
  other_id.id_delta = 1;
  get.type = kKasPduGet;
  v2c.version = kKasVersion2c;
  port2.port = 40000;
  port3.port = 40001;
  port2.error_status = port3.error_status = kKasSnmpGenErr;
  nat.port = 40002;  // only the host counts
  const DiscoveryRow rows[] = {
      {"proper answers", "10.9.0.255", {ok2, ok3}, 0, {"10.9.0.2", "10.9.0.3"}, 2, 0},
      {"another request ID, then the answer", "10.9.0.255", {other_id, ok3, ok2}, 0,
       {"10.9.0.3", "10.9.0.2"}, 2, 0},
      {"a GetRequest", "10.9.0.255", {get}, 0, {}, 0, 0},
      {"another version", "10.9.0.255", {v2c}, 0, {}, 0, 0},
      {"another source on a unicast destination", "127.0.22.1", {ok2, {"127.0.22.2"}, me}, 0,
       {"127.0.22.1"}, 1, 0},
      {"the same host from other ports", "127.0.22.1", {me, port2, port3}, 0, {"127.0.22.1"}, 1,
       0},
      {"another port first", "255.255.255.255", {nat, me, ok2}, 0, {"127.0.22.1", "10.9.0.2"}, 2,
       0},
      {"a flood over the cap", "10.9.0.255", {ok2}, kKasMaxBroadcastAnswers + 50, {"10.9.0.2"},
       kKasMaxBroadcastAnswers, 1},
  };
  NKalSocketAPI::ScopedTable saved;
  NKalSocketAPI::table().sendto = scripted_sendto;
  NKalSocketAPI::table().select = scripted_select;
  NKalSocketAPI::table().recvfrom = scripted_recvfrom;
  for (const DiscoveryRow& row : rows) {
    g_scripted = Scripted();
    g_scripted.datagrams = row.datagrams;
    for (size_t i = 0; i < row.flood; ++i) {
      g_scripted.datagrams.push_back(
          {"10.8." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1)});
    }
    KalCaptureOutput capture;
    ASSERT_EQ(kal_log_configure_output(&capture, kKalLogWarn), kKalOk);
    KalOwned<RequestSession> session(kas_create_request_session());
    KalOwned<IKasSnmpTarget> target(make_target(row.destination, 161, 5000, 0, kKasVersion1));
    KalOwned<IKasPdu> pdu(make_pdu(kKasPduGet, 1));
    IKasSnmpPacketList* raw = nullptr;
    EXPECT_EQ(session->send_broad_cast_sync(pdu.get(), target.get(), &raw), kKalOk) << row.name;
    kal_log_configure_output(&capture, 0);
    kal_log_detach_output(&capture);
    PacketList list(raw ? raw : kas_create_packet_list());
    EXPECT_EQ(g_scripted.next, g_scripted.datagrams.size()) << row.name;
    EXPECT_EQ(list->count(), row.count) << row.name;
    std::vector<std::string> found;
    KalOwned<IKasListCursor> cursor(list->new_cursor());
    for (IKasSnmpPacket* p = list->current(cursor.get()); p && found.size() < row.found.size();
         list->next(cursor.get()), p = list->current(cursor.get())) {
      found.push_back(p->get_target()->get_address()->text());
      EXPECT_EQ(p->get_pdu()->get_error_status(), 0) << row.name;
    }
    EXPECT_EQ(found, row.found) << row.name;
    int warnings = 0;
    for (const std::string& line : capture.lines())
      warnings += line.find("answers from further addresses are dropped") != std::string::npos;
    EXPECT_EQ(warnings, row.cap_warnings) << row.name;
  }
}

// ---- In a private namespace ----

// Broadcasts a datagram that is no SNMP message to 10.9.0.255:161 every
// 20 ms until every agent has seen one (new links may drop the first
// frames), then lets the LAN fall quiet and makes the agents forget them.
// False after five seconds.
bool warm_up(const std::vector<std::unique_ptr<ScriptedResponder>>& agents) {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(161);
  inet_pton(AF_INET, "10.9.0.255", &to.sin_addr);
  bool all = false;
  for (int i = 0; i < 250 && !all; ++i) {
    sendto(fd, "warm-up", 7, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    all = true;
    for (const auto& agent : agents) all = all && agent->request_count() > 0;
  }
  close(fd);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  for (const auto& agent : agents) agent->clear_requests();
  return all;
}

// A LAN of `count` nodes 10.9.0.2.. on bridge br0 (this namespace is
// 10.9.0.1), each with a responder on 0.0.0.0:161 running `script`, which
// sees only the requests sent after the LAN is up. Scripts ignore
// datagrams that do not decode (the warm-up).
struct Lan {
  std::vector<std::unique_ptr<zeltest::NetNsNode>> nodes;
  std::vector<std::unique_ptr<ScriptedResponder>> agents;

  void start(size_t count,
             const std::vector<zeltest::ResponderScript>& scripts) {
    ASSERT_EQ(zeltest::add_bridge("br0", "10.9.0.1/24"), "");
    for (size_t i = 0; i < count; ++i) {
      nodes.push_back(std::make_unique<zeltest::NetNsNode>());
      ASSERT_EQ(nodes.back()->create(), "");
      const std::string n = std::to_string(i + 2);
      ASSERT_EQ(nodes.back()->attach("br0", "veth" + n, "eth0",
                                     "10.9.0." + n + "/24"),
                "");
      agents.push_back(std::make_unique<ScriptedResponder>());
      zeltest::ScopedNetNsEnter enter(*nodes.back());
      ASSERT_TRUE(enter.ok());
      std::string error;
      zeltest::ResponderScript script = scripts[i % scripts.size()];
      ASSERT_TRUE(agents.back()->start(
          "0.0.0.0", 161,
          [script](const ScriptedRequest& r) {
            return r.decode_status == kKalOk ? script(r) : Replies{};
          },
          &error))
          << error;
    }
    ASSERT_TRUE(warm_up(agents)) << "the LAN did not come up";
  }
  ~Lan() {
    agents.clear();  // stop the threads before their namespaces go
    nodes.clear();
  }
};

// Broadcasts a GetRequest of `bindings` names to 10.9.0.255:161 and answers
// the collected list (empty when the call fails).
PacketList broadcast(int32_t timeout_ms, int32_t retries, size_t bindings = 1) {
  KalOwned<RequestSession> session(kas_create_request_session());
  KalOwned<IKasSnmpTarget> target(
      make_target("10.9.0.255", 161, timeout_ms, retries, kKasVersion2c, "public"));
  KalOwned<IKasPdu> pdu(make_pdu(kKasPduGet, bindings));
  IKasSnmpPacketList* raw = nullptr;
  EXPECT_EQ(session->send_broad_cast_sync(pdu.get(), target.get(), &raw), kKalOk);
  EXPECT_NE(raw, nullptr);
  return PacketList(raw ? raw : kas_create_packet_list());
}

// The first send is answered normally, the second with genErr, so that the
// list shows which answer was kept.
Replies first_normal_then_gen_err(const ScriptedRequest& r) {
  return {{echo_response(r, 0, r.index == 0 ? 0 : kKasSnmpGenErr, 0)}};
}

TEST(BroadcastNetns, OnePacketPerAnsweringAddressWithTheFirstAnswer) {
  ZEL_RUN_IN_PRIVATE_NETNS([] {
    Lan lan;
    ASSERT_NO_FATAL_FAILURE(lan.start(5, {first_normal_then_gen_err}));
    PacketList list = broadcast(300, 1, 2);
    std::set<std::string> sources;
    KalOwned<IKasListCursor> cursor(list->new_cursor());
    for (IKasSnmpPacket* p = list->current(cursor.get()); p;
         list->next(cursor.get()), p = list->current(cursor.get())) {
      ASSERT_NE(p->get_target(), nullptr);
      ASSERT_NE(p->get_target()->get_address(), nullptr);
      sources.insert(p->get_target()->get_address()->text());
      EXPECT_EQ(p->get_target()->get_version(), kKasVersion2c);
      EXPECT_STREQ(p->get_target()->as_community()->get_community(), "public");
      EXPECT_EQ(p->get_target()->get_address()->get_port(), 161);
      EXPECT_EQ(p->get_pdu()->get_type(), kKasPduResponse);
      EXPECT_EQ(p->get_pdu()->get_error_status(), 0) << "the answer to the first send is kept";
      EXPECT_EQ(p->get_pdu()->binding_count(), 2u);
    }
    EXPECT_EQ(list->count(), 5u);
    EXPECT_EQ(sources, (std::set<std::string>{"10.9.0.2", "10.9.0.3", "10.9.0.4", "10.9.0.5",
                                              "10.9.0.6"}));
    for (const auto& agent : lan.agents) {
      ASSERT_TRUE(agent->wait_for_requests(2, 2000));
      const std::vector<ScriptedRequest> seen = agent->requests();
      EXPECT_EQ(seen.size(), 2u);
      EXPECT_EQ(seen[1].bytes, seen[0].bytes) << "both tries send the same datagram";
    }
  });
}

// Retries -1 send nothing; nobody answering is success: an empty list either way.
TEST(BroadcastNetns, SilentLanOrNegativeRetriesAnswerAnEmptyList) {
  ZEL_RUN_IN_PRIVATE_NETNS([] {
    Lan lan;
    ASSERT_NO_FATAL_FAILURE(lan.start(2, {[](const ScriptedRequest&) { return Replies{}; }}));
    EXPECT_EQ(broadcast(100, -1)->count(), 0u);
    for (const auto& agent : lan.agents) EXPECT_FALSE(agent->wait_for_requests(1, 100));
    EXPECT_EQ(broadcast(30, 1)->count(), 0u);
    for (const auto& agent : lan.agents) EXPECT_TRUE(agent->wait_for_requests(2, 1000));
  });
}

// Every call of the tick counter moves it five seconds, past any window, so
// each window is one poll that takes exactly one datagram and then closes.
// The send waits a moment for the agents' answers, so that the poll finds
// them.
uint32_t g_tick = 0;
uint32_t jumping_tick() { return g_tick += 5000; }
NKalSocketAPI::FunctionTable g_real;
long send_then_wait(int s, const void* b, size_t n, int f, const sockaddr* to, uint32_t len) {
  const long sent = g_real.sendto(s, b, n, f, to, len);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  return sent;
}

// Regression: an undecodable datagram that was the last event of the last
// window used to fail the whole broadcast and throw away every answer
// collected; any host on the network can send one.
TEST(BroadcastNetns, UndecodableLastDatagramIsDroppedAndAnswersAreKept) {
  ZEL_RUN_IN_PRIVATE_NETNS([] {
    NKalSocketAPI::ScopedTable saved;
    g_real = NKalSocketAPI::table();
    NKalSocketAPI::table().GetTickCount = jumping_tick;
    NKalSocketAPI::table().sendto = send_then_wait;
    Lan lan;
    // Node .2 answers the first send only; node .3 answers the second send
    // only, with a message whose header reads but whose value does not.
    ASSERT_NO_FATAL_FAILURE(lan.start(
        2, {[](const ScriptedRequest& r) {
              return r.index == 0 ? Replies{{echo_response(r)}} : Replies{};
            },
            [](const ScriptedRequest& r) {
              return r.index == 1 ? Replies{{zeltest::undecodable_response(r)}}
                                  : Replies{};
            }}));
    PacketList list = broadcast(1000, 1);
    ASSERT_EQ(list->count(), 1u);
    EXPECT_STREQ(list->front()->get_target()->get_address()->text(),
                 "10.9.0.2");
    EXPECT_EQ(lan.agents[1]->request_count(), 2u);
  });
}

// A send that the kernel is slow to take (a crowded LAN, a busy machine)
// counts against the window: the caller's budget is the time-out per try.
uint32_t g_slow_send_tick = 0;
uint32_t slow_send_tick() { return g_slow_send_tick; }

TEST(BroadcastNetns, TheTimeTheSendTakesCountsAgainstTheWindow) {
  ZEL_RUN_IN_PRIVATE_NETNS([] {
    NKalSocketAPI::ScopedTable saved;
    g_real = NKalSocketAPI::table();
    g_slow_send_tick = 0;
    NKalSocketAPI::table().GetTickCount = slow_send_tick;
    NKalSocketAPI::table().sendto = [](int s, const void* b, size_t n, int f,
                                       const sockaddr* to, uint32_t len) -> long {
      g_slow_send_tick += 1000;  // the whole time-out went into the send
      return send_then_wait(s, b, n, f, to, len);
    };
    Lan lan;
    ASSERT_NO_FATAL_FAILURE(lan.start(2, {[](const ScriptedRequest& r) {
      return Replies{{echo_response(r)}};
    }}));
    // Nothing is left of the window after the send: one poll, one answer.
    EXPECT_EQ(broadcast(1000, 0)->count(), 1u);
  });
}

TEST(BroadcastNetns, FailingSendFailsTheBroadcast) {
  ZEL_RUN_IN_PRIVATE_NETNS([] {
    NKalSocketAPI::ScopedTable saved;
    NKalSocketAPI::table().sendto = [](int, const void*, size_t, int,
                                       const sockaddr*,
                                       uint32_t) -> long { return -1; };
    ASSERT_EQ(zeltest::add_bridge("br0", "10.9.0.1/24"), "");
    KalOwned<RequestSession> session(kas_create_request_session());
    KalOwned<IKasSnmpTarget> target(make_target("10.9.0.255", 161, 20, 0));
    KalOwned<IKasPdu> pdu(make_pdu(kKasPduGet, 1));
    IKasSnmpPacketList* raw = reinterpret_cast<IKasSnmpPacketList*>(1);
    EXPECT_EQ(session->send_broad_cast_sync(pdu.get(), target.get(), &raw),
              kKasErrSend);
    EXPECT_EQ(raw, nullptr);
  });
}

}  // namespace
