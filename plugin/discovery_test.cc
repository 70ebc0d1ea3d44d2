// The discovery object: the 50 filter slots, the filter rule, and the
// found-device list read newest first.
#include "plugin/discovery.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

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

// The fifty-first filter is dropped (and not applied); clear frees the slots
// for reuse. Cutting long filters is checked through ZelFindAddFilter.
TEST(Discovery, FiftyFirstFilterIsDroppedAndClearFreesTheSlots) {
  CZelDiscovery discovery;
  for (int i = 0; i < kZelFilterSlots; ++i) {
    ASSERT_EQ(kKalOk, discovery.add_filter(("1.3." + std::to_string(i)).c_str()));
  }
  EXPECT_EQ(kKalOk, discovery.add_filter("9.9.9"));
  for (int i = 0; i < kZelFilterSlots; ++i) {
    EXPECT_EQ("1.3." + std::to_string(i), discovery.filter(i));
  }
  EXPECT_FALSE(discovery.passes_filters("9.9.9.1"));
  discovery.clear_filters();
  EXPECT_STREQ("", discovery.filter(1));
  discovery.add_filter("2.5");
  EXPECT_STREQ("2.5", discovery.filter(0));
}

TEST(Discovery, FiltersArePlainCharacterPrefixesInAnySlot) {
  const struct {
    const char* name;
    std::vector<const char*> filters;
    bool passes;
  } kRows[] = {
      {"no_filter", {}, true},
      {"shorter_prefix", {"1.3.6.1.4.1.61802"}, true},
      {"no_dot_boundary", {"1.3.6.1.4.1.6180"}, true},
      {"equal", {kModelPrefix}, true},
      {"other_branch", {"1.3.6.1.4.1.9"}, false},
      {"longer_than_oid", {"1.3.6.1.4.1.61802.1.11.93.1.37.22.4.1"}, false},
      {"later_slot", {"2.16", "1.3.6.1.4.1.61802"}, true},
  };
  for (const auto& row : kRows) {
    CZelDiscovery discovery;
    for (const char* filter : row.filters) discovery.add_filter(filter);
    EXPECT_EQ(row.passes, discovery.passes_filters(kModelPrefix)) << row.name;
  }
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
