// The session over a socket table whose entries follow a script: failing
// sendto and select, stray answers on demand, and a tick counter that wraps
// or jumps. Nothing here goes on the wire: sendto only records.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "common/owned.h"
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

// Encodes ANSWER into the receive buffer as if it came from 127.0.4.30:161;
// -1 when that fails.
long reply_from_agent(const IKasPdu* answer, void* buffer, size_t capacity, sockaddr* from,
                      uint32_t* from_length) {
  KalOwned<IKasSnmpTarget> target(make_target("127.0.4.30", 161, 0, 0));
  KalOwned<IKasMessageBuffer> out(kas_create_message_buffer());
  if (!target || !out ||
      kas_codec_service()->encode(answer, target.get(), out.get()) != kKalOk) {
    return -1;
  }
  const size_t n = static_cast<size_t>(out->base() + out->size() - out->data());
  if (n > capacity) return -1;
  std::memcpy(buffer, out->data(), n);
  KalSockAddr source{};
  NKalSocketAPI::ipv4_to_sockaddr("127.0.4.30", 161, &source);
  std::memcpy(from, source.bytes, source.length);
  *from_length = source.length;
  return static_cast<long>(n);
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
  EXPECT_STREQ(target->get_address()->text(), "127.0.4.30");
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
