// The request object over real sockets against a scripted responder on
// 127.0.7.x: agents that echo the request or loop must not hang a walk,
// short answers to an integer-array get, and how set answers are read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/owned.h"
#include "common/status.h"
#include "facade/get_data.h"
#include "snmp/packet.h"
#include "snmp/pdu.h"
#include "snmp/value.h"
#include "testing/scripted_responder.h"

namespace {

using zeltest::ScriptedReply;
using zeltest::ScriptedRequest;
using zeltest::ScriptedResponder;

class Responder : public ::testing::Test {
 protected:
  // Starts the responder on `address` and prepares a request object aimed
  // at it (SNMPv1, community "public", 200 ms, one retry).
  void start(const std::string& address, zeltest::ResponderScript script) {
    std::string error;
    ASSERT_TRUE(agent_.start(address, 0, std::move(script), &error)) << error;
    request_.reset(kal_create_get_data());
    ASSERT_TRUE(request_);
    request_->set_community("public");
    ASSERT_EQ(request_->init(address.c_str(), IKalNetworkAddress::IPv4,
                             agent_.port(), 0, nullptr, 200, 1, 0),
              kKalOk);
  }

  ScriptedResponder agent_;
  KalOwned<IKalGetData> request_;
};

// A response to `r` whose bindings are `oids` with INTEGER values 1, 2, ...
std::vector<uint8_t> integers(const ScriptedRequest& r,
                              const std::vector<std::string>& oids) {
  KalOwned<IKasPdu> pdu(kas_create_pdu());
  int32_t n = 0;
  for (const std::string& oid : oids) {
    pdu->append_pair(kas_create_oid_from_text(oid.c_str()),
                     kas_create_value_from_int(++n, kKasTagInteger));
  }
  return zeltest::response_with(r, pdu.get());
}

TEST_F(Responder, WalkEndsWhenTheAgentEchoesTheRequestWithNoSuchName) {
  // An SNMPv1 agent at the end of its MIB: the request comes back with
  // error-status noSuchName (2), error-index 1.
  start("127.0.7.20", [](const ScriptedRequest& r) {
    return std::vector<ScriptedReply>{{zeltest::echo_response(r, 0, 2, 1)}};
  });
  request_->add_oid_string("1.3.6.1.4.1.9.1", false);
  KalOwned<IKasPduList> list(kas_create_pdu_list());
  EXPECT_EQ(request_->get_data(list.get(), "1.3.6.1.4.1.9"), kKalOk);
  EXPECT_EQ(list->count(), 0u);
  EXPECT_EQ(agent_.request_count(), 1u);
}

TEST_F(Responder, WalkEndsWhenTheAgentEchoesTheRequestWithoutError) {
  start("127.0.7.21", [](const ScriptedRequest& r) {
    return std::vector<ScriptedReply>{{zeltest::echo_response(r)}};
  });
  request_->add_oid_string("1.3.6.1.4.1.9.1.3", false);
  KalOwned<IKasPduList> list(kas_create_pdu_list());
  EXPECT_EQ(request_->get_data(list.get(), "1.3.6.1.4.1.9"), kKalOk);
  EXPECT_EQ(list->count(), 0u);
  EXPECT_EQ(agent_.request_count(), 1u);
}

TEST_F(Responder, WalkEndsWhenTheAgentAnswersTheSameIdentifierForever) {
  start("127.0.7.22", [](const ScriptedRequest& r) {
    return std::vector<ScriptedReply>{{integers(r, {"1.3.6.1.4.1.9.1.4"})}};
  });
  request_->add_oid_string("1.3.6.1.4.1.9.1", false);
  KalOwned<IKasPduList> list(kas_create_pdu_list());
  EXPECT_EQ(request_->get_data(list.get(), "1.3.6.1.4.1.9"), kKalOk);
  // The first answer moved forward and is kept; the second repeated it.
  EXPECT_EQ(list->count(), 1u);
  EXPECT_EQ(agent_.request_count(), 2u);
}

TEST_F(Responder, WalkEndsWhenTheAgentCyclesBackwards) {
  // .9 -> .10 -> .9 again: every answer lies inside the root.
  start("127.0.7.23", [](const ScriptedRequest& r) {
    const bool at_ten = !r.oids.empty() && r.oids[0] == "1.3.6.1.4.1.9.1.10";
    return std::vector<ScriptedReply>{
        {integers(r, {at_ten ? "1.3.6.1.4.1.9.1.9" : "1.3.6.1.4.1.9.1.10"})}};
  });
  request_->add_oid_string("1.3.6.1.4.1.9.1.9", false);
  KalOwned<IKasPduList> list(kas_create_pdu_list());
  EXPECT_EQ(request_->get_data(list.get(), "1.3.6.1.4.1.9"), kKalOk);
  EXPECT_EQ(list->count(), 1u);
  EXPECT_EQ(agent_.request_count(), 2u);
}

TEST_F(Responder, ThreeIntegersAgainstTwoBindingsWritesTwo) {
  start("127.0.7.24", [](const ScriptedRequest& r) {
    return std::vector<ScriptedReply>{
        {integers(r, {r.oids.at(0), r.oids.at(1)})}};
  });
  for (const char* oid :
       {"1.3.6.1.4.1.9.5.1", "1.3.6.1.4.1.9.5.2", "1.3.6.1.4.1.9.5.3"}) {
    ASSERT_EQ(request_->add_oid_string(oid, false), kKalOk);
  }
  int32_t out[3] = {-9, -9, -9};
  EXPECT_EQ(request_->get_data(out, 3), kKalErrNoData);
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(out[1], 2);
  EXPECT_EQ(out[2], -9);
  ASSERT_EQ(agent_.request_count(), 1u);
  EXPECT_EQ(agent_.requests()[0].oids.size(), 3u);
  EXPECT_EQ(agent_.requests()[0].version, 0);
  EXPECT_EQ(agent_.requests()[0].community, "public");
}

struct SetCase {
  const char* name;
  const char* address;
  int32_t error_status;
  int expected;
};

TEST(ResponderSet, NoAccessIsNoDataAndReadOnlyIsSuccess) {
  const SetCase kCases[] = {
      {"no_access", "127.0.7.25", 6, kKalErrNoData},
      {"no_such_name", "127.0.7.26", 2, kKalErrNoData},
      {"read_only", "127.0.7.27", 4, kKalOk},
      {"no_error", "127.0.7.28", 0, kKalOk},
  };
  for (const SetCase& c : kCases) {
    ScriptedResponder agent;
    std::string error;
    ASSERT_TRUE(agent.start(
        c.address, 0,
        [&c](const ScriptedRequest& r) {
          return std::vector<ScriptedReply>{{zeltest::echo_response(
              r, 0, c.error_status, c.error_status ? 1 : 0)}};
        },
        &error))
        << error;
    KalOwned<IKalGetData> request(kal_create_get_data());
    ASSERT_EQ(request->init(c.address, IKalNetworkAddress::IPv4, agent.port(),
                            1, nullptr, 200, 0, 0),
              kKalOk);
    ASSERT_EQ(request->add_oid_string("1.3.6.1.4.1.61801.8.76.3.2.1.1",
                                      "101.1.65", 1414),
              kKalOk);
    EXPECT_EQ(request->set_data(), c.expected) << c.name;
    ASSERT_EQ(agent.request_count(), 1u) << c.name;
    const ScriptedRequest r = agent.requests()[0];
    EXPECT_EQ(r.type, 3) << c.name;  // SetRequest
    EXPECT_EQ(r.version, 0) << c.name;
    EXPECT_EQ(r.oids, std::vector<std::string>{
                          "1.3.6.1.4.1.61801.8.76.3.2.1.1.101.1.65"});
  }
}

TEST_F(Responder, SilentAgentTimesOut) {
  start("127.0.7.29",
        [](const ScriptedRequest&) { return std::vector<ScriptedReply>{}; });
  request_->add_oid_string("1.3.6.1.2.1.1.5", true);
  char text[16] = "";
  EXPECT_EQ(request_->get_data(text, sizeof text), kKasErrTimeout);
  EXPECT_EQ(agent_.request_count(), 2u);  // one retry
}

}  // namespace
