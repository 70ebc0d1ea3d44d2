// Discovery against a scripted device finder: the steps and their order, what
// the finder is given (destination, port, version, USM block, community,
// time-out, retries), which answers are kept, the list order, and every
// failing step's status and log line. No network traffic.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "common/address_service.h"
#include "common/network_address.h"
#include "common/owned.h"
#include "common/status.h"
#include "log/capture_output.h"
#include "log/log.h"
#include "log/log_config.h"
#include "plugin/discovery.h"
#include "plugin/plugin_usm.h"
#include "snmp/packet.h"
#include "snmp/pdu.h"
#include "snmp/target.h"
#include "snmp/value.h"

namespace {

constexpr char kModel[] = "1.3.6.1.4.1.61802.1.11.93.1.37.22.4";

// One answer the scripted finder hands out: the source address and the value
// of the first binding (nullptr: a binding without value; kind 'o' an
// identifier, 's' an octet string, 'i' an integer).
struct Answer {
  std::string address;
  std::string value;
  char kind = 'o';
  bool no_binding = false;
};

// What the discovery did to the finder, and what the finder answers.
struct Script {
  // Answers.
  int create_status = kKalOk;
  int init_status = kKalOk;
  int add_status = kKalOk;
  int send_status = kKalOk;
  bool send_null_list = false;
  std::vector<Answer> answers;
  // Record.
  std::vector<std::string> calls;
  std::string community;
  std::string destination;
  int protocol = -1;
  uint16_t port = 0;
  int32_t version = -99;
  // "name level auth priv auth-pass priv-pass context" of the USM block.
  std::string usm;
  uint32_t timeout = 12345, retries = 12345, max_size = 12345;
  std::string oid;
  int finders_made = 0;
  int finders_released = 0;
};

Script* g_script = nullptr;

IKasSnmpPacket* make_packet(const Answer& answer) {
  // Null when an allocation fails (the allocation-failure test).
  KalOwned<IKasSnmpPacket> packet(kas_create_packet());
  if (!packet) return nullptr;
  IKasCommunityTarget* target = kas_create_community_target();
  if (!target) return nullptr;
  packet->set_target(target);
  const bool v6 = answer.address.find(':') != std::string::npos;
  KalOwned<IKalNetworkAddress> source(kal_create_network_address(
      answer.address.c_str(),
      v6 ? IKalNetworkAddress::IPv6 : IKalNetworkAddress::IPv4, 161));
  if (!source || target->set_address(source.get()) != kKalOk) return nullptr;
  IKasPdu* pdu = kas_create_pdu();
  if (!pdu) return nullptr;
  packet->set_pdu(pdu);
  pdu->set_type(kKasPduResponse);
  if (!answer.no_binding) {
    IKasSnmpValue* value = nullptr;
    switch (answer.kind) {
      case 'o':
        value = kas_create_oid_from_text(answer.value.c_str());
        break;
      case 's':
        value = kas_create_value(kKasTagOctetString);
        if (value) value->set_bytes(answer.value.data(), answer.value.size());
        break;
      case 'i':
        value =
            kas_create_value_from_int(std::stoi(answer.value), kKasTagInteger);
        break;
      default:
        value = kas_create_value(kKasTagNull);
    }
    if (!value) return nullptr;
    IKasSnmpValue* name = kas_create_oid_from_text("1.3.6.1.2.1.1.2.0");
    if (!name) {
      value->release();
      return nullptr;
    }
    if (pdu->append_pair(name, value) != kKalOk) return nullptr;
  }
  return packet.detach();
}

class ScriptedFinder : public IKalFindDeviceSnmp {
 public:
  void release() override {
    if (g_script) ++g_script->finders_released;  // none once the test ends
    delete this;
  }
  void set_community(const char* community, size_t size) override {
    g_script->calls.push_back("set_community");
    g_script->community.assign(community, strnlen(community, size));
  }
  int init(const char* address, IKalNetworkAddress::EProtocol protocol,
           uint16_t port, int32_t version, const KalUsmParams* usm,
           uint32_t timeout_ms, uint32_t retries,
           uint32_t max_message_size) override {
    g_script->calls.push_back("init");
    g_script->destination = address;
    g_script->protocol = protocol;
    g_script->port = port;
    g_script->version = version;
    g_script->usm = std::string(usm->security_name) + " " +
                    std::to_string(usm->security_level) + " " +
                    std::to_string(usm->auth_protocol) + " " +
                    std::to_string(usm->priv_protocol) + " " + usm->auth_pass_phrase +
                    " " + usm->priv_pass_phrase + " " + usm->context_name;
    g_script->timeout = timeout_ms;
    g_script->retries = retries;
    g_script->max_size = max_message_size;
    return g_script->init_status;
  }
  int add_oid_string(const char* oid) override {
    g_script->calls.push_back("add_oid_string");
    g_script->oid = oid;
    return g_script->add_status;
  }
  int send_broad_cast(IKasSnmpPacketList** ppList) override {
    g_script->calls.push_back("send_broad_cast");
    if (g_script->send_status != kKalOk) return g_script->send_status;
    if (g_script->send_null_list) {
      *ppList = nullptr;
      return kKalOk;
    }
    KalOwned<IKasSnmpPacketList> list(kas_create_packet_list());
    if (!list) return kKalErrNoMemory;
    for (const Answer& answer : g_script->answers) {
      IKasSnmpPacket* packet = make_packet(answer);
      if (!packet || list->push_back(packet) != kKalOk) return kKalErrNoMemory;
    }
    *ppList = list.detach();
    return kKalOk;
  }
  int get_protocol(const char* address,
                   IKalNetworkAddress::EProtocol* protocol) override {
    g_script->calls.push_back("get_protocol");
    return kal_address_get_protocol(address, protocol);
  }
};

IKalFindDeviceSnmp* make_scripted_finder(int* pStatus) {
  if (g_script->create_status != kKalOk) {
    if (pStatus) *pStatus = g_script->create_status;
    return nullptr;
  }
  ++g_script->finders_made;
  if (pStatus) *pStatus = kKalOk;
  return new ScriptedFinder;
}

struct Read {
  std::string address, model, oid;
};

class DiscoveryFind : public testing::Test {
 protected:
  void SetUp() override {
    g_script = &script_;
    discovery_.set_finder_factory(make_scripted_finder);
    usm_.reset(zel_create_plugin_usm());
    ASSERT_TRUE(usm_);
  }
  void TearDown() override { g_script = nullptr; }

  int find(const char* address, int protocol, int32_t timeout = 1000,
           int32_t retries = 1, const char* community = "", int32_t mode = 0) {
    return discovery_.find(address, protocol, mode, settings_, timeout, retries,
                           *usm_.get(), community, &count_);
  }

  std::vector<Read> read_all() {
    std::vector<Read> out;
    char address[ZEL_ADDRESS_SIZE], model[ZEL_MODEL_NAME_SIZE],
        oid[ZEL_OID_TEXT_SIZE];
    uint8_t flag = 7;
    while (discovery_.get_next(address, model, &flag, oid)) {
      EXPECT_EQ(0, flag);
      flag = 7;
      out.push_back({address, model, oid});
    }
    return out;
  }

  Script script_;
  CZelDiscovery discovery_;
  KalOwned<IZelPluginUSM> usm_;
  ZelSnmpV3Settings settings_{};
  int32_t count_ = -1;
};

TEST_F(DiscoveryFind, StepsInOrderWithSysObjectIdAndTheHostsBudget) {
  ASSERT_EQ(kKalOk, find("127.0.11.9", IKalNetworkAddress::IPv4, 750, 2));
  const std::vector<std::string> expected = {
      "get_protocol", "init", "add_oid_string", "send_broad_cast"};
  EXPECT_EQ(expected, script_.calls);
  EXPECT_EQ("127.0.11.9", script_.destination);
  EXPECT_EQ(IKalNetworkAddress::IPv4, script_.protocol);
  EXPECT_EQ(161, script_.port);
  EXPECT_EQ("1.3.6.1.2.1.1.2", script_.oid);
  EXPECT_EQ(750u, script_.timeout);
  EXPECT_EQ(2u, script_.retries);
  EXPECT_EQ(0u, script_.max_size);
  EXPECT_EQ(0, count_);
  ASSERT_NE(nullptr, discovery_.found_devices());
  EXPECT_EQ(0, discovery_.found_devices()->count());
  // A finder that answers no list at all: nothing counted.
  script_.send_null_list = true;
  count_ = -1;
  ASSERT_EQ(kKalOk, find(nullptr, 1));
  EXPECT_EQ(0, count_);
}

struct DestinationRow {
  const char* name;
  const char* address;
  int protocol;
  int answer;
  const char* destination;  // what init receives ("" when init is not called)
  uint16_t port;
};

class DiscoveryDestination
    : public DiscoveryFind,
      public testing::WithParamInterface<DestinationRow> {};

TEST_P(DiscoveryDestination, DefaultsPortsAndProtocolChecks) {
  const DestinationRow& row = GetParam();
  EXPECT_EQ(row.answer, find(row.address, row.protocol));
  EXPECT_EQ(row.destination, script_.destination);
  if (row.answer == kKalOk) {
    EXPECT_EQ(row.port, script_.port);
  } else {
    // Failing before init: no list, nothing counted.
    EXPECT_EQ(nullptr, discovery_.found_devices());
    EXPECT_EQ(-1, count_);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DiscoveryDestination,
    testing::Values(DestinationRow{"ipv4_default_broadcast", nullptr, 1, kKalOk,
                                   "255.255.255.255", 161},
                    DestinationRow{"ipv6_default_multicast", nullptr, 4, kKalOk,
                                   "ff02::1", 161},
                    DestinationRow{"ipv4_unicast", "127.0.11.3", 1, kKalOk,
                                   "127.0.11.3", 161},
                    DestinationRow{"ipv6_unicast", "::1", 4, kKalOk, "::1",
                                   161},
                    DestinationRow{"ipx_given", "00000001:0000c0ffee01", 2,
                                   kKalOk, "00000001:0000c0ffee01", 36879},
                    // The default text is an IPv4 text.
                    DestinationRow{"ipx_without_address", nullptr, 2,
                                   kKalErrInvalidArg, "", 0},
                    DestinationRow{"ipv4_with_ipv6_text", "::1", 1,
                                   kKalErrInvalidArg, "", 0},
                    DestinationRow{"ipv6_with_ipv4_text", "127.0.11.3", 4,
                                   kKalErrInvalidArg, "", 0}),
    [](const testing::TestParamInfo<DestinationRow>& info) {
      return info.param.name;
    });

TEST_F(DiscoveryFind, UnservedProtocolDoesNothingElse) {
  script_.answers = {{"127.0.11.1", kModel}};
  ASSERT_EQ(kKalOk, find("127.0.11.1", 1));
  usm_->set(2, settings_);
  for (int protocol : {0, 3, 5, -1}) {
    count_ = 42;
    EXPECT_EQ(kKalErrNotSupported, find(nullptr, protocol, 1000, 1, "other", 1))
        << protocol;
    EXPECT_EQ(42, count_);
  }
  EXPECT_EQ(1, script_.finders_made);
  EXPECT_EQ(2, usm_->get_mode());  // the USM settings were not applied
  EXPECT_STREQ("", discovery_.community());
  ASSERT_NE(nullptr, discovery_.found_devices());
  EXPECT_EQ(1, discovery_.found_devices()->count());
}

TEST_F(DiscoveryFind, KeepsSupportedAnswersAndReadsThemNewestFirst) {
  const std::string deep = std::string(kModel) + ".5.1";
  script_.answers = {
      {"10.9.0.2", kModel},
      {"10.9.0.3", "1.3.6.1.4.1.2435.2.3.9.1"},  // another vendor
      {"10.9.0.4", deep},
      {"10.9.0.5", std::string(kModel) + "5"},  // a digit appended
      {"10.9.0.6", kModel},
  };
  ASSERT_EQ(kKalOk, find(nullptr, 1));
  EXPECT_EQ(3, count_);
  const std::vector<Read> reads = read_all();
  ASSERT_EQ(3u, reads.size());
  EXPECT_EQ("10.9.0.6", reads[0].address);
  EXPECT_EQ("10.9.0.4", reads[1].address);
  EXPECT_EQ(deep, reads[1].oid);
  EXPECT_EQ("10.9.0.2", reads[2].address);
  for (const Read& read : reads) EXPECT_EQ("Ferrowyn M870", read.model);
  discovery_.reset_position();
  EXPECT_EQ(3u, read_all().size());
}

TEST_F(DiscoveryFind, AnswersWithoutAUsableIdentifierAreDropped) {
  Answer no_binding{"10.9.0.9", "", 'o', true};
  script_.answers = {
      {"10.9.0.2", "", 'n'},   // NULL value
      {"10.9.0.3", "5", 'i'},  // an integer
      {"10.9.0.4", "", 's'},   // NUL inside
      no_binding,
      {"10.9.0.5", kModel, 's'},  // the identifier's text as a string
  };
  script_.answers[2].value =
      std::string(kModel) + ".1" + std::string(1, '\0') + "x";
  ASSERT_EQ(kKalOk, find(nullptr, 1));
  // The text form is what is matched, whatever the value's kind.
  EXPECT_EQ(1, count_);
  const std::vector<Read> reads = read_all();
  ASSERT_EQ(1u, reads.size());
  EXPECT_EQ("10.9.0.5", reads[0].address);
}

TEST_F(DiscoveryFind, LongIdentifierIsMatchedWholeAndCutTo63) {
  std::string long_oid = kModel;
  while (long_oid.size() < 200) long_oid += ".4294967295";
  script_.answers = {{"10.9.0.2", long_oid}};
  ASSERT_EQ(kKalOk, find(nullptr, 1));
  const std::vector<Read> reads = read_all();
  ASSERT_EQ(1u, reads.size());
  EXPECT_EQ(long_oid.substr(0, 63), reads[0].oid);
}

TEST_F(DiscoveryFind, FiltersApplyToEveryDiscovery) {
  script_.answers = {{"10.9.0.2", kModel},
                     {"10.9.0.3", kModel + std::string(".7")}};
  discovery_.add_filter("1.3.6.1.4.1.61802.1.11");
  ASSERT_EQ(kKalOk, find(nullptr, 1));
  EXPECT_EQ(2, count_);
  discovery_.clear_filters();
  discovery_.add_filter("1.3.6.1.4.1.9");
  ASSERT_EQ(kKalOk, find(nullptr, 1));
  EXPECT_EQ(0, count_);
  discovery_.add_filter((std::string(kModel) + ".7").c_str());
  ASSERT_EQ(kKalOk, find(nullptr, 1));
  EXPECT_EQ(1, count_);
  EXPECT_EQ("10.9.0.3", read_all().at(0).address);
}

TEST_F(DiscoveryFind, EachDiscoveryReplacesFinderAndList) {
  script_.answers = {{"10.9.0.2", kModel}, {"10.9.0.3", kModel}};
  ASSERT_EQ(kKalOk, find(nullptr, 1));
  char address[ZEL_ADDRESS_SIZE], model[ZEL_MODEL_NAME_SIZE],
      oid[ZEL_OID_TEXT_SIZE];
  uint8_t flag = 0;
  ASSERT_TRUE(discovery_.get_next(address, model, &flag, oid));  // position 1
  script_.answers = {{"10.9.0.4", kModel}};
  ASSERT_EQ(kKalOk, find(nullptr, 1));
  EXPECT_EQ(2, script_.finders_made);
  EXPECT_EQ(1, script_.finders_released);
  EXPECT_NE(nullptr, discovery_.finder());
  const std::vector<Read> reads = read_all();  // position starts at 0 again
  ASSERT_EQ(1u, reads.size());
  EXPECT_EQ("10.9.0.4", reads[0].address);
}

TEST_F(DiscoveryFind, CommunityIsTakenOverOnlyWhenTheContextHasOne) {
  ASSERT_EQ(kKalOk, find(nullptr, 1));
  EXPECT_EQ(0u, std::count(script_.calls.begin(), script_.calls.end(),
                           std::string("set_community")));
  script_.calls.clear();
  ASSERT_EQ(kKalOk, find(nullptr, 1, 1000, 1, "lan-find"));
  EXPECT_EQ("lan-find", script_.community);
  EXPECT_EQ("set_community", script_.calls.at(1));  // after get_protocol
  EXPECT_EQ("init", script_.calls.at(2));
  // An empty context field keeps the last one.
  script_.community.clear();
  ASSERT_EQ(kKalOk, find(nullptr, 1, 1000, 1, ""));
  EXPECT_EQ("lan-find", script_.community);
  EXPECT_STREQ("lan-find", discovery_.community());
  // Longer than the field: cut, never overrun.
  const std::string huge(5000, 'c');
  ASSERT_EQ(kKalOk, find(nullptr, 1, 1000, 1, huge.c_str()));
  EXPECT_EQ(std::string(255, 'c'), script_.community);
}

TEST_F(DiscoveryFind, ModeAndUsmSettingsReachTheFinder) {
  std::strcpy(settings_.securityName, "operator");
  settings_.securityLevel = 1;
  settings_.authProtocol = 2;
  settings_.privProtocol = 7;  // out of range: the default (DES) stays
  std::strcpy(settings_.authPassphrase, "auth-secret");
  std::strcpy(settings_.contextName, "ctx");
  ASSERT_EQ(kKalOk, find(nullptr, 1, 1000, 1, "", 2));
  EXPECT_EQ(2, script_.version);
  // The default private pass phrase stays.
  EXPECT_EQ("operator 1 2 1 auth-secret " + std::string(usm_->get_priv_passphrase()) + " ctx",
            script_.usm);
  // A later discovery resets the settings first: mode 9 keeps the default,
  // and level 0 is a level of its own.
  settings_ = ZelSnmpV3Settings{};
  ASSERT_EQ(kKalOk, find(nullptr, 1, 1000, 1, "", 9));
  EXPECT_EQ(-1, script_.version);
  EXPECT_EQ(" 0 0 0", script_.usm.substr(script_.usm.find(' '), 6));
  EXPECT_EQ(' ', script_.usm.back()) << "no context name";
}

TEST_F(DiscoveryFind, NegativeTimeOutBecomesOneLookNotWeeks) {
  ASSERT_EQ(kKalOk, find(nullptr, 1, -1, 0));
  EXPECT_EQ(0u, script_.timeout);
  ASSERT_EQ(kKalOk, find(nullptr, 1, INT32_MIN, 0));
  EXPECT_EQ(0u, script_.timeout);
  // The retry count goes through as the host gave it (-1: nothing is sent).
  ASSERT_EQ(kKalOk, find(nullptr, 1, 10, -1));
  EXPECT_EQ(static_cast<uint32_t>(-1), script_.retries);
}

struct FailureRow {
  const char* name;
  int Script::*field;
  int status;
  const char* log_text;  // "" when the step logs nothing
  bool list_left;        // a (possibly empty) list exists afterwards
};

class DiscoveryFailure : public DiscoveryFind,
                         public testing::WithParamInterface<FailureRow> {};

TEST_P(DiscoveryFailure, StatusGoesUpUnchangedAndIsLoggedOnce) {
  const FailureRow& row = GetParam();
  // A list from an earlier discovery, which the failing one discards.
  script_.answers = {{"10.9.0.2", kModel}};
  ASSERT_EQ(kKalOk, find(nullptr, 1));
  script_.*row.field = row.status;
  KalCaptureOutput capture;
  ASSERT_EQ(kKalOk, kal_log_configure_output(&capture, kKalLogError));
  const int answer = find(nullptr, 1);
  kal_log_configure_output(&capture, 0);
  kal_log_detach_output(&capture);
  EXPECT_EQ(row.status, answer);
  int matching = 0;
  for (const std::string& line : capture.lines()) {
    if (line.find(std::string(row.log_text) + ": " +
                  std::to_string(row.status)) != std::string::npos &&
        line.find("Zel") != std::string::npos)
      ++matching;
  }
  EXPECT_EQ(row.log_text[0] ? 1 : 0, matching);
  if (row.list_left) {
    ASSERT_NE(nullptr, discovery_.found_devices());
    EXPECT_EQ(0, discovery_.found_devices()->count());
    EXPECT_EQ(0, count_);
  } else {
    EXPECT_EQ(nullptr, discovery_.found_devices());
  }
  EXPECT_TRUE(read_all().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DiscoveryFailure,
    testing::Values(FailureRow{"create", &Script::create_status,
                               kKalErrNoMemory, "kal_create_find_device_snmp()",
                               false},
                    FailureRow{"init", &Script::init_status, kKalErrInvalidArg,
                               "m_pFindDeviceSnmp->init()", false},
                    FailureRow{"add_oid", &Script::add_status,
                               kKalErrInvalidArg,
                               "m_pFindDeviceSnmp->add_oid_string()", true},
                    FailureRow{"send", &Script::send_status, kKasErrSend,
                               "m_pFindDeviceSnmp->send_broad_cast()", true}),
    [](const testing::TestParamInfo<FailureRow>& info) {
      return info.param.name;
    });

TEST_F(DiscoveryFind, EveryAllocationFailsOnceWithoutLeaks) {
  script_.answers = {{"10.9.0.2", kModel}, {"10.9.0.3", kModel}};
  // The process-wide services (address service, loggers) are made on first
  // use and may fall back to another form when that fails; make them first,
  // so that every run below fails an allocation of the discovery itself.
  ASSERT_EQ(kKalOk, find(nullptr, 1));
  // Fails the n-th allocation of one discovery (the scripted finder object
  // itself is made with plain new; its packets count).
  for (int n = 0;; ++n) {
    CZelDiscovery discovery;
    discovery.set_finder_factory(make_scripted_finder);
    int32_t count = -1;
    kal_alloc_hook::g_fail_countdown = n;
    const int rc = discovery.find(nullptr, 1, 0, settings_, 10, 0, *usm_.get(),
                                  "", &count);
    const bool fired = kal_alloc_hook::g_fail_countdown < 0;
    kal_alloc_hook::g_fail_countdown = -1;
    if (!fired) {
      EXPECT_EQ(kKalOk, rc);
      EXPECT_EQ(2, count);
      break;
    }
    EXPECT_EQ(kKalErrNoMemory, rc) << "allocation " << n;
    ASSERT_LT(n, 1000);
  }
}

}  // namespace
