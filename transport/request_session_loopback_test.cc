// Whole exchanges over real sockets against the scripted responder on
// loopback addresses of this test's own (127.0.4.10 - 127.0.4.39): what real
// agents will not do on demand. Counts and order are checked, not durations.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/owned.h"
#include "snmp/packet.h"
#include "testing/scripted_responder.h"
#include "transport/request_session.h"
#include "transport/request_session_test_util.h"
#include "transport/session_dispatcher.h"

namespace {

using sessiontest::expected_names;
using sessiontest::make_pdu;
using sessiontest::make_target;
using sessiontest::names_of;
using sessiontest::texts_of;
using zeltest::echo_response;
using zeltest::ScriptedReply;
using zeltest::ScriptedRequest;
using zeltest::ScriptedResponder;
using Replies = std::vector<ScriptedReply>;

Replies echo(const ScriptedRequest& r) { return {{echo_response(r)}}; }
Replies silence(const ScriptedRequest&) { return {}; }

struct Exchange {
  ScriptedResponder agent;
  KalOwned<RequestSession> session{kas_create_request_session()};
  KalOwned<IKasSnmpTarget> target;

  // Starts the responder on `address` and aims a target at it.
  void start(const char* address, zeltest::ResponderScript script,
             int32_t timeout_ms, int32_t retries, size_t max_size = 1472,
             const std::string& alternate = "") {
    std::string error;
    ASSERT_TRUE(agent.start(address, 0, std::move(script), &error, alternate))
        << error;
    target.reset(make_target(address, agent.port(), timeout_ms, retries,
                             kKasVersion2c, "public", max_size));
  }
};

TEST(RequestSessionLoopback, GetRoundTrip) {
  Exchange x;
  x.start("127.0.4.10", echo, 1000, 0);
  KalOwned<IKasPdu> pdu(make_pdu(kKasPduGet, 3));
  ASSERT_EQ(x.session->send_sync(pdu.get(), x.target.get()), kKalOk);
  EXPECT_EQ(pdu->get_type(), kKasPduResponse);
  EXPECT_EQ(texts_of(pdu.get()), expected_names(3));
  ASSERT_EQ(x.agent.request_count(), 1u);
  const ScriptedRequest request = x.agent.requests()[0];
  EXPECT_EQ(request.type, kKasPduGet);
  EXPECT_EQ(request.community, "public");
  EXPECT_EQ(request.version, kKasVersion2c);
  EXPECT_EQ(request.request_id, pdu->get_request_id());
}

TEST(RequestSessionLoopback, PacketFormLeavesPduAndTargetInThePacket) {
  Exchange x;
  x.start("127.0.4.11", echo, 1000, 0);
  KalOwned<IKasSnmpPacket> packet(kas_create_packet());
  packet->set_pdu(make_pdu(kKasPduGetNext, 1));
  packet->set_target(x.target.detach());
  ASSERT_EQ(x.session->send_sync(packet.get()), kKalOk);
  ASSERT_NE(packet->get_pdu(), nullptr);
  ASSERT_NE(packet->get_target(), nullptr);
  EXPECT_EQ(packet->get_pdu()->get_type(), kKasPduResponse);
}

TEST(RequestSessionLoopback, Ipv6RoundTrip) {
  Exchange x;
  std::string error;
  if (!x.agent.start("::1", 0, echo, &error))
    GTEST_SKIP() << "no IPv6 loopback: " << error;
  x.target.reset(make_target("::1", x.agent.port(), 1000, 0));
  KalOwned<IKasPdu> pdu(make_pdu(kKasPduGet, 2));
  ASSERT_EQ(x.session->send_sync(pdu.get(), x.target.get()), kKalOk);
  EXPECT_EQ(texts_of(pdu.get()), expected_names(2));
}

// One request of `bindings` names against one script: the status, how many
// requests the agent saw, and (on success) the answer in request order.
struct ScriptRow {
  const char* name;
  const char* address;
  zeltest::ResponderScript script;
  int32_t timeout_ms, retries;
  size_t max_size, bindings;
  int rc;
  size_t min_requests, max_requests;
};

TEST(RequestSessionLoopback, ScriptedAgents) {
  const ScriptRow rows[] = {
      // Two strays first, then the answer well inside the window: no second try.
      {"answers to other requests are dropped", "127.0.4.12",
       [](const ScriptedRequest& r) {
         return Replies{{echo_response(r, 1)}, {echo_response(r, -7), 10}, {echo_response(r), 30}};
       },
       2000, 0, 1472, 1, kKalOk, 1, 1},
      {"garbage and undecodable answers are dropped", "127.0.4.15",
       [](const ScriptedRequest& r) {
         return Replies{{zeltest::garbage_datagram()},
                        {zeltest::undecodable_response(r), 5},
                        {echo_response(r), 20}};
       },
       2000, 0, 1472, 2, kKalOk, 1, 1},
      // Retries resend the same request ID, so the first try's late answer
      // still answers the request.
      {"late answer to the first try", "127.0.4.16",
       [](const ScriptedRequest& r) {
         return r.index == 0 ? Replies{{echo_response(r), 60}} : Replies{};
       },
       40, 3, 1472, 1, kKalOk, 2, 4},
      {"retries zero sends once", "127.0.4.14", silence, 20, 0, 1472, 1, kKasErrTimeout, 1, 1},
      // The pair, then its first half: one binding cannot be split.
      {"too big for one binding", "127.0.4.22",
       [](const ScriptedRequest& r) { return Replies{{zeltest::too_big_response(r)}}; },
       1000, 0, 1472, 2, kKasErrCannotSplit, 2, 2},
      // Regression: answers were read into 2,048 octets; a longer one was cut,
      // failed to decode, was dropped, and the request timed out although the
      // agent had answered.
      {"answers longer than two kilobytes", "127.0.4.25", echo, 1000, 0, 65507, 120, kKalOk, 1,
       1},
  };
  for (const ScriptRow& row : rows) {
    SCOPED_TRACE(row.name);
    Exchange x;
    x.start(row.address, row.script, row.timeout_ms, row.retries, row.max_size);
    KalOwned<IKasPdu> pdu(make_pdu(kKasPduGet, row.bindings));
    ASSERT_EQ(x.session->send_sync(pdu.get(), x.target.get()), row.rc);
    EXPECT_TRUE(x.agent.wait_for_requests(row.min_requests, 1000)) << x.agent.request_count();
    EXPECT_LE(x.agent.request_count(), row.max_requests);
    if (row.rc == kKalOk) {
      EXPECT_EQ(texts_of(pdu.get()), expected_names(row.bindings));
    }
  }
}

TEST(RequestSessionLoopback, SilenceGivesExactlyRetriesPlusOneIdenticalSends) {
  Exchange x;
  x.start("127.0.4.13", silence, 30, 2);
  KalOwned<IKasPdu> pdu(make_pdu(kKasPduGet, 2));
  EXPECT_EQ(x.session->send_sync(pdu.get(), x.target.get()), kKasErrTimeout);
  ASSERT_TRUE(x.agent.wait_for_requests(3, 1000));
  const std::vector<ScriptedRequest> requests = x.agent.requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[1].bytes, requests[0].bytes);
  EXPECT_EQ(requests[2].bytes, requests[0].bytes);
  EXPECT_EQ(requests[0].request_id, pdu->get_request_id());
  // The request is left as it was sent.
  EXPECT_EQ(names_of(pdu.get()), expected_names(2));

  Exchange none;  // negative retries send nothing
  none.start("127.0.4.14", silence, 20, -1);
  EXPECT_EQ(none.session->send_sync(pdu.get(), none.target.get()), kKasErrTimeout);
  EXPECT_FALSE(none.agent.wait_for_requests(1, 50));
}

TEST(RequestSessionLoopback, LateAnswerToAnEarlierExchangeIsDropped) {
  Exchange x;
  // Exchange 1 is answered only after its window; exchange 2, on the same
  // socket, first receives that late answer (another request ID).
  x.start(
      "127.0.4.17",
      [](const ScriptedRequest& r) {
        return r.index == 0 ? Replies{{echo_response(r), 50}}
                            : Replies{{echo_response(r), 20}};
      },
      20, 0);
  ASSERT_EQ(x.session->open_socket(x.target.get()), kKalOk);
  KalOwned<IKasPdu> first(make_pdu(kKasPduGet, 1));
  int fragments = -1;
  EXPECT_EQ(
      x.session->_send_and_receive(first.get(), x.target.get(), &fragments),
      kKasErrTimeout);
  EXPECT_EQ(fragments, 0);
  x.target->set_timeout(2000);
  KalOwned<IKasPdu> second(make_pdu(kKasPduGet, 2));
  ASSERT_EQ(
      x.session->_send_and_receive(second.get(), x.target.get(), &fragments),
      kKalOk);
  EXPECT_EQ(texts_of(second.get()), expected_names(2));
  EXPECT_EQ(x.agent.request_count(), 2u);
}

TEST(RequestSessionLoopback, AnswerFromAnotherAddressIsTakenAndTheDestinationKept) {
  Exchange x;
  x.start(
      "127.0.4.18",
      [](const ScriptedRequest& r) {
        return Replies{{echo_response(r), 0, true}};
      },
      1000, 0, 1472, "127.0.4.19");
  KalOwned<IKasPdu> pdu(make_pdu(kKasPduGet, 1));
  ASSERT_EQ(x.session->send_sync(pdu.get(), x.target.get()), kKalOk);
  ASSERT_NE(x.target->get_address(), nullptr);
  EXPECT_STREQ(x.target->get_address()->text(), "127.0.4.18");
  EXPECT_EQ(x.target->get_address()->get_port(), x.agent.port());
}

// tooBig for the whole request of 100 and for its second half of 50.
Replies too_big_at_100_and_second_half(const ScriptedRequest& r) {
  const bool second_half =
      r.oids.size() == 50 && r.oids[0] == sessiontest::oid_of(50);
  if (r.oids.size() == 100 || second_half)
    return {{zeltest::too_big_response(r)}};
  return {{echo_response(r)}};
}

TEST(RequestSessionLoopback,
     TooBigHalvesAndHalvesAgainThenMergesInRequestOrder) {
  Exchange x;
  x.start("127.0.4.20", too_big_at_100_and_second_half, 1000, 0, 65507);
  KalOwned<IKasPdu> pdu(make_pdu(kKasPduGet, 100));
  ASSERT_EQ(x.session->send_sync(pdu.get(), x.target.get()), kKalOk);
  const std::vector<ScriptedRequest> requests = x.agent.requests();
  std::vector<size_t> sizes;
  std::vector<int32_t> ids;
  for (const ScriptedRequest& r : requests) {
    sizes.push_back(r.oids.size());
    ids.push_back(r.request_id);
  }
  EXPECT_EQ(sizes, (std::vector<size_t>{100, 50, 50, 25, 25}));
  for (size_t i = 1; i < ids.size(); ++i)
    EXPECT_NE(ids[i], ids[i - 1]) << "piece " << i;
  EXPECT_EQ(pdu->get_type(), kKasPduResponse);
  EXPECT_EQ(pdu->get_error_status(), 0);
  EXPECT_EQ(names_of(pdu.get()), expected_names(100));
  EXPECT_EQ(texts_of(pdu.get()), expected_names(100));
}

TEST(RequestSessionLoopback,
     ErrorIndexOfASecondPieceIsOffsetOnTheMergedAnswer) {
  Exchange x;
  x.start(
      "127.0.4.21",
      [](const ScriptedRequest& r) {
        if (r.oids.size() == 8) return Replies{{zeltest::too_big_response(r)}};
        if (r.oids[0] == sessiontest::oid_of(4)) {
          return Replies{{echo_response(r, 0, kKasSnmpNoSuchName, 1)}};
        }
        return Replies{{echo_response(r)}};
      },
      1000, 0);
  KalOwned<IKasPdu> pdu(make_pdu(kKasPduGet, 8));
  ASSERT_EQ(x.session->send_sync(pdu.get(), x.target.get()), kKalOk);
  EXPECT_EQ(pdu->get_error_status(), kKasSnmpNoSuchName);
  EXPECT_EQ(pdu->get_error_index(), 5);
  EXPECT_EQ(names_of(pdu.get()), expected_names(8));
}

TEST(RequestSessionLoopback, OversizedRequestIsSplitBeforeAnythingIsSent) {
  Exchange x;
  x.start("127.0.4.23", echo, 1000, 0, 1400);
  // 30 bindings of about 100 octets: about 3,000 octets for 1,400.
  KalOwned<IKasPdu> pdu(kas_create_pdu());
  pdu->set_type(kKasPduSet);
  const std::string filler(80, 'x');
  for (size_t i = 0; i < 30; ++i) {
    IKasSnmpValue* v = kas_create_value(kKasTagOctetString);
    v->set_bytes(filler.data(), filler.size());
    pdu->append_pair(kas_create_oid_from_text(sessiontest::oid_of(i).c_str()),
                     v);
  }
  ASSERT_EQ(x.session->send_sync(pdu.get(), x.target.get()), kKalOk);
  const std::vector<ScriptedRequest> requests = x.agent.requests();
  ASSERT_EQ(requests.size(), 3u);
  for (const ScriptedRequest& r : requests) {
    EXPECT_EQ(r.oids.size(), 10u);
    EXPECT_LE(r.bytes.size(), 1400u);
    EXPECT_EQ(r.type, kKasPduSet);
  }
  EXPECT_EQ(names_of(pdu.get()), expected_names(30));
}

TEST(RequestSessionLoopback, ThroughTheDispatcher) {
  ScriptedResponder agent;
  std::string error;
  ASSERT_TRUE(agent.start("127.0.4.24", 0, echo, &error)) << error;
  KalOwned<SessionDispatcher> dispatcher(kas_create_session_dispatcher());
  ASSERT_TRUE(dispatcher);
  for (int version : {kKasVersion1, kKasVersion2c}) {
    KalOwned<IKasSnmpTarget> target(
        make_target("127.0.4.24", agent.port(), 1000, 0, version, "public"));
    KalOwned<IKasPdu> pdu(make_pdu(kKasPduGet, 1));
    ASSERT_EQ(dispatcher->send_sync(pdu.get(), target.get()), kKalOk)
        << "version " << version;
  }
  const std::vector<ScriptedRequest> requests = agent.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].version, kKasVersion1);
  EXPECT_EQ(requests[1].version, kKasVersion2c);
}

}  // namespace
