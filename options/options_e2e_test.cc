// The option refresh end to end: the supported-device recording
// (options/testdata/supported-device.snmprec) served by Debian's snmpsimd on
// 127.0.7.40 (and .41) and read through the real request object, sessions,
// codec and sockets. The values are those the recording implies.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "common/owned.h"
#include "common/status.h"
#include "options/sorrel5_option.h"
#include "plugin/plugin_usm.h"
#include "testing/snmpsim_agent.h"

namespace {

class OptionsEndToEnd : public ::testing::Test {
 protected:
  // CTest runs each test in its own process, in parallel: every test serves
  // the recording on an address of its own.
  void serve(const char* address) {
    if (!zeltest::have_snmpsimd()) GTEST_SKIP() << "snmpsimd is not installed";
    const std::string dir = zeltest::make_temp_dir("options-e2e");
    // The option object sends its default community unless told otherwise.
    const std::string recording =
        zeltest::repo_file("options/testdata/supported-device.snmprec");
    ASSERT_TRUE(zeltest::write_recording(recording, dir, "vorovo"));
    ASSERT_TRUE(zeltest::write_recording(recording, dir, "private"));
    std::string error;
    ASSERT_TRUE(agent_.start(address, dir, "vorovo", &error)) << error;
    usm_.reset(zel_create_plugin_usm());
    ASSERT_TRUE(usm_);
  }

  bool b(const char* key, int index = 0) {
    bool v = false;
    EXPECT_EQ(option_.get_option(key, &v, index), kKalOk) << key;
    return v;
  }
  long l(const char* key, int index = 0) {
    long v = -12345;
    EXPECT_EQ(option_.get_option(key, &v, index), kKalOk)
        << key << "[" << index << "]";
    return v;
  }
  std::string t(const char* key, int index = 0) {
    const char* v = nullptr;
    EXPECT_EQ(option_.get_option(key, &v, index), kKalOk) << key;
    return v ? v : "<null>";
  }

  zeltest::SnmpsimAgent agent_;
  CZelSorrel5Option option_;
  KalOwned<IZelPluginUSM> usm_;
};

TEST_F(OptionsEndToEnd, RefreshReadsEveryGroupFromTheAgent) {
  ASSERT_NO_FATAL_FAILURE(serve("127.0.7.40"));
  if (IsSkipped()) return;
  ASSERT_EQ(option_.Init(IKalNetworkAddress::IPv4, "127.0.7.40", usm_.get(),
                         1000, 1, 0),
            kKalOk);
  ASSERT_EQ(option_.refresh_options(), kKalOk);
  EXPECT_STREQ(option_.model_identifier(),
               "1.3.6.1.4.1.61802.1.11.93.1.37.22.4.5.1");

  for (const char* key : {"FAXUnit", "DuplexModule", "OffsetCatch", "InTrayMSI", "InTrayExistHCF",
                          "InTrayExistSTM", "Finisher", "FinisherBooklet", "FAXISDNG4Kit"})
    EXPECT_TRUE(b(key)) << key;
  EXPECT_FALSE(b("FAXLineSwitchKit"));
  const std::pair<const char*, long> kLongs[] = {
      {"MemorySizeInKByte", 1572864}, {"FAXMaxSpeedDial", 200},
      {"FAXType", 3},                 {"NumberOfOutputTray", 3},
      {"PrinterRomVersionMajor", 1},  {"PrinterRomVersionMinor", 20},
      {"PrinterRomVersionRevision", 3}, {"PaperSizeGroupSetting", 2},
      {"PaperSize8KSetting", 0},      {"FinisherBookletImpression", 50},
      {"MinPasswordLength", 8},
  };
  for (const auto& [key, value] : kLongs) EXPECT_EQ(l(key), value) << key;

  ASSERT_EQ(l("NumberOfInputTray"), 5);
  const char* const names[] = {"Tray 1", "Tray 2", "Tray 3", "HCF",
                               "Bypass Tray"};
  const long capacities[] = {500, 500, 550, -1, 100};
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE("input tray " + std::to_string(i));
    EXPECT_EQ(l("InputTrayIndex", i), i + 1);
    EXPECT_EQ(t("InputTrayName", i), names[i]);
    EXPECT_EQ(l("InputTrayMaxCapacityInSheets", i), capacities[i]);
  }
  EXPECT_EQ(t("InputTrayDescription", 0), "Paper Tray 1 (A4, 500 sheets)");

  EXPECT_EQ(t("PrinterRomVersion"), "Printer Controller v1.20.3 - Processor");
  EXPECT_EQ(t("SysName"), "SORREL5-OFFICE");
  EXPECT_EQ(t("NetWareSAPUnitName"), "SORREL5_SAP");
  EXPECT_EQ(t("OutputTrayName", 0), "Center Tray");
  EXPECT_EQ(t("OutputTrayName", 1), "Finisher Tray");
  EXPECT_EQ(t("OutputTrayName", 2), "Side Tray");
}

TEST_F(OptionsEndToEnd, CommunityReachesTheAgent) {
  // Served under "private" too; an unknown community is never answered.
  ASSERT_NO_FATAL_FAILURE(serve("127.0.7.41"));
  if (IsSkipped()) return;
  option_.SetCommunityStr("private");
  ASSERT_EQ(option_.Init(IKalNetworkAddress::IPv4, "127.0.7.41", usm_.get(),
                         1000, 0, 0),
            kKalOk);
  CZelSorrel5Option stranger;
  stranger.SetCommunityStr("nobody-knows-me");
  EXPECT_EQ(stranger.Init(IKalNetworkAddress::IPv4, "127.0.7.41", usm_.get(),
                          200, 0, 0),
            kKasErrTimeout);
}

}  // namespace
