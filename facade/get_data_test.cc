// The request object over a session that answers from memory: size
// clamping, targets and community, identifiers, the gets, the set and the
// walk's stop rules (including agents that echo or loop), and allocation
// failures.
#include "facade/get_data.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
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
using zeltest::SeenRequest;

const char kStorageType[] = "1.3.6.1.2.1.25.2.3.1.2";
const char kStorageDescr[] = "1.3.6.1.2.1.25.2.3.1.3";
const char kName[] = "1.3.6.1.2.1.1.5";

IKalGetData* make_request() {
  return kal_create_get_data_with(FakeAgent::factories());
}

// Answers every request with `oid` bound to the integer `call`.
int answer_with(IKasPdu* pdu, const std::string& oid, int call) {
  pdu->set_type(kKasPduResponse);
  pdu->get_bindings()->at(0)->set(kas_create_oid_from_text(oid.c_str()),
                                  kas_create_value_from_int(call, kKasTagInteger));
  return kKalOk;
}

class GetData : public ::testing::Test {
 protected:
  void SetUp() override {
    request_.reset(make_request());
    ASSERT_TRUE(request_);
  }
  void TearDown() override { kal_alloc_hook::g_fail_countdown = -1; }

  int init(int32_t version = 0, const KalUsmParams* usm = nullptr) {
    return request_->init("127.0.7.9", IKalNetworkAddress::IPv4, 161, version,
                          usm, 500, 2, 0);
  }
  // One integer get of sysName.0; what the session was handed.
  SeenRequest get_name() {
    request_->add_oid_string(kName, true);
    int32_t v = 0;
    request_->get_data(&v);
    return agent_.seen().empty() ? SeenRequest{} : agent_.seen()[0];
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

TEST(RequestCore, MaximumMessageSizeIsClampedPerProtocol) {
  const struct {
    const char* name;
    IKalNetworkAddress::EProtocol protocol;
    uint32_t requested;
    size_t expected;
  } kRows[] = {
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
  for (const auto& row : kRows) {
    FakeAgent agent;
    KalOwned<IKalGetData> request(make_request());
    const bool ipx = row.protocol == IKalNetworkAddress::IPX;
    ASSERT_EQ(request->init(ipx ? "00000001:0000c0a80101" : "127.0.7.9",
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

TEST(RequestCore, CommunityVersionsGoOutAsSnmpV1WithTheCommunity) {
  for (int32_t version : {0, 1, 3, -1}) {
    FakeAgent agent;
    KalOwned<IKalGetData> request(make_request());
    request->set_community("private");
    ASSERT_EQ(request->init("127.0.7.9", IKalNetworkAddress::IPv4, 1161,
                            version, nullptr, 750, 3, 0),
              kKalOk);
    ASSERT_EQ(request->add_oid_string(kName, true), kKalOk);
    char text[8] = "";
    request->get_data(text, sizeof text);
    ASSERT_EQ(agent.seen().size(), 1u);
    const SeenRequest& r = agent.seen()[0];
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

TEST(RequestCore, CommunitySentPerWayOfSettingIt) {
  static const char kUnterminated[4] = {'a', 'b', 'c', 'd'};
  static const std::string kLong(300, 'x');
  const struct {
    const char* name;
    void (*before_init)(IKalGetData*);
    void (*after_init)(IKalGetData*);
    std::string expected;
  } kRows[] = {
      {"default", [](IKalGetData*) {}, nullptr, "vorovo"},
      {"set_after_init_changes_nothing",
       [](IKalGetData* r) { r->set_community("first"); },
       [](IKalGetData* r) { r->set_community("second"); }, "first"},
      // No NUL in the caller's four bytes: exactly four are taken.
      {"read_no_further_than_the_buffer",
       [](IKalGetData* r) { r->set_community(kUnterminated, 4); }, nullptr,
       "abcd"},
      {"long_cut_to_255",
       [](IKalGetData* r) { r->set_community(kLong.c_str(), kLong.size() + 1); },
       nullptr, std::string(255, 'x')},
      {"null_is_empty", [](IKalGetData* r) { r->set_community(nullptr, 10); },
       nullptr, ""},
  };
  for (const auto& row : kRows) {
    FakeAgent agent;
    KalOwned<IKalGetData> request(make_request());
    row.before_init(request.get());
    ASSERT_EQ(request->init("127.0.7.9", IKalNetworkAddress::IPv4, 161, 0,
                            nullptr, 500, 2, 0),
              kKalOk);
    if (row.after_init) row.after_init(request.get());
    request->add_oid_string(kName, true);
    int32_t v = 0;
    request->get_data(&v);
    ASSERT_EQ(agent.seen().size(), 1u) << row.name;
    EXPECT_EQ(agent.seen()[0].community, row.expected) << row.name;
  }
}

TEST_F(GetData, Version2HandsTheUsmBlockUnchangedToTheSnmpV3Target) {
  request_->set_community("ignored");
  const KalUsmParams usm{"operator",    2,    2, 1, "auth-phrase",
                         "priv-phrase", "ctx"};
  ASSERT_EQ(init(2, &usm), kKalOk);
  const SeenRequest r = get_name();
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

TEST_F(GetData, InitRefusesLongSecurityNameAndNullAddress) {
  const std::string name(33, 'n');
  const KalUsmParams usm{name.c_str(), 0, 0, 0, "", "", ""};
  EXPECT_EQ(init(2, &usm), kKalErrInvalidArg);
  // Nothing can be added or sent after a failed init.
  EXPECT_EQ(request_->add_oid_string(kName, true), kKalErrInvalidArg);
  EXPECT_EQ(request_->init(nullptr, IKalNetworkAddress::IPv4, 161, 0, nullptr,
                           1, 0, 0),
            kKalErrInvalidArg);
}

// ---- identifiers ----

TEST_F(GetData, SecondInitStartsEmptyAndInstanceZeroIsAppendedOnRequest) {
  ASSERT_EQ(init(), kKalOk);
  request_->add_oid_string(kStorageType, false);
  ASSERT_EQ(init(), kKalOk);
  ASSERT_EQ(request_->add_oid_string("1.3.6.1.2.1.25.2.2", true), kKalOk);
  ASSERT_EQ(request_->add_oid_string(kStorageType, false), kKalOk);
  int32_t v[2] = {};
  request_->get_data(v, 2);
  const std::vector<std::string> expected{"1.3.6.1.2.1.25.2.2.0", kStorageType};
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
  EXPECT_EQ(request_->add_oid_string(kName, true), kKalErrInvalidArg);
  int32_t v = 0;
  EXPECT_EQ(request_->get_data(&v), kKalErrInvalidArg);
  EXPECT_EQ(request_->set_data(), kKalErrInvalidArg);
  KalOwned<IKasPduList> list(kas_create_pdu_list());
  EXPECT_EQ(request_->get_data(list.get(), "1.3.6.1"), kKalErrInvalidArg);
  EXPECT_TRUE(agent_.seen().empty());
}

TEST_F(GetData, SetBindingCarriesTheSuffixAndAnInteger) {
  const char kOid[] = "1.3.6.1.4.1.61801.8.76.3.2.1.1.101.3.65.66.67";
  agent_.set_int(kOid, 0);
  ASSERT_EQ(init(), kKalOk);
  ASSERT_EQ(request_->add_oid_string("1.3.6.1.4.1.61801.8.76.3.2.1.1",
                                     "101.3.65.66.67", 1414),
            kKalOk);
  EXPECT_EQ(request_->set_data(), kKalOk);
  const SeenRequest& r = agent_.seen().at(0);
  EXPECT_EQ(r.type, kKasPduSet);
  EXPECT_EQ(r.oids, std::vector<std::string>{kOid});
  EXPECT_EQ(r.value_tags, std::vector<int>{kKasTagInteger});
  EXPECT_EQ(r.int_values, std::vector<int32_t>{1414});
}

// ---- single gets ----

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

TEST_F(GetData, TextIsCutToTheCallersBufferAndEmptyTextWritesNothing) {
  agent_.set_text("1.3.6.1.2.1.1.5.0", "printer-name-that-is-long");
  ASSERT_EQ(init(), kKalOk);
  request_->add_oid_string(kName, true);
  char out[8];
  std::memset(out, '#', sizeof out);
  EXPECT_EQ(request_->get_data(out, 5), kKalOk);
  EXPECT_STREQ(out, "prin");
  EXPECT_EQ(out[5], '#');
  EXPECT_EQ(request_->get_data(static_cast<char*>(nullptr), 4),
            kKalErrInvalidArg);
  EXPECT_EQ(request_->get_data(out, 0), kKalErrInvalidArg);
  // A get takes its bindings' values: a second one needs a new request.
  agent_.set_text("1.3.6.1.2.1.1.5.0", "");
  KalOwned<IKalGetData> empty(make_request());
  ASSERT_EQ(empty->init("127.0.7.9", IKalNetworkAddress::IPv4, 161, 0, nullptr, 500, 2, 0),
            kKalOk);
  empty->add_oid_string(kName, true);
  std::strcpy(out, "before");
  EXPECT_EQ(empty->get_data(out, sizeof out), kKalOk);
  EXPECT_STREQ(out, "before");
}

TEST_F(GetData, AnswerWithoutBindingsIsNoDataAndSessionFailureGoesUp) {
  agent_.set_answer([](IKasPdu* pdu, int) {
    pdu->set_bindings(nullptr);
    return kKalOk;
  });
  ASSERT_EQ(init(), kKalOk);
  request_->add_oid_string(kName, true);
  int32_t v = 0;
  char text[4];
  EXPECT_EQ(request_->get_data(&v), kKalErrNoData);
  EXPECT_EQ(request_->get_data(text, sizeof text), kKalErrNoData);
  agent_.set_answer([](IKasPdu*, int) { return kKasErrTimeout; });
  EXPECT_EQ(request_->get_data(&v), kKasErrTimeout);
  EXPECT_EQ(request_->set_data(), kKasErrTimeout);
}

// ---- set ----

TEST(RequestCore, SetAnswersNoDataOnlyForNoSuchNameAndNoAccess) {
  const struct {
    const char* name;
    int32_t error_status;
    int expected;
  } kRows[] = {
      {"no_error", 0, kKalOk},
      {"too_big_seen_as_answer", 1, kKalOk},
      {"no_such_name", 2, kKalErrNoData},
      {"bad_value", 3, kKalOk},
      {"read_only", 4, kKalOk},
      {"gen_err", 5, kKalOk},
      {"no_access", 6, kKalErrNoData},
      {"not_writable", 17, kKalOk},
  };
  for (const auto& row : kRows) {
    FakeAgent agent;
    agent.set_answer([&](IKasPdu* pdu, int) {
      pdu->set_type(kKasPduResponse);
      pdu->set_error_status(row.error_status);
      pdu->set_error_index(row.error_status ? 1 : 0);
      return kKalOk;
    });
    KalOwned<IKalGetData> request(make_request());
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

// How a walk ends: the agent's table (or script), the column and root, the
// status and rows expected, and the walk's limits. Agents that echo
// the request or loop are answered over real sockets in
// get_data_responder_test.cc.
struct WalkEndRow {
  const char* name;
  std::vector<std::pair<const char*, int>> table;
  zeltest::FakeAnswer answer;
  const char* column;
  const char* root;
  int status;
  int rows;
  KalWalkLimits limits = {};
};

// A table that never ends: every GetNext is answered with the next row.
int endless_row(IKasPdu* pdu, int call) {
  return answer_with(pdu, "1.3.6.1.4.1.9.1." + std::to_string(call + 1), call);
}

TEST(GetDataWalk, EndsOnEveryStopRuleKeepingTheRowsCollected) {
  const char kCol[] = "1.3.6.1.4.1.9.1";
  // One INTEGER named by 17 characters ("1.3.6.1.4.1.9.1.1").
  constexpr size_t kRowOctets = kKalWalkRowOctets + kKalWalkBindingOctets + 17 + 1;
  const WalkEndRow kRows[] = {
      {"first_answer_outside", {{"1.3.6.1.2.1.25.2.3.1.3.1", 1}}, nullptr,
       kStorageType, kStorageType, kKalOk, 0},
      // 1.3.6.1.2.1.25.2.3.1.20 is not below 1.3.6.1.2.1.25.2.3.1.2.
      {"root_not_matched_without_its_dot",
       {{"1.3.6.1.2.1.25.2.3.1.2.1", 1}, {"1.3.6.1.2.1.25.2.3.1.20.1", 2}},
       nullptr, kStorageType, kStorageType, kKalOk, 1},
      {"error_status_keeps_rows", {},
       [](IKasPdu* pdu, int call) {
         answer_with(pdu, "1.3.6.1.4.1.9.1." + std::to_string(call + 1), call);
         if (call == 2) pdu->set_error_status(kKasSnmpGenErr);
         return kKalOk;
       },
       kCol, kCol, kKalOk, 2},
      {"session_failure_keeps_rows", {},
       [](IKasPdu* pdu, int call) {
         return call == 1 ? kKasErrTimeout
                          : answer_with(pdu, "1.3.6.1.4.1.9.1.1", 1);
       },
       kCol, kCol, kKasErrTimeout, 1},
      {"answer_without_bindings", {},
       [](IKasPdu* pdu, int) {
         pdu->set_bindings(nullptr);
         return kKalOk;
       },
       kCol, kCol, kKalErrNoData, 0},
      // The answer that would pass a limit is not kept. A row of this
      // table counts kRowOctets.
      {"row_limit", {}, endless_row, kCol, kCol, kKalErrTooMuchData, 3,
       {3, kKalWalkMaxOctets}},
      {"octet_limit", {}, endless_row, kCol, kCol, kKalErrTooMuchData, 2,
       {kKalWalkMaxRows, 3 * kRowOctets - 1}},
      {"a_table_as_long_as_the_limits_is_whole",
       {{"1.3.6.1.4.1.9.1.1", 1}, {"1.3.6.1.4.1.9.1.2", 2}}, nullptr, kCol, kCol,
       kKalOk, 2, {2, 2 * kRowOctets}},
  };
  for (const WalkEndRow& row : kRows) {
    SCOPED_TRACE(row.name);
    FakeAgent agent;
    for (const auto& [oid, v] : row.table) agent.set_int(oid, v);
    if (row.answer) agent.set_answer(row.answer);
    KalOwned<IKalGetData> request(
        kal_create_get_data_with(FakeAgent::factories(), row.limits));
    ASSERT_EQ(request->init("127.0.7.9", IKalNetworkAddress::IPv4, 161, 0,
                            nullptr, 500, 2, 0),
              kKalOk);
    ASSERT_EQ(request->add_oid_string(row.column, false), kKalOk);
    KalOwned<IKasPduList> list(kas_create_pdu_list());
    EXPECT_EQ(request->get_data(list.get(), row.root), row.status);
    EXPECT_EQ(list->count(), static_cast<size_t>(row.rows));
    // The walk that hands its rows over ends alike, having handed the rows
    // the list kept, in order.
    FakeAgent again;
    for (const auto& [oid, v] : row.table) again.set_int(oid, v);
    if (row.answer) again.set_answer(row.answer);
    KalOwned<IKalGetData> walker(kal_create_get_data_with(FakeAgent::factories(), row.limits));
    ASSERT_EQ(walker->init("127.0.7.9", IKalNetworkAddress::IPv4, 161, 0, nullptr, 500, 2, 0),
              kKalOk);
    ASSERT_EQ(walker->add_oid_string(row.column, false), kKalOk);
    struct Names final : IKalWalkRowSink {
      int row(const IKasPdu* answer) override {
        seen.push_back(answer->get_bindings()->at(0)->get_oid()->text());
        return kKalOk;
      }
      std::vector<std::string> seen;
    } names;
    EXPECT_EQ(walker->walk_rows(row.root, &names), row.status);
    std::vector<std::string> kept;
    while (KalOwned<IKasPdu> pdu{list->take_front()})
      kept.push_back(pdu->get_bindings()->at(0)->get_oid()->text());
    EXPECT_EQ(names.seen, kept);
  }
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
