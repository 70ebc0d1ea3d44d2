// The session over a socket table whose entries follow a script: failing
// sendto and select, stray answers on demand, and a tick counter that wraps
// or jumps. Nothing here goes on the wire: sendto only records.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "common/owned.h"
#include "log/capture_output.h"
#include "snmp/codec_buffer.h"
#include "snmp/codec_service.h"
#include "transport/request_session.h"
#include "transport/request_session_test_util.h"
#include "transport/socket_api.h"

namespace {

using sessiontest::make_pdu;
using sessiontest::make_target;

// What the fake entries saw and do. One test at a time uses it.
struct Fake {
  int sends = 0;
  std::vector<uint8_t> last_sent;
  std::vector<int> select_timeouts;
  int receives = 0;
  uint32_t tick = 0;
  uint32_t tick_step = 0;
  int32_t id_delta = 1;  // stray answers: the sent request ID plus this
  // The first datagram of fake_recvfrom_first_then_answer.
  const char* first_source = nullptr;
  int first_type = kKasPduResponse;
  int first_version = kKasVersion2c;
  int32_t first_error = 0;
};
Fake g_fake;

long fake_sendto(int, const void* buffer, size_t length, int, const sockaddr*, uint32_t) {
  ++g_fake.sends;
  const uint8_t* p = static_cast<const uint8_t*>(buffer);
  g_fake.last_sent.assign(p, p + length);
  return static_cast<long>(length);
}

int fake_select_ready(int, int timeout_ms) {
  g_fake.select_timeouts.push_back(timeout_ms);
  return 1;
}

int fake_select_silent(int, int timeout_ms) {
  g_fake.select_timeouts.push_back(timeout_ms);
  return 0;
}

uint32_t fake_tick() {
  const uint32_t now = g_fake.tick;
  g_fake.tick += g_fake.tick_step;
  return now;
}

// Encodes ANSWER in a message of `version` into the receive buffer as if it
// came from source:161; -1 when that fails.
long reply_from(const char* source, int version, const IKasPdu* answer, void* buffer,
                size_t capacity, sockaddr* from, uint32_t* from_length) {
  KalOwned<IKasSnmpTarget> target(make_target(source, 161, 0, 0, version));
  KalOwned<IKasMessageBuffer> out(kas_create_message_buffer());
  if (!target || !out ||
      kas_codec_service()->encode(answer, target.get(), out.get()) != kKalOk) {
    return -1;
  }
  const size_t n = static_cast<size_t>(out->base() + out->size() - out->data());
  if (n > capacity) return -1;
  std::memcpy(buffer, out->data(), n);
  KalSockAddr address{};
  NKalSocketAPI::ipv4_to_sockaddr(source, 161, &address);
  std::memcpy(from, address.bytes, address.length);
  *from_length = address.length;
  return static_cast<long>(n);
}

long reply_from_agent(const IKasPdu* answer, void* buffer, size_t capacity, sockaddr* from,
                      uint32_t* from_length) {
  return reply_from("127.0.4.30", kKasVersion2c, answer, buffer, capacity, from, from_length);
}

// The request ID of the last request sent (0 when it does not read).
int32_t last_sent_id() {
  CKasMessageView sent(g_fake.last_sent.data(), g_fake.last_sent.size());
  int32_t status = 0, id = 0;
  kas_codec_service()->peek(&sent, &status, &id, kKasTargetCommunity);
  return id;
}

// First the datagram the fake describes (from first_source, the sent ID plus
// id_delta, first_type, first_version, first_error), then the answer to the
// last request from 127.0.20.10, then nothing.
long fake_recvfrom_first_then_answer(int, void* buffer, size_t capacity, int, sockaddr* from,
                                     uint32_t* from_length) {
  ++g_fake.receives;
  if (g_fake.receives > 2) return -1;
  const bool first = g_fake.receives == 1;
  // Our encoder writes no SNMPv2-Trap: a Response whose PDU tag becomes
  // 0xA7 below.
  const bool trap = first && g_fake.first_type == kKasPduTrap;
  KalOwned<IKasPdu> answer(
      make_pdu(first && !trap ? g_fake.first_type : kKasPduResponse, 1));
  answer->set_request_id(static_cast<int32_t>(static_cast<uint32_t>(last_sent_id()) +
                                              static_cast<uint32_t>(first ? g_fake.id_delta : 0)));
  if (first) answer->set_error_status(g_fake.first_error);
  const long n = reply_from(first ? g_fake.first_source : "127.0.20.10",
                            first ? g_fake.first_version : kKasVersion2c, answer.get(), buffer,
                            capacity, from, from_length);
  // Short lengths throughout: 30 L, version 02 01 v, community 04 06
  // "public", then the PDU tag at offset 13.
  uint8_t* octets = static_cast<uint8_t*>(buffer);
  if (trap && n > 13 && octets[13] == 0xA2) octets[13] = 0xA7;
  return n;
}

// Answers the last request sent with another request ID.
long fake_recvfrom_stray(int, void* buffer, size_t capacity, int, sockaddr* from,
                         uint32_t* from_length) {
  ++g_fake.receives;
  if (g_fake.receives > 1000) return -1;  // a runaway loop ends the test
  CKasMessageView sent(g_fake.last_sent.data(), g_fake.last_sent.size());
  int32_t status = 0, id = 0;
  if (kas_codec_service()->peek(&sent, &status, &id, kKasTargetCommunity) != kKalOk) return -1;
  KalOwned<IKasPdu> answer(make_pdu(kKasPduResponse, 1));
  answer->set_request_id(
      static_cast<int32_t>(static_cast<uint32_t>(id) + static_cast<uint32_t>(g_fake.id_delta)));
  return reply_from_agent(answer.get(), buffer, capacity, from, from_length);
}

// Answers the last request sent: tooBig (no bindings) while it has more
// than two bindings, else every binding echoed with a NULL value.
long fake_recvfrom_answer(int, void* buffer, size_t capacity, int, sockaddr* from,
                          uint32_t* from_length) {
  ++g_fake.receives;
  CKasMessageView sent(g_fake.last_sent.data(), g_fake.last_sent.size());
  KalOwned<IKasPdu> answer(kas_create_pdu());
  if (!answer ||
      kas_codec_service()->decode(&sent, answer.get(), nullptr, kKasTargetCommunity) != kKalOk) {
    return -1;
  }
  answer->set_type(kKasPduResponse);
  if (answer->binding_count() > 2) {
    answer->set_bindings(nullptr);
    answer->set_error_status(kKasSnmpTooBig);
  }
  return reply_from_agent(answer.get(), buffer, capacity, from, from_length);
}

class SessionFakeSocket : public ::testing::Test {
 protected:
  void SetUp() override {
    g_fake = Fake();
    NKalSocketAPI::table().sendto = fake_sendto;
  }
  int send(int32_t timeout_ms, int32_t retries) {
    KalOwned<RequestSession> session(kas_create_request_session());
    KalOwned<IKasSnmpTarget> target(make_target("127.0.4.30", 161, timeout_ms, retries));
    KalOwned<IKasPdu> pdu(make_pdu(kKasPduGet, 1));
    return session->send_sync(pdu.get(), target.get());
  }
  NKalSocketAPI::ScopedTable saved_;
};

TEST_F(SessionFakeSocket, FailingSendtoOrSelectEndsTheExchangeWithoutRetrying) {
  NKalSocketAPI::table().select = [](int, int) { return -1; };
  EXPECT_EQ(send(20, 3), kKasErrReceive);
  EXPECT_EQ(g_fake.sends, 1);
  g_fake = Fake();
  NKalSocketAPI::table().sendto = [](int, const void*, size_t, int, const sockaddr*,
                                     uint32_t) -> long {
    ++g_fake.sends;
    return -1;
  };
  EXPECT_EQ(send(20, 3), kKasErrSend);
  EXPECT_EQ(g_fake.sends, 1);
}

TEST_F(SessionFakeSocket, ZeroOrNegativeTimeOutPollsOncePerTry) {
  NKalSocketAPI::table().select = fake_select_silent;
  for (int32_t timeout : {0, -5}) {
    g_fake = Fake();
    EXPECT_EQ(send(timeout, 2), kKasErrTimeout) << timeout;
    EXPECT_EQ(g_fake.sends, 3) << timeout;
    EXPECT_EQ(g_fake.select_timeouts, (std::vector<int>{0, 0, 0})) << timeout;
  }
}

TEST_F(SessionFakeSocket, StrayAnswersShortenTheWindowAcrossATickWrap) {
  // Every stray costs 30 ms of a 100 ms window: four per window (30, 60, 90,
  // then past the end), although the counter wraps inside the first one.
  NKalSocketAPI::table().select = fake_select_ready;
  NKalSocketAPI::table().recvfrom = fake_recvfrom_stray;
  NKalSocketAPI::table().GetTickCount = fake_tick;
  g_fake.tick = 0xFFFFFFC0u;
  g_fake.tick_step = 30;
  EXPECT_EQ(send(100, 1), kKasErrOtherRequest) << "the last window closed after a stray";
  EXPECT_EQ(g_fake.sends, 2);
  EXPECT_EQ(g_fake.receives, 8);
  // The remaining wait handed to each receive: 100, 70, 40, 10 per window.
  EXPECT_EQ(g_fake.select_timeouts, (std::vector<int>{100, 70, 40, 10, 100, 70, 40, 10}));
}

TEST_F(SessionFakeSocket, ADroppedDatagramThatUsesUpTheWindowEndsTheTry) {
  NKalSocketAPI::table().select = fake_select_ready;
  NKalSocketAPI::table().recvfrom = fake_recvfrom_stray;
  NKalSocketAPI::table().GetTickCount = fake_tick;
  g_fake.tick_step = 5000;
  EXPECT_EQ(send(1000, 2), kKasErrOtherRequest);
  EXPECT_EQ(g_fake.sends, 3);
  EXPECT_EQ(g_fake.receives, 3);
}

TEST_F(SessionFakeSocket, MatchingAnswerFromTheScriptIsTaken) {
  NKalSocketAPI::table().select = fake_select_ready;
  NKalSocketAPI::table().recvfrom = fake_recvfrom_stray;
  g_fake.id_delta = 0;
  KalOwned<RequestSession> session(kas_create_request_session());
  KalOwned<IKasSnmpTarget> target(make_target("127.0.4.31", 161, 100, 0));
  KalOwned<IKasPdu> pdu(make_pdu(kKasPduGet, 1));
  ASSERT_EQ(session->send_sync(pdu.get(), target.get()), kKalOk);
  EXPECT_EQ(pdu->get_type(), kKasPduResponse);
  EXPECT_STREQ(target->get_address()->text(), "127.0.4.31") << "a unicast destination is kept";
}

// Which datagrams answer a request, and where the next request goes. A
// datagram that answers nothing is dropped and the same window goes on: the
// answer that follows it (from 127.0.20.10) is taken.
TEST_F(SessionFakeSocket, OnlyAMatchingResponseIsTakenAndOnlyABroadcastLearnsItsAgent) {
  const char* const unicast = "127.0.20.10";
  const char* const broadcast = "255.255.255.255";
  const char* const other = "127.0.20.11";
  const struct {
    const char* name;
    const char* destination;
    const char* source;
    int32_t id_delta;
    int type;
    int version;
    int32_t error;
    bool accepted;
    int rc;
    const char* destination_after;
  } rows[] = {
      {"the answer", unicast, unicast, 0, kKasPduResponse, kKasVersion2c, 0, true, kKalOk,
       unicast},
      {"from another address: taken, destination kept", unicast, other, 0, kKasPduResponse,
       kKasVersion2c, 0, true, kKalOk, unicast},
      {"another request ID", unicast, unicast, 1, kKasPduResponse, kKasVersion2c, 0, false,
       kKalOk, unicast},
      {"another request ID from another address", unicast, other, -1, kKasPduResponse,
       kKasVersion2c, 0, false, kKalOk, unicast},
      {"the request echoed back", unicast, unicast, 0, kKasPduGet, kKasVersion2c, 0, false,
       kKalOk, unicast},
      {"a Report", unicast, unicast, 0, kKasPduReport, kKasVersion2c, 0, false, kKalOk,
       unicast},
      {"a Trap", unicast, other, 0, kKasPduTrap, kKasVersion2c, 0, false, kKalOk, unicast},
      {"an SNMPv1 answer to an SNMPv2c request", unicast, unicast, 0, kKasPduResponse,
       kKasVersion1, 0, false, kKalOk, unicast},
      {"tooBig in another version", unicast, unicast, 0, kKasPduResponse, kKasVersion1,
       kKasSnmpTooBig, false, kKalOk, unicast},
      {"tooBig echoed as a request", unicast, unicast, 0, kKasPduGet, kKasVersion2c,
       kKasSnmpTooBig, false, kKalOk, unicast},
      {"tooBig that matches: one binding cannot be split", unicast, unicast, 0,
       kKasPduResponse, kKasVersion2c, kKasSnmpTooBig, true, kKasErrCannotSplit, unicast},
      {"broadcast: the answer names the agent", broadcast, other, 0, kKasPduResponse,
       kKasVersion2c, 0, true, kKalOk, other},
      {"broadcast: another request ID", broadcast, other, 1, kKasPduResponse, kKasVersion2c,
       0, false, kKalOk, unicast},
      {"broadcast: an SNMPv1 answer", broadcast, other, 0, kKasPduResponse, kKasVersion1, 0,
       false, kKalOk, unicast},
  };
  NKalSocketAPI::table().select = fake_select_ready;
  NKalSocketAPI::table().recvfrom = fake_recvfrom_first_then_answer;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    g_fake = Fake();
    g_fake.first_source = row.source;
    g_fake.id_delta = row.id_delta;
    g_fake.first_type = row.type;
    g_fake.first_version = row.version;
    g_fake.first_error = row.error;
    KalScopedLogCapture log;
    KalOwned<RequestSession> session(kas_create_request_session());
    KalOwned<IKasSnmpTarget> target(make_target(row.destination, 161, 1000, 0));
    KalOwned<IKasPdu> pdu(make_pdu(kKasPduGet, 1));
    EXPECT_EQ(session->send_sync(pdu.get(), target.get()), row.rc);
    const bool elsewhere = row.accepted && row.rc == kKalOk && row.source == other;
    EXPECT_EQ(log.has("_send_and_receive(): answer from 127.0.20.11"), elsewhere);
    EXPECT_EQ(g_fake.sends, 1);
    EXPECT_EQ(g_fake.receives, row.accepted ? 1 : 2) << "accepted: " << row.accepted;
    EXPECT_STREQ(target->get_address()->text(), row.destination_after);
  }
}

// A split exchange (5 bindings: tooBig, then 3 + 2, the 3 again 2 + 1) with
// the n-th allocation failing, for every n: each run answers a documented
// status and, under the sanitizers, leaks nothing.
// `fail_at`: the allocation of the exchange that fails (-1: none). The
// session, target and PDU are made before the countdown starts.
int split_exchange(long fail_at) {
  KalOwned<RequestSession> session(kas_create_request_session());
  KalOwned<IKasSnmpTarget> target(make_target("127.0.4.30", 161, 100, 0));
  KalOwned<IKasPdu> pdu(make_pdu(kKasPduGet, 5));
  kal_alloc_hook::g_fail_countdown = fail_at;
  const int rc = session->send_sync(pdu.get(), target.get());
  kal_alloc_hook::g_fail_countdown = -1;
  if (rc == kKalOk && sessiontest::names_of(pdu.get()) != sessiontest::expected_names(5)) return 1;
  return rc;
}

TEST_F(SessionFakeSocket, EveryAllocationFailingOnceIsAnsweredAndReleased) {
  NKalSocketAPI::table().select = fake_select_ready;
  NKalSocketAPI::table().recvfrom = fake_recvfrom_answer;
  ASSERT_EQ(split_exchange(-1), kKalOk);
  // Count the exchange's own allocations (the fake's answers included).
  KalOwned<RequestSession> session(kas_create_request_session());
  KalOwned<IKasSnmpTarget> target(make_target("127.0.4.30", 161, 100, 0));
  KalOwned<IKasPdu> pdu(make_pdu(kKasPduGet, 5));
  const long before = kal_alloc_hook::g_calls.load();
  ASSERT_EQ(session->send_sync(pdu.get(), target.get()), kKalOk);
  const long count = kal_alloc_hook::g_calls.load() - before;
  ASSERT_GT(count, 10);
  for (long n = 0; n < count; ++n) {
    const int rc = split_exchange(n);
    // A failed answer in the fake is a receive failure; a source address
    // that cannot be made is the socket's general failure.
    EXPECT_TRUE(rc == kKalOk || rc == kKalErrNoMemory || rc == kKasErrReceive ||
                rc == kKalErrGeneral)
        << "allocation " << n << " answered " << rc;
  }
}

}  // namespace
