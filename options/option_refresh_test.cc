// The refresh over a request object that answers from the supported-device
// recording (options/testdata/supported-device.snmprec): the requests of a
// refresh, and what a refresh that fails half-way leaves. Every key after a
// full refresh is checked against the recording served by an agent
// (options_e2e_test.cc).
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "common/owned.h"
#include "common/status.h"
#include "options/recording_get_data.h"
#include "options/sorrel5_option.h"
#include "plugin/plugin_usm.h"

namespace {

using zeltest::Recording;
using zeltest::RequestScript;

const char kRecording[] = ZEL_SOURCE_DIR "/options/testdata/supported-device.snmprec";
const char kHrDeviceDescr10[] = "1.3.6.1.2.1.25.3.2.1.3.10";

class Refresh : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(recording_.load(kRecording, &error)) << error;
    script_.recording = &recording_;
    zeltest::set_request_script(&script_);
    option_.set_get_data_factory(zeltest::create_recording_get_data);
    usm_.reset(zel_create_plugin_usm());
    ASSERT_TRUE(usm_);
  }
  void TearDown() override { zeltest::set_request_script(nullptr); }

  // Init (which reads sysObjectID through request 0), then refresh.
  int init_and_refresh() {
    const int rc = option_.Init(IKalNetworkAddress::IPv4, "127.0.5.1", usm_.get(), 800, 2, 0);
    EXPECT_EQ(rc, kKalOk);
    return option_.refresh_options();
  }

  bool b(const char* key, int index = 0) {
    bool v = false;
    EXPECT_EQ(option_.get_option(key, &v, index), kKalOk) << key;
    return v;
  }
  long l(const char* key, int index = 0) {
    long v = -12345;
    EXPECT_EQ(option_.get_option(key, &v, index), kKalOk) << key << "[" << index << "]";
    return v;
  }
  std::string t(const char* key, int index = 0) {
    const char* v = nullptr;
    EXPECT_EQ(option_.get_option(key, &v, index), kKalOk) << key;
    return v ? v : "<null>";
  }
  // What the procedures after the device table leave cleared; with
  // `inputs_read`, the input tray procedure had run.
  void expect_cleared_after_device_table(bool inputs_read) {
    if (!inputs_read) {
      EXPECT_EQ(l("NumberOfInputTray"), 0);
      EXPECT_EQ(input_rc(), kKalErrIndexRange);
      EXPECT_FALSE(b("InTrayMSI"));
      EXPECT_EQ(l("PaperSizeGroupSetting"), 0);
      EXPECT_EQ(l("FAXType"), 0);
    }
    EXPECT_EQ(l("NumberOfOutputTray"), 0);
    EXPECT_FALSE(b("OffsetCatch"));
    EXPECT_EQ(l("MemorySizeInKByte"), 0);
    EXPECT_FALSE(b("DuplexModule"));
    EXPECT_EQ(t("NetWareSAPUnitName"), "");
    EXPECT_FALSE(b("FAXISDNG4Kit"));
    EXPECT_EQ(l("FAXMaxSpeedDial"), 0);
    EXPECT_EQ(l("FinisherBookletImpression"), 0);
  }
  // Index 0 of an empty table is out of range.
  int input_rc() {
    long v = 0;
    return option_.get_option("InputTrayType", &v, 0);
  }

  Recording recording_;
  RequestScript script_;
  CZelSorrel5Option option_;
  KalOwned<IZelPluginUSM> usm_;
};

TEST(SupportedDeviceRecording, IsInSnmpOrderForSnmpsim) {
  std::string error;
  EXPECT_TRUE(Recording::file_is_sorted(kRecording, &error)) << error;
}

TEST_F(Refresh, RequestsCarryTheStoredSettings) {
  option_.SetCommunityStr("private");
  ASSERT_EQ(init_and_refresh(), kKalOk);
  // The model check, then one request per procedure (all ten run here).
  ASSERT_EQ(script_.requests.size(), 11u);
  const std::vector<std::string> exchanges = {
      "text", "text", "walk 1.3.6.1.2.1.25.3.2.1.1", "walk 1.3.6.1.2.1.43.8.2.1.2",
      "walk 1.3.6.1.2.1.43.9.2.1.2", "int", "walk 1.3.6.1.2.1.43.13.4.1.9", "text", "ints 3",
      "ints 6", "text"};
  for (size_t i = 0; i < script_.requests.size(); ++i) {
    const zeltest::RequestRecord& r = script_.requests[i];
    SCOPED_TRACE("request " + std::to_string(i));
    EXPECT_EQ(r.exchange, exchanges[i]);
    EXPECT_TRUE(r.community_set);
    EXPECT_EQ(r.community, "private");
    EXPECT_EQ(r.address, "127.0.5.1");
    EXPECT_EQ(r.protocol, IKalNetworkAddress::IPv4);
    EXPECT_EQ(r.port, 161);
    EXPECT_EQ(r.version, -1);  // the provider's default mode: community SNMP
    EXPECT_EQ(r.timeout_ms, 800u);
    EXPECT_EQ(r.retries, 2u);
    EXPECT_EQ(r.security_level, 2);
  }
  EXPECT_EQ(script_.requests[0].oids, std::vector<std::string>{"1.3.6.1.2.1.1.2.0"});
  EXPECT_EQ(script_.requests[1].oids, std::vector<std::string>{"1.3.6.1.2.1.1.5.0"});
  EXPECT_EQ(script_.requests[5].oids, std::vector<std::string>{"1.3.6.1.2.1.25.2.2.0"});
  EXPECT_EQ(script_.requests[3].oids.size(), 10u);
}

TEST_F(Refresh, WithoutCommunityTheRequestsKeepTheirDefault) {
  ASSERT_EQ(init_and_refresh(), kKalOk);
  for (const zeltest::RequestRecord& r : script_.requests) EXPECT_FALSE(r.community_set);
}

// Half-way failure 1: a controller description that is not a ROM version.
// The device table is filled (the walk is processed to its end), the ROM
// numbers stay 0 and every later procedure stays cleared.
TEST_F(Refresh, ControllerDescriptionInTheWrongFormStopsAfterTheDeviceTable) {
  recording_.set(kHrDeviceDescr10, "4", "Printer Controller 1.20.3 - Processor");
  EXPECT_EQ(init_and_refresh(), kKalErrGeneral);
  EXPECT_EQ(script_.requests.size(), 3u);  // model check, sysName, hrDevice
  EXPECT_EQ(t("SysName"), "SORREL5-OFFICE");
  EXPECT_EQ(t("PrinterRomVersion"), "Printer Controller 1.20.3 - Processor");
  EXPECT_EQ(l("PrinterRomVersionMajor"), 0);
  EXPECT_EQ(l("PrinterRomVersionMinor"), 0);
  EXPECT_EQ(l("PrinterRomVersionRevision"), 0);
  EXPECT_TRUE(b("Scanner"));
  EXPECT_TRUE(b("FinisherBooklet"));
  EXPECT_EQ(l("FinisherType"), 6);
  EXPECT_EQ(l("FAXSIPStatus"), 3);
  expect_cleared_after_device_table(false);
}

// Half-way failure 2: the agent answers the first three procedures and then
// goes silent. Their results stay; everything after stays cleared; the
// refresh answers the time-out.
TEST_F(Refresh, AgentSilentAfterTheThirdProcedureKeepsTheFirstThree) {
  script_.silent_from_request = 4;  // request 0 is the model check
  EXPECT_EQ(init_and_refresh(), kKasErrTimeout);
  EXPECT_EQ(script_.requests.size(), 5u);
  EXPECT_EQ(t("SysName"), "SORREL5-OFFICE");
  EXPECT_EQ(l("PrinterRomVersionMinor"), 20);
  EXPECT_TRUE(b("FAXUnit"));
  EXPECT_EQ(l("NumberOfInputTray"), 5);
  EXPECT_EQ(l("InputTrayMediaSize", 0), 25);
  EXPECT_TRUE(b("InTrayMSI"));
  EXPECT_EQ(l("MinPasswordLength"), 0);
  expect_cleared_after_device_table(true);
}

TEST_F(Refresh, WithoutFaxUnitNoFaxRequestAndFiveDetailValues) {
  for (const char* column : {"1", "2", "3", "4", "5", "6"}) {
    recording_.erase(std::string("1.3.6.1.2.1.25.3.2.1.") + column + ".104");
  }
  ASSERT_EQ(init_and_refresh(), kKalOk);
  EXPECT_FALSE(b("FAXUnit"));
  ASSERT_EQ(script_.requests.size(), 10u);
  EXPECT_EQ(script_.requests[8].exchange, "ints 5");
  EXPECT_EQ(script_.requests[8].oids.size(), 5u);
  EXPECT_EQ(l("FAXType"), 0);
  EXPECT_FALSE(b("FAXISDNG4Kit"));
  EXPECT_EQ(l("FAXMaxSpeedDial"), 0);
  EXPECT_EQ(l("MinPasswordLength"), 8);
}

TEST_F(Refresh, BookletTextOfAnotherFormLeavesZeroAndNoUnitNoRequest) {
  recording_.set("1.3.6.1.4.1.61801.8.53.13.2.1.8.124.6.1", "4", "Impressions: 50");
  ASSERT_EQ(init_and_refresh(), kKalOk);
  EXPECT_EQ(l("FinisherBookletImpression"), 0);
  EXPECT_EQ(script_.requests.size(), 11u);
  recording_.erase("1.3.6.1.2.1.25.3.2.1.1.124");
  script_.requests.clear();
  ASSERT_EQ(option_.refresh_options(), kKalOk);
  EXPECT_EQ(script_.requests.size(), 9u);  // no model check, no booklet request
  EXPECT_FALSE(b("FinisherBooklet"));
}

TEST_F(Refresh, TwentyFiveInputTraysKeepTheFirstTwenty) {
  recording_.erase_subtree("1.3.6.1.2.1.43.8.2.1");
  for (int n = 1; n <= 25; ++n) {
    const std::string idx = ".1." + std::to_string(n);
    recording_.set("1.3.6.1.2.1.43.8.2.1.2" + idx, "2", n == 25 ? "5" : "3");
    recording_.set("1.3.6.1.2.1.43.8.2.1.13" + idx, "4", "Tray " + std::to_string(n));
  }
  ASSERT_EQ(init_and_refresh(), kKalOk);
  ASSERT_EQ(l("NumberOfInputTray"), 20);
  EXPECT_EQ(l("InputTrayIndex", 0), 1);
  EXPECT_EQ(l("InputTrayIndex", 19), 20);
  EXPECT_EQ(t("InputTrayName", 19), "Tray 20");
  long v = 0;
  EXPECT_EQ(option_.get_option("InputTrayIndex", &v, 20), kKalErrIndexRange);
  // The dropped 25th tray still counts for the manual-tray flag.
  EXPECT_TRUE(b("InTrayMSI"));
  // Missing columns read as 0: no size, no capacity.
  EXPECT_EQ(l("InputTrayMediaSize", 0), 10000);
  EXPECT_EQ(l("InputTrayMaxCapacityInSheets", 0), -1);
}

TEST_F(Refresh, EmptyInputTableSucceedsWithNoTrays) {
  recording_.erase_subtree("1.3.6.1.2.1.43.8.2.1");
  ASSERT_EQ(init_and_refresh(), kKalOk);
  EXPECT_EQ(l("NumberOfInputTray"), 0);
  EXPECT_FALSE(b("InTrayMSI"));
  EXPECT_EQ(l("NumberOfOutputTray"), 3);
}

TEST_F(Refresh, ASecondRefreshStartsFromClearedResults) {
  ASSERT_EQ(init_and_refresh(), kKalOk);
  ASSERT_TRUE(b("Scanner"));
  recording_.erase("1.3.6.1.2.1.25.3.2.1.1.102");
  recording_.erase_subtree("1.3.6.1.2.1.43.9.2.1");
  ASSERT_EQ(option_.refresh_options(), kKalOk);
  EXPECT_FALSE(b("Scanner"));
  EXPECT_EQ(l("NumberOfOutputTray"), 0);
  EXPECT_FALSE(b("OffsetCatch"));
  EXPECT_EQ(l("NumberOfInputTray"), 5);
}

TEST_F(Refresh, FailedCreationOrInitEndsTheRefreshWithItsStatus) {
  script_.fail_create_at = 3;  // the input tray procedure's request
  EXPECT_EQ(init_and_refresh(), kKalErrNoMemory);
  EXPECT_TRUE(b("Scanner"));
  EXPECT_EQ(l("NumberOfInputTray"), 0);
  script_.fail_create_at = -1;
  script_.fail_init_rc = kKalErrInvalidArg;
  EXPECT_EQ(option_.refresh_options(), kKalErrInvalidArg);
  EXPECT_EQ(t("SysName"), "");
}

TEST_F(Refresh, UsmSettingsOfTheInitReachEveryRequest) {
  const ZelSnmpV3Settings s{"carol", 1, 2, 1, "carol-auth-pass", "", "ctx"};
  usm_->set(2, s);
  ASSERT_EQ(option_.Init(IKalNetworkAddress::IPv4, "127.0.5.1", usm_.get(), 800, 2, 0), kKalOk);
  usm_->set(0, ZelSnmpV3Settings{});  // a later discovery changes the provider
  ASSERT_EQ(option_.refresh_options(), kKalOk);
  for (const zeltest::RequestRecord& r : script_.requests) {
    EXPECT_EQ(r.version, 2);
    EXPECT_EQ(r.security_name, "carol");
    EXPECT_EQ(r.security_level, 1);
    EXPECT_EQ(r.auth_protocol, 2);
    EXPECT_EQ(r.priv_protocol, 1);
    EXPECT_EQ(r.auth_pass_phrase, "carol-auth-pass");
    EXPECT_EQ(r.context_name, "ctx");
  }
}

}  // namespace
