// The walk's hot path in the session. check_and_decode reads each datagram
// once and answers what the header check and then the decode would answer
// (named rows of answers, strays and broken datagrams). One socket for the
// requests of one session: a walk's GetNexts leave from one local port; a late duplicate of an earlier answer that reaches the
// kept socket is dropped and the current request still gets its own
// answer; after a failed exchange, and for another local port, the session
// opens a fresh socket. Real sockets on this test's own loopback addresses
// (127.0.15.10 - 127.0.15.13) against the scripted responder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/owned.h"
#include "snmp/codec_buffer.h"
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
using zeltest::garbage_datagram;
using zeltest::too_big_response;
using zeltest::undecodable_response;
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

// The request the datagrams below answer (or do not).
ScriptedRequest sent_request() {
  ScriptedRequest r;
  r.version = kKasVersion1;
  r.community = "public";
  r.request_id = 4242;
  r.oids = {"1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.1.6.0"};
  return r;
}

ScriptedRequest with_id(int32_t id) {
  ScriptedRequest r = sent_request();
  r.request_id = id;
  return r;
}

TEST(RequestSessionCheckAndDecode, AnswersAsTheHeaderCheckThenTheDecode) {
  const struct {
    const char* name;
    std::vector<uint8_t> datagram;
    int expected;
  } rows[] = {
      {"the answer", echo_response(sent_request()), kKalOk},
      {"an answer with an error-status", echo_response(sent_request(), 0, 2, 1),
       kKalOk},
      {"another request's answer", echo_response(sent_request(), 1),
       kKasErrOtherRequest},
      {"tooBig", too_big_response(sent_request()), kKasErrTooBig},
      {"another request's tooBig", too_big_response(with_id(7)),
       kKasErrOtherRequest},
      {"no SNMP message", garbage_datagram(), kKasErrUndecodable},
      {"undecodable answer", undecodable_response(sent_request()),
       kKasErrUndecodable},
      {"undecodable answer to another request", undecodable_response(with_id(7)),
       kKasErrOtherRequest},
      {"cut short", [] {
         std::vector<uint8_t> b = echo_response(sent_request());
         b.resize(b.size() / 2);
         return b;
       }(),
       kKasErrUndecodable},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_FALSE(row.datagram.empty());
    // The reference: the header check, then (when it passes) the decode.
    KalOwned<IKasPdu> reference(make_pdu(kKasPduGet, 2));
    reference->set_request_id(4242);
    CKasMessageView first(row.datagram.data(), row.datagram.size());
    int expected = RequestSession::check_received_raw_packet(reference.get(), &first);
    if (expected == kKalOk) {
      CKasMessageView again(row.datagram.data(), row.datagram.size());
      expected = RequestSession::decode_response(&again, reference.get());
    }
    EXPECT_EQ(expected, row.expected);

    KalOwned<IKasPdu> pdu(make_pdu(kKasPduGet, 2));
    pdu->set_request_id(4242);
    const std::vector<std::string> before = names_of(pdu.get());
    CKasMessageView raw(row.datagram.data(), row.datagram.size());
    EXPECT_EQ(RequestSession::check_and_decode(&raw, pdu.get(), kKasVersion1, nullptr), row.expected);
    if (row.expected == kKalOk) {
      EXPECT_EQ(pdu->get_type(), kKasPduResponse);
      EXPECT_EQ(pdu->get_error_status(), reference->get_error_status());
      EXPECT_EQ(pdu->get_error_index(), reference->get_error_index());
      EXPECT_EQ(texts_of(pdu.get()), sent_request().oids);
    } else {
      // Left as it was.
      EXPECT_EQ(pdu->get_type(), kKasPduGet);
      EXPECT_EQ(names_of(pdu.get()), before);
      EXPECT_EQ(pdu->get_request_id(), 4242);
    }
  }
}

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
