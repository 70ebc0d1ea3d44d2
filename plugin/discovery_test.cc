// The discovery object: the 50 filter slots, the filter rule, and the
// found-device list read newest first.
#include "plugin/discovery.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "common/owned.h"
#include "common/status.h"

namespace {

constexpr char kModelPrefix[] = "1.3.6.1.4.1.61802.1.11.93.1.37.22.4";

TEST(Discovery, FreshObjectHasFiftyEmptySlotsAndNoList) {
  CZelDiscovery discovery;
  for (int i = 0; i < kZelFilterSlots; ++i)
    EXPECT_STREQ("", discovery.filter(i)) << i;
  EXPECT_EQ(nullptr, discovery.filter(-1));
  EXPECT_EQ(nullptr, discovery.filter(kZelFilterSlots));
  EXPECT_EQ(nullptr, discovery.found_devices());
  EXPECT_STREQ("", discovery.community());
}

TEST(Discovery, FiftyFirstFilterIsDroppedAndStillAnswersZero) {
  CZelDiscovery discovery;
  for (int i = 0; i < kZelFilterSlots; ++i) {
    ASSERT_EQ(kKalOk,
              discovery.add_filter(("1.3." + std::to_string(i)).c_str()));
  }
  EXPECT_EQ(kKalOk, discovery.add_filter("9.9.9"));
  for (int i = 0; i < kZelFilterSlots; ++i) {
    EXPECT_EQ("1.3." + std::to_string(i), discovery.filter(i));
  }
  EXPECT_FALSE(discovery.passes_filters("9.9.9.1"));
}

TEST(Discovery, ClearEmptiesEverySlotAndFreesThemForReuse) {
  CZelDiscovery discovery;
  discovery.add_filter("1.3.6");
  discovery.add_filter("1.3.7");
  discovery.clear_filters();
  EXPECT_STREQ("", discovery.filter(0));
  EXPECT_STREQ("", discovery.filter(1));
  discovery.add_filter("2.5");
  EXPECT_STREQ("2.5", discovery.filter(0));
}

TEST(Discovery, TenThousandCharacterFilterIsCutTo63) {
  // Slot 0 holds the long text; slot 1 must still be empty afterwards.
  CZelDiscovery discovery;
  const std::string huge(10000, '7');
  ASSERT_EQ(kKalOk, discovery.add_filter(huge.c_str()));
  EXPECT_EQ(std::string(63, '7'), discovery.filter(0));
  EXPECT_STREQ("", discovery.filter(1));
}

struct FilterRow {
  const char* name;
  const char* filter;  // nullptr: no filter
  const char* oid;
  bool passes;
};

class DiscoveryFilters : public testing::TestWithParam<FilterRow> {};

TEST_P(DiscoveryFilters, PlainCharacterPrefix) {
  CZelDiscovery discovery;
  if (GetParam().filter) discovery.add_filter(GetParam().filter);
  EXPECT_EQ(GetParam().passes, discovery.passes_filters(GetParam().oid));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DiscoveryFilters,
    testing::Values(
        FilterRow{"no_filter", nullptr, kModelPrefix, true},
        FilterRow{"shorter_prefix", "1.3.6.1.4.1.61802", kModelPrefix, true},
        FilterRow{"no_dot_boundary", "1.3.6.1.4.1.6180", kModelPrefix, true},
        FilterRow{"equal", kModelPrefix, kModelPrefix, true},
        FilterRow{"other_branch", "1.3.6.1.4.1.9", kModelPrefix, false},
        FilterRow{"longer_than_oid", "1.3.6.1.4.1.61802.1.11.93.1.37.22.4.1",
                  kModelPrefix, false}),
    [](const testing::TestParamInfo<FilterRow>& info) {
      return info.param.name;
    });

TEST(Discovery, LaterSlotMatchesToo) {
  CZelDiscovery discovery;
  discovery.add_filter("2.16");
  discovery.add_filter("1.3.6.1.4.1.61802");
  EXPECT_TRUE(discovery.passes_filters(kModelPrefix));
}

TEST(FoundDeviceList, ReadsNewestFirstAndRestartsAfterReset) {
  CZelFoundDeviceList list;
  ASSERT_EQ(kKalOk, list.add("1.3.6.1.A", "Model", "127.0.1.1"));
  ASSERT_EQ(kKalOk, list.add("1.3.6.1.B", "Model", "127.0.1.2"));
  ASSERT_EQ(kKalOk, list.add("1.3.6.1.C", "Model", "127.0.1.3"));
  EXPECT_EQ(3, list.count());
  char address[ZEL_ADDRESS_SIZE], model[ZEL_MODEL_NAME_SIZE],
      oid[ZEL_OID_TEXT_SIZE];
  uint8_t flag = 9;
  std::string order;
  while (list.get_next(address, model, &flag, oid)) {
    EXPECT_EQ(0, flag);
    EXPECT_STREQ("Model", model);
    order += oid[std::strlen(oid) - 1];
    flag = 9;
  }
  EXPECT_EQ("CBA", order);
  EXPECT_FALSE(list.get_next(address, model, &flag, oid));
  list.reset_position();
  ASSERT_TRUE(list.get_next(address, model, &flag, oid));
  EXPECT_STREQ("127.0.1.3", address);
}

TEST(FoundDeviceList, LongTextsAreCutToTheHostBuffers) {
  CZelFoundDeviceList list;
  const std::string huge(10000, 'a');
  ASSERT_EQ(kKalOk, list.add(huge.c_str(), huge.c_str(), huge.c_str()));
  // Host buffers of exactly the documented size, checked by ASan.
  auto address = std::make_unique<char[]>(ZEL_ADDRESS_SIZE);
  auto model = std::make_unique<char[]>(ZEL_MODEL_NAME_SIZE);
  auto oid = std::make_unique<char[]>(ZEL_OID_TEXT_SIZE);
  uint8_t flag = 1;
  ASSERT_TRUE(list.get_next(address.get(), model.get(), &flag, oid.get()));
  EXPECT_EQ(std::string(63, 'a'), address.get());
  EXPECT_EQ(std::string(63, 'a'), model.get());
  EXPECT_EQ(std::string(63, 'a'), oid.get());
}

TEST(FoundDeviceList, FailedNodeAllocationLeavesTheListUnchanged) {
  CZelFoundDeviceList list;
  ASSERT_EQ(kKalOk, list.add("1.1", "M", "127.0.1.1"));
  kal_alloc_hook::g_fail_countdown = 0;
  const int status = list.add("1.2", "M", "127.0.1.2");
  kal_alloc_hook::g_fail_countdown = -1;
  EXPECT_EQ(kKalErrNoMemory, status);
  EXPECT_EQ(1, list.count());
}

TEST(Discovery, NextWithoutListAnswersFalse) {
  CZelDiscovery discovery;
  char address[ZEL_ADDRESS_SIZE], model[ZEL_MODEL_NAME_SIZE],
      oid[ZEL_OID_TEXT_SIZE];
  uint8_t flag = 5;
  discovery.reset_position();  // no list: no effect, no crash
  EXPECT_FALSE(discovery.get_next(address, model, &flag, oid));
  EXPECT_EQ(5, flag);
}

}  // namespace
