#include "options/medium_size.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

// A tray that has not been matched keeps the values the refresh preloads.
struct Tray {
  int32_t size = kZelMediumSizeUnknown;
  int32_t direction = kZelMediumDirectionUnknown;
};

Tray convert(int32_t unit, int32_t feed, int32_t cross_feed) {
  Tray t;
  zel_media_dimension_to_medium_size(unit, feed, cross_feed, &t.size, &t.direction);
  return t;
}

TEST(MediumSizeTable, HasTheSixtyEightKnownMedia) {
  ASSERT_EQ(kZelMediumSizeTableRows, 68u);
  EXPECT_EQ(kZelMediumSizeTable[0].code, 1);
  EXPECT_EQ(kZelMediumSizeTable[17].code, 25);  // A4
  EXPECT_EQ(kZelMediumSizeTable[67].code, 10013);
}

// The code the first matching row gives for a row's exact size. Rows 55 and
// 56 (45 x 64 mm and 32 x 45 mm) lie within the tolerance of rows 34 and 35
// (44 x 62 mm and 31 x 44 mm), which come first and win.
int32_t expected_code(size_t i) {
  if (i + 1 == 55) return kZelMediumSizeTable[33].code;
  if (i + 1 == 56) return kZelMediumSizeTable[34].code;
  return kZelMediumSizeTable[i].code;
}

// Every row, in both orientations, at its exact size.
TEST(MediumSizeTable, EveryRowMatchesInBothDirections) {
  for (size_t i = 0; i < kZelMediumSizeTableRows; ++i) {
    const ZelMediumSizeRow& row = kZelMediumSizeTable[i];
    SCOPED_TRACE("row " + std::to_string(i + 1) + " code " + std::to_string(row.code));
    Tray t = convert(kZelDimUnitMicrometers, row.short_side, row.long_side);
    EXPECT_EQ(t.size, expected_code(i));
    EXPECT_EQ(t.direction, kZelMediumDirectionCrossFeed);
    t = convert(kZelDimUnitMicrometers, row.long_side, row.short_side);
    EXPECT_EQ(t.size, expected_code(i));
    EXPECT_EQ(t.direction, kZelMediumDirectionFeed);
  }
}

// The corners of the tolerance box (2000 inclusive on both sides) still find
// the row, unless an earlier row is as near.
TEST(MediumSizeTable, ToleranceCornersMatch) {
  for (size_t i = 0; i < kZelMediumSizeTableRows; ++i) {
    const ZelMediumSizeRow& row = kZelMediumSizeTable[i];
    SCOPED_TRACE("row " + std::to_string(i + 1));
    const int32_t corners[4][2] = {{2000, 2000}, {2000, -2000}, {-2000, 2000}, {-2000, -2000}};
    for (const auto& d : corners) {
      const int32_t got =
          convert(kZelDimUnitMicrometers, row.short_side + d[0], row.long_side + d[1]).size;
      // Whatever wins must be a row whose box holds the point and that comes
      // no later than this one.
      size_t winner = kZelMediumSizeTableRows;
      for (size_t j = 0; j < kZelMediumSizeTableRows; ++j) {
        if (kZelMediumSizeTable[j].code == got) winner = j;
      }
      ASSERT_LE(winner, i) << "code " << got;
    }
  }
}

// One micrometre beyond the tolerance no longer matches the row (another row
// may, so only "not this row" is asserted).
TEST(MediumSizeTable, JustOutsideTheToleranceMissesTheRow) {
  for (size_t i = 0; i < kZelMediumSizeTableRows; ++i) {
    const ZelMediumSizeRow& row = kZelMediumSizeTable[i];
    SCOPED_TRACE("row " + std::to_string(i + 1));
    EXPECT_NE(convert(kZelDimUnitMicrometers, row.short_side + 2001, row.long_side).size,
              row.code);
    EXPECT_NE(convert(kZelDimUnitMicrometers, row.short_side, row.long_side - 2001).size,
              row.code);
  }
}

TEST(MediumSize, DimensionsConvert) {
  const struct {
    const char* name;
    int32_t unit, feed, cross_feed;
    int32_t size, direction;
  } kRows[] = {
      {"A4ShortEdgeFirst", 4, 210000, 297000, 25, 2},
      {"A4LongEdgeFirst", 4, 297000, 210000, 25, 3},
      {"A4WithinTolerance", 4, 211500, 298500, 25, 2},
      {"FiveMillimetresOffMatchesNothing", 4, 215000, 297000, 10000, 1},
      {"LetterInMicrometres", 4, 279400, 215900, 1, 3},
      {"SquareFeedEqualsCrossFeedCountsAsFeed", 4, 254000, 254000, 10000, 1},
      {"TenThousandthsOfInchKeepsUnknown", 3, 85000, 110000, 10000, 1},
      {"NegativeFeedKeepsUnknown", 4, -1, 297000, 10000, 1},
      {"NegativeCrossFeedKeepsUnknown", 4, 210000, -2, 10000, 1},
      {"ZeroSizeMatchesNothing", 4, 0, 0, 10000, 1},
      {"HugeDimensionsDoNotOverflow", 4, INT32_MAX, INT32_MAX, 10000, 1},
      // Rows 66 and 67 lie 7200 apart on the long side; each finds its own.
      {"Row66", 4, 320000, 457200, 10011, 2},
      {"Row67", 4, 320000, 450000, 10012, 2},
  };
  for (const auto& c : kRows) {
    const Tray t = convert(c.unit, c.feed, c.cross_feed);
    EXPECT_EQ(t.size, c.size) << c.name;
    EXPECT_EQ(t.direction, c.direction) << c.name;
  }
}

TEST(MediumSize, NullOutsAreSkipped) {
  zel_media_dimension_to_medium_size(4, 210000, 297000, nullptr, nullptr);
  int32_t size = 0;
  zel_media_dimension_to_medium_size(4, 210000, 297000, &size, nullptr);
  EXPECT_EQ(size, 25);
}

TEST(MediumLevel, Converts) {
  const struct {
    const char* name;
    int32_t unit, maximum, current;
    int32_t maximum_out, percent_out;  // expected; -99 marks "not written"
  } kRows[] = {
      {"HalfFull", 8, 500, 250, 500, 50},
      {"OneSheetRoundsToZero", 8, 500, 1, 500, 0},
      {"HalfPercentRoundsUp", 8, 200, 1, 200, 1},      // 0.5 %
      {"JustBelowHalfRoundsDown", 8, 201, 1, 201, 0},  // 0.497 %
      // Two sheets of three are 66.7 %: 67, not the 83 that adding a fixed 50
      // before dividing by 3 would give.
      {"TwoOfThreeSheets", 8, 3, 2, 3, 67},
      {"Full", 8, 500, 500, 500, 100},
      {"MaximumZero", 8, 0, 10, 0, -1},
      {"MaximumNegative", 8, -2, 10, -2, -1},
      {"LevelUnknown", 8, 500, -3, 500, -1},
      {"LevelOtherNegative", 8, 500, -2, 500, -1},
      {"OverfullIsNotCut", 8, 100, 150, 100, 150},
      {"LargeLevelDoesNotOverflow", 8, 1, INT32_MAX, 1, INT32_MAX},
      {"UnitNotSheetsWritesNothing", 3, 500, 250, -99, -99},
  };
  for (const auto& c : kRows) {
    int32_t maximum = -99, percent = -99;
    zel_convert_medium_level(c.unit, c.maximum, c.current, &maximum, &percent);
    EXPECT_EQ(maximum, c.maximum_out) << c.name;
    EXPECT_EQ(percent, c.percent_out) << c.name;
  }
}

}  // namespace
