// One socket for the requests of one session: a walk's GetNexts leave from
// one local port; a late duplicate of an earlier answer that reaches the
// kept socket is dropped and the current request still gets its own
// answer; after a failed exchange, and for another local port, the session
// opens a fresh socket. Real sockets on this test's own loopback addresses
// (127.0.15.10 - 127.0.15.13) against the scripted responder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/owned.h"
#include "testing/scripted_responder.h"
#include "transport/request_session.h"
#include "transport/request_session_test_util.h"
#include "transport/socket_api.h"

namespace {

using sessiontest::make_pdu;
using sessiontest::make_target;
using sessiontest::names_of;
using sessiontest::texts_of;
using zeltest::echo_response;
using zeltest::ScriptedReply;
using zeltest::ScriptedRequest;
using zeltest::ScriptedResponder;
using Replies = std::vector<ScriptedReply>;

// Counts the sockets the session opens through the function table.
int g_opened = 0;
int (*g_real_socket)(int, int, int) = nullptr;
int counting_socket(int family, int type, int protocol) {
  ++g_opened;
  return g_real_socket(family, type, protocol);
}

class RequestSessionReuse : public ::testing::Test {
 protected:
  void SetUp() override {
    NKalSocketAPI::set_api();
    g_opened = 0;
    g_real_socket = NKalSocketAPI::table().socket;
    NKalSocketAPI::table().socket = counting_socket;
  }

  void start(const char* address, zeltest::ResponderScript script,
             int32_t timeout_ms) {
    std::string error;
    ASSERT_TRUE(agent_.start(address, 0, std::move(script), &error)) << error;
    target_.reset(make_target(address, agent_.port(), timeout_ms, 0));
  }

  NKalSocketAPI::ScopedTable saved_;
  ScriptedResponder agent_;
  KalOwned<RequestSession> session_{kas_create_request_session()};
  KalOwned<IKasSnmpTarget> target_;
};

TEST_F(RequestSessionReuse, RequestsOfOneSessionShareOneSocket) {
  start("127.0.15.10",
        [](const ScriptedRequest& r) { return Replies{{echo_response(r)}}; },
        2000);
  for (int i = 0; i < 5; ++i) {
    KalOwned<IKasPdu> pdu(make_pdu(kKasPduGetNext, 2));
    ASSERT_EQ(session_->send_sync(pdu.get(), target_.get()), kKalOk) << i;
    EXPECT_EQ(texts_of(pdu.get()), names_of(pdu.get()));
  }
  EXPECT_EQ(g_opened, 1);
  const std::vector<ScriptedRequest> seen = agent_.requests();
  ASSERT_EQ(seen.size(), 5u);
  for (const ScriptedRequest& r : seen) EXPECT_EQ(r.from_port, seen[0].from_port);
}

// The first request is answered twice, the copy 300 ms late; the second
// request's answer comes 600 ms after it was asked. The copy reaches the
// kept socket while the second request waits: it carries the first
// request's ID and is dropped.
TEST_F(RequestSessionReuse, LateCopyOfAnEarlierAnswerIsDropped) {
  start("127.0.15.11",
        [](const ScriptedRequest& r) {
          if (r.index == 0)
            return Replies{{echo_response(r)}, {echo_response(r), 300}};
          return Replies{{echo_response(r), 600}};
        },
        3000);
  KalOwned<IKasPdu> first(make_pdu(kKasPduGet, 1));
  ASSERT_EQ(session_->send_sync(first.get(), target_.get()), kKalOk);
  const std::vector<std::string> second_names = {"1.3.6.1.4.1.99999.7.0",
                                                 "1.3.6.1.4.1.99999.8.0"};
  KalOwned<IKasPdu> second(make_pdu(kKasPduGet, second_names));
  ASSERT_EQ(session_->send_sync(second.get(), target_.get()), kKalOk);
  EXPECT_EQ(names_of(second.get()), second_names);
  EXPECT_EQ(texts_of(second.get()), second_names);
  EXPECT_EQ(g_opened, 1);
}

TEST_F(RequestSessionReuse, FailedExchangeIsFollowedByAFreshSocket) {
  start("127.0.15.12",
        [](const ScriptedRequest& r) {
          return r.index == 0 ? Replies{} : Replies{{echo_response(r)}};
        },
        300);
  KalOwned<IKasPdu> pdu(make_pdu(kKasPduGet, 1));
  ASSERT_EQ(session_->send_sync(pdu.get(), target_.get()), kKasErrTimeout);
  EXPECT_EQ(g_opened, 1);
  target_->set_timeout(2000);
  KalOwned<IKasPdu> again(make_pdu(kKasPduGet, 1));
  ASSERT_EQ(session_->send_sync(again.get(), target_.get()), kKalOk);
  EXPECT_EQ(g_opened, 2);
}

TEST_F(RequestSessionReuse, AnotherLocalPortOpensAnotherSocket) {
  start("127.0.15.13",
        [](const ScriptedRequest& r) { return Replies{{echo_response(r)}}; },
        2000);
  KalOwned<IKasPdu> pdu(make_pdu(kKasPduGet, 1));
  ASSERT_EQ(session_->send_sync(pdu.get(), target_.get()), kKalOk);
  // A fixed local port that the first socket does not have.
  const uint16_t port = static_cast<uint16_t>(agent_.port() + 1);
  target_->set_local_port(port);
  KalOwned<IKasPdu> again(make_pdu(kKasPduGet, 1));
  const int rc = session_->send_sync(again.get(), target_.get());
  EXPECT_EQ(g_opened, 2);
  if (rc == kKalOk) {
    EXPECT_EQ(agent_.requests().back().from_port, port);
  }
}

}  // namespace
