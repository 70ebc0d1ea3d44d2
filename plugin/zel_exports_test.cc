// The export file in-process, against the same core as the test, so that the
// allocation hook and the context's accessors are reachable: ZelInit under
// every allocation failure, and over-long texts through the exported calls.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "common/owned.h"
#include "common/status.h"
#include "options/sorrel5_option.h"
#include "plugin/plugin_context.h"
#include "plugin/zel_api.h"

namespace {

CZelPluginContext* context_of(ZelContext* handle) {
  return reinterpret_cast<CZelPluginContext*>(handle);
}

class Handle {
 public:
  Handle() { EXPECT_EQ(0, ZelInit(&handle_)); }
  ~Handle() { ZelUnInit(handle_); }
  ZelContext* get() const { return handle_; }

 private:
  ZelContext* handle_ = nullptr;
};

TEST(ZelExports, InitFailsEachAllocationInTurnWithoutLeaks) {
  kal_alloc_hook::g_calls = 0;
  {
    Handle counted;
    ASSERT_NE(nullptr, counted.get());
  }
  const long allocations = kal_alloc_hook::g_calls;
  ASSERT_GE(allocations, 3);
  for (long n = 0; n < allocations; ++n) {
    ZelContext* sentinel = reinterpret_cast<ZelContext*>(0x1);
    ZelContext* handle = sentinel;
    kal_alloc_hook::g_fail_countdown = n;
    const int32_t status = ZelInit(&handle);
    kal_alloc_hook::g_fail_countdown = -1;
    // The context itself (first allocation) answers 3, any part -3; the
    // host's handle is left as it was. LeakSanitizer checks the rest.
    EXPECT_EQ(n == 0 ? 3 : -3, status) << "allocation " << n;
    EXPECT_EQ(sentinel, handle) << "allocation " << n;
  }
}

TEST(ZelExports, InitWithNullOutAllocatesNothing) {
  kal_alloc_hook::g_calls = 0;
  EXPECT_EQ(-2, ZelInit(nullptr));
  EXPECT_EQ(0, kal_alloc_hook::g_calls);
}

TEST(ZelExports, LongFilterIsCutAndFiftyFirstDropped) {
  Handle handle;
  EXPECT_EQ(-2, ZelFindAddFilter(handle.get(), nullptr));
  const std::string huge(10000, 'f');
  ASSERT_EQ(0, ZelFindAddFilter(handle.get(), huge.c_str()));
  for (int i = 1; i < 50; ++i)
    ASSERT_EQ(0, ZelFindAddFilter(handle.get(), "1.3"));
  EXPECT_EQ(0, ZelFindAddFilter(handle.get(), "2.2"));
  const CZelDiscovery* discovery = context_of(handle.get())->discovery();
  EXPECT_EQ(std::string(63, 'f'), discovery->filter(0));
  EXPECT_STREQ("1.3", discovery->filter(49));
  ZelFindClearFilter(handle.get());
  EXPECT_STREQ("", discovery->filter(0));
  EXPECT_STREQ("", discovery->filter(49));
}

TEST(ZelExports, ExSettingsRecordIsRequired) {
  Handle handle;
  int32_t count = 5;
  EXPECT_EQ(-2, ZelFindDeviceSNMPEx(handle.get(), nullptr, 1, 2, nullptr, 100,
                                    0, &count));
  EXPECT_EQ(5, count);
  EXPECT_EQ(-2,
            ZelInitDeviceEx(handle.get(), "127.0.0.1", 1, 2, nullptr, 100, 0));
}

TEST(ZelExports, LongAddressTextsAreAccepted) {
  // The calls must not read or write beyond what they were given (ASan):
  // the text is cut to its field, is then no address, and nothing is found.
  Handle handle;
  const std::string huge(10000, '1');
  auto settings = std::make_unique<ZelSnmpV3Settings>();
  std::memset(settings.get(), 'u', sizeof *settings);
  int32_t count = 0;
  EXPECT_NE(0, ZelFindDeviceSNMPEx(handle.get(), huge.c_str(), 1, 2,
                                   settings.get(), 10, 0, &count));
  EXPECT_EQ(0, count);
  // A text longer than the address field is no address: refused before
  // any request, and no device object is made.
  EXPECT_EQ(-2, ZelInitDeviceEx(handle.get(), huge.c_str(), 1, 2,
                                settings.get(), 10, 0));
  EXPECT_EQ(-8, ZelGetNumberOfStorageInfo(handle.get(), &count));
}

// An option object as device open leaves it after a failed Init: attached,
// never refreshed. Option queries reach it and answer from its empty tables.
class WithOptionObject : public testing::Test {
 protected:
  void SetUp() override {
    CZelSorrel5Option* option = kal_new<CZelSorrel5Option>();
    ASSERT_NE(nullptr, option);
    context_of(handle_.get())->set_option(option);
  }
  Handle handle_;
};

TEST_F(WithOptionObject, IsSupportedOidAsksTheOptionObject) {
  EXPECT_EQ(1, ZelIsSupportedOID(handle_.get(), nullptr));
  EXPECT_EQ(1, ZelIsSupportedOID(handle_.get(), ""));
  // No sysObjectID was read, so no non-empty prefix matches.
  EXPECT_EQ(0, ZelIsSupportedOID(handle_.get(), "1.3.6.1.4.1.61802"));
}

TEST_F(WithOptionObject, GettersConvertOnlyOnSuccess) {
  int16_t b = 7;
  EXPECT_EQ(0, ZelGetOptionValueBoolean(handle_.get(), "Scanner", 0, &b));
  EXPECT_EQ(0, b);
  int32_t i = 7;
  EXPECT_EQ(
      0, ZelGetOptionValueInteger(handle_.get(), "MemorySizeInKByte", 0, &i));
  EXPECT_EQ(0, i);
  char text[ZEL_OPTION_TEXT_SIZE];
  std::memset(text, 'x', sizeof text);
  EXPECT_EQ(0, ZelGetOptionValueString(handle_.get(), "SysName", 0, text));
  EXPECT_STREQ("", text);

  // Failures leave the host's value as it was.
  uint32_t u = 7;
  EXPECT_EQ(
      -5, ZelGetOptionValueUInteger(handle_.get(), "MemorySizeInKByte", 0, &u));
  EXPECT_EQ(7u, u);
  b = 7;
  EXPECT_EQ(-5, ZelGetOptionValueBoolean(handle_.get(), "scanner", 0, &b));
  EXPECT_EQ(7, b);
  std::memset(text, 'x', sizeof text);
  EXPECT_EQ(-11, ZelGetOptionValueString(handle_.get(), "InputTrayName", 65535,
                                         text));
  EXPECT_EQ('x', text[0]);
  EXPECT_EQ(-2, ZelGetOptionValueInteger(handle_.get(), nullptr, 0, &i));
}

TEST_F(WithOptionObject, ReplacedOptionObjectIsDestroyed) {
  // LeakSanitizer checks that the first object went.
  context_of(handle_.get())->set_option(kal_new<CZelSorrel5Option>());
  EXPECT_NE(nullptr, context_of(handle_.get())->option());
}

}  // namespace
