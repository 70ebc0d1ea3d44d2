#include "common/component_registry.h"

#include <gtest/gtest.h>

#include <cstring>

#include "common/owned.h"
#include "common/status.h"

namespace {

int g_first_calls = 0;
int g_second_calls = 0;
int g_token = 0;

void* make_first(int* pStatus) {
  ++g_first_calls;
  kal_set_status(pStatus, kKalOk);
  return &g_token;
}
void* make_second(int* pStatus) {
  ++g_second_calls;
  kal_set_status(pStatus, kKalOk);
  return &g_token;
}
void* make_nothing(int* pStatus) { return kal_fail<void>(pStatus, kKalErrNoMemory); }

const KalComponentEntry kCodec = {"VedivUzirav", make_first, make_second};
const KalComponentEntry kOther = {"Other", make_nothing, make_nothing};

class ComponentRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_first_calls = 0;
    g_second_calls = 0;
  }
  KalComponentRegistry registry_;
};

TEST_F(ComponentRegistryTest, EmptyRegistryHasNoCurrentComponent) {
  int status = 0;
  EXPECT_EQ(registry_.current_name(), nullptr);
  EXPECT_EQ(registry_.create_first(&status), nullptr);
  EXPECT_EQ(status, kKalErrNotReady);
  EXPECT_EQ(registry_.create_second(&status), nullptr);
  EXPECT_EQ(status, kKalErrNotReady);
}

// Registering makes a component current; select takes only the exact name.
TEST_F(ComponentRegistryTest, RegisterAndSelectByExactName) {
  ASSERT_EQ(registry_.register_component(kCodec), kKalOk);
  EXPECT_STREQ(registry_.current_name(), "VedivUzirav");
  ASSERT_EQ(registry_.register_component(kOther), kKalOk);
  EXPECT_STREQ(registry_.current_name(), "Other");
  EXPECT_EQ(registry_.size(), 2u);
  EXPECT_EQ(registry_.select("VedivUzirav"), kKalOk);
  EXPECT_STREQ(registry_.current_name(), "VedivUzirav");

  int status = -99;
  EXPECT_EQ(registry_.create_first(&status), &g_token);
  EXPECT_EQ(status, kKalOk);
  EXPECT_EQ(registry_.create_second(&status), &g_token);
  EXPECT_EQ(g_first_calls, 1);
  EXPECT_EQ(g_second_calls, 1);

  for (const char* wrong : {"vedivuzirav", "VedivUzira", "VedivUziravX", ""}) {
    EXPECT_EQ(registry_.select(wrong), kKalErrInvalidArg) << wrong;
    EXPECT_STREQ(registry_.current_name(), "VedivUzirav") << wrong;
  }
}

TEST_F(ComponentRegistryTest, NullNameLeavesNoComponentCurrent) {
  registry_.register_component(kCodec);
  EXPECT_EQ(registry_.select(nullptr), kKalOk);
  EXPECT_EQ(registry_.current_name(), nullptr);
  int status = 0;
  EXPECT_EQ(registry_.create_first(&status), nullptr);
  EXPECT_EQ(status, kKalErrNotReady);
  EXPECT_EQ(g_first_calls, 0);
  EXPECT_EQ(registry_.select("VedivUzirav"), kKalOk);
  EXPECT_NE(registry_.create_first(), nullptr);
}

TEST_F(ComponentRegistryTest, CreationFailureIsPassedOn) {
  registry_.register_component(kOther);
  int status = 0;
  EXPECT_EQ(registry_.create_first(&status), nullptr);
  EXPECT_EQ(status, kKalErrNoMemory);
}

TEST_F(ComponentRegistryTest, IncompleteEntriesAreRefused) {
  EXPECT_EQ(registry_.register_component({nullptr, make_first, make_second}), kKalErrInvalidArg);
  EXPECT_EQ(registry_.register_component({"X", nullptr, make_second}), kKalErrInvalidArg);
  EXPECT_EQ(registry_.register_component({"X", make_first, nullptr}), kKalErrInvalidArg);
  EXPECT_EQ(registry_.size(), 0u);
  EXPECT_EQ(registry_.current_name(), nullptr);
}

}  // namespace
