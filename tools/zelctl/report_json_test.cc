// Every field of every host record lands under its own key with its own
// value: each record is filled with distinct values so that a swapped or
// dropped field shows.
#include "tools/zelctl/report_json.h"

#include <gtest/gtest.h>

#include <cstring>

namespace zelctl {
namespace {

template <size_t N>
void put(char (&field)[N], const char* text) {
  std::strncpy(field, text, N - 1);
}

TEST(ReportJsonTest, InputTrayFieldsKeepTheirPlaces) {
  ZelInputTrayInfoEx ex{};
  ZelInputTrayInfo& r = ex.tray;
  r.type = 3; r.dimensionUnit = 4; r.mediaDimFeedDeclared = 11; r.mediaDimXFeedDeclared = 12;
  r.mediaDimFeedChosen = 210000; r.mediaDimXFeedChosen = 297000; r.capacityUnit = 8;
  r.maxCapacity = 500; r.currentLevel = 250; r.status = 4;
  put(r.mediaName, "plain"); put(r.name, "Tray 1"); put(r.description, "cassette");
  put(r.mediaType, "stationery"); put(r.mediaColor, "white");
  ex.vendorTrayNumber = 7;
  const Json j = record_json(ex);
  EXPECT_EQ(j["type"], 3);
  EXPECT_EQ(j["dimension_unit"], 4);
  EXPECT_EQ(j["media_dim_feed_declared"], 11);
  EXPECT_EQ(j["media_dim_xfeed_declared"], 12);
  EXPECT_EQ(j["media_dim_feed_chosen"], 210000);
  EXPECT_EQ(j["media_dim_xfeed_chosen"], 297000);
  EXPECT_EQ(j["media_size_name"], "A4");
  EXPECT_EQ(j["capacity_unit"], 8);
  EXPECT_EQ(j["max_capacity"], 500);
  EXPECT_EQ(j["current_level"], 250);
  EXPECT_EQ(j["level_percent"], 50);
  EXPECT_EQ(j["status"], 4);
  EXPECT_EQ(j["media_name"], "plain");
  EXPECT_EQ(j["name"], "Tray 1");
  EXPECT_EQ(j["description"], "cassette");
  EXPECT_EQ(j["media_type"], "stationery");
  EXPECT_EQ(j["media_color"], "white");
  EXPECT_EQ(j["vendor_tray_number"], 7);
  EXPECT_EQ(j["reserved"].size(), 8u);
}

TEST(ReportJsonTest, JobFieldsKeepTheirPlaces) {
  ZelJobInfo r{};
  r.jobType = 2; r.jobState = 17; r.jobInteger2 = -5;
  r.jobCounter1 = 4000000000u; r.jobCounter2 = 9;
  put(r.jobText1, "t1"); put(r.jobText2, "t2"); put(r.jobText3, "t3");
  put(r.jobId, "JOB00001"); put(r.jobTextDirect, "direct");
  r.time1 = {2021, 6, 1, 0, 30, 15};
  r.time3 = {1999, 12, 31, 23, 59, 58};
  const Json j = record_json(r);
  EXPECT_EQ(j["job_type"], 2);
  EXPECT_EQ(j["job_type_name"], "copy");
  EXPECT_EQ(j["job_state"], 17);
  EXPECT_EQ(j["job_state_name"], "completed");
  EXPECT_EQ(j["job_integer2"], -5);
  EXPECT_EQ(j["job_counter1"], 4000000000u);  // unsigned, not wrapped
  EXPECT_EQ(j["job_counter2"], 9);
  EXPECT_EQ(j["job_text1"], "t1");
  EXPECT_EQ(j["job_text2"], "t2");
  EXPECT_EQ(j["job_text3"], "t3");
  EXPECT_EQ(j["job_id"], "JOB00001");
  EXPECT_EQ(j["job_text_direct"], "direct");
  EXPECT_EQ(j["time1"], "2021-06-01T00:30:15");
  EXPECT_EQ(j["time2"], nullptr);  // all zero: the device sent no time
  EXPECT_EQ(j["time3"], "1999-12-31T23:59:58");
}

TEST(ReportJsonTest, SmallRecordsKeepTheirPlaces) {
  ZelStorageInfo s{4, 1024, 2048, "flash"};
  EXPECT_EQ(record_json(s), (Json{{"type", 4}, {"type_name", "fixedDisk"},
                                  {"allocation_units", 1024}, {"size", 2048},
                                  {"description", "flash"}}));
  ZelTonerInfo t{19, 100, -3, "black"};
  const Json tj = record_json(t);
  EXPECT_EQ(tj["supply_unit"], 19);
  EXPECT_EQ(tj["max_capacity"], 100);
  EXPECT_EQ(tj["level"], nullptr);
  EXPECT_EQ(tj["level_raw"], -3);
  EXPECT_EQ(tj["level_percent"], nullptr);
  ZelAlertInfo a{3, 8, 2, 5, 808, "tray empty"};
  const Json aj = record_json(a);
  EXPECT_EQ(aj["severity_level"], 3);
  EXPECT_EQ(aj["group"], 8);
  EXPECT_EQ(aj["group_index"], 2);
  EXPECT_EQ(aj["location"], 5);
  EXPECT_EQ(aj["code"], 808);
  EXPECT_EQ(aj["code_name"], "inputMediaSupplyEmpty");
  ZelPrinterInfo p{3, 0x20};
  EXPECT_EQ(record_json(p)["detected_error_state_names"], Json::array({"lowToner"}));
}

TEST(ReportJsonTest, UnknownsAreNullWithTheirRawValue) {
  // The Printer MIB's -1 other, -2 unknown, -3 some remaining, and what the
  // plug-in leaves for a value the device does not report.
  ZelInputTrayInfoEx ex{};
  ex.tray.dimensionUnit = 4;
  ex.tray.mediaDimFeedChosen = -1;
  ex.tray.mediaDimXFeedChosen = -2;
  ex.tray.maxCapacity = -2;
  ex.tray.currentLevel = -3;
  ex.vendorTrayNumber = -1;
  const Json tray = record_json(ex);
  const Json toner = record_json(ZelTonerInfo{19, -1, 40, "black"});
  const Json printer = record_json(ZelPrinterInfo{0, 0});
  struct Row {
    const char* name;
    Json value, raw;
    Json want_raw;
  };
  const Row rows[] = {
      {"tray level some remaining", tray["current_level"], tray["current_level_raw"], -3},
      {"tray maximum unknown", tray["max_capacity"], tray["max_capacity_raw"], -2},
      {"feed dimension other", tray["media_dim_feed_chosen"], tray["media_dim_feed_chosen_raw"],
       -1},
      {"vendor tray number", tray["vendor_tray_number"], tray["vendor_tray_number_raw"], -1},
      {"toner maximum other", toner["max_capacity"], toner["max_capacity_raw"], -1},
      {"no hrPrinterStatus", printer["printer_status"], printer["printer_status_raw"], 0},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(row.value, nullptr) << row.name;
    EXPECT_EQ(row.raw, row.want_raw) << row.name;
  }
  EXPECT_EQ(tray["level_percent"], nullptr);
  EXPECT_EQ(tray["media_size_name"], nullptr);  // never "-1x-2"
  EXPECT_EQ(toner["level"], 40);
  EXPECT_EQ(toner["level_percent"], nullptr);
  EXPECT_EQ(printer["printer_status_name"], nullptr);
}

TEST(ReportJsonTest, UnterminatedAndNonUtf8TextsAreSafe) {
  ZelOutputTrayInfo o{};
  std::memset(o.name, 'n', sizeof o.name);  // no NUL at all
  o.description[0] = static_cast<char>(0xff);
  const Json j = record_json(o);
  EXPECT_EQ(j["name"].get<std::string>().size(), 64u);
  const std::string text = dump_json(j);  // must not throw on 0xff
  EXPECT_NE(text.find("\xef\xbf\xbd"), std::string::npos);  // U+FFFD
}

}  // namespace
}  // namespace zelctl
