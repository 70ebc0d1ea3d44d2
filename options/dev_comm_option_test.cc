// Option keys, Init and copying, on an option object whose tables the test
// fills directly (no device).
#include "options/dev_comm_option.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/owned.h"
#include "common/status.h"
#include "plugin/plugin_usm.h"

namespace {

class TestOption : public CZelDevCommOption {
 public:
  bool is_supported_OID(const char*) override { return true; }

  void add_device(int32_t index, int32_t status = 2) {
    DeviceEntry& e = m_devices[m_lDeviceCount++];
    e.index = index;
    e.status = status;
  }
  void devices(const std::vector<int32_t>& indexes) {
    for (int32_t i : indexes) add_device(i);
  }
  InputTrayEntry& add_input(const char* name) {
    InputTrayEntry& e = m_inputTrays[m_lInputTrayCount];
    e.ordinal = ++m_lInputTrayCount;
    std::strcpy(e.name, name);
    return e;
  }
  OutputTrayEntry& add_output(const char* name, int32_t offset_stacking) {
    OutputTrayEntry& e = m_outputTrays[m_lOutputTrayCount];
    e.ordinal = ++m_lOutputTrayCount;
    e.offset_stacking = offset_stacking;
    std::strcpy(e.name, name);
    return e;
  }

  using CZelDevCommOption::m_bCommunitySet, CZelDevCommOption::m_bDuplexModule,
      CZelDevCommOption::m_bFaxISDNG4Kit, CZelDevCommOption::m_bFaxLineSwitchKit,
      CZelDevCommOption::m_bManualTray, CZelDevCommOption::m_bOffsetCatch,
      CZelDevCommOption::m_eProtocol, CZelDevCommOption::m_lFaxMaxSpeedDial,
      CZelDevCommOption::m_lFaxType, CZelDevCommOption::m_lFinisherBookletImpression,
      CZelDevCommOption::m_lMemorySize, CZelDevCommOption::m_lMinPasswordLength,
      CZelDevCommOption::m_lPaperSize8KSetting,
      CZelDevCommOption::m_lPaperSizeGroupSetting,
      CZelDevCommOption::m_lPrintLimitedColorSetting,
      CZelDevCommOption::m_lRomVersionMajor, CZelDevCommOption::m_lRomVersionMinor,
      CZelDevCommOption::m_lRomVersionRevision, CZelDevCommOption::m_lUserPromptSetting,
      CZelDevCommOption::m_lVersion, CZelDevCommOption::m_szAddress,
      CZelDevCommOption::m_szCommunity, CZelDevCommOption::m_szNetWareSAPUnitName,
      CZelDevCommOption::m_szRomVersion, CZelDevCommOption::m_szSysName,
      CZelDevCommOption::m_ulRetry, CZelDevCommOption::m_ulTimeout,
      CZelDevCommOption::m_usm, CZelDevCommOption::m_usPort;
};

bool get_bool(TestOption& o, const char* key, int index = 0, int* rc = nullptr) {
  bool value = false;
  const int status = o.get_option(key, &value, index);
  if (rc) *rc = status;
  EXPECT_TRUE(rc || status == kKalOk) << key << " answered " << status;
  return value;
}

long get_long(TestOption& o, const char* key, int index = 0) {
  long value = -12345;
  EXPECT_EQ(o.get_option(key, &value, index), kKalOk) << key;
  return value;
}

std::string get_text(TestOption& o, const char* key, int index = 0) {
  const char* value = nullptr;
  EXPECT_EQ(o.get_option(key, &value, index), kKalOk) << key;
  return value ? value : "<null>";
}

// Which hrDevice rows make which key true.
struct RowKey {
  const char* key;
  int32_t row;
};
const RowKey kRowKeys[] = {
    {"Scanner", 102},           {"Copier", 103},
    {"FAXUnit", 104},           {"HardDisk", 11},
    {"OutTraySide", 113},       {"InTrayExistHCF", 107},
    {"InTrayExistHCF2", 133},   {"InTrayExistTTM", 135},
    {"InTrayExistHCFA3", 136},  {"InTrayExistHCFPF35", 167},
    {"InTrayExistHCFPF31", 169}, {"InTrayExistHCFPF32", 163},
    {"InTrayExistSTM", 179},    {"OutTrayOffsetCatch", 171},
    {"FinisherStaple", 121},    {"FinisherPunchHole2", 122},
    {"FinisherPunchHole3", 128}, {"FinisherPunchHole4", 129},
    {"FinisherBooklet", 124},   {"FinisherFolder", 127},
};

TEST(OptionKeys, RowKeysAreTrueExactlyForTheirRow) {
  for (const RowKey& k : kRowKeys) {
    SCOPED_TRACE(k.key);
    TestOption empty;
    EXPECT_FALSE(get_bool(empty, k.key));
    TestOption with_row;
    with_row.devices({1, 10, k.row});
    EXPECT_TRUE(get_bool(with_row, k.key));
    TestOption neighbours;
    neighbours.devices({k.row - 1, k.row + 1});
    EXPECT_FALSE(get_bool(neighbours, k.key));
  }
}

TEST(OptionKeys, FlagKeysFollowTheirFlags) {
  struct FlagKey {
    const char* key;
    bool TestOption::*flag;
  };
  const FlagKey keys[] = {
      {"DuplexModule", &TestOption::m_bDuplexModule},
      {"OffsetCatch", &TestOption::m_bOffsetCatch},
      {"InTrayMSI", &TestOption::m_bManualTray},
      {"FAXISDNG4Kit", &TestOption::m_bFaxISDNG4Kit},
      {"FAXLineSwitchKit", &TestOption::m_bFaxLineSwitchKit},
  };
  for (const FlagKey& k : keys) {
    SCOPED_TRACE(k.key);
    TestOption o;
    EXPECT_FALSE(get_bool(o, k.key));
    o.*k.flag = true;
    EXPECT_TRUE(get_bool(o, k.key));
  }
}

TEST(OptionKeys, FinisherKeysFollowTheRows) {
  const struct {
    const char* name;
    std::vector<int32_t> rows;
    bool finisher, center2, punch;
    long finisher_type;
  } kRows[] = {
      {"Nothing", {}, false, false, false, 0},
      {"FinisherA", {137}, true, false, false, 6},
      {"FinisherB", {162}, true, false, false, 7},
      {"BothFinishersTypeA", {162, 137}, true, false, false, 6},
      {"Center2Alone", {168}, false, true, false, 0},
      {"Center2WithFinisherB", {162, 168}, true, false, false, 7},
      {"Center2WithFinisherA", {137, 168}, true, false, false, 6},
      {"PunchTwoHoles", {122}, false, false, true, 0},
      {"PunchThreeHoles", {128}, false, false, true, 0},
      {"PunchFourHolesOnly", {129}, false, false, true, 0},
      {"StapleIsNoPunch", {121}, false, false, false, 0},
  };
  for (const auto& c : kRows) {
    SCOPED_TRACE(c.name);
    TestOption o;
    o.devices(c.rows);
    EXPECT_EQ(get_bool(o, "Finisher"), c.finisher);
    EXPECT_EQ(get_bool(o, "OutTrayCenter2"), c.center2);
    EXPECT_EQ(get_bool(o, "FinisherPunch"), c.punch);
    EXPECT_EQ(get_long(o, "FinisherType"), c.finisher_type);
  }
}

// Each key answers its own member (texts point into the object); an index
// is ignored by keys without one.
TEST(OptionKeys, ValueKeysAnswerTheirMembers) {
  TestOption o;
  o.m_lMemorySize = 1572864;
  o.m_lFaxMaxSpeedDial = 200;
  o.m_lFaxType = 3;
  o.m_lRomVersionMajor = 1;
  o.m_lRomVersionMinor = 20;
  o.m_lRomVersionRevision = 3;
  o.m_lPaperSizeGroupSetting = 2;
  o.m_lPaperSize8KSetting = 4;
  o.m_lFinisherBookletImpression = 50;
  o.m_lPrintLimitedColorSetting = 1;
  o.m_lUserPromptSetting = 5;
  o.m_lMinPasswordLength = 8;
  o.add_input("Tray 1");
  CZelDevCommOption::InputTrayEntry& e = o.add_input("Tray 2");
  e.type = 4;
  e.max_capacity = 500;
  e.level_percent = 50;
  e.medium_size = 25;
  e.medium_direction = 2;
  e.feed_dim_chosen = 210000;
  e.cross_feed_dim_chosen = 297000;
  std::strcpy(e.description, "Paper Tray 2");
  std::strcpy(e.media_type, "stationery");
  o.add_output("Center", 4);
  o.add_output("Finisher", 3);
  const struct {
    const char* key;
    int index;
    long value;
  } kLongs[] = {
      {"MemorySizeInKByte", 0, 1572864}, {"MemorySizeInKByte", -5, 1572864},
      {"MemorySizeInKByte", 99, 1572864}, {"MemorySizeInMByte", 0, 1536},
      {"FAXMaxSpeedDial", 0, 200},       {"FAXType", 0, 3},
      {"NumberOfInputTray", 0, 2},       {"NumberOfOutputTray", 0, 2},
      {"PrinterRomVersionMajor", 0, 1},  {"PrinterRomVersionMinor", 0, 20},
      {"PrinterRomVersionRevision", 0, 3}, {"PaperSizeGroupSetting", 0, 2},
      {"PaperSize8KSetting", 0, 4},      {"FinisherBookletImpression", 0, 50},
      {"PrintLimitedColorSetting", 0, 1}, {"UserPromptSetting", 0, 5},
      {"MinPasswordLength", 0, 8},       {"InputTrayIndex", 1, 2},
      {"InputTrayType", 1, 4},           {"InputTrayMaxCapacityInSheets", 1, 500},
      {"InputTrayCurrentLevelInPercent", 1, 50}, {"InputTrayMediaSize", 1, 25},
      {"InputTrayMediaDirection", 1, 2}, {"InputTrayMediaDimFeedDirChosen", 1, 210000},
      {"InputTrayMediaDimXFeedDirChosen", 1, 297000},
  };
  for (const auto& k : kLongs) EXPECT_EQ(get_long(o, k.key, k.index), k.value) << k.key;
  EXPECT_EQ(get_text(o, "InputTrayName", 0), "Tray 1");
  EXPECT_EQ(get_text(o, "InputTrayName", 1), "Tray 2");
  EXPECT_EQ(get_text(o, "InputTrayDescription", 1), "Paper Tray 2");
  EXPECT_EQ(get_text(o, "InputTrayMediaType", 1), "stationery");
  EXPECT_FALSE(get_bool(o, "OutputOffsetStacking", 0));
  EXPECT_TRUE(get_bool(o, "OutputOffsetStacking", 1));
  EXPECT_EQ(get_text(o, "OutputTrayName", 1), "Finisher");
  // Megabytes truncate.
  for (const auto& [kb, mb] : {std::pair{1536L, 1L}, std::pair{1023L, 0L}}) {
    o.m_lMemorySize = kb;
    EXPECT_EQ(get_long(o, "MemorySizeInMByte"), mb);
  }
  std::strcpy(o.m_szRomVersion, "Printer Controller v1.20.3 - Processor");
  std::strcpy(o.m_szSysName, "SORREL5-OFFICE");
  std::strcpy(o.m_szNetWareSAPUnitName, "SAP");
  EXPECT_EQ(get_text(o, "PrinterRomVersion"), "Printer Controller v1.20.3 - Processor");
  EXPECT_EQ(get_text(o, "SysName"), "SORREL5-OFFICE");
  EXPECT_EQ(get_text(o, "NetWareSAPUnitName"), "SAP");
  const char* p = nullptr;
  ASSERT_EQ(o.get_option("SysName", &p, 0), kKalOk);
  EXPECT_EQ(p, o.m_szSysName);
}

TEST(OptionKeys, FaxSipStatusIsTheFirstRow141Status) {
  TestOption o;
  EXPECT_EQ(get_long(o, "FAXSIPStatus"), 0);
  o.add_device(141, 5);
  o.add_device(141, 3);
  EXPECT_EQ(get_long(o, "FAXSIPStatus"), 5);
}

// Every indexed key, with the index edges. An index equal to the count is
// out of range: it would read the cleared entry after the last one (or,
// with a full table, past the table).
TEST(OptionKeys, IndexedKeysRefuseIndexesOutsideTheTable) {
  const char* const long_keys[] = {
      "InputTrayIndex",          "InputTrayType",
      "InputTrayMaxCapacityInSheets", "InputTrayCurrentLevelInPercent",
      "InputTrayMediaSize",      "InputTrayMediaDirection",
      "InputTrayMediaDimFeedDirChosen", "InputTrayMediaDimXFeedDirChosen",
  };
  const char* const text_keys[] = {"InputTrayName", "InputTrayDescription", "InputTrayMediaType",
                                   "OutputTrayName"};
  TestOption o;
  for (int i = 0; i < CZelDevCommOption::kMaxTrays; ++i) {
    o.add_input("in");
    if (i < 2) o.add_output("out", 3);
  }
  struct Edge {
    int index;
    int input_rc;   // 20 input trays (full table)
    int output_rc;  // 2 output trays
  };
  const Edge edges[] = {{-1, kKalErrIndexRange, kKalErrIndexRange},
                        {0, kKalOk, kKalOk},
                        {1, kKalOk, kKalOk},
                        {2, kKalOk, kKalErrIndexRange},
                        {19, kKalOk, kKalErrIndexRange},
                        {20, kKalErrIndexRange, kKalErrIndexRange},
                        {1 << 30, kKalErrIndexRange, kKalErrIndexRange}};
  for (const Edge& e : edges) {
    SCOPED_TRACE("index " + std::to_string(e.index));
    for (const char* key : long_keys) {
      long v = 0;
      EXPECT_EQ(o.get_option(key, &v, e.index), e.input_rc) << key;
    }
    for (const char* key : text_keys) {
      const char* v = nullptr;
      const bool output = std::strcmp(key, "OutputTrayName") == 0;
      EXPECT_EQ(o.get_option(key, &v, e.index), output ? e.output_rc : e.input_rc) << key;
    }
    bool b = false;
    EXPECT_EQ(o.get_option("OutputOffsetStacking", &b, e.index), e.output_rc);
  }
}

TEST(OptionKeys, BeforeARefreshEveryIndexIsOutOfRange) {
  TestOption o;
  long v = 0;
  const char* t = nullptr;
  bool b = false;
  EXPECT_EQ(o.get_option("InputTrayType", &v, 0), kKalErrIndexRange);
  EXPECT_EQ(o.get_option("InputTrayName", &t, 0), kKalErrIndexRange);
  EXPECT_EQ(o.get_option("OutputOffsetStacking", &b, 0), kKalErrIndexRange);
  EXPECT_EQ(get_long(o, "NumberOfInputTray"), 0);
  EXPECT_EQ(get_text(o, "SysName"), "");
  EXPECT_FALSE(get_bool(o, "Scanner"));
}

// Keys are matched exactly; a key of another overload is unknown here too.
TEST(OptionKeys, UnknownKeysAnswerNotSupportedInEveryOverload) {
  TestOption o;
  o.add_input("in");
  o.add_output("out", 3);
  for (const char* key : {"scanner", "Scanner ", "", "Finisher Staple", "Scanner",
                          "MemorySizeInKByte", "SysName"}) {
    SCOPED_TRACE(key);
    bool b = false;
    long l = 0;
    unsigned long u = 0;
    const char* t = nullptr;
    const std::string k = key;
    EXPECT_EQ(o.get_option(key, &b, 0), k == "Scanner" ? kKalOk : kKalErrNotSupported);
    EXPECT_EQ(o.get_option(key, &l, 0),
              k == "MemorySizeInKByte" ? kKalOk : kKalErrNotSupported);
    EXPECT_EQ(o.get_option(key, &t, 0), k == "SysName" ? kKalOk : kKalErrNotSupported);
    EXPECT_EQ(o.get_option(key, &u, 0), kKalErrNotSupported);
  }
}

TEST(OptionKeys, NullKeyOrOutIsAnArgumentError) {
  TestOption o;
  bool b = false;
  long l = 0;
  unsigned long u = 0;
  const char* t = nullptr;
  EXPECT_EQ(o.get_option(nullptr, &b, 0), kKalErrInvalidArg);
  EXPECT_EQ(o.get_option(nullptr, &l, 0), kKalErrInvalidArg);
  EXPECT_EQ(o.get_option(nullptr, &u, 0), kKalErrInvalidArg);
  EXPECT_EQ(o.get_option(nullptr, &t, 0), kKalErrInvalidArg);
  EXPECT_EQ(o.get_option("Scanner", static_cast<bool*>(nullptr), 0), kKalErrInvalidArg);
  EXPECT_EQ(o.get_option("FAXType", static_cast<long*>(nullptr), 0), kKalErrInvalidArg);
  EXPECT_EQ(o.get_option("x", static_cast<unsigned long*>(nullptr), 0), kKalErrInvalidArg);
  EXPECT_EQ(o.get_option("SysName", static_cast<const char**>(nullptr), 0), kKalErrInvalidArg);
}

TEST(OptionInit, ChoosesThePortByProtocol) {
  const struct {
    int protocol;
    int rc;
    uint16_t port;
  } kRows[] = {{1, kKalOk, 161},
               {2, kKalOk, 36879},
               {3, kKalErrInvalidArg, 0},
               {4, kKalOk, 161},
               {0, kKalErrInvalidArg, 0}};
  for (const auto& c : kRows) {
    SCOPED_TRACE(c.protocol);
    TestOption o;
    const auto protocol = static_cast<IKalNetworkAddress::EProtocol>(c.protocol);
    EXPECT_EQ(o.Init(protocol, "192.0.2.7", nullptr, 700, 2, 900), c.rc);
    EXPECT_EQ(o.m_usPort, c.port);
    // The address and protocol are stored even when the protocol is refused.
    EXPECT_STREQ(o.m_szAddress, "192.0.2.7");
    EXPECT_EQ(o.m_eProtocol, protocol);
    EXPECT_EQ(o.m_ulTimeout, c.rc == kKalOk ? 700u : 0u);
  }
}

ZelSnmpV3Settings v3_settings(const char* name, int32_t level, const char* auth,
                              const char* priv, const char* context) {
  ZelSnmpV3Settings s{};
  std::strcpy(s.securityName, name);
  s.securityLevel = level;
  s.authProtocol = 2;
  s.privProtocol = 2;
  std::strcpy(s.authPassphrase, auth);
  std::strcpy(s.privPassphrase, priv);
  std::strcpy(s.contextName, context);
  return s;
}

// The provider is set again before every discovery and device open. An open
// device keeps the credentials it was opened with: Init copies them, it
// does not keep pointers into the provider.
TEST(OptionInit, CopiesTheUsmSettings) {
  KalOwned<IZelPluginUSM> usm(zel_create_plugin_usm());
  ASSERT_TRUE(usm);
  usm->set(2, v3_settings("alice", 1, "alice-auth-phrase", "alice-priv-phrase", "ctx-a"));
  TestOption o;
  ASSERT_EQ(o.Init(IKalNetworkAddress::IPv4, "127.0.0.1", usm.get(), 500, 1, 0), kKalOk);
  usm->set(0, v3_settings("bob", 0, "bob-auth-phrase-xxx", "bob-priv-phrase-xxx", "ctx-b"));
  EXPECT_EQ(o.m_lVersion, 2);
  EXPECT_STREQ(o.m_usm.security_name, "alice");
  EXPECT_EQ(o.m_usm.security_level, 1);
  EXPECT_EQ(o.m_usm.auth_protocol, 2);
  EXPECT_EQ(o.m_usm.priv_protocol, 2);
  EXPECT_STREQ(o.m_usm.auth_pass_phrase, "alice-auth-phrase");
  EXPECT_STREQ(o.m_usm.priv_pass_phrase, "alice-priv-phrase");
  EXPECT_STREQ(o.m_usm.context_name, "ctx-a");
  usm.reset();  // the option object outlives the provider
  EXPECT_STREQ(o.m_usm.security_name, "alice");
}

TEST(OptionInit, LongTextsAreCut) {
  TestOption o;
  const std::string address(100, '1');
  o.Init(IKalNetworkAddress::IPv4, address.c_str(), nullptr, 1, 1, 1);
  EXPECT_EQ(std::strlen(o.m_szAddress), 63u);
  const std::string community(300, 'c');
  o.SetCommunityStr(community.c_str());
  EXPECT_EQ(std::strlen(o.m_szCommunity), 255u);
  EXPECT_TRUE(o.m_bCommunitySet);
}

TEST(OptionCopy, CopiesEveryMember) {
  TestOption o;
  o.Init(IKalNetworkAddress::IPv6, "::1", nullptr, 300, 4, 1200);
  o.SetCommunityStr("secret");
  o.devices({102, 137});
  o.add_input("Tray 1").medium_size = 25;
  o.add_output("Center", 3);
  o.m_lMemorySize = 4096;
  std::strcpy(o.m_szSysName, "copy-me");
  TestOption copy(o);
  TestOption assigned;
  assigned = o;
  for (TestOption* c : {&copy, &assigned}) {
    EXPECT_STREQ(c->m_szAddress, "::1");
    EXPECT_EQ(c->m_usPort, 161);
    EXPECT_EQ(c->m_ulRetry, 4u);
    EXPECT_STREQ(c->m_szCommunity, "secret");
    EXPECT_TRUE(c->m_bCommunitySet);
    EXPECT_TRUE(get_bool(*c, "Scanner"));
    EXPECT_EQ(get_long(*c, "FinisherType"), 6);
    EXPECT_EQ(get_long(*c, "InputTrayMediaSize", 0), 25);
    EXPECT_TRUE(get_bool(*c, "OutputOffsetStacking", 0));
    EXPECT_EQ(get_long(*c, "MemorySizeInKByte"), 4096);
    EXPECT_EQ(get_text(*c, "SysName"), "copy-me");
  }
  // Texts point into each object, not into the original.
  const char* p = nullptr;
  copy.get_option("SysName", &p, 0);
  EXPECT_EQ(p, copy.m_szSysName);
}

}  // namespace
