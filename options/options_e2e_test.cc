// The option refresh end to end: the supported-device recording
// (options/testdata/supported-device.snmprec) served by Debian's snmpsimd on
// 127.0.7.40 (and .41) and read through the real request object, sessions,
// codec and sockets: every key answers what the recording implies.
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
  EXPECT_STREQ(option_.model_identifier(), "1.3.6.1.4.1.61802.1.11.93.1.37.22.4.5.1");

  // Yes/no keys. DuplexModule: media path 2 binds on the long edge; OffsetCatch:
  // the finisher tray stacks with offset; InTrayMSI: the bypass tray feeds by
  // hand; OutTrayCenter2: row 168, but finisher row 137 too.
  for (const char* key :
       {"Scanner", "Copier", "FAXUnit", "HardDisk", "DuplexModule", "OffsetCatch", "InTrayMSI",
        "InTrayExistHCF", "InTrayExistSTM", "OutTrayOffsetCatch", "Finisher", "FinisherStaple",
        "FinisherPunch", "FinisherPunchHole2", "FinisherBooklet", "FinisherFolder",
        "FAXISDNG4Kit"})
    EXPECT_TRUE(b(key)) << key;
  for (const char* key :
       {"OutTraySide", "InTrayExistHCF2", "InTrayExistTTM", "InTrayExistHCFA3",
        "InTrayExistHCFPF35", "InTrayExistHCFPF31", "InTrayExistHCFPF32", "OutTrayCenter2",
        "FinisherPunchHole3", "FinisherPunchHole4", "FAXLineSwitchKit"})
    EXPECT_FALSE(b(key)) << key;
  EXPECT_FALSE(b("OutputOffsetStacking", 0));
  EXPECT_TRUE(b("OutputOffsetStacking", 1));
  EXPECT_FALSE(b("OutputOffsetStacking", 2));

  // Integer keys. PaperSize8KSetting: the device answers -1, not set.
  const std::pair<const char*, long> kLongs[] = {
      {"MemorySizeInKByte", 1572864}, {"MemorySizeInMByte", 1536},
      {"FAXMaxSpeedDial", 200},       {"FAXType", 3},
      {"NumberOfOutputTray", 3},      {"PrinterRomVersionMajor", 1},
      {"PrinterRomVersionMinor", 20}, {"PrinterRomVersionRevision", 3},
      {"PaperSizeGroupSetting", 2},   {"PaperSize8KSetting", 0},
      {"FinisherBookletImpression", 50}, {"FinisherType", 6},
      {"PrintLimitedColorSetting", 1}, {"UserPromptSetting", 0},
      {"MinPasswordLength", 8},       {"FAXSIPStatus", 3},
  };
  for (const auto& [key, value] : kLongs) EXPECT_EQ(l(key), value) << key;

  // The input trays, one row per tray of the recording.
  struct Tray {
    long type, capacity, percent, size, direction, feed, cross_feed;
    const char* name;
    const char* description;
    const char* media_type;
  };
  const Tray trays[] = {
      {3, 500, 50, 25, 2, 210000, 297000, "Tray 1", "Paper Tray 1 (A4, 500 sheets)", "stationery"},
      {3, 500, 0, 24, 3, 420000, 297000, "Tray 2", "Paper Tray 2 (A3, 500 sheets)", "stationery"},
      {3, 550, -1, 1, 3, 279400, 215900, "Tray 3", "Paper Tray 3 (Letter)", "stationery"},
      {4, -1, -1, 10000, 1, 85000, 140000, "HCF", "High Capacity Feeder (Legal)", "stationery"},
      {5, 100, 0, 10000, 1, -1, -1, "Bypass Tray", "Manual Feed Bypass Tray", ""},
  };
  ASSERT_EQ(l("NumberOfInputTray"), 5);
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE("input tray " + std::to_string(i));
    EXPECT_EQ(l("InputTrayIndex", i), i + 1);
    EXPECT_EQ(l("InputTrayType", i), trays[i].type);
    EXPECT_EQ(l("InputTrayMaxCapacityInSheets", i), trays[i].capacity);
    EXPECT_EQ(l("InputTrayCurrentLevelInPercent", i), trays[i].percent);
    EXPECT_EQ(l("InputTrayMediaSize", i), trays[i].size);
    EXPECT_EQ(l("InputTrayMediaDirection", i), trays[i].direction);
    EXPECT_EQ(l("InputTrayMediaDimFeedDirChosen", i), trays[i].feed);
    EXPECT_EQ(l("InputTrayMediaDimXFeedDirChosen", i), trays[i].cross_feed);
    EXPECT_EQ(t("InputTrayName", i), trays[i].name);
    EXPECT_EQ(t("InputTrayDescription", i), trays[i].description);
    EXPECT_EQ(t("InputTrayMediaType", i), trays[i].media_type);
  }
  long v = 0;
  EXPECT_EQ(option_.get_option("InputTrayType", &v, 5), kKalErrIndexRange);

  // Text keys.
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
