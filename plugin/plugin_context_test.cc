// The plug-in context: community commands (exact names, independent fields,
// last one wins), over-long texts cut without touching the bytes around the
// context, and creation under allocation failure.
#include "plugin/plugin_context.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>

#include "common/owned.h"
#include "common/status.h"

namespace {

// A context built inside a buffer with guard bytes on both sides, so that a
// copy running past the context's own end shows up even without ASan.
class GuardedContext {
 public:
  static constexpr size_t kGuard = 64;
  static constexpr unsigned char kCanary = 0xA5;
  GuardedContext() {
    std::memset(storage_, kCanary, sizeof storage_);
    context_ = new (storage_ + kGuard) CZelPluginContext();
  }
  ~GuardedContext() { context_->~CZelPluginContext(); }
  CZelPluginContext* operator->() { return context_; }
  bool guards_intact() const {
    for (size_t i = 0; i < kGuard; ++i) {
      if (storage_[i] != kCanary) return false;
      if (storage_[kGuard + sizeof(CZelPluginContext) + i] != kCanary)
        return false;
    }
    return true;
  }

 private:
  alignas(CZelPluginContext) unsigned char storage_[kGuard +
                                                    sizeof(CZelPluginContext) +
                                                    kGuard];
  CZelPluginContext* context_;
};

TEST(PluginContext, OnlyTheExactCommandNamesAreKnown) {
  const struct {
    const char* command;
    int expected;
  } kRows[] = {
      {"CmdSetCommunityGetOption", kKalOk}, {"CmdSetCommunityFind", kKalOk},
      {"CmdSetCommunityWrite", kKalOk},     {"cmdsetcommunityfind", kKalErrNotSupported},
      {"CMDSETCOMMUNITYFIND", kKalErrNotSupported}, {"CmdSetCommunityFindX", kKalErrNotSupported},
      {"CmdSetCommunityFind ", kKalErrNotSupported}, {"CmdSetCommunity", kKalErrNotSupported},
      {"", kKalErrNotSupported},
  };
  for (const auto& row : kRows) {
    CZelPluginContext context;
    EXPECT_EQ(row.expected, context.command_string(row.command, "pub")) << row.command;
  }
  CZelPluginContext context;
  EXPECT_EQ(kKalErrInvalidArg, context.command_string(nullptr, "x"));
  EXPECT_EQ(kKalErrInvalidArg, context.command_string("CmdSetCommunityFind", nullptr));
}

// Three empty fields at first; each command writes only its own, the last
// text wins.
TEST(PluginContext, EachCommandWritesOnlyItsOwnField) {
  CZelPluginContext context;
  EXPECT_STREQ("", context.find_community());
  EXPECT_FALSE(CZelPluginContext::is_set(context.read_community()));
  ASSERT_EQ(kKalOk, context.command_string("CmdSetCommunityGetOption", "reader"));
  EXPECT_STREQ("reader", context.read_community());
  EXPECT_STREQ("", context.find_community());
  EXPECT_STREQ("", context.write_community());
  ASSERT_EQ(kKalOk, context.command_string("CmdSetCommunityWrite", "writer"));
  EXPECT_STREQ("reader", context.read_community());
  EXPECT_STREQ("writer", context.write_community());
  EXPECT_TRUE(CZelPluginContext::is_set(context.write_community()));
  context.command_string("CmdSetCommunityFind", "first-longer-text");
  context.command_string("CmdSetCommunityFind", "second");
  EXPECT_STREQ("second", context.find_community());
}

TEST(PluginContext, TenThousandCharacterCommunitiesAreCutTo255) {
  GuardedContext context;
  ASSERT_EQ(kKalOk, context->init());
  const std::string huge(10000, 'c');
  for (const char* command : {"CmdSetCommunityGetOption", "CmdSetCommunityFind",
                              "CmdSetCommunityWrite"}) {
    ASSERT_EQ(kKalOk, context->command_string(command, huge.c_str()))
        << command;
  }
  EXPECT_EQ(std::string(255, 'c'), context->read_community());
  EXPECT_EQ(std::string(255, 'c'), context->find_community());
  EXPECT_EQ(std::string(255, 'c'), context->write_community());
  EXPECT_TRUE(context.guards_intact());
  // The fields lie side by side: cutting the last one must not have reached
  // the parts that follow it.
  ASSERT_NE(nullptr, context->usm());
  EXPECT_EQ(8u, std::strlen(context->usm()->get_security_name()));
  ASSERT_NE(nullptr, context->discovery());
  EXPECT_STREQ("", context->discovery()->filter(0));
}

TEST(PluginContext, CreateMakesDiscoveryAndUsmAndRefusesNullOut) {
  EXPECT_EQ(kKalErrInvalidArg, zel_create_plugin_context(nullptr));
  CZelPluginContext* raw = nullptr;
  ASSERT_EQ(kKalOk, zel_create_plugin_context(&raw));
  KalOwned<CZelPluginContext> context(raw);
  EXPECT_NE(nullptr, context->discovery());
  EXPECT_NE(nullptr, context->usm());
  EXPECT_EQ(-1, context->usm()->get_mode());
  EXPECT_EQ(nullptr, context->discovery()->found_devices());
  // Without a discovery layer for the protocol: not supported, count untouched.
  ZelSnmpV3Settings settings{};
  int32_t count = 77;
  EXPECT_EQ(kKalErrNotSupported, context->find_devices(nullptr, 3, 0, settings, 100, 0, &count));
  EXPECT_EQ(77, count);
  EXPECT_EQ(nullptr, context->discovery()->found_devices());
}

TEST(PluginContext, EveryAllocationFailsOnceWithoutLeaks) {
  kal_alloc_hook::g_calls = 0;
  CZelPluginContext* raw = nullptr;
  ASSERT_EQ(kKalOk, zel_create_plugin_context(&raw));
  { KalOwned<CZelPluginContext> counted(raw); }
  const long allocations = kal_alloc_hook::g_calls;
  ASSERT_GE(allocations, 3);  // context, discovery, USM provider
  for (long n = 0; n < allocations; ++n) {
    CZelPluginContext* out = nullptr;
    kal_alloc_hook::g_fail_countdown = n;
    const int status = zel_create_plugin_context(&out);
    kal_alloc_hook::g_fail_countdown = -1;
    EXPECT_EQ(n == 0 ? kZelInitNoContext : kKalErrNoMemory, status)
        << "allocation " << n;
    EXPECT_EQ(nullptr, out) << "allocation " << n;
  }
}

}  // namespace
