#include "options/option_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(RomVersion, Parses) {
  const struct {
    const char* name;
    const char* text;
    bool ok;
    int32_t major, minor, revision;
  } kRows[] = {
      {"Plain", "Printer Controller v1.20.3 - Processor", true, 1, 20, 3},
      {"Zeros", "Printer Controller v0.0.0 - Processor", true, 0, 0, 0},
      // As with sscanf, what follows the last number is not compared.
      {"TailNotCompared", "Printer Controller v2.1.7", true, 2, 1, 7},
      {"TailDiffers", "Printer Controller v2.1.7 - Engine", true, 2, 1, 7},
      {"SpaceRunsMatchAnySpace", "Printer   Controller\tv3.4.5 - Processor", true, 3, 4, 5},
      {"SpaceBeforeNumberSkipped", "Printer Controller v 3.4.5", true, 3, 4, 5},
      {"NegativeNumber", "Printer Controller v-1.2.3", true, -1, 2, 3},
      {"Int32Max", "Printer Controller v2147483647.0.1", true, INT32_MAX, 0, 1},
      // A text that does not parse leaves the numbers as they were.
      {"NoV", "Printer Controller 1.20.3 - Processor", false, -7, -7, -7},
      {"OnlyTwoNumbers", "Printer Controller v1.20 - Processor", false, -7, -7, -7},
      {"LetterInNumber", "Printer Controller v1.x.3 - Processor", false, -7, -7, -7},
      {"LowerCase", "printer controller v1.20.3 - Processor", false, -7, -7, -7},
      {"Empty", "", false, -7, -7, -7},
      {"NumberBeyond32Bits", "Printer Controller v1.2.99999999999", false, -7, -7, -7},
      {"CutShort", "Printer Controller v", false, -7, -7, -7},
      {"Null", nullptr, false, -7, -7, -7},
  };
  for (const auto& c : kRows) {
    int32_t major = -7, minor = -7, revision = -7;
    EXPECT_EQ(zel_parse_rom_version(c.text, &major, &minor, &revision), c.ok) << c.name;
    EXPECT_EQ(major, c.major) << c.name;
    EXPECT_EQ(minor, c.minor) << c.name;
    EXPECT_EQ(revision, c.revision) << c.name;
  }
}

TEST(BookletImpression, Parses) {
  const struct {
    const char* name;
    const char* text;
    bool ok;
    int32_t impression;
  } kRows[] = {
      {"Fifty", "Max Impression = 50", true, 50},
      {"NoSpaces", "Max Impression=15", true, 15},
      {"TrailingText", "Max Impression = 20 sheets", true, 20},
      {"Zero", "Max Impression = 0", true, 0},
      {"OtherForm", "Impressions: 50", false, 0},
      {"LowerCase", "max impression = 50", false, 0},
      {"NoNumber", "Max Impression = ", false, 0},
      {"Empty", "", false, 0},
  };
  for (const auto& c : kRows) {
    int32_t impression = 0;
    EXPECT_EQ(zel_parse_booklet_impression(c.text, &impression), c.ok) << c.name;
    EXPECT_EQ(impression, c.impression) << c.name;
  }
}

TEST(FamilyObjectId, IsThePrefixAtAnArcBoundary) {
  const struct {
    const char* object_id;
    bool ok;
  } kRows[] = {
      {"1.3.6.1.4.1.61802.1.11.93.1.37.22.4", true},
      {"1.3.6.1.4.1.61802.1.11.93.1.37.22.4.5.1", true},
      {"1.3.6.1.4.1.61802.1.11.93.1.37.22.45", false},
      {"1.3.6.1.4.1.61802.1.11.93.1.37.22.40", false},
      {"1.3.6.1.4.1.61802.1.11.93.1.37.22", false},
      {"1.3.6.1.4.1.2435.2.3.9.1", false},
      {".1.3.6.1.4.1.61802.1.11.93.1.37.22.4", false},
      {"", false},
      {nullptr, false},
  };
  for (const auto& c : kRows)
    EXPECT_EQ(zel_is_family_object_id(c.object_id), c.ok) << (c.object_id ? c.object_id : "null");
}

TEST(ScanNumbers, CountsConversionsUntilTheFirstMismatch) {
  int32_t n[3] = {0, 0, 0};
  EXPECT_EQ(zel_scan_numbers("a1b2c", "a%db%dd%d", n, 3), 2);
  EXPECT_EQ(n[0], 1);
  EXPECT_EQ(n[1], 2);
  // More conversions than room: counted, not written past the end.
  int32_t one = 0;
  EXPECT_EQ(zel_scan_numbers("1 2", "%d %d", &one, 1), 2);
  EXPECT_EQ(one, 1);
  EXPECT_EQ(zel_scan_numbers(nullptr, "%d", &one, 1), 0);
  EXPECT_EQ(zel_scan_numbers("5", nullptr, &one, 1), 0);
}

}  // namespace
