// Discovery of one address through the built plug-in library, loaded with
// dlopen as a host loads it, against snmpsimd agents on this test's loopback
// addresses (127.0.11.x): the supported device is found with its address,
// model and sysObjectID, a foreign one is left out, filters and the discovery
// community apply, and every call lasts its whole time budget.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "plugin/discovery_test_util.h"
#include "testing/netns.h"
#include "testing/snmpsim_agent.h"

namespace {

using zeltest::FoundDevice;
using zeltest::read_found;
using zeltest::ZelDiscoveryApi;

constexpr char kSupported[] = "127.0.11.1";  // the project's supported device
constexpr char kForeign[] = "127.0.11.2";    // a real printer, unchanged
constexpr char kLanCommunity[] =
    "127.0.11.3";                           // supported, community "lan" only
constexpr char kSilent[] = "127.0.11.254";  // nobody answers here
constexpr int kIPv4 = 1;

// The agents, started once for the suite (snmpsimd takes seconds to start).
struct Agents {
  zeltest::SnmpsimAgent supported, foreign, lan;
  std::vector<std::string> folders;
  std::string error;  // why the suite cannot run, "" when it can

  void start() {
    if (!zeltest::have_snmpsimd()) {
      error = "snmpsimd is not installed";
      return;
    }
    const std::string foreign_src =
        zeltest::shared_recording("printer-01.snmprec");
    const std::string lan_src = zeltest::shared_recording("printer-04.snmprec");
    if (foreign_src.empty() || lan_src.empty()) {
      error = "no shared recordings";
      return;
    }
    struct Plan {
      zeltest::SnmpsimAgent* agent;
      const char* address;
      std::string src;
      const char* community;
      std::string oid;
    };
    const Plan plans[] = {
        {&supported, kSupported,
         zeltest::repo_file("options/testdata/supported-device.snmprec"),
         zeltest::kDefaultFindCommunity, ""},
        {&foreign, kForeign, foreign_src, zeltest::kDefaultFindCommunity, ""},
        {&lan, kLanCommunity, lan_src, "lan", zeltest::kSupportedOid},
    };
    for (const Plan& plan : plans) {
      const std::string dir = zeltest::agent_folder(
          "discovery-unicast", plan.src, plan.community, plan.oid);
      if (dir.empty()) {
        error = "cannot lay out " + plan.src;
        return;
      }
      folders.push_back(dir);
      if (!plan.agent->start(plan.address, dir, plan.community, &error)) return;
    }
  }
  ~Agents() {
    supported.stop();
    foreign.stop();
    lan.stop();
    for (const std::string& dir : folders)
      zeltest::run_command({"rm", "-rf", dir});
  }
};

class DiscoveryLibrary : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    agents_ = new Agents;
    agents_->start();
  }
  static void TearDownTestSuite() {
    delete agents_;
    agents_ = nullptr;
  }

  void SetUp() override {
    ASSERT_EQ("", api().error);
    if (!agents_->error.empty()) GTEST_SKIP() << agents_->error;
    ASSERT_EQ(0, api().ZelInit(&context_));
  }
  void TearDown() override {
    if (context_) api().ZelUnInit(context_);
  }

  static const ZelDiscoveryApi& api() { return ZelDiscoveryApi::get(); }

  // One discovery of `address`; answers the status, *count the host's count.
  int32_t find(const char* address, int32_t* count, int32_t timeout_ms = 300,
               int32_t retries = 0) {
    *count = -1;
    return api().ZelFindDeviceSNMP(context_, address, kIPv4, timeout_ms, retries,
                                count);
  }

  static Agents* agents_;
  ZelContext* context_ = nullptr;
};

Agents* DiscoveryLibrary::agents_ = nullptr;

TEST_F(DiscoveryLibrary, SupportedDeviceIsFoundWithAddressModelAndIdentifier) {
  int32_t count = 0;
  ASSERT_EQ(0, find(kSupported, &count));
  EXPECT_EQ(1, count);
  std::vector<FoundDevice> found = read_found(context_);
  ASSERT_EQ(1u, found.size());
  EXPECT_EQ(kSupported, found[0].address);
  EXPECT_EQ(zeltest::kSupportedModel, found[0].model);
  EXPECT_EQ(std::string(zeltest::kSupportedOid) + ".5.1", found[0].oid);
  EXPECT_EQ(0, found[0].flag);
  EXPECT_TRUE(read_found(context_).empty());  // the list is exhausted
  api().ZelFindResetPosition(context_);
  found = read_found(context_);
  ASSERT_EQ(1u, found.size());
  EXPECT_EQ(kSupported, found[0].address);
}

TEST_F(DiscoveryLibrary, DiscoveryCommunityReachesTheAgent) {
  int32_t count = 0;
  // The finder's own community "vorovo" is not served there.
  ASSERT_EQ(0, find(kLanCommunity, &count));
  EXPECT_EQ(0, count);
  ASSERT_EQ(0, api().ZelCommandString(context_, "CmdSetCommunityFind", "lan"));
  ASSERT_EQ(0, find(kLanCommunity, &count));
  EXPECT_EQ(1, count);
  const std::vector<FoundDevice> found = read_found(context_);
  ASSERT_EQ(1u, found.size());
  EXPECT_EQ(zeltest::kSupportedOid, found[0].oid);  // exactly the prefix
  EXPECT_EQ(kLanCommunity, found[0].address);
  // An empty discovery community keeps the one taken over before.
  ASSERT_EQ(0, api().ZelCommandString(context_, "CmdSetCommunityFind", ""));
  ASSERT_EQ(0, find(kLanCommunity, &count));
  EXPECT_EQ(1, count);
  // The supported device on the default community no longer answers.
  ASSERT_EQ(0, find(kSupported, &count));
  EXPECT_EQ(0, count);
}

TEST_F(DiscoveryLibrary, FiltersSelectBySysObjectIdPrefix) {
  struct Row {
    const char* name;
    std::vector<const char*> filters;
    int32_t count;
  };
  const Row rows[] = {
      {"no filter", {}, 1},
      {"vendor branch", {"1.3.6.1.4.1.61802"}, 1},
      {"character prefix", {"1.3.6.1.4.1.6180"}, 1},
      {"other vendor", {"1.3.6.1.4.1.9"}, 0},
      {"longer than the identifier",
       {"1.3.6.1.4.1.61802.1.11.93.1.37.22.4.5.1.9"},
       0},
      {"second slot matches",
       {"1.3.6.1.4.1.9", "1.3.6.1.4.1.61802.1.11.93.1.37.22.4.5"},
       1},
  };
  for (const Row& row : rows) {
    api().ZelFindClearFilter(context_);
    for (const char* filter : row.filters)
      ASSERT_EQ(0, api().ZelFindAddFilter(context_, filter));
    int32_t count = 0;
    ASSERT_EQ(0, find(kSupported, &count)) << row.name;
    EXPECT_EQ(row.count, count) << row.name;
    EXPECT_EQ(static_cast<size_t>(row.count), read_found(context_).size())
        << row.name;
  }
}

// The foreign model is left out; each discovery replaces the list.
TEST_F(DiscoveryLibrary, ForeignModelIsLeftOutAndEachDiscoveryReplacesTheList) {
  int32_t count = 0;
  ASSERT_EQ(0, find(kSupported, &count));
  ASSERT_EQ(1, count);
  ASSERT_EQ(0, find(kForeign, &count));
  EXPECT_EQ(0, count);
  EXPECT_TRUE(read_found(context_).empty());
  ASSERT_EQ(0, find(kSupported, &count));
  ASSERT_EQ(1u, read_found(context_).size());
  // A discovery that fails before its exchange leaves no list at all. IPX
  // without an address meets the IPv4 default text.
  EXPECT_EQ(-2, api().ZelFindDeviceSNMP(context_, nullptr, 2, 100, 0, &count));
  EXPECT_TRUE(read_found(context_).empty());
}

TEST_F(DiscoveryLibrary, ExWithCommunityModesFindsTheSameDevice) {
  ZelSnmpV3Settings settings{};
  for (int32_t mode : {0, 1, -7}) {
    int32_t count = -1;
    ASSERT_EQ(0, api().ZelFindDeviceSNMPEx(context_, kSupported, kIPv4, mode,
                                        &settings, 300, 0, &count))
        << mode;
    EXPECT_EQ(1, count) << mode;
  }
}

// Mode 2 sends SNMPv3 with the record's USM settings: snmpsimd's own user
// (HMAC-MD5, DES); the context name picks the recording.
TEST_F(DiscoveryLibrary, SnmpV3DiscoveryOfOneAddress) {
  ZelSnmpV3Settings settings{"simulator", 2, 1, 1, "auctoritas", "privatus", ""};
  std::snprintf(settings.contextName, sizeof settings.contextName, "%s",
                zeltest::kDefaultFindCommunity);
  int32_t count = -1;
  int32_t status = -99;
  const long ms = zeltest::elapsed_ms([&] {
    status = api().ZelFindDeviceSNMPEx(context_, kSupported, kIPv4, 2, &settings,
                                    1000, 0, &count);
  });
  std::printf(
      "SNMPv3 discovery of %s, time-out 1000 ms, retries 0: %ld ms, status %d, "
      "%d found\n",
      kSupported, ms, status, count);
  ASSERT_EQ(0, status);
  EXPECT_EQ(1, count);
  const std::vector<FoundDevice> found = read_found(context_);
  ASSERT_EQ(1u, found.size());
  EXPECT_EQ(kSupported, found[0].address);
  EXPECT_EQ(std::string(zeltest::kSupportedOid) + ".5.1", found[0].oid);
  // The foreign printer answers SNMPv3 too, and is still left out.
  ASSERT_EQ(0, api().ZelFindDeviceSNMPEx(context_, kForeign, kIPv4, 2, &settings,
                                      1000, 0, &count));
  EXPECT_EQ(0, count);
  // A wrong pass phrase finds nothing, whatever the status says.
  std::snprintf(settings.authPassphrase, sizeof settings.authPassphrase,
                "not-the-phrase");
  count = -1;
  status = api().ZelFindDeviceSNMPEx(context_, kSupported, kIPv4, 2, &settings,
                                  500, 0, &count);
  std::printf(
      "SNMPv3 discovery with a wrong pass phrase: status %d, %d found\n",
      status, count);
  EXPECT_TRUE(read_found(context_).empty());
}

TEST_F(DiscoveryLibrary,
       AddressOfAnotherProtocolAndNonsenseTextsFailWithoutTraffic) {
  int32_t count = 5;
  EXPECT_EQ(-2, api().ZelFindDeviceSNMP(context_, kSupported, 5, 100, 0, &count));
  EXPECT_EQ(-2, api().ZelFindDeviceSNMP(context_, "::1", kIPv4, 100, 0, &count));
  EXPECT_EQ(5, count);
  const std::string huge(10000, '7');
  EXPECT_NE(
      0, api().ZelFindDeviceSNMP(context_, huge.c_str(), kIPv4, 100, 0, &count));
  EXPECT_NE(0, api().ZelFindDeviceSNMP(context_, "printer.example", kIPv4, 100, 0,
                                    &count));
  EXPECT_TRUE(read_found(context_).empty());
}

// A negative time-out is no wait of weeks: each try looks once at what has
// arrived. Without that the call would block the host's thread for weeks.
TEST_F(DiscoveryLibrary, NegativeTimeOutReturnsAtOnce) {
  int32_t count = -1;
  int32_t status = -99;
  const long ms =
      zeltest::elapsed_ms([&] { status = find(kSilent, &count, -1, 1); });
  EXPECT_EQ(0, status);
  EXPECT_EQ(0, count);
  EXPECT_LT(ms, 1000);
}

// A discovery lasts (retries + 1) x time-out whether or not anyone answers:
// the exchange collects answers from every device until the last window
// closes. Measured, and printed for the record; the upper bound only catches
// a call that keeps waiting past its budget.
TEST_F(DiscoveryLibrary, CallLastsItsWholeBudget) {
  struct Row {
    const char* address;
    int32_t timeout_ms;
    int32_t retries;
  };
  const Row rows[] = {
      {kSilent, 200, 0},
      {kSilent, 200, 2},
      {kSupported, 200, 0},
      {kSupported, 200, 2},
  };
  for (const Row& row : rows) {
    int32_t count = 0;
    int32_t status = -99;
    const long ms = zeltest::elapsed_ms([&] {
      status = find(row.address, &count, row.timeout_ms, row.retries);
    });
    const long budget = static_cast<long>(row.timeout_ms) * (row.retries + 1);
    std::printf(
        "discovery of %s, time-out %d ms, retries %d: %ld ms (budget %ld ms), "
        "%d found\n",
        row.address, row.timeout_ms, row.retries, ms, budget, count);
    EXPECT_EQ(0, status);
    EXPECT_EQ(row.address == kSilent ? 0 : 1, count) << row.address;
    EXPECT_GE(ms, budget - 5) << row.address;
    EXPECT_LT(ms, budget + 1000) << row.address;
  }
}

}  // namespace
