// The request object over a session that answers from memory: size
// clamping, targets and community, identifiers, the gets, the set and the
// walk's stop rules (including agents that echo or loop), and allocation
// failures.
#include "facade/get_data.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/owned.h"
#include "common/status.h"
#include "facade/fake_agent_test_util.h"
#include "facade/request_core.h"
#include "facade/request_testing.h"
#include "snmp/packet.h"
#include "snmp/pdu.h"
#include "snmp/value.h"

namespace {

using zeltest::FakeAgent;

const char kStorageType[] = "1.3.6.1.2.1.25.2.3.1.2";
const char kStorageDescr[] = "1.3.6.1.2.1.25.2.3.1.3";

class GetData : public ::testing::Test {
 protected:
  void SetUp() override {
    request_.reset(kal_create_get_data_with(FakeAgent::factories()));
    ASSERT_TRUE(request_);
  }
  void TearDown() override { kal_alloc_hook::g_fail_countdown = -1; }

  int init(int32_t version = 0, uint32_t max_size = 0,
           IKalNetworkAddress::EProtocol protocol = IKalNetworkAddress::IPv4,
           const KalUsmParams* usm = nullptr) {
    return request_->init("127.0.7.9", protocol, 161, version, usm, 500, 2,
                          max_size);
  }
  // Rows of a walk as "oid=value oid=value" texts.
  static std::vector<std::string> rows(IKasPduList* list) {
    std::vector<std::string> out;
    KalOwned<IKasListCursor> cursor(list->new_cursor());
    for (IKasPdu* pdu; (pdu = list->current(cursor.get())) != nullptr;
         list->next(cursor.get())) {
      std::string row;
      for (size_t i = 0; i < pdu->binding_count(); ++i) {
        const IKasVarBind* b = pdu->get_bindings()->at(i);
        KalOwned<IKalText> text(b->get_value()->to_text());
        row += std::string(i ? " " : "") + b->get_oid()->text() + "=" +
               (text ? std::string(text->data(), text->length()) : "?");
      }
      out.push_back(row);
    }
    return out;
  }

  FakeAgent agent_;
  KalOwned<IKalGetData> request_;
};

// ---- init: message size, targets, community ----

struct ClampRow {
  const char* name;
  IKalNetworkAddress::EProtocol protocol;
  uint32_t requested;
  size_t expected;
};

TEST(RequestCore, MaximumMessageSizeIsClampedPerProtocol) {
  const ClampRow kRows[] = {
      {"ipv4_zero", IKalNetworkAddress::IPv4, 0, 1400},
      {"ipv4_above", IKalNetworkAddress::IPv4, 2000, 1400},
      {"ipv4_in_range", IKalNetworkAddress::IPv4, 900, 900},
      {"ipv4_at_limit", IKalNetworkAddress::IPv4, 1400, 1400},
      {"ipv4_one_above", IKalNetworkAddress::IPv4, 1401, 1400},
      {"ipv6_zero", IKalNetworkAddress::IPv6, 0, 1400},
      {"ipx_zero", IKalNetworkAddress::IPX, 0, 546},
      {"ipx_above", IKalNetworkAddress::IPX, 600, 546},
      {"ipx_at_limit", IKalNetworkAddress::IPX, 546, 546},
      {"ipx_in_range", IKalNetworkAddress::IPX, 300, 300},
  };
  for (const ClampRow& row : kRows) {
    FakeAgent agent;
    KalOwned<IKalGetData> request(
        kal_create_get_data_with(FakeAgent::factories()));
    ASSERT_EQ(
        request->init(row.protocol == IKalNetworkAddress::IPX
                          ? "00000001:0000c0a80101"
                          : "127.0.7.9",
                      row.protocol, 161, 0, nullptr, 100, 0, row.requested),
        kKalOk)
        << row.name;
    ASSERT_EQ(request->add_oid_string("1.3.6.1.2.1.1.2", true), kKalOk);
    int32_t v = 0;
    request->get_data(&v);
    ASSERT_EQ(agent.seen().size(), 1u) << row.name;
    EXPECT_EQ(agent.seen()[0].max_message_size, row.expected) << row.name;
  }
}

TEST_F(GetData, CommunityVersionsGoOutAsSnmpV1WithTheCommunity) {
  for (int32_t version : {0, 1, 3, -1}) {
    FakeAgent agent;
    KalOwned<IKalGetData> request(
        kal_create_get_data_with(FakeAgent::factories()));
    request->set_community("private");
    ASSERT_EQ(request->init("127.0.7.9", IKalNetworkAddress::IPv4, 1161,
                            version, nullptr, 750, 3, 0),
              kKalOk);
    ASSERT_EQ(request->add_oid_string("1.3.6.1.2.1.1.5", true), kKalOk);
    char text[8] = "";
    request->get_data(text, sizeof text);
    ASSERT_EQ(agent.seen().size(), 1u);
    const zeltest::SeenRequest& r = agent.seen()[0];
    EXPECT_EQ(r.kind, 0) << version;
    EXPECT_EQ(r.version, 0) << version;
    EXPECT_EQ(r.community, "private");
    EXPECT_EQ(r.timeout, 750);
    EXPECT_EQ(r.retries, 3);
    EXPECT_EQ(r.address, "127.0.7.9");
    EXPECT_EQ(r.protocol, IKalNetworkAddress::IPv4);
    EXPECT_EQ(r.port, 1161);
    EXPECT_EQ(r.type, kKasPduGet);
  }
}

TEST_F(GetData, NewObjectSendsTheDefaultCommunity) {
  ASSERT_EQ(init(), kKalOk);
  request_->add_oid_string("1.3.6.1.2.1.1.5", true);
  int32_t v = 0;
  request_->get_data(&v);
  ASSERT_EQ(agent_.seen().size(), 1u);
  EXPECT_EQ(agent_.seen()[0].community, "vorovo");
}

TEST_F(GetData, CommunitySetAfterInitChangesNothingSent) {
  request_->set_community("first");
  ASSERT_EQ(init(), kKalOk);
  request_->set_community("second");
  request_->add_oid_string("1.3.6.1.2.1.1.5", true);
  int32_t v = 0;
  request_->get_data(&v);
  EXPECT_EQ(agent_.seen().at(0).community, "first");
}

TEST_F(GetData, CommunityIsReadNoFurtherThanTheCallersBuffer) {
  // No NUL in the caller's four bytes: exactly four are taken.
  const char unterminated[4] = {'a', 'b', 'c', 'd'};
  request_->set_community(unterminated, sizeof unterminated);
  ASSERT_EQ(init(), kKalOk);
  request_->add_oid_string("1.3.6.1.2.1.1.5", true);
  int32_t v = 0;
  request_->get_data(&v);
  EXPECT_EQ(agent_.seen().at(0).community, "abcd");
}

TEST_F(GetData, LongCommunityIsCutTo255Characters) {
  const std::string long_text(300, 'x');
  request_->set_community(long_text.c_str(), long_text.size() + 1);
  ASSERT_EQ(init(), kKalOk);
  request_->add_oid_string("1.3.6.1.2.1.1.5", true);
  int32_t v = 0;
  request_->get_data(&v);
  EXPECT_EQ(agent_.seen().at(0).community, std::string(255, 'x'));
}

TEST_F(GetData, NullCommunityIsEmpty) {
  request_->set_community(nullptr, 10);
  ASSERT_EQ(init(), kKalOk);
  request_->add_oid_string("1.3.6.1.2.1.1.5", true);
  int32_t v = 0;
  request_->get_data(&v);
  EXPECT_EQ(agent_.seen().at(0).community, "");
}

TEST_F(GetData, Version2HandsTheUsmBlockUnchangedToTheSnmpV3Target) {
  request_->set_community("ignored");
  const KalUsmParams usm{"operator",    2,    2, 1, "auth-phrase",
                         "priv-phrase", "ctx"};
  ASSERT_EQ(init(2, 0, IKalNetworkAddress::IPv4, &usm), kKalOk);
  request_->add_oid_string("1.3.6.1.2.1.1.5", true);
  int32_t v = 0;
  request_->get_data(&v);
  ASSERT_EQ(agent_.seen().size(), 1u);
  const zeltest::SeenRequest& r = agent_.seen()[0];
  EXPECT_EQ(r.kind, 1);
  EXPECT_EQ(r.version, 2);
  EXPECT_EQ(r.security_name, "operator");
  EXPECT_EQ(r.security_level, 2);
  EXPECT_EQ(r.auth_protocol, 2);
  EXPECT_EQ(r.priv_protocol, 1);
  EXPECT_EQ(r.auth_pass_phrase, "auth-phrase");
  EXPECT_EQ(r.priv_pass_phrase, "priv-phrase");
  EXPECT_EQ(r.context_name, "ctx");
  EXPECT_EQ(r.max_message_size, 1400u);
  EXPECT_EQ(r.timeout, 500);
  EXPECT_EQ(r.retries, 2);
}

TEST_F(GetData, SecurityNameLongerThan32IsRefusedByInit) {
  const std::string name(33, 'n');
  const KalUsmParams usm{name.c_str(), 0, 0, 0, "", "", ""};
  EXPECT_EQ(init(2, 0, IKalNetworkAddress::IPv4, &usm), kKalErrInvalidArg);
  // Nothing can be added or sent after a failed init.
  EXPECT_EQ(request_->add_oid_string("1.3.6.1.2.1.1.5", true),
            kKalErrInvalidArg);
}

TEST_F(GetData, NullAddressIsRefused) {
  EXPECT_EQ(request_->init(nullptr, IKalNetworkAddress::IPv4, 161, 0, nullptr,
                           1, 0, 0),
            kKalErrInvalidArg);
}

TEST_F(GetData, SecondInitStartsWithAnEmptyRequest) {
  ASSERT_EQ(init(), kKalOk);
  request_->add_oid_string(kStorageType, false);
  ASSERT_EQ(init(), kKalOk);
  request_->add_oid_string("1.3.6.1.2.1.1.5", true);
  int32_t v = 0;
  request_->get_data(&v);
  EXPECT_EQ(agent_.seen().at(0).oids,
            std::vector<std::string>{"1.3.6.1.2.1.1.5.0"});
}

// ---- identifiers ----

TEST_F(GetData, InstanceZeroIsAppendedOnRequest) {
  ASSERT_EQ(init(), kKalOk);
  ASSERT_EQ(request_->add_oid_string("1.3.6.1.2.1.25.2.2", true), kKalOk);
  ASSERT_EQ(request_->add_oid_string("1.3.6.1.2.1.25.2.3.1.2", false), kKalOk);
  int32_t v = 0;
  request_->get_data(&v);
  const std::vector<std::string> expected{"1.3.6.1.2.1.25.2.2.0",
                                          "1.3.6.1.2.1.25.2.3.1.2"};
  EXPECT_EQ(agent_.seen().at(0).oids, expected);
  EXPECT_EQ(agent_.seen().at(0).value_tags,
            (std::vector<int>{kKasTagNull, kKasTagNull}));
}

TEST_F(GetData, MalformedIdentifiersAreRefused) {
  ASSERT_EQ(init(), kKalOk);
  for (const char* bad :
       {"", "1..3", ".1.3", "1.3.", "1.3.a", "1.03", "1.3.4294967296"}) {
    EXPECT_EQ(request_->add_oid_string(bad, false), kKalErrInvalidArg) << bad;
    EXPECT_EQ(request_->add_oid_string(bad, "1", 5), kKalErrInvalidArg) << bad;
  }
  EXPECT_EQ(request_->add_oid_string(nullptr, true), kKalErrInvalidArg);
  for (const char* bad_suffix : {"", ".1", "1.", "x", "1..2"}) {
    EXPECT_EQ(request_->add_oid_string("1.3.6.1", bad_suffix, 5),
              kKalErrInvalidArg)
        << bad_suffix;
  }
  EXPECT_EQ(request_->add_oid_string("1.3.6.1", nullptr, 5), kKalErrInvalidArg);
}

TEST_F(GetData, IdentifiersNeedInit) {
  EXPECT_EQ(request_->add_oid_string("1.3.6.1.2.1.1.5", true),
            kKalErrInvalidArg);
  int32_t v = 0;
  EXPECT_EQ(request_->get_data(&v), kKalErrInvalidArg);
  EXPECT_EQ(request_->set_data(), kKalErrInvalidArg);
  KalOwned<IKasPduList> list(kas_create_pdu_list());
  EXPECT_EQ(request_->get_data(list.get(), "1.3.6.1"), kKalErrInvalidArg);
  EXPECT_TRUE(agent_.seen().empty());
}

TEST_F(GetData, SetBindingCarriesTheSuffixAndAnInteger) {
  agent_.set_int("1.3.6.1.4.1.61801.8.76.3.2.1.1.101.3.65.66.67", 0);
  ASSERT_EQ(init(), kKalOk);
  ASSERT_EQ(request_->add_oid_string("1.3.6.1.4.1.61801.8.76.3.2.1.1",
                                     "101.3.65.66.67", 1414),
            kKalOk);
  EXPECT_EQ(request_->set_data(), kKalOk);
  const zeltest::SeenRequest& r = agent_.seen().at(0);
  EXPECT_EQ(r.type, kKasPduSet);
  EXPECT_EQ(r.oids, std::vector<std::string>{
                        "1.3.6.1.4.1.61801.8.76.3.2.1.1.101.3.65.66.67"});
  EXPECT_EQ(r.value_tags, std::vector<int>{kKasTagInteger});
  EXPECT_EQ(r.int_values, std::vector<int32_t>{1414});
}

// ---- single gets ----

TEST_F(GetData, ThreeIntegersAgainstTwoBindingsWritesTwoAndAnswersNoData) {
  agent_.set_answer([](IKasPdu* pdu, int) {
    pdu->set_type(kKasPduResponse);
    IKasVarBindList* list = pdu->get_bindings();
    list->truncate(2);
    list->at(0)->set_value(kas_create_value_from_int(11, kKasTagInteger));
    list->at(1)->set_value(kas_create_value_from_int(22, kKasTagInteger));
    return kKalOk;
  });
  ASSERT_EQ(init(), kKalOk);
  for (const char* oid :
       {"1.3.6.1.4.1.1.1", "1.3.6.1.4.1.1.2", "1.3.6.1.4.1.1.3"}) {
    ASSERT_EQ(request_->add_oid_string(oid, false), kKalOk);
  }
  int32_t out[3] = {-5, -5, -5};
  EXPECT_EQ(request_->get_data(out, 3), kKalErrNoData);
  EXPECT_EQ(out[0], 11);
  EXPECT_EQ(out[1], 22);
  EXPECT_EQ(out[2], -5);
}

TEST_F(GetData, IntegersAreTakenInOrder) {
  agent_.set_int("1.3.6.1.4.1.1.1", 7);
  agent_.set_int("1.3.6.1.4.1.1.2", -8);
  ASSERT_EQ(init(), kKalOk);
  request_->add_oid_string("1.3.6.1.4.1.1.2", false);
  request_->add_oid_string("1.3.6.1.4.1.1.1", false);
  int32_t out[2] = {};
  EXPECT_EQ(request_->get_data(out, 2), kKalOk);
  EXPECT_EQ(out[0], -8);
  EXPECT_EQ(out[1], 7);
}

TEST_F(GetData, ErrorStatusOfAGetIsNotExamined) {
  // An SNMPv1 agent echoes a missing object with noSuchName and its NULL
  // value: the get still answers 0, and NULL reads as the integer -1.
  ASSERT_EQ(init(), kKalOk);
  request_->add_oid_string("1.3.6.1.4.1.1.9", false);
  int32_t v = 123;
  EXPECT_EQ(request_->get_data(&v), kKalOk);
  EXPECT_EQ(v, -1);
  EXPECT_EQ(agent_.seen().size(), 1u);
}

TEST_F(GetData, TextIsCutToTheCallersBuffer) {
  agent_.set_text("1.3.6.1.2.1.1.5.0", "printer-name-that-is-long");
  ASSERT_EQ(init(), kKalOk);
  request_->add_oid_string("1.3.6.1.2.1.1.5", true);
  char out[8];
  std::memset(out, '#', sizeof out);
  char guard = '#';
  EXPECT_EQ(request_->get_data(out, 5), kKalOk);
  EXPECT_STREQ(out, "prin");
  EXPECT_EQ(out[5], '#');
  EXPECT_EQ(guard, '#');
}

TEST_F(GetData, EmptyTextLeavesTheBufferUntouched) {
  agent_.set_text("1.3.6.1.2.1.1.5.0", "");
  ASSERT_EQ(init(), kKalOk);
  request_->add_oid_string("1.3.6.1.2.1.1.5", true);
  char out[8] = "before";
  EXPECT_EQ(request_->get_data(out, sizeof out), kKalOk);
  EXPECT_STREQ(out, "before");
}

TEST_F(GetData, TextGetRefusesAMissingBuffer) {
  ASSERT_EQ(init(), kKalOk);
  request_->add_oid_string("1.3.6.1.2.1.1.5", true);
  char out[4];
  EXPECT_EQ(request_->get_data(static_cast<char*>(nullptr), 4),
            kKalErrInvalidArg);
  EXPECT_EQ(request_->get_data(out, 0), kKalErrInvalidArg);
}

TEST_F(GetData, AnswerWithoutBindingsIsNoData) {
  agent_.set_answer([](IKasPdu* pdu, int) {
    pdu->set_bindings(nullptr);
    return kKalOk;
  });
  ASSERT_EQ(init(), kKalOk);
  request_->add_oid_string("1.3.6.1.2.1.1.5", true);
  int32_t v = 0;
  char text[4];
  EXPECT_EQ(request_->get_data(&v), kKalErrNoData);
  EXPECT_EQ(request_->get_data(text, sizeof text), kKalErrNoData);
}

TEST_F(GetData, SessionFailureIsAnsweredUnchanged) {
  agent_.set_answer([](IKasPdu*, int) { return kKasErrTimeout; });
  ASSERT_EQ(init(), kKalOk);
  request_->add_oid_string("1.3.6.1.2.1.1.5", true);
  int32_t v = 0;
  EXPECT_EQ(request_->get_data(&v), kKasErrTimeout);
  EXPECT_EQ(request_->set_data(), kKasErrTimeout);
}

// ---- set ----

struct SetRow {
  const char* name;
  int32_t error_status;
  int expected;
};

TEST_F(GetData, SetAnswersNoDataOnlyForNoSuchNameAndNoAccess) {
  const SetRow kRows[] = {
      {"no_error", 0, kKalOk},
      {"too_big_seen_as_answer", 1, kKalOk},
      {"no_such_name", 2, kKalErrNoData},
      {"bad_value", 3, kKalOk},
      {"read_only", 4, kKalOk},
      {"gen_err", 5, kKalOk},
      {"no_access", 6, kKalErrNoData},
      {"not_writable", 17, kKalOk},
  };
  for (const SetRow& row : kRows) {
    FakeAgent agent;
    agent.set_answer([&](IKasPdu* pdu, int) {
      pdu->set_type(kKasPduResponse);
      pdu->set_error_status(row.error_status);
      pdu->set_error_index(row.error_status ? 1 : 0);
      return kKalOk;
    });
    KalOwned<IKalGetData> request(
        kal_create_get_data_with(FakeAgent::factories()));
    ASSERT_EQ(request->init("127.0.7.9", IKalNetworkAddress::IPv4, 161, 0,
                            nullptr, 1, 0, 0),
              kKalOk);
    ASSERT_EQ(request->add_oid_string("1.3.6.1.4.1.2", "1", 1414), kKalOk);
    EXPECT_EQ(request->set_data(), row.expected) << row.name;
  }
}

// ---- walk ----

TEST_F(GetData, WalkOfTwoRowsAndTwoColumns) {
  agent_.set_int("1.3.6.1.2.1.25.2.3.1.2.1", 4);
  agent_.set_int("1.3.6.1.2.1.25.2.3.1.2.2", 2);
  agent_.set_text("1.3.6.1.2.1.25.2.3.1.3.1", "RAM");
  agent_.set_text("1.3.6.1.2.1.25.2.3.1.3.2", "Disk");
  ASSERT_EQ(init(), kKalOk);
  request_->add_oid_string(kStorageType, false);
  request_->add_oid_string(kStorageDescr, false);
  KalOwned<IKasPduList> list(kas_create_pdu_list());
  EXPECT_EQ(request_->get_data(list.get(), kStorageType), kKalOk);
  const std::vector<std::string> expected{
      "1.3.6.1.2.1.25.2.3.1.2.1=4 1.3.6.1.2.1.25.2.3.1.3.1=RAM",
      "1.3.6.1.2.1.25.2.3.1.2.2=2 1.3.6.1.2.1.25.2.3.1.3.2=Disk"};
  EXPECT_EQ(rows(list.get()), expected);
  // Three GetNext requests; the last answer left the subtree.
  ASSERT_EQ(agent_.seen().size(), 3u);
  for (const auto& r : agent_.seen()) EXPECT_EQ(r.type, kKasPduGetNext);
  // Each request asks for the identifiers just received, without values.
  EXPECT_EQ(agent_.seen()[2].oids,
            (std::vector<std::string>{"1.3.6.1.2.1.25.2.3.1.2.2",
                                      "1.3.6.1.2.1.25.2.3.1.3.2"}));
  EXPECT_EQ(agent_.seen()[2].value_tags,
            (std::vector<int>{kKasTagNull, kKasTagNull}));
}

TEST_F(GetData, WalkWhoseFirstAnswerIsOutsideLeavesTheListEmpty) {
  agent_.set_int("1.3.6.1.2.1.25.2.3.1.3.1", 1);
  ASSERT_EQ(init(), kKalOk);
  request_->add_oid_string(kStorageType, false);
  KalOwned<IKasPduList> list(kas_create_pdu_list());
  EXPECT_EQ(request_->get_data(list.get(), kStorageType), kKalOk);
  EXPECT_EQ(list->count(), 0u);
}

TEST_F(GetData, WalkRootIsNotMatchedWithoutItsDot) {
  // 1.3.6.1.2.1.25.2.3.1.20 is not below 1.3.6.1.2.1.25.2.3.1.2.
  agent_.set_int("1.3.6.1.2.1.25.2.3.1.2.1", 1);
  agent_.set_int("1.3.6.1.2.1.25.2.3.1.20.1", 2);
  ASSERT_EQ(init(), kKalOk);
  request_->add_oid_string(kStorageType, false);
  KalOwned<IKasPduList> list(kas_create_pdu_list());
  EXPECT_EQ(request_->get_data(list.get(), kStorageType), kKalOk);
  EXPECT_EQ(list->count(), 1u);
}

TEST_F(GetData, WalkCrossesIndexDigitLengths) {
  // Indexes 1..120: by text 10 would sort before 9 and 100 before 99; the
  // walk must keep every row in numeric order.
  for (int i = 1; i <= 120; ++i)
    agent_.set_int("1.3.6.1.4.1.9.1." + std::to_string(i), i);
  agent_.set_int("1.3.6.1.4.1.9.2.1", 0);
  ASSERT_EQ(init(), kKalOk);
  request_->add_oid_string("1.3.6.1.4.1.9.1", false);
  KalOwned<IKasPduList> list(kas_create_pdu_list());
  EXPECT_EQ(request_->get_data(list.get(), "1.3.6.1.4.1.9.1"), kKalOk);
  const std::vector<std::string> got = rows(list.get());
  ASSERT_EQ(got.size(), 120u);
  for (int i = 1; i <= 120; ++i) {
    EXPECT_EQ(got[i - 1],
              "1.3.6.1.4.1.9.1." + std::to_string(i) + "=" + std::to_string(i));
  }
}

TEST_F(GetData, WalkEndsWhenTheAgentEchoesWithNoSuchName) {
  // The SNMPv1 end of the MIB: the request comes back with noSuchName.
  agent_.set_int("1.3.6.1.4.1.9.1.1", 1);
  agent_.set_int("1.3.6.1.4.1.9.1.2", 2);
  ASSERT_EQ(init(), kKalOk);
  request_->add_oid_string("1.3.6.1.4.1.9.1", false);
  KalOwned<IKasPduList> list(kas_create_pdu_list());
  EXPECT_EQ(request_->get_data(list.get(), "1.3.6.1.4.1.9"), kKalOk);
  EXPECT_EQ(list->count(), 2u);
  EXPECT_EQ(agent_.seen().size(), 3u);
}

TEST_F(GetData, WalkEndsWhenTheAgentEchoesWithoutAnError) {
  // An agent that answers every GetNext with the identifier it was asked.
  agent_.set_answer([](IKasPdu* pdu, int) {
    pdu->set_type(kKasPduResponse);
    return kKalOk;
  });
  ASSERT_EQ(init(), kKalOk);
  request_->add_oid_string("1.3.6.1.4.1.9.1.5", false);
  KalOwned<IKasPduList> list(kas_create_pdu_list());
  EXPECT_EQ(request_->get_data(list.get(), "1.3.6.1.4.1.9.1"), kKalOk);
  EXPECT_EQ(list->count(), 0u);
  EXPECT_EQ(agent_.seen().size(), 1u);
}

TEST_F(GetData, WalkEndsWhenTheAgentAnswersTheSameIdentifierForever) {
  agent_.set_answer([](IKasPdu* pdu, int) {
    pdu->set_type(kKasPduResponse);
    pdu->get_bindings()->at(0)->set(
        kas_create_oid_from_text("1.3.6.1.4.1.9.1.7"),
        kas_create_value_from_int(7, kKasTagInteger));
    return kKalOk;
  });
  ASSERT_EQ(init(), kKalOk);
  request_->add_oid_string("1.3.6.1.4.1.9.1", false);
  KalOwned<IKasPduList> list(kas_create_pdu_list());
  EXPECT_EQ(request_->get_data(list.get(), "1.3.6.1.4.1.9.1"), kKalOk);
  EXPECT_EQ(list->count(), 1u);
  EXPECT_EQ(agent_.seen().size(), 2u);
}

TEST_F(GetData, WalkEndsWhenTheAgentGoesBackwards) {
  agent_.set_answer([](IKasPdu* pdu, int call) {
    pdu->set_type(kKasPduResponse);
    // .10, then .9: after by text, before by number.
    const char* oid = call == 0 ? "1.3.6.1.4.1.9.1.10" : "1.3.6.1.4.1.9.1.9";
    pdu->get_bindings()->at(0)->set(
        kas_create_oid_from_text(oid),
        kas_create_value_from_int(call, kKasTagInteger));
    return call < 5 ? kKalOk : kKasErrTimeout;
  });
  ASSERT_EQ(init(), kKalOk);
  request_->add_oid_string("1.3.6.1.4.1.9.1", false);
  KalOwned<IKasPduList> list(kas_create_pdu_list());
  EXPECT_EQ(request_->get_data(list.get(), "1.3.6.1.4.1.9.1"), kKalOk);
  EXPECT_EQ(list->count(), 1u);
}

TEST_F(GetData, WalkKeepsWhatWasCollectedWhenAnErrorStatusArrives) {
  agent_.set_answer([](IKasPdu* pdu, int call) {
    pdu->set_type(kKasPduResponse);
    pdu->get_bindings()->at(0)->set(
        kas_create_oid_from_text(
            ("1.3.6.1.4.1.9.1." + std::to_string(call + 1)).c_str()),
        kas_create_value_from_int(call, kKasTagInteger));
    if (call == 2) pdu->set_error_status(kKasSnmpGenErr);
    return kKalOk;
  });
  ASSERT_EQ(init(), kKalOk);
  request_->add_oid_string("1.3.6.1.4.1.9.1", false);
  KalOwned<IKasPduList> list(kas_create_pdu_list());
  EXPECT_EQ(request_->get_data(list.get(), "1.3.6.1.4.1.9.1"), kKalOk);
  EXPECT_EQ(list->count(), 2u);
}

TEST_F(GetData, WalkFailureIsAnsweredWithTheRowsKept) {
  agent_.set_int("1.3.6.1.4.1.9.1.1", 1);
  agent_.set_int("1.3.6.1.4.1.9.1.2", 2);
  int calls = 0;
  agent_.set_answer([&calls](IKasPdu* pdu, int) {
    if (++calls == 2) return kKasErrTimeout;
    pdu->set_type(kKasPduResponse);
    pdu->get_bindings()->at(0)->set(
        kas_create_oid_from_text("1.3.6.1.4.1.9.1.1"),
        kas_create_value_from_int(1, kKasTagInteger));
    return kKalOk;
  });
  ASSERT_EQ(init(), kKalOk);
  request_->add_oid_string("1.3.6.1.4.1.9.1", false);
  KalOwned<IKasPduList> list(kas_create_pdu_list());
  EXPECT_EQ(request_->get_data(list.get(), "1.3.6.1.4.1.9.1"), kKasErrTimeout);
  EXPECT_EQ(list->count(), 1u);
}

TEST_F(GetData, WalkArgumentsAreChecked) {
  ASSERT_EQ(init(), kKalOk);
  KalOwned<IKasPduList> list(kas_create_pdu_list());
  // No column added: nothing to ask for.
  EXPECT_EQ(request_->get_data(list.get(), "1.3.6.1"), kKalErrNoData);
  request_->add_oid_string("1.3.6.1.4.1.9.1", false);
  EXPECT_EQ(request_->get_data(list.get(), "1..3"), kKalErrInvalidArg);
  EXPECT_EQ(request_->get_data(list.get(), nullptr), kKalErrInvalidArg);
  EXPECT_EQ(request_->get_data(static_cast<IKasPduList*>(nullptr), "1.3"),
            kKalErrInvalidArg);
  EXPECT_TRUE(agent_.seen().empty());
}

TEST_F(GetData, WalkAnswerWithoutBindingsIsNoData) {
  agent_.set_answer([](IKasPdu* pdu, int) {
    pdu->set_bindings(nullptr);
    return kKalOk;
  });
  ASSERT_EQ(init(), kKalOk);
  request_->add_oid_string("1.3.6.1.4.1.9.1", false);
  KalOwned<IKasPduList> list(kas_create_pdu_list());
  EXPECT_EQ(request_->get_data(list.get(), "1.3.6.1.4.1.9.1"), kKalErrNoData);
}

// ---- allocation failures ----

// Runs init, two columns and a two-row walk with the n-th allocation failing.
int walk_with_failure(long n, size_t* rows) {
  FakeAgent agent;
  agent.set_int("1.3.6.1.4.1.9.1.1", 1);
  agent.set_int("1.3.6.1.4.1.9.1.2", 2);
  agent.set_text("1.3.6.1.4.1.9.2.1", "a");
  agent.set_text("1.3.6.1.4.1.9.2.2", "b");
  KalOwned<IKasPduList> list(kas_create_pdu_list());
  kal_alloc_hook::g_fail_countdown = n;
  int rc = kKalOk;
  KalOwned<IKalGetData> request(
      kal_create_get_data_with(FakeAgent::factories(), &rc));
  if (request) {
    rc = request->init("127.0.7.9", IKalNetworkAddress::IPv4, 161, 0, nullptr,
                       1, 0, 0);
    if (rc == kKalOk) rc = request->add_oid_string("1.3.6.1.4.1.9.1", false);
    if (rc == kKalOk) rc = request->add_oid_string("1.3.6.1.4.1.9.2", false);
    if (rc == kKalOk) rc = request->get_data(list.get(), "1.3.6.1.4.1.9.1");
  }
  kal_alloc_hook::g_fail_countdown = -1;
  *rows = list->count();
  return rc;
}

TEST(GetDataAllocation, EveryFailedAllocationIsReportedAndNothingLeaks) {
  size_t rows = 0;
  const long before = kal_alloc_hook::g_calls.load();
  ASSERT_EQ(walk_with_failure(-1, &rows), kKalOk);
  ASSERT_EQ(rows, 2u);
  const long total = kal_alloc_hook::g_calls.load() - before;
  ASSERT_GT(total, 5);
  for (long n = 0; n < total; ++n) {
    const int rc = walk_with_failure(n, &rows);
    // The fake agent's own allocations may fail too; what it then answers
    // is its affair, but the request object must report a status.
    EXPECT_TRUE(rc == kKalOk || rc == kKalErrNoMemory || rc == kKalErrNoData ||
                rc == kKalErrInvalidArg)
        << "allocation " << n << " gave " << rc;
  }
}

}  // namespace
