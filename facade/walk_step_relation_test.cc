// The walk's one-pass identifier relation against the library's numeric
// compare: named rows for the cases a walk meets (next row, next column,
// leaving the table, arcs of different lengths, the largest arc, leading
// zeros) and a seeded sweep over identifiers that share long prefixes.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "facade/walk_step.h"
#include "snmp/value.h"

namespace {

struct Row {
  const char* name;
  const char* a;
  const char* b;
  int expected;
};

const Row kRows[] = {
    {"equal", "1.3.6.1.2.1", "1.3.6.1.2.1", kKasOidEqual},
    {"next row", "1.3.6.1.4.1.9.1.1.2", "1.3.6.1.4.1.9.1.1.1", kKasOidAfter},
    {"row 10 after row 9", "1.3.6.1.4.1.9.1.1.10", "1.3.6.1.4.1.9.1.1.9",
     kKasOidAfter},
    {"row 9 before row 10", "1.3.6.1.4.1.9.1.1.9", "1.3.6.1.4.1.9.1.1.10",
     kKasOidBefore},
    {"row 1000 after row 999", "1.3.6.1.4.1.9.1.1.1000",
     "1.3.6.1.4.1.9.1.1.999", kKasOidAfter},
    {"next column", "1.3.6.1.4.1.9.1.2.1", "1.3.6.1.4.1.9.1.1.1000",
     kKasOidAfter},
    {"below the root", "1.3.6.1.2.1.25.2.3.1.2.1", "1.3.6.1.2.1.25.2.3.1.2",
     kKasOidDescendant},
    {"the root above", "1.3.6.1.2.1.25", "1.3.6.1.2.1.25.2", kKasOidAncestor},
    {"2 is no prefix of 25", "1.3.6.1.2", "1.3.6.1.25", kKasOidBefore},
    {"25 is no child of 2", "1.3.6.1.25", "1.3.6.1.2", kKasOidAfter},
    {"shorter arc, then more arcs", "1.3.6.1.2.5", "1.3.6.1.25",
     kKasOidBefore},
    {"left the table", "1.3.6.1.4.1.61802.99.2.0", "1.3.6.1.4.1.61802.99.1.1",
     kKasOidAfter},
    {"largest arc", "1.3.4294967295", "1.3.4294967294", kKasOidAfter},
    {"first arc differs", "2.1", "1.3.6", kKasOidAfter},
    {"leading zero is the same number", "1.3.06", "1.3.6", kKasOidEqual},
    {"leading zero, smaller", "1.3.05", "1.3.6", kKasOidBefore},
    {"leading zero on the right", "1.3.7", "1.3.006", kKasOidAfter},
    {"empty against any", "", "1.3", kKasOidAncestor},
    {"any against empty", "1.3", "", kKasOidDescendant},
    {"both empty", "", "", kKasOidEqual},
};

TEST(WalkStepRelation, NamedRows) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(kal_oid_relation(row.a, row.b), row.expected);
    const std::string a(row.a);
    const std::string b(row.b);
    EXPECT_EQ(kal_oid_relation(row.a, row.b),
              kas_oid_compare_numeric(a.data(), a.size(), b.data(), b.size()));
  }
}

// Identifiers from a small alphabet of arcs (so that prefixes are shared
// and arcs of 1 to 10 digits meet in the same place) agree with the
// library's compare in both directions.
TEST(WalkStepRelation, AgreesWithTheNumericCompare) {
  const uint32_t arcs[] = {0, 1, 2, 9, 10, 25, 99, 100, 999, 1000,
                           61802, 4294967295u};
  std::mt19937 random(20261208);
  auto make = [&] {
    std::string text = "1.3";
    const int extra = static_cast<int>(random() % 6);
    for (int i = 0; i < extra; ++i) {
      text += "." + std::to_string(arcs[random() % (sizeof arcs / sizeof *arcs)]);
    }
    return text;
  };
  for (int i = 0; i < 20000; ++i) {
    const std::string a = make();
    const std::string b = make();
    SCOPED_TRACE(a + " / " + b);
    ASSERT_EQ(kal_oid_relation(a, b),
              kas_oid_compare_numeric(a.data(), a.size(), b.data(), b.size()));
  }
}

}  // namespace
