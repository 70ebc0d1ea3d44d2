// The model match: prefix with a "." boundary, first row wins, lengths taken
// from the text and not from a NUL.
#include "plugin/model_table.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr char kPrefix[] = "1.3.6.1.4.1.61802.1.11.93.1.37.22.4";

struct MatchRow {
  const char* name;
  std::string oid;
  bool supported;
};

class ModelMatch : public testing::TestWithParam<MatchRow> {};

TEST_P(ModelMatch, AgainstThePluginsTable) {
  const char* model = zel_match_model(zel_model_table(), GetParam().oid);
  if (GetParam().supported) {
    ASSERT_NE(nullptr, model);
    EXPECT_STREQ("Ferrowyn M870", model);
  } else {
    EXPECT_EQ(nullptr, model);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ModelMatch,
    testing::Values(
        MatchRow{"exact_prefix", kPrefix, true},
        MatchRow{"one_more_arc", std::string(kPrefix) + ".5", true},
        MatchRow{"two_more_arcs", std::string(kPrefix) + ".5.1", true},
        MatchRow{"digit_appended", std::string(kPrefix) + "5", false},
        MatchRow{"zero_appended", std::string(kPrefix) + "0", false},
        MatchRow{"trailing_dot", std::string(kPrefix) + ".", true},
        MatchRow{"parent", "1.3.6.1.4.1.61802.1.11.93.1.37.22", false},
        MatchRow{"sibling", "1.3.6.1.4.1.61802.1.11.93.1.37.22.3", false},
        MatchRow{"leading_dot", std::string(".") + kPrefix, false},
        MatchRow{"empty", "", false},
        MatchRow{"other_vendor", "1.3.6.1.4.1.11.2.3.9.1", false},
        MatchRow{"nul_after_prefix",
                 std::string(kPrefix) + std::string(1, '\0') + "7", false}),
    [](const testing::TestParamInfo<MatchRow>& info) {
      return info.param.name;
    });

TEST(ModelTable, FirstMatchingRowGivesTheName) {
  const ZelModelRow rows[] = {
      {"1.3.6.1.4.1.9", "General"},
      {"1.3.6.1.4.1.9.1", "Specific"},  // never reached: the row above wins
      {nullptr, "Broken row"},
  };
  EXPECT_STREQ("General", zel_match_model(rows, "1.3.6.1.4.1.9.1.7"));
  EXPECT_EQ(nullptr, zel_match_model(rows, "1.3.6.1.4.1.99"));
  EXPECT_EQ(nullptr, zel_match_model(ZelModelTable(), kPrefix));
}

}  // namespace
