// The SNMPv3 session against Net-SNMP's own agent (snmpd) on a loopback
// address of its own (127.0.8.x, or the block that ZEL_V3_AGENT_NET names)
// with one user per security level and protocol: gets, walks, a set, the
// failures the agent answers (wrong pass phrase, unknown user; one table of
// security failures against snmpd and snmpsimd users), a silent
// agent, settings refused before anything is sent, engine-ID discovery and
// the broadcast query aimed at one agent, the dispatcher's routing, and
// four threads at once.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <clocale>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/owned.h"
#include "gtest/gtest.h"
#include "log/log_config.h"
#include "snmp/packet.h"
#include "testing/scripted_responder.h"
#include "testing/snmpd_agent.h"
#include "testing/snmpsim_agent.h"
#include "transport/netsnmp_library.h"
#include "transport/session_dispatcher.h"
#include "transport/v3_request_session.h"
#include "transport/v3_test_util.h"

namespace {

using zeltest::make_request;
using zeltest::make_usm_target;
using zeltest::oid_at;
using zeltest::text_at;
using zeltest::UsmSettings;

// The first three parts of the loopback addresses the agents listen on
// (127.0.8 unless ZEL_V3_AGENT_NET names another block, so that suites run
// side by side keep apart).
std::string agent_net() {
  const char* net = getenv("ZEL_V3_AGENT_NET");
  return net && *net ? net : "127.0.8";
}
std::string agent_at(int host) { return agent_net() + "." + std::to_string(host); }

// ctest runs every test case in its own process, possibly in parallel, and
// two snmpd on one address would fight over the port: each process serves
// its agent on an address of its own, from the position (among all
// registered tests) of the first test it runs.
const char* agent_address() {
  static const std::string address = [] {
    const ::testing::UnitTest& unit = *::testing::UnitTest::GetInstance();
    int position = 0;
    for (int i = 0; i < unit.total_test_suite_count(); ++i) {
      const ::testing::TestSuite& suite = *unit.GetTestSuite(i);
      for (int j = 0; j < suite.total_test_count(); ++j, ++position) {
        if (suite.GetTestInfo(j)->should_run()) {
          return agent_at(10 + position % 240);
        }
      }
    }
    return agent_at(1);
  }();
  return address.c_str();
}
constexpr char kSysDescr[] = "1.3.6.1.2.1.1.1.0";
constexpr char kSysObjectId[] = "1.3.6.1.2.1.1.2.0";
constexpr char kSysContact[] = "1.3.6.1.2.1.1.4.0";
constexpr char kSystem[] = "1.3.6.1.2.1.1";

const UsmSettings kNoAuth{"noauthuser", 0, 0, 0, "", ""};
const UsmSettings kMd5{"md5user", 1, 1, 0, "md5passphrase", ""};
const UsmSettings kSha{"shauser", 1, 2, 0, "shapassphrase", ""};
const UsmSettings kMd5Des{"desuser", 2, 1, 1, "despassphrase", "desprivpass"};
const UsmSettings kShaAes{"aesuser", 2, 2, 2, "aespassphrase", "aesprivpass1"};
const UsmSettings kWriter{"writer", 2, 2, 2, "writerpassphrase", "writerprivpass"};

// A UDP socket bound to ADDRESS:161 that never answers: a silent agent that
// also tells whether anything was sent to it.
class SilentAgent {
 public:
  explicit SilentAgent(const char* address) {
    fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(161);
    inet_pton(AF_INET, address, &a.sin_addr);
    if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      close(fd_);
      fd_ = -1;
    }
  }
  ~SilentAgent() {
    if (fd_ >= 0) close(fd_);
  }
  bool ok() const { return fd_ >= 0; }
  int datagrams() const {
    int n = 0;
    char buf[2048];
    while (recv(fd_, buf, sizeof buf, MSG_DONTWAIT) > 0) ++n;
    return n;
  }

 private:
  int fd_ = -1;
};

class V3AgentTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (getenv("ZEL_V3_LOG")) kal_log_configure_stderr(31);
    if (!zeltest::have_snmpd()) return;
    agent_ = new zeltest::SnmpdAgent();
    std::vector<zeltest::SnmpdUser> users = {
        {"noauthuser", "", "", "", "", false},
        {"md5user", "MD5", "md5passphrase", "", "", false},
        {"shauser", "SHA", "shapassphrase", "", "", false},
        {"desuser", "MD5", "despassphrase", "DES", "desprivpass", false},
        {"aesuser", "SHA", "aespassphrase", "AES", "aesprivpass1", false},
        {"writer", "SHA", "writerpassphrase", "AES", "writerprivpass", true},
    };
    if (!agent_->start(agent_address(), users, &error_)) {
      delete agent_;
      agent_ = nullptr;
    }
  }
  static void TearDownTestSuite() {
    delete agent_;
    agent_ = nullptr;
  }
  void SetUp() override {
    if (!zeltest::have_snmpd()) GTEST_SKIP() << "snmpd is not installed";
    ASSERT_NE(agent_, nullptr) << error_;
    session_.reset(kas_create_v3_request_session());
    ASSERT_TRUE(session_);
  }

  static zeltest::SnmpdAgent* agent_;
  static std::string error_;
  KalOwned<IKasRequestSession> session_;
};

zeltest::SnmpdAgent* V3AgentTest::agent_ = nullptr;
std::string V3AgentTest::error_;

struct GetRow {
  const char* name;
  UsmSettings settings;
};

class V3GetTest : public V3AgentTest, public ::testing::WithParamInterface<GetRow> {};

TEST_P(V3GetTest, GetsSystemScalars) {
  KalOwned<IKasUsmTarget> target(make_usm_target(GetParam().settings, agent_address()));
  KalOwned<IKasPdu> pdu(make_request(0, {kSysDescr, kSysObjectId}));
  ASSERT_EQ(session_->send_sync(pdu.get(), target.get()), kKalOk);
  EXPECT_EQ(pdu->get_type(), 2);
  EXPECT_EQ(pdu->get_error_status(), 0);
  ASSERT_EQ(pdu->binding_count(), 2u);
  EXPECT_EQ(oid_at(pdu.get(), 0), kSysDescr);
  EXPECT_EQ(zeltest::value_at(pdu.get(), 0)->tag(), kKasTagOctetString);
  EXPECT_FALSE(text_at(pdu.get(), 0).empty());
  EXPECT_EQ(zeltest::value_at(pdu.get(), 1)->tag(), kKasTagOid);
  // Net-SNMP's agent names itself under its enterprise, 8072.
  EXPECT_EQ(text_at(pdu.get(), 1).rfind("1.3.6.1.4.1.8072.", 0), 0u) << text_at(pdu.get(), 1);
}

// Walks the system group with GetNext, as the request object does: each
// answer is the next request, until the first answer leaves the subtree.
TEST_P(V3GetTest, WalksSystemGroup) {
  KalOwned<IKasUsmTarget> target(make_usm_target(GetParam().settings, agent_address()));
  KalOwned<IKasPdu> pdu(make_request(1, {kSystem}));
  std::vector<std::string> seen;
  for (int step = 0; step < 200; ++step) {
    pdu->set_type(1);
    ASSERT_EQ(session_->send_sync(pdu.get(), target.get()), kKalOk);
    ASSERT_EQ(pdu->binding_count(), 1u);
    const std::string oid = oid_at(pdu.get(), 0);
    if (oid.rfind(std::string(kSystem) + ".", 0) != 0) break;
    ASSERT_TRUE(seen.empty() || seen.back() != oid) << "the walk did not advance at " << oid;
    seen.push_back(oid);
  }
  ASSERT_GE(seen.size(), 7u);
  EXPECT_EQ(seen.front(), kSysDescr);
}

INSTANTIATE_TEST_SUITE_P(
    Levels, V3GetTest,
    ::testing::Values(GetRow{"NoAuthNoPriv", kNoAuth}, GetRow{"AuthNoPrivMd5", kMd5},
                      GetRow{"AuthNoPrivSha", kSha}, GetRow{"AuthPrivMd5Des", kMd5Des},
                      GetRow{"AuthPrivShaAes", kShaAes}),
    [](const ::testing::TestParamInfo<GetRow>& info) { return std::string(info.param.name); });

TEST_F(V3AgentTest, SetThenGetRoundTripsAnOctetString) {
  KalOwned<IKasUsmTarget> target(make_usm_target(kWriter, agent_address()));
  KalOwned<IKasPdu> set(kas_create_pdu());
  set->set_type(3);
  KalOwned<IKasSnmpValue> text(kas_create_value_from_text("zel v3 contact", kKasTagOctetString));
  set->append_pair(kas_create_oid_from_text(kSysContact), text.detach());
  ASSERT_EQ(session_->send_sync(set.get(), target.get()), kKalOk);
  EXPECT_EQ(set->get_error_status(), 0);

  KalOwned<IKasPdu> get(make_request(0, {kSysContact}));
  ASSERT_EQ(session_->send_sync(get.get(), target.get()), kKalOk);
  EXPECT_EQ(text_at(get.get(), 0), "zel v3 contact");
}

TEST_F(V3AgentTest, ReadOnlyUserSetAnswersTheAgentsErrorStatus) {
  KalOwned<IKasUsmTarget> target(make_usm_target(kShaAes, agent_address()));
  KalOwned<IKasPdu> set(kas_create_pdu());
  set->set_type(3);
  set->append_pair(kas_create_oid_from_text(kSysContact),
                   kas_create_value_from_text("nope", kKasTagOctetString));
  ASSERT_EQ(session_->send_sync(set.get(), target.get()), kKalOk);
  // noAccess (6) or authorizationError (16): the view refuses the write.
  EXPECT_NE(set->get_error_status(), 0);
  EXPECT_EQ(set->get_bindings()->at(0)->get_status(), set->get_error_status());
}

TEST_F(V3AgentTest, MissingInstanceComesBackAsNoSuchInstance) {
  KalOwned<IKasUsmTarget> target(make_usm_target(kSha, agent_address()));
  KalOwned<IKasPdu> pdu(make_request(0, {"1.3.6.1.2.1.1.1.99"}));
  ASSERT_EQ(session_->send_sync(pdu.get(), target.get()), kKalOk);
  ASSERT_EQ(pdu->binding_count(), 1u);
  EXPECT_EQ(zeltest::value_at(pdu.get(), 0)->tag(), kKasTagNoSuchInstance);
}

TEST_F(V3AgentTest, WrongPassPhraseOrUnknownUserIsASecurityFailure) {
  UsmSettings wrong = kMd5, unknown = kSha;
  wrong.auth_pass = "not-the-passphrase";
  unknown.name = "nobodyhere";
  for (const UsmSettings& settings : {wrong, unknown}) {
    KalOwned<IKasUsmTarget> target(make_usm_target(settings, agent_address()));
    KalOwned<IKasPdu> pdu(make_request(0, {kSysDescr}));
    EXPECT_EQ(session_->send_sync(pdu.get(), target.get()), kKasErrV3Security) << settings.name;
  }
}

TEST_F(V3AgentTest, WrongPrivacyPassPhraseIsASecurityFailure) {
  UsmSettings wrong = kShaAes;
  wrong.priv_pass = "not-the-privpass";
  KalOwned<IKasUsmTarget> target(make_usm_target(wrong, agent_address(), 161, 300, 0));
  KalOwned<IKasPdu> pdu(make_request(0, {kSysDescr}));
  // The agent cannot decrypt and answers with a Report (decryptionErrors),
  // or drops the message: a security failure or a time-out, never success.
  const int rc = session_->send_sync(pdu.get(), target.get());
  EXPECT_TRUE(rc == kKasErrV3Security || rc == kKasErrTimeout) << rc;
}

// A user of snmpsimd (pysnmp's agent), which answers some security
// failures differently from snmpd.
const UsmSettings kSimMd5Des{"simuser", 2, 1, 1, "simauthpass", "simprivpass"};

enum class Agent { kSnmpd, kSnmpsim };

struct V3FailureRow {
  const char* name;
  Agent agent;
  UsmSettings settings;
  int expected;
};

// What each agent tells the library when the security settings do not fit,
// and the status a get answers. snmpd answers with a Report at
// noAuthNoPriv, which the library turns into its error number. snmpsimd
// authenticates (and encrypts) its Report with the user's real keys: the
// library cannot verify it and drops it, counting a wrong digest, and only
// that count tells the failure from silence. An agent that cannot decrypt a
// request (wrong privacy pass phrase; DES and AES carry no check of their
// own) sees a ScopedPDU that does not parse and drops it without a Report:
// nothing tells that from a lost datagram, so it stays a time-out.
// snmpsimd also drops the requests of unknown users without a Report.
TEST_F(V3AgentTest, SecurityFailuresAnswerTheirStatus) {
  constexpr int kSecurity = kKasErrV3Security;
  const V3FailureRow rows[] = {
      {"snmpd: wrong auth pass phrase", Agent::kSnmpd,
       {"md5user", 1, 1, 0, "wrongpassphrase", ""}, kSecurity},
      {"snmpd: wrong auth protocol", Agent::kSnmpd,
       {"md5user", 1, 2, 0, "md5passphrase", ""}, kSecurity},
      {"snmpd: wrong priv pass phrase", Agent::kSnmpd,
       {"desuser", 2, 1, 1, "despassphrase", "wrongprivpass"}, kKasErrTimeout},
      {"snmpd: unknown user", Agent::kSnmpd,
       {"nobodyhere", 1, 1, 0, "md5passphrase", ""}, kSecurity},
      {"snmpd: authPriv for an authNoPriv user", Agent::kSnmpd,
       {"md5user", 2, 1, 1, "md5passphrase", "someprivpass"}, kSecurity},
      {"snmpsimd: wrong auth pass phrase", Agent::kSnmpsim,
       {"simuser", 2, 1, 1, "wrongauthpass", "simprivpass"}, kSecurity},
      {"snmpsimd: wrong auth protocol", Agent::kSnmpsim,
       {"simuser", 2, 2, 1, "simauthpass", "simprivpass"}, kSecurity},
      {"snmpsimd: wrong priv pass phrase", Agent::kSnmpsim,
       {"simuser", 2, 1, 1, "simauthpass", "wrongprivpass"}, kKasErrTimeout},
      {"snmpsimd: unknown user", Agent::kSnmpsim,
       {"nobodyhere", 2, 1, 1, "simauthpass", "simprivpass"}, kKasErrTimeout},
      {"snmpsimd: authNoPriv for an authPriv user", Agent::kSnmpsim,
       {"simuser", 1, 1, 0, "simauthpass", ""}, kSecurity},
  };
  zeltest::SnmpsimAgent sim;
  const std::string sim_address = agent_at(5);
  bool have_sim = zeltest::have_snmpsimd();
  std::string sim_dir;
  if (have_sim) {
    sim_dir = zeltest::make_temp_dir("snmpsim-v3-fail");
    std::ofstream(sim_dir + "/public.snmprec") << "1.3.6.1.2.1.1.1.0|4|printer\n";
    std::string error;
    have_sim = sim.start(sim_address, sim_dir, "public", &error,
                         {"--v3-user=" + kSimMd5Des.name, "--v3-auth-key=" + kSimMd5Des.auth_pass,
                          "--v3-auth-proto=MD5", "--v3-priv-key=" + kSimMd5Des.priv_pass,
                          "--v3-priv-proto=DES"});
    EXPECT_TRUE(have_sim) << error;
  }
  for (const V3FailureRow& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.agent == Agent::kSnmpsim && !have_sim) continue;
    const std::string address = row.agent == Agent::kSnmpd ? agent_address() : sim_address;
    KalOwned<IKasUsmTarget> target(make_usm_target(row.settings, address, 161, 300, 0));
    KalOwned<IKasPdu> pdu(make_request(0, {kSysDescr}));
    EXPECT_EQ(session_->send_sync(pdu.get(), target.get()), row.expected);
  }
  sim.stop();
  if (!sim_dir.empty()) std::filesystem::remove_all(sim_dir);
}

TEST_F(V3AgentTest, SilentAgentTimesOut) {
  SilentAgent silent(agent_at(2).c_str());
  ASSERT_TRUE(silent.ok());
  KalOwned<IKasUsmTarget> target(make_usm_target(kSha, agent_at(2), 161, 100, 1));
  KalOwned<IKasPdu> pdu(make_request(0, {kSysDescr}));
  EXPECT_EQ(session_->send_sync(pdu.get(), target.get()), kKasErrTimeout);
  // The engine-ID discovery went out once per try.
  EXPECT_EQ(silent.datagrams(), 2);
}

struct RefusedRow {
  const char* name;
  UsmSettings settings;
};

class V3RefusedTest : public ::testing::TestWithParam<RefusedRow> {};

// Settings outside the table are refused before any datagram leaves.
TEST_P(V3RefusedTest, AnswersInvalidArgumentBeforeSending) {
  SilentAgent silent(agent_address());
  ASSERT_TRUE(silent.ok());
  KalOwned<IKasRequestSession> session(kas_create_v3_request_session());
  KalOwned<IKasUsmTarget> target(make_usm_target(GetParam().settings, agent_address(), 161, 100, 0));
  KalOwned<IKasPdu> pdu(make_request(0, {kSysDescr}));
  EXPECT_EQ(session->send_sync(pdu.get(), target.get()), kKalErrInvalidArg);
  EXPECT_EQ(silent.datagrams(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, V3RefusedTest,
    ::testing::Values(
        RefusedRow{"AuthProtocol3", {"shauser", 1, 3, 0, "shapassphrase", ""}},
        RefusedRow{"AuthProtocol0AtAuthPriv", {"aesuser", 2, 0, 2, "aespassphrase", "aesprivpass1"}},
        RefusedRow{"PrivProtocol3", {"aesuser", 2, 2, 3, "aespassphrase", "aesprivpass1"}},
        RefusedRow{"SecurityLevel3", {"shauser", 3, 2, 0, "shapassphrase", ""}},
        RefusedRow{"SecurityLevelMinus1", {"shauser", -1, 2, 0, "shapassphrase", ""}},
        // The library makes no key from fewer than 8 characters (RFC 3414).
        RefusedRow{"ShortPassPhrase", {"shauser", 1, 2, 0, "short", ""}}),
    [](const ::testing::TestParamInfo<RefusedRow>& info) { return std::string(info.param.name); });

TEST_F(V3AgentTest, AuthNoPrivIgnoresThePrivacySettings) {
  UsmSettings s = kSha;
  s.priv = 7;
  s.priv_pass = "x";
  KalOwned<IKasUsmTarget> target(make_usm_target(s, agent_address()));
  KalOwned<IKasPdu> pdu(make_request(0, {kSysDescr}));
  EXPECT_EQ(session_->send_sync(pdu.get(), target.get()), kKalOk);
}

TEST_F(V3AgentTest, CommunityTargetAndMissingArgumentsAreRefused) {
  KalOwned<IKasCommunityTarget> community(kas_create_community_target());
  community->set_version(kKasVersion3);
  KalOwned<IKasPdu> pdu(make_request(0, {kSysDescr}));
  EXPECT_EQ(session_->send_sync(pdu.get(), community.get()), kKalErrInvalidArg);
  KalOwned<IKasUsmTarget> target(make_usm_target(kSha, agent_address()));
  EXPECT_EQ(session_->send_sync(nullptr, target.get()), kKalErrInvalidArg);
  EXPECT_EQ(session_->send_sync(pdu.get(), nullptr), kKalErrInvalidArg);
  EXPECT_EQ(session_->send_sync(static_cast<IKasSnmpPacket*>(nullptr)), kKalErrInvalidArg);
  // Version 1 on an SNMPv3 target is not an SNMPv3 request.
  target->set_version(kKasVersion2c);
  EXPECT_EQ(session_->send_sync(pdu.get(), target.get()), kKalErrInvalidArg);
}

TEST_F(V3AgentTest, PacketFormPutsPduAndTargetBack) {
  KalOwned<IKasSnmpPacket> packet(kas_create_packet());
  packet->set_target(make_usm_target(kMd5Des, agent_address()));
  packet->set_pdu(make_request(0, {kSysDescr}));
  ASSERT_EQ(session_->send_sync(packet.get()), kKalOk);
  ASSERT_NE(packet->get_pdu(), nullptr);
  ASSERT_NE(packet->get_target(), nullptr);
  EXPECT_EQ(packet->get_pdu()->get_type(), 2);
  EXPECT_FALSE(text_at(packet->get_pdu(), 0).empty());
}

TEST_F(V3AgentTest, DispatcherRoutesSnmpV3Targets) {
  KalOwned<SessionDispatcher> dispatcher(kas_create_session_dispatcher());
  ASSERT_TRUE(dispatcher);
  KalOwned<IKasUsmTarget> target(make_usm_target(kShaAes, agent_address()));
  KalOwned<IKasPdu> pdu(make_request(0, {kSysDescr}));
  EXPECT_EQ(dispatcher->send_sync(pdu.get(), target.get()), kKalOk);
  EXPECT_FALSE(text_at(pdu.get(), 0).empty());
}

TEST_F(V3AgentTest, EngineIdDiscoveryFindsTheAgent) {
  KalOwned<IKasUsmTarget> target(make_usm_target(kSha, agent_address(), 161, 1000, 0));
  KalOwned<IKasSnmpPacketList> collector(kas_create_packet_list());
  {
    NetSnmpLibraryScope library;
    ASSERT_EQ(library.status(), kKalOk);
    ASSERT_EQ(kas_v3::get_engine_id_broad_cast(target.get(), collector.get()), kKalOk);
  }
  ASSERT_EQ(collector->count(), 1u);
  const IKasSnmpTarget* found = collector->front()->get_target();
  ASSERT_NE(found->as_usm(), nullptr);
  EXPECT_STREQ(found->get_address()->text(), agent_address());
  EXPECT_EQ(found->get_address()->get_port(), 161);
  size_t length = 0;
  const uint8_t* engine = found->as_usm()->get_security_engine_id(&length);
  ASSERT_NE(engine, nullptr);
  // RFC 3411 engine IDs are 5 to 32 octets; Net-SNMP's start with 0x80.
  EXPECT_GE(length, 5u);
  EXPECT_EQ(engine[0], 0x80);
}

// The probe byte for byte as Net-SNMP's own snmpget sends it for engine
// discovery (captured with message ID 0x029bfc27, request ID 0x74f9e698).
TEST(V3EngineIdProbe, MatchesNetSnmpsOwnProbe) {
  const uint8_t want[kas_v3::kProbeSize] = {
      0x30, 0x3e, 0x02, 0x01, 0x03, 0x30, 0x11, 0x02, 0x04, 0x02, 0x9b, 0xfc, 0x27,
      0x02, 0x03, 0x00, 0xff, 0xe3, 0x04, 0x01, 0x04, 0x02, 0x01, 0x03, 0x04, 0x10,
      0x30, 0x0e, 0x04, 0x00, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00, 0x04, 0x00, 0x04,
      0x00, 0x04, 0x00, 0x30, 0x14, 0x04, 0x00, 0x04, 0x00, 0xa0, 0x0e, 0x02, 0x04,
      0x74, 0xf9, 0xe6, 0x98, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00, 0x30, 0x00};
  uint8_t got[kas_v3::kProbeSize];
  kas_v3::write_engine_id_probe(0x029bfc27u, 0x74f9e698u, got);
  EXPECT_EQ(0, memcmp(want, got, sizeof want));
  // IDs with the top bit set stay positive INTEGERs of four octets.
  kas_v3::write_engine_id_probe(0xffffffffu, 0x80000001u, got);
  EXPECT_EQ(got[9], 0x7f);
  EXPECT_EQ(got[12], 0xff);
  EXPECT_EQ(got[52], 0x00);
  EXPECT_EQ(got[55], 0x01);
  EXPECT_EQ(0, memcmp(want + 56, got + 56, sizeof want - 56));
}

// What discovery reads from an answer before it counts: the IDs of a
// plain-text SNMPv3 message, nothing from anything else.
TEST(V3EngineIdProbe, ReadsTheIdsOfPlainSnmpV3MessagesOnly) {
  uint8_t probe[kas_v3::kProbeSize];
  kas_v3::write_engine_id_probe(5, 6, probe);
  const std::vector<uint8_t> report = zeltest::engine_id_report(7, 0x80000008u, "\x80\x01");
  std::vector<uint8_t> encrypted = report;
  encrypted[20] = 0x03;  // msgFlags: authPriv
  std::vector<uint8_t> trailing = report;
  trailing.push_back(0);
  const std::vector<uint8_t> truncated(report.begin(), report.end() - 1);
  std::vector<uint8_t> v2c = report;
  v2c[4] = 1;  // msgVersion
  struct Row {
    std::vector<uint8_t> bytes;
    bool ok;
    uint32_t message_id, request_id;
    uint8_t tag;
  };
  const Row rows[] = {
      {{probe, probe + sizeof probe}, true, 5, 6, 0xa0},
      {report, true, 7, 0x80000008u, 0xa8},
      {{0x30, 0x00}, false, 0, 0, 0},
      {encrypted, false, 0, 0, 0},
      {trailing, false, 0, 0, 0},
      {truncated, false, 0, 0, 0},
      {v2c, false, 0, 0, 0},
  };
  for (const Row& row : rows) {
    kas_v3::MessageIds ids;
    ASSERT_EQ(kas_v3::read_message_ids(row.bytes.data(), row.bytes.size(), &ids), row.ok);
    if (!row.ok) continue;
    EXPECT_EQ(ids.message_id, row.message_id);
    EXPECT_EQ(ids.request_id, row.request_id);
    EXPECT_EQ(ids.pdu_tag, row.tag);
  }
}

TEST_F(V3AgentTest, EngineIdDiscoveryWithNobodyAnsweringIsEmpty) {
  SilentAgent silent(agent_at(4).c_str());
  KalOwned<IKasUsmTarget> target(make_usm_target(kSha, agent_at(4), 161, 100, 1));
  KalOwned<IKasSnmpPacketList> collector(kas_create_packet_list());
  NetSnmpLibraryScope library;
  EXPECT_EQ(kas_v3::get_engine_id_broad_cast(target.get(), collector.get()), kKalOk);
  EXPECT_EQ(collector->count(), 0u);
  EXPECT_EQ(silent.datagrams(), 2);
}

// Discovery aimed at one agent (127.0.23.1) while another host
// (127.0.23.2) floods the prober with two-byte datagrams, Reports under a
// wrong message ID and even one under the right IDs: only the agent is
// noted, with its own engine ID, and nobody else is probed.
TEST(V3EngineIdProbe, DiscoveryAtOneAgentIgnoresOtherSourcesAndForeignIds) {
  const std::string engine("\x80\x00\x1f\x88\x04real-agent", 14);
  const std::string forged("\x80\x00\x1f\x88\x04rogue-host", 14);
  zeltest::ScriptedResponder agent;
  std::string error;
  ASSERT_TRUE(agent.start(
      "127.0.23.1", 161,
      [&](const zeltest::ScriptedRequest& r) {
        std::vector<zeltest::ScriptedReply> replies;
        kas_v3::MessageIds ids;
        if (!kas_v3::read_message_ids(r.bytes.data(), r.bytes.size(), &ids)) return replies;
        for (int i = 0; i < 10; ++i) {
          replies.push_back({{0x30, 0x00}, 0, true});
          replies.push_back({zeltest::engine_id_report(ids.message_id + 1 + i, ids.request_id,
                                                       forged), 0, true});
        }
        replies.push_back(
            {zeltest::engine_id_report(ids.message_id, ids.request_id, forged), 0, true});
        replies.push_back(
            {zeltest::engine_id_report(ids.message_id, ids.request_id, engine), 0, false});
        return replies;
      },
      &error, "127.0.23.2"))
      << error;
  KalOwned<IKasUsmTarget> target(make_usm_target(kSha, "127.0.23.1", 161, 500, 0));
  KalOwned<IKasSnmpPacketList> collector(kas_create_packet_list());
  {
    NetSnmpLibraryScope library;
    ASSERT_EQ(library.status(), kKalOk);
    ASSERT_EQ(kas_v3::get_engine_id_broad_cast(target.get(), collector.get()), kKalOk);
  }
  ASSERT_EQ(collector->count(), 1u);
  const IKasSnmpTarget* found = collector->front()->get_target();
  EXPECT_STREQ(found->get_address()->text(), "127.0.23.1");
  size_t length = 0;
  const uint8_t* id = found->as_usm()->get_security_engine_id(&length);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(id), length), engine);
  // Each probed agent gets a library session of its own: the probes came
  // from our socket and one session, nobody else was probed.
  std::set<uint16_t> ports;
  for (const zeltest::ScriptedRequest& r : agent.requests()) ports.insert(r.from_port);
  EXPECT_EQ(ports.size(), 2u);
}

TEST_F(V3AgentTest, BroadcastQueryToOneAgentAnswersOnePacketUnlessItRefusesTheUser) {
  KalOwned<IKasUsmTarget> target(make_usm_target(kShaAes, agent_address(), 161, 1000, 0));
  KalOwned<IKasPdu> pdu(make_request(0, {kSysObjectId}));
  IKasSnmpPacketList* raw = nullptr;
  ASSERT_EQ(session_->send_broad_cast_sync(pdu.get(), target.get(), &raw), kKalOk);
  KalOwned<IKasSnmpPacketList> list(raw);
  ASSERT_EQ(list->count(), 1u);
  const IKasSnmpPacket* packet = list->front();
  EXPECT_STREQ(packet->get_target()->get_address()->text(), agent_address());
  size_t length = 0;
  EXPECT_NE(packet->get_target()->as_usm()->get_security_engine_id(&length), nullptr);
  EXPECT_EQ(text_at(packet->get_pdu(), 0).rfind("1.3.6.1.4.1.8072.", 0), 0u);
  // The request itself is left as it was.
  EXPECT_EQ(pdu->get_type(), 0);
  EXPECT_EQ(zeltest::value_at(pdu.get(), 0)->tag(), kKasTagNull);

  // An agent that refuses the user is left out.
  UsmSettings wrong = kShaAes;
  wrong.auth_pass = "another-passphrase";
  KalOwned<IKasUsmTarget> refused(make_usm_target(wrong, agent_address(), 161, 200, 0));
  ASSERT_EQ(session_->send_broad_cast_sync(pdu.get(), refused.get(), &raw), kKalOk);
  KalOwned<IKasSnmpPacketList> none(raw);
  EXPECT_EQ(none->count(), 0u);
}

// Each exchange sets the library up and shuts it down again; the host's
// locale survives the library's own setlocale().
TEST_F(V3AgentTest, EveryOperationHasItsOwnLibrarySetUpAndKeepsTheLocale) {
  ASSERT_NE(setlocale(LC_CTYPE, "C"), nullptr);
  const long before = NetSnmpLibraryScope::setups();
  KalOwned<IKasUsmTarget> target(make_usm_target(kNoAuth, agent_address()));
  for (int i = 0; i < 3; ++i) {
    KalOwned<IKasPdu> pdu(make_request(0, {kSysDescr}));
    ASSERT_EQ(session_->send_sync(pdu.get(), target.get()), kKalOk);
  }
  EXPECT_EQ(NetSnmpLibraryScope::setups() - before, 3);
  EXPECT_STREQ(setlocale(LC_CTYPE, nullptr), "C");
}

// Debian's library keeps its state per process: SNMPv3 operations on four
// threads at once must still all succeed (the session serialises them).
TEST_F(V3AgentTest, FourThreadsGetAtOnce) {
  const UsmSettings rows[] = {kMd5, kSha, kMd5Des, kShaAes};
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (const UsmSettings& settings : rows) {
    threads.emplace_back([&failures, settings] {
      KalOwned<IKasRequestSession> session(kas_create_v3_request_session());
      KalOwned<IKasUsmTarget> target(make_usm_target(settings, agent_address()));
      for (int i = 0; i < 3; ++i) {
        KalOwned<IKasPdu> pdu(make_request(0, {kSysDescr, kSysObjectId}));
        if (session->send_sync(pdu.get(), target.get()) != kKalOk || pdu->binding_count() != 2 ||
            text_at(pdu.get(), 0).empty()) {
          failures.fetch_add(1);
        }
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
}

}  // namespace
