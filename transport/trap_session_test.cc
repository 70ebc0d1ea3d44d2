// Trap sessions on loopback (127.0.9.x, ::1, ports chosen by the system):
// SNMPv1 traps from Net-SNMP's snmptrap and from our own encoder reach the
// observers decoded; a held observer fills the queue without losing a trap;
// cancelling, ending, dropping what is no SNMPv1 trap, and the log lines.
// Run under LeakSanitizer and ThreadSanitizer too.
#include "transport/trap_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "common/owned.h"
#include "log/capture_output.h"
#include "snmp/pdu.h"
#include "snmp/target.h"
#include "transport/datagram_socket.h"
#include "transport/trap_session_test_util.h"

namespace {

using P = IKalNetworkAddress::EProtocol;
using trap_test::encode;
using trap_test::eventually;
using trap_test::make_trap;
using trap_test::oid_text;
using trap_test::RecordingObserver;
using Session = KalOwned<TrapSession>;
using Bytes = std::vector<uint8_t>;

constexpr char kTrapHost[] = "127.0.9.1";

Session open_session(int protocol = P::IPv4, bool started = true) {
  int rc = 1;
  Session session(kas_create_trap_session(protocol, 0, &rc));
  EXPECT_EQ(rc, kKalOk);
  if (session && started) {
    EXPECT_EQ(session->start(), kKalOk);
  }
  return session;
}

uint16_t port_of(const Session& session) {
  return session->local_address()->get_port();
}

// Sends datagrams to one trap session from a socket of its own.
class Sender {
 public:
  Sender(uint16_t port, int protocol = P::IPv4, const char* host = kTrapHost) {
    DataGramSocket* raw = nullptr;
    EXPECT_EQ(DataGramSocket::create(protocol, 0, &raw), kKalOk);
    socket_.reset(raw);
    to_.reset(kal_create_network_address(host, static_cast<P>(protocol), port));
  }
  void send(const Bytes& bytes) {
    ASSERT_FALSE(bytes.empty());
    ASSERT_EQ(socket_->send(bytes.data(), bytes.size(), to_.get()), kKalOk);
  }
  void send_trap(int32_t seq) {
    KalOwned<IKasSnmpPacket> packet(make_trap(seq));
    send(encode(packet.get()));
  }

 private:
  KalOwned<DataGramSocket> socket_;
  KalOwned<IKalNetworkAddress> to_;
};

bool have_snmptrap() {
  return std::system("command -v snmptrap >/dev/null 2>&1") == 0;
}

// Runs Net-SNMP's snmptrap towards 127.0.9.1:port; `args` follow the
// destination. No MIB files are read: every identifier is numeric.
int snmptrap(const char* version, uint16_t port, const std::string& args) {
  char command[512];
  std::snprintf(
      command, sizeof command,
      "snmptrap -v %s -c public -M /dev/null %s:%u %s >/dev/null 2>&1", version,
      kTrapHost, port, args.c_str());
  return std::system(command);
}

struct NetSnmpTrapRow {
  const char* name;
  const char* args;  // enterprise agent generic specific uptime bindings...
  const char* trap_oid;
  uint32_t timestamp;
  std::vector<std::pair<std::string, std::string>>
      bindings;  // oid, display text
};

TEST(TrapSession, NetSnmpV1TrapsReachEveryObserverDecoded) {
  if (!have_snmptrap())
    GTEST_SKIP() << "snmptrap (package snmp) is not installed";
  const NetSnmpTrapRow rows[] = {
      {"coldStart",
       "1.3.6.1.4.1.61801 127.0.9.1 0 0 4242 1.3.6.1.2.1.1.5.0 s printer-9",
       "1.3.6.1.6.3.1.1.5.0.1",
       4242,
       {{"1.3.6.1.2.1.1.5.0", "printer-9"}}},
      {"linkDown",
       "1.3.6.1.4.1.61801 127.0.9.1 2 0 77 1.3.6.1.2.1.2.2.1.1.3 i 3 "
       "1.3.6.1.2.1.2.2.1.8.3 i 2",
       "1.3.6.1.6.3.1.1.5.0.3",
       77,
       {{"1.3.6.1.2.1.2.2.1.1.3", "3"}, {"1.3.6.1.2.1.2.2.1.8.3", "2"}}},
      {"enterprise-specific",
       "1.3.6.1.4.1.61801 127.0.9.1 6 5 123456 1.3.6.1.4.1.61801.1.2.0 u "
       "4000000000",
       "1.3.6.1.4.1.61801.0.5",
       123456,
       {{"1.3.6.1.4.1.61801.1.2.0", "4000000000"}}},
      {"enterprise-specific without bindings",
       "1.3.6.1.4.1.61802.7 127.0.9.1 6 1 0",
       "1.3.6.1.4.1.61802.7.0.1",
       0,
       {}},
  };
  Session session = open_session();
  ASSERT_TRUE(session);
  RecordingObserver a, b;
  ASSERT_EQ(session->attach_observer(&a), kKalOk);
  ASSERT_EQ(session->attach_observer(&b), kKalOk);

  size_t n = 0;
  for (const NetSnmpTrapRow& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_EQ(snmptrap("1", port_of(session), row.args), 0);
    ++n;
    ASSERT_TRUE(a.wait_for(n));
    ASSERT_TRUE(b.wait_for(n));
    for (const RecordingObserver* observer : {&a, &b}) {
      const IKasSnmpPacket* packet = observer->at(n - 1);
      ASSERT_NE(packet, nullptr);
      const IKasPdu* pdu = packet->get_pdu();
      EXPECT_EQ(pdu->get_type(), kKasPduTrap);
      EXPECT_EQ(oid_text(pdu->get_trap_oid()), row.trap_oid);
      ASSERT_NE(pdu->get_trap_timestamp(), nullptr);
      EXPECT_EQ(pdu->get_trap_timestamp()->get_uint(), row.timestamp);

      const IKasCommunityTarget* target = packet->get_target()->as_community();
      ASSERT_NE(target, nullptr);
      EXPECT_EQ(target->get_version(), kKasVersion1);
      EXPECT_STREQ(target->get_community(), "public");
      const IKalNetworkAddress* from = target->get_address();
      ASSERT_NE(from, nullptr);
      EXPECT_EQ(from->get_protocol(), P::IPv4);
      EXPECT_EQ(std::string(from->text()).rfind("127.", 0), 0u) << from->text();
      EXPECT_NE(from->get_port(), 0);

      const IKasVarBindList* list = pdu->get_bindings();
      const size_t count = list ? list->count() : 0;
      ASSERT_EQ(count, row.bindings.size());
      for (size_t i = 0; i < count; ++i) {
        EXPECT_EQ(oid_text(list->at(i)->get_name()), row.bindings[i].first);
        KalOwned<IKalText> text(list->at(i)->get_value()->to_text());
        ASSERT_TRUE(text);
        EXPECT_EQ(std::string(text->text()), row.bindings[i].second);
      }
    }
  }
}

TEST(TrapSession, BurstWithAHeldObserverQueues200AndLosesNothing) {
  Session session = open_session();
  ASSERT_TRUE(session);
  RecordingObserver observer;
  observer.hold();
  ASSERT_EQ(session->attach_observer(&observer), kKalOk);
  const ObserverInvoker* invoker = session->invoker();
  Sender sender(port_of(session));

  sender.send_trap(0);
  ASSERT_TRUE(observer.wait_for(1));  // trap 0 is held inside notify()
  // Chunks small enough for the socket's receive buffer, whatever its size.
  for (int32_t seq = 1; seq <= 200; ++seq) {
    sender.send_trap(seq);
    if (seq % 20 == 0) {
      ASSERT_TRUE(eventually(
          [&] { return invoker->queued() == static_cast<size_t>(seq); }));
    }
  }
  for (int32_t seq = 201; seq < 250; ++seq) sender.send_trap(seq);
  // The queue is full and the receiving thread waits with trap 201; the
  // rest wait in the socket.
  ASSERT_TRUE(eventually([&] { return invoker->waiting_posts() == 1; }));
  EXPECT_EQ(invoker->queued(), 200u);
  EXPECT_EQ(observer.count(), 1u);

  observer.let_go();
  ASSERT_TRUE(observer.wait_for(250));
  std::vector<int32_t> expected;
  for (int32_t seq = 0; seq < 250; ++seq) expected.push_back(seq);
  EXPECT_EQ(observer.sequence(), expected);
}

// Traps longer than one Ethernet frame, up to nearly the largest IPv4
// datagram, arrive whole: one octet string binding of `octets`.
TEST(TrapSession, LongTrapsArriveWhole) {
  const size_t rows[] = {3000, 65000};
  Session session = open_session();
  ASSERT_TRUE(session);
  RecordingObserver observer;
  ASSERT_EQ(session->attach_observer(&observer), kKalOk);
  Sender sender(port_of(session));
  size_t n = 0;
  for (const size_t octets : rows) {
    SCOPED_TRACE(octets);
    const std::string text(octets, 'x');
    KalOwned<IKasSnmpPacket> trap(make_trap(static_cast<int32_t>(octets)));
    ASSERT_TRUE(trap);
    trap->get_target()->set_max_message_size(65507);
    ASSERT_EQ(trap->get_pdu()->append_pair(
                  kas_create_oid_from_text("1.3.6.1.4.1.61801.99.2.0"),
                  kas_create_value_from_text(text.c_str(), kKasTagOctetString)),
              kKalOk);
    const Bytes bytes = encode(trap.get());
    ASSERT_GT(bytes.size(), octets);
    sender.send(bytes);
    ASSERT_TRUE(observer.wait_for(++n));
    const IKasVarBindList* list = observer.at(n - 1)->get_pdu()->get_bindings();
    ASSERT_EQ(list->count(), 2u);
    size_t length = 0;
    const uint8_t* got = list->at(1)->get_value()->get_bytes(&length);
    ASSERT_EQ(length, octets);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(got), length), text);
  }
}

// An observer ends its session from inside its notification while the
// queue is full and the receiving thread waits for a slot: the call
// returns, no other observer is called, the queued traps are released
// undelivered, and both threads end by themselves (no self-join; leaks and
// races are checked under the sanitizers).
TEST(TrapSession, ReleasedFromInsideANotificationEndsCleanly) {
  const size_t threads_before = WorkerThread::live_threads();
  TrapSession* session = kas_create_trap_session(P::IPv4, 0);
  ASSERT_NE(session, nullptr);
  ASSERT_EQ(session->start(), kKalOk);
  EXPECT_EQ(WorkerThread::live_threads(), threads_before + 2);
  RecordingObserver ender, next;
  ender.hold();
  ender.set_during([&] { session->release(); });
  ASSERT_EQ(session->attach_observer(&ender), kKalOk);
  ASSERT_EQ(session->attach_observer(&next), kKalOk);
  const uint16_t port = session->local_address()->get_port();
  const ObserverInvoker* invoker = session->invoker();
  Sender sender(port);
  sender.send_trap(0);
  ASSERT_TRUE(ender.wait_for(1));
  for (int32_t seq = 1; seq <= 201; ++seq) {
    sender.send_trap(seq);
    if (seq % 20 == 0) {
      ASSERT_TRUE(eventually(
          [&] { return invoker->queued() == static_cast<size_t>(seq); }));
    }
  }
  ASSERT_TRUE(eventually([&] { return invoker->waiting_posts() == 1; }));
  ender.let_go();  // release() runs now
  ASSERT_TRUE(eventually(
      [&] { return WorkerThread::live_threads() == threads_before; }));
  EXPECT_EQ(ender.count(), 1u);
  EXPECT_EQ(next.count(), 0u);
  // The socket was closed: its port can be had again.
  int rc = 1;
  Session again(kas_create_trap_session(P::IPv4, port, &rc));
  EXPECT_EQ(rc, kKalOk);
}

TEST(TrapSession, CancelWithoutTrafficTakesEffectWithinAboutASecond) {
  Session session = open_session();
  ASSERT_TRUE(session);
  // Let the thread reach its receive.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const auto begin = std::chrono::steady_clock::now();
  ASSERT_EQ(session->cancel(), kKalOk);
  ASSERT_EQ(session->wait(), kKalOk);
  const auto took = std::chrono::steady_clock::now() - begin;
  EXPECT_LT(took, std::chrono::seconds(5));  // coarse: one receive time-out
  EXPECT_EQ(session->state(), WorkerThread::kCancelled);
  EXPECT_FALSE(session->is_alive());
}

TEST(TrapSession, EndingDeliversAndReleasesEveryQueuedPacket) {
  RecordingObserver observer;
  observer.hold();
  Session session = open_session();
  ASSERT_TRUE(session);
  ASSERT_EQ(session->attach_observer(&observer), kKalOk);
  Sender sender(port_of(session));
  for (int32_t seq = 0; seq < 30; ++seq) sender.send_trap(seq);
  ASSERT_TRUE(eventually([&] { return session->invoker()->queued() == 29; }));

  // Ending waits for the held observer; the queued packets are delivered
  // before kDestroy and every one is released (LeakSanitizer).
  std::thread ender([&] { session.reset(); });
  observer.let_go();
  ender.join();
  EXPECT_EQ(observer.count(), 30u);
}

TEST(TrapSession, EndingASessionThatNeverStartedLeaksNothing) {
  Session session = open_session(P::IPv4, /*started=*/false);
  ASSERT_TRUE(session);
  Sender sender(port_of(session));
  sender.send_trap(1);
  EXPECT_EQ(session->state(), WorkerThread::kCreated);
  session.reset();
}

TEST(TrapSession, WhatIsNoSnmpV1TrapIsDroppedAndReceivingGoesOn) {
  Session session = open_session();
  ASSERT_TRUE(session);
  RecordingObserver observer;
  ASSERT_EQ(session->attach_observer(&observer), kKalOk);
  Sender sender(port_of(session));

  sender.send(Bytes{0xde, 0xad, 0xbe, 0xef});
  sender.send(Bytes(3000, 0x30));  // read whole, but no message
  KalOwned<IKasSnmpPacket> trap(make_trap(1));
  Bytes cut = encode(trap.get());
  cut.pop_back();
  sender.send(cut);
  // A GetRequest decodes but is no trap.
  KalOwned<IKasSnmpPacket> get(make_trap(2));
  get->get_pdu()->set_type(kKasPduGet);
  get->get_pdu()->set_request_id(5);
  sender.send(encode(get.get()));
  if (have_snmptrap()) {
    ASSERT_EQ(snmptrap("2c", port_of(session), "4242 1.3.6.1.6.3.1.1.5.1"), 0);
  }
  sender.send_trap(9);

  // Datagrams are read in order: once trap 9 is in, every one before it
  // was looked at.
  ASSERT_TRUE(observer.wait_for(1));
  EXPECT_EQ(observer.sequence(), (std::vector<int32_t>{9}));
  sender.send_trap(10);
  ASSERT_TRUE(observer.wait_for(2));
  EXPECT_EQ(observer.sequence(), (std::vector<int32_t>{9, 10}));
}

// BER type-length-value with a short length (every part here is short).
Bytes tlv(uint8_t tag, const Bytes& content) {
  Bytes out{tag, static_cast<uint8_t>(content.size())};
  out.insert(out.end(), content.begin(), content.end());
  return out;
}
Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// An SNMPv2c message with PDU tag `pdu` around `bindings`.
Bytes v2_message(uint8_t pdu, const Bytes& bindings, uint8_t version = 1) {
  const Bytes fields = cat({tlv(0x02, {7}), tlv(0x02, {0}), tlv(0x02, {0})});
  return tlv(0x30, cat({tlv(0x02, {version}), tlv(0x04, {'p', 'u', 'b'}),
                        tlv(pdu, cat({fields, tlv(0x30, bindings)}))}));
}

TEST(TrapSession, SnmpV2cTrapsWhenAskedAndOnlyWellFormedOnes) {
  const Bytes uptime = tlv(0x30, cat({tlv(0x06, {0x2b, 6, 1, 2, 1, 1, 3, 0}), tlv(0x43, {42})}));
  const Bytes trap_oid = tlv(0x30, cat({tlv(0x06, {0x2b, 6, 1, 6, 3, 1, 1, 4, 1, 0}),
                                        tlv(0x06, {0x2b, 6, 1, 6, 3, 1, 1, 5, 1})}));
  const Bytes name = tlv(0x30, cat({tlv(0x06, {0x2b, 6, 1, 2, 1, 1, 5, 0}), tlv(0x04, {'p', '9'})}));
  Session session = open_session(P::IPv4, false);
  ASSERT_TRUE(session);
  session->set_accept_v2c(true);
  RecordingObserver observer;
  ASSERT_EQ(session->attach_observer(&observer), kKalOk);
  ASSERT_EQ(session->start(), kKalOk);
  Sender sender(port_of(session), P::IPv4, "127.0.33.1");

  sender.send(v2_message(0xa7, cat({trap_oid, name})));          // no sysUpTime.0 first
  sender.send(v2_message(0xa7, cat({uptime, name})));            // no snmpTrapOID.0
  sender.send(v2_message(0xa7, cat({uptime, trap_oid}), 0));     // 0xA7 in SNMPv1
  sender.send(v2_message(0xa0, cat({uptime, trap_oid, name})));  // a GetRequest
  sender.send(v2_message(0xa7, cat({uptime, trap_oid, name})));
  sender.send_trap(9);

  ASSERT_TRUE(observer.wait_for(2));
  EXPECT_EQ(observer.sequence(), (std::vector<int32_t>{-1, 9}));
  const IKasSnmpPacket* packet = observer.at(0);
  ASSERT_NE(packet, nullptr);
  EXPECT_EQ(packet->get_target()->get_version(), kKasVersion2c);
  const IKasPdu* pdu = packet->get_pdu();
  EXPECT_EQ(pdu->get_type(), kKasPduTrap);
  EXPECT_EQ(oid_text(pdu->get_trap_oid()), "1.3.6.1.6.3.1.1.5.1");
  ASSERT_NE(pdu->get_trap_timestamp(), nullptr);
  EXPECT_EQ(pdu->get_trap_timestamp()->get_uint(), 42u);
  ASSERT_EQ(pdu->get_bindings()->count(), 1u);
  EXPECT_EQ(oid_text(pdu->get_bindings()->at(0)->get_name()), "1.3.6.1.2.1.1.5.0");
}

TEST(TrapSession, Ipv6SessionReceivesFromLoopback) {
  int rc = 1;
  Session session(kas_create_trap_session(P::IPv6, 0, &rc));
  if (!session) GTEST_SKIP() << "no IPv6 socket here: " << rc;
  ASSERT_EQ(session->start(), kKalOk);
  RecordingObserver observer;
  ASSERT_EQ(session->attach_observer(&observer), kKalOk);
  Sender sender(port_of(session), P::IPv6, "::1");
  sender.send_trap(3);
  ASSERT_TRUE(observer.wait_for(1));
  EXPECT_EQ(observer.sequence(), (std::vector<int32_t>{3}));
  EXPECT_EQ(observer.at(0)->get_target()->get_address()->get_protocol(),
            P::IPv6);
}

TEST(TrapSession, CreateAnswersTheSocketError) {
  int rc = 0;
  EXPECT_EQ(kas_create_trap_session(3, 0, &rc), nullptr);
  EXPECT_EQ(rc, kKalErrInvalidArg);

  Session first = open_session(P::IPv4, false);
  ASSERT_TRUE(first);
  EXPECT_EQ(kas_create_trap_session(P::IPv4, port_of(first), &rc), nullptr);
  EXPECT_EQ(rc, kKasErrBind);
}

TEST(TrapSession, EveryFailedAllocationInCreateIsReportedAndLeaksNothing) {
  open_session(P::IPv4, false);  // first-use services are made once, here
  long calls = 0;
  {
    const long before = kal_alloc_hook::g_calls.load();
    Session probe = open_session(P::IPv4, false);
    calls = kal_alloc_hook::g_calls.load() - before;
  }
  ASSERT_GT(calls, 0);
  for (long n = 0; n < calls; ++n) {
    SCOPED_TRACE(n);
    kal_alloc_hook::g_fail_countdown = n;
    int rc = 0;
    TrapSession* session = kas_create_trap_session(P::IPv4, 0, &rc);
    kal_alloc_hook::g_fail_countdown = -1;
    EXPECT_EQ(session, nullptr);
    // The socket answers kKalErrGeneral when the address it was bound to
    // cannot be read back.
    EXPECT_TRUE(rc == kKalErrNoMemory || rc == kKalErrGeneral) << rc;
    if (session) session->release();
  }
}

// An observer attached twice and detached once is called no more; the
// session's log lines along the way.
TEST(TrapSession, ObserverAttachedTwiceAndDetachedOnceAndTheLogLines) {
  KalScopedLogCapture log;
  {
    Session session = open_session();
    ASSERT_TRUE(session);
    RecordingObserver gone, stays;
    ASSERT_EQ(session->attach_observer(&gone), kKalOk);
    ASSERT_EQ(session->attach_observer(&gone), kKalOk);
    ASSERT_EQ(session->attach_observer(&stays), kKalOk);
    ASSERT_EQ(session->detach_observer(&gone), kKalOk);
    Sender sender(port_of(session));
    sender.send_trap(1);
    ASSERT_TRUE(stays.wait_for(1));
    EXPECT_EQ(gone.count(), 0u);
    EXPECT_EQ(session->attach_observer(nullptr), kKalErrInvalidArg);
    EXPECT_EQ(session->detach_observer(nullptr), kKalErrInvalidArg);
  }
  for (const char* text : {
           "[TrapSession::run] enter.",
           "[TrapSession]: receive packet(0x",
           "[TrapSession]: canceled.",
           "[TrapSession::run] exit.",
           "[ObserverInvoker::run] enter.",
           "[ObserverInvoker]: attach observer(0x",
           "[ObserverInvoker]: accept kFireTrap.",
           "[ObserverInvoker]: detach observer(0x",
           "[ObserverInvoker]: accept kDestroy.",
           "[ObserverInvoker::run] exit.",
       }) {
    EXPECT_TRUE(log.has(text)) << text;
  }
}

}  // namespace
