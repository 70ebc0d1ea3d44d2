// Names of record values, media sizes, levels and the table layout.
#include "tools/zelctl/names.h"

#include <gtest/gtest.h>

#include "tools/zelctl/progress.h"
#include "tools/zelctl/table.h"

namespace zelctl {
namespace {

using V = std::vector<std::string>;

TEST(NamesTest, DetectedErrorStateBitsFollowTheOctetOrder) {
  // The plug-in puts the first octet of hrPrinterDetectedErrorState in the
  // low byte; the MIB numbers bits from each octet's most significant bit.
  struct Row {
    const char* name;
    int32_t state;
    V names;
  };
  const Row rows[] = {
      {"none", 0, {}},
      {"octets 80 00: lowPaper", 0x80, {"lowPaper"}},
      {"octets 20 00: lowToner", 0x20, {"lowToner"}},
      {"octets 40 00: noPaper", 0x40, {"noPaper"}},
      {"octets 01 00: serviceRequested", 0x01, {"serviceRequested"}},
      {"octets 00 80: inputTrayMissing", 0x8000, {"inputTrayMissing"}},
      {"octets 00 02: overduePreventMaint", 0x0200, {"overduePreventMaint"}},
      {"door open and jammed", 0x0c, {"doorOpen", "jammed"}},
      {"unnamed bit 15", 0x0100, {"bit 15"}},
      {"fourth octet", static_cast<int32_t>(0x80000000u), {"bit 24"}},
  };
  for (const auto& row : rows) EXPECT_EQ(error_state_names(row.state), row.names) << row.name;
}

TEST(NamesTest, MediaSizeFromChosenDimensions) {
  struct Row {
    const char* name;
    int32_t unit, feed, xfeed;
    const char* size;
  };
  const Row rows[] = {
      {"A4 portrait, micrometres", 4, 210000, 297000, "A4"},
      {"A4 landscape", 4, 297000, 210000, "A4"},
      {"within 2 mm", 4, 211500, 298500, "A4"},
      {"5 mm off", 4, 215000, 297000, ""},
      {"Letter, ten-thousandths of an inch", 3, 85000, 110000, "Letter"},
      {"Legal", 3, 85000, 140000, "Legal"},
      {"unknown unit", 2, 210000, 297000, ""},
      {"negative dimension", 4, -2, 297000, ""},
      {"A3 beside Tabloid", 4, 297000, 420000, "A3"},
      {"Tabloid", 3, 110000, 170000, "Tabloid"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(media_size_from_dimensions(row.unit, row.feed, row.xfeed), row.size) << row.name;
  EXPECT_EQ(medium_size_name(25), "A4");
  EXPECT_EQ(medium_size_name(10000), "unrecognised");
  EXPECT_EQ(medium_size_name(12345), "12345");
}

TEST(NamesTest, PercentAndBar) {
  EXPECT_EQ(percent_of(250, 500), 50);
  EXPECT_EQ(percent_of(1, 500), 0);
  EXPECT_EQ(percent_of(-3, 100), -1);  // some remaining
  EXPECT_EQ(percent_of(50, -2), -1);   // unknown maximum
  EXPECT_EQ(percent_of(50, 0), -1);
  EXPECT_EQ(percent_of(120, 100), 100);
  EXPECT_EQ(percent_of(2147483647, 2147483647), 100);  // no overflow
  EXPECT_EQ(level_bar(50, 10), "[#####.....]");
  EXPECT_EQ(level_bar(0, 4), "[....]");
  EXPECT_EQ(level_bar(100, 4), "[####]");
  EXPECT_EQ(level_bar(-1, 4), "");  // no bar for a level that is not an amount
}

TEST(NamesTest, SpecialValuesAreWordsNotNumbers) {
  struct Row {
    const char* name;
    std::string got, want;
  };
  const Row rows[] = {
      {"other", amount_word(-1), "other"},
      {"unknown", amount_word(-2), "unknown"},
      {"at least one", amount_word(-3), "some remaining"},
      {"other negative", amount_word(-9), "invalid"},
      {"real amount", amount_word(0), ""},
      {"no hrPrinterTable row", printer_status_name(0), "not reported"},
      {"time", iso_date_time({2021, 6, 1, 0, 31, 5}), "2021-06-01T00:31:05"},
      {"no time", iso_date_time({0, 0, 0, 0, 0, 0}), ""},
      {"month 13", iso_date_time({2021, 13, 1, 0, 0, 0}), ""},
      {"job type none", job_type_name(0), "unknown"},
      {"job type", job_type_name(4), "print"},
      {"job type unnamed", job_type_name(7), "7"},
      {"job state finished", job_state_name(17), "completed"},
  };
  for (const auto& row : rows) EXPECT_EQ(row.got, row.want) << row.name;
}

TEST(NamesTest, CodesWithoutANameGiveTheirNumber) {
  EXPECT_EQ(printer_status_name(3), "idle");
  EXPECT_EQ(printer_status_name(9), "9");
  EXPECT_EQ(device_type_name(5), "printer");
  EXPECT_EQ(device_type_name(152), "vendor-152");
  EXPECT_EQ(storage_type_name(4), "fixedDisk");
  EXPECT_EQ(storage_type_name(0), "unrecognised");
  EXPECT_EQ(subunit_status_name(0), "available, idle");
  EXPECT_EQ(subunit_status_name(4 | 16), "available, active, critical alerts");
  EXPECT_EQ(charset_name(106), "UTF-8");
  EXPECT_EQ(alert_code_name(8), "jam");
}

TEST(TableTest, ColumnsAlignAndNumbersGoRight) {
  Table t({{"name"}, {"size", true}});
  t.add_row({"a", "5"});
  t.add_row({"longer", "12345"});
  EXPECT_EQ(t.render(0),
            "name     size\n"
            "------  -----\n"
            "a           5\n"
            "longer  12345\n");
}

TEST(TableTest, DeviceTextCannotBreakTheLayout) {
  EXPECT_EQ(printable_cell("line\nfeed\x1b[2J", 40), "line?feed?[2J");
  EXPECT_EQ(printable_cell("abcdefgh", 5), "abcd~");
  EXPECT_EQ(printable_cell("\xc3\xa4\xc3\xb6\xc3\xbc\xc3\x9f", 3), "\xc3\xa4\xc3\xb6~");
  EXPECT_EQ(text_width("\xc3\xa4x"), 2u);
  Table t({{"a", false, 3}, {"b"}});
  t.add_row({"toolong", "x", "dropped"});
  EXPECT_EQ(t.render(0), "a    b\n---  -\nto~  x\n");
}

TEST(ProgressTest, FrameShowsBarAndSecondsLeft) {
  using std::chrono::milliseconds;
  EXPECT_EQ(countdown_frame("discovering", milliseconds(0), milliseconds(2000), 10),
            "discovering [..........] 2.0 s left");
  EXPECT_EQ(countdown_frame("d", milliseconds(1000), milliseconds(2000), 10),
            "d [#####.....] 1.0 s left");
  EXPECT_EQ(countdown_frame("d", milliseconds(5000), milliseconds(2000), 4),
            "d [####] 0.0 s left");
  EXPECT_EQ(reading_frame("input trays", 3, 9), "reading input trays... 3/9");
  EXPECT_EQ(reading_frame("options", 0, 0), "reading options...");
}

}  // namespace
}  // namespace zelctl
