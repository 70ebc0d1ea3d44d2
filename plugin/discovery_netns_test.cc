// Discovery by IPv4 broadcast and IPv6 multicast through the built plug-in
// library, on a LAN that exists only inside private network namespaces: a
// bridge in the test's namespace and one node per simulated printer, each
// with snmpsimd listening on the wildcard address. Nothing here ever reaches
// the machine's own network.
//
// The agents answer sysObjectID.0 after fixed, increasing delays, so the
// order in which the answers arrive is known: the host must read the devices
// in the reverse of it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "plugin/discovery_test_util.h"
#include "testing/netns.h"
#include "testing/snmpsim_agent.h"

namespace {

using zeltest::FoundDevice;
using zeltest::kSupportedOid;
using zeltest::read_found;
using zeltest::ZelDiscoveryApi;

constexpr int kHostIPv4 = 1;
constexpr int kHostIPv6 = 5;
constexpr char kProbeCommunity[] = "probe";

// One simulated printer of the LAN.
struct Printer {
  int host;            // 10.9.0.HOST, fe80::9:HOST
  std::string source;  // recording
  std::string oid;     // sysObjectID.0 served ("" keeps the recording's)
  int wait_ms;         // the agent's delay before it answers sysObjectID.0
  bool supported;

  std::string ipv4() const { return "10.9.0." + std::to_string(host); }
  std::string ipv6() const { return "fe80::9:" + std::to_string(host); }
};

// Rewrites sysObjectID.0 of dir/COMMUNITY.snmprec to `oid`, answered after
// `wait_ms` by snmpsimd's delay variation. False when the line is missing.
bool delay_sys_object_id(const std::string& file, const std::string& oid,
                         int wait_ms) {
  std::ifstream in(file);
  std::stringstream out;
  std::string line;
  bool done = false;
  while (std::getline(in, line)) {
    if (line.rfind("1.3.6.1.2.1.1.2.0|", 0) == 0) {
      std::string value = oid;
      if (value.empty()) value = line.substr(line.rfind('|') + 1);
      line = "1.3.6.1.2.1.1.2.0|6:delay|value=" + value +
             ",wait=" + std::to_string(wait_ms);
      done = true;
    }
    out << line << "\n";
  }
  in.close();
  std::ofstream(file) << out.str();
  return done;
}

// The LAN: bridge br0 here (10.9.0.1/24, fe80::9:1), one node per printer,
// each with an agent on 0.0.0.0:161 or [::]:161. Built inside the namespace
// child; everything ends with it.
class Lan {
 public:
  ~Lan() {
    for (auto& agent : agents_) agent->stop();
    agents_.clear();
    nodes_.clear();
    for (const std::string& dir : folders_)
      zeltest::run_command({"rm", "-rf", dir});
  }

  // "" or what failed.
  std::string start(const std::vector<Printer>& printers, bool ipv6) {
    // Addresses usable at once: no duplicate address detection here or in
    // any node made after this (they inherit "default").
    for (const char* key : {"net.ipv6.conf.all.accept_dad=0",
                            "net.ipv6.conf.default.accept_dad=0"})
      if (zeltest::run_command({"sysctl", "-qw", key}) != 0)
        return std::string("sysctl ") + key + " failed";
    if (std::string e = zeltest::add_bridge("br0", "10.9.0.1/24"); !e.empty())
      return e;
    // The limited broadcast 255.255.255.255 leaves through the default route.
    if (std::string e = zeltest::ip("route add default dev br0"); !e.empty())
      return e;
    if (ipv6) {
      if (std::string e = zeltest::ip("-6 addr add fe80::9:1/64 dev br0 nodad");
          !e.empty())
        return e;
    }
    for (const Printer& p : printers) {
      if (std::string e = add_printer(p, ipv6); !e.empty()) return e;
    }
    return "";
  }

 private:
  std::string add_printer(const Printer& p, bool ipv6) {
    const std::string n = std::to_string(p.host);
    const std::string dir = zeltest::agent_folder(
        "discovery-lan", p.source, zeltest::kDefaultFindCommunity, p.oid);
    if (dir.empty()) return "cannot lay out " + p.source;
    folders_.push_back(dir);
    if (!delay_sys_object_id(
            dir + "/" + zeltest::kDefaultFindCommunity + ".snmprec", p.oid,
            p.wait_ms))
      return "no sysObjectID in " + p.source;
    // The start-up probes ask another community that answers at once: an
    // agent works off its requests one after another, and probes queued
    // behind delayed answers would still hold it when the discovery asks.
    if (!zeltest::write_recording(p.source, dir, kProbeCommunity, p.oid))
      return "cannot lay out " + p.source;
    nodes_.push_back(std::make_unique<zeltest::NetNsNode>());
    zeltest::NetNsNode& node = *nodes_.back();
    if (std::string e = node.create(); !e.empty()) return e;
    if (std::string e =
            node.attach("br0", "veth" + n, "eth0", p.ipv4() + "/24");
        !e.empty())
      return e;
    if (ipv6) {
      // One known link-local address per node, so answers name it.
      if (std::string e = node.ip("-6 addr flush dev eth0 scope link");
          !e.empty())
        return e;
      if (std::string e =
              node.ip("-6 addr add " + p.ipv6() + "/64 dev eth0 nodad");
          !e.empty())
        return e;
    }
    agents_.push_back(std::make_unique<zeltest::SnmpsimAgent>());
    zeltest::ScopedNetNsEnter enter(node);
    if (!enter.ok()) return "cannot enter node " + n;
    std::string error;
    // The wildcard address: a socket bound to the node's own address would
    // never see a broadcast.
    if (!agents_.back()->start(ipv6 ? "::" : "0.0.0.0", dir, kProbeCommunity,
                               &error))
      return error;
    return "";
  }

  std::vector<std::unique_ptr<zeltest::NetNsNode>> nodes_;
  std::vector<std::unique_ptr<zeltest::SnmpsimAgent>> agents_;
  std::vector<std::string> folders_;
};

// Six printers: four of the supported model (the project's recording and
// three real recordings given the model's identifier, one exactly the
// prefix), two not (a real printer unchanged, and one whose identifier has a
// digit appended to the prefix). Delays rise with the host number, 100 ms
// apart so that a loaded machine keeps the order, and all within the
// discovery's 1000 ms window.
std::vector<Printer> six_printers(std::string* why) {
  const std::string own =
      zeltest::repo_file("options/testdata/supported-device.snmprec");
  const std::string p2 = zeltest::shared_recording("printer-02.snmprec");
  const std::string p3 = zeltest::shared_recording("printer-03.snmprec");
  const std::string p5 = zeltest::shared_recording("printer-05.snmprec");
  const std::string p7 = zeltest::shared_recording("printer-07.snmprec");
  const std::string p8 = zeltest::shared_recording("printer-08.snmprec");
  if (p2.empty() || p3.empty() || p5.empty() || p7.empty() || p8.empty()) {
    *why = "no shared recordings";
    return {};
  }
  const std::string model = kSupportedOid;
  return {
      {2, own, "", 0, true},
      {3, p2, model, 100, true},
      {4, p3, "", 200, false},
      {5, p5, model + ".9", 300, true},
      {6, p8, model + "5", 400, false},
      {7, p7, model + ".1.2", 500, true},
  };
}

// The supported printers' addresses in the order the host must read them:
// the reverse of the order they answer in.
std::vector<std::string> expected_order(const std::vector<Printer>& printers,
                                        bool ipv6) {
  std::vector<Printer> supported;
  for (const Printer& p : printers)
    if (p.supported) supported.push_back(p);
  std::sort(
      supported.begin(), supported.end(),
      [](const Printer& a, const Printer& b) { return a.wait_ms > b.wait_ms; });
  std::vector<std::string> out;
  for (const Printer& p : supported) out.push_back(ipv6 ? p.ipv6() : p.ipv4());
  return out;
}

std::vector<std::string> addresses(const std::vector<FoundDevice>& found) {
  std::vector<std::string> out;
  for (const FoundDevice& d : found) out.push_back(d.address);
  return out;
}

// Link-local answers may carry their scope ("fe80::9:2%br0"): compare the
// address part.
std::string without_scope(const std::string& text) {
  return text.substr(0, text.find('%'));
}

class DiscoveryLan : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ("", ZelDiscoveryApi::get().error);
    if (!zeltest::have_snmpsimd()) GTEST_SKIP() << "snmpsimd is not installed";
    // snmpsimd started as root drops to nobody, which a rootless user
    // namespace (one mapped id) does not have.
    if (getuid() != 0)
      GTEST_SKIP() << "snmpsimd in a namespace needs real root";
    std::string why;
    printers_ = six_printers(&why);
    if (printers_.empty()) GTEST_SKIP() << why;
  }

  std::vector<Printer> printers_;

  // Discoveries with no retry and one (the call lasts its whole budget): the
  // supported printers, newest first, each with the model; answers the last
  // list read.
  static std::vector<FoundDevice> expect_found_in_order(
      ZelContext* context, int32_t protocol, const std::vector<std::string>& expected) {
    const ZelDiscoveryApi& api = ZelDiscoveryApi::get();
    std::vector<FoundDevice> found;
    for (int32_t retries : {0, 1}) {
      SCOPED_TRACE("retries " + std::to_string(retries));
      int32_t count = -1;
      int32_t status = -99;
      const long ms = zeltest::elapsed_ms([&] {
        status = api.ZelFindDeviceSNMP(context, nullptr, protocol, 1000, retries, &count);
      });
      std::printf("protocol %d, time-out 1000 ms, retries %d: %ld ms, %d found\n", protocol,
                  retries, ms, count);
      EXPECT_EQ(0, status);
      EXPECT_EQ(static_cast<int32_t>(expected.size()), count);
      EXPECT_GE(ms, 1000L * (retries + 1) - 5);
      EXPECT_LT(ms, 1000L * (retries + 1) + 1000);
      found = read_found(context);
      std::vector<std::string> got;
      for (const FoundDevice& d : found) {
        got.push_back(without_scope(d.address));
        EXPECT_EQ(zeltest::kSupportedModel, d.model) << d.address;
        EXPECT_EQ(0, d.flag) << d.address;
        EXPECT_EQ(0u, d.oid.rfind(kSupportedOid, 0)) << d.address << " " << d.oid;
      }
      EXPECT_EQ(expected, got);
    }
    return found;
  }
};

TEST_F(DiscoveryLan, BroadcastFindsEverySupportedPrinterOnceNewestFirst) {
  ZEL_RUN_IN_PRIVATE_NETNS([&] {
    const ZelDiscoveryApi& api = ZelDiscoveryApi::get();
    Lan lan;
    ASSERT_EQ("", lan.start(printers_, false));
    ZelContext* context = nullptr;
    ASSERT_EQ(0, api.ZelInit(&context));
    const std::vector<std::string> expected = expected_order(printers_, false);

    const std::vector<FoundDevice> found =
        expect_found_in_order(context, kHostIPv4, expected);
    // The identifiers are each printer's own.
    for (const Printer& p : printers_) {
      for (const FoundDevice& d : found) {
        if (d.address == p.ipv4() && !p.oid.empty()) {
          EXPECT_EQ(p.oid, d.oid);
        }
      }
    }
    // Reset reads the same list again from its head.
    api.ZelFindResetPosition(context);
    EXPECT_EQ(expected, addresses(read_found(context)));

    // The directed broadcast of the LAN finds the same printers.
    int32_t count = -1;
    ASSERT_EQ(0, api.ZelFindDeviceSNMP(context, "10.9.0.255", kHostIPv4, 1000, 0,
                                    &count));
    EXPECT_EQ(expected, addresses(read_found(context)));

    // A filter keeps only the printers under one branch; the next discovery
    // replaces the list.
    ASSERT_EQ(0, api.ZelFindAddFilter(
                     context, (std::string(kSupportedOid) + ".9").c_str()));
    ASSERT_EQ(0,
              api.ZelFindDeviceSNMP(context, nullptr, kHostIPv4, 1000, 0, &count));
    EXPECT_EQ(1, count);
    EXPECT_EQ(std::vector<std::string>{"10.9.0.5"},
              addresses(read_found(context)));
    api.ZelFindClearFilter(context);

    // A community no agent serves: the network stays silent.
    ASSERT_EQ(0,
              api.ZelCommandString(context, "CmdSetCommunityFind", "nobody-here"));
    ASSERT_EQ(0,
              api.ZelFindDeviceSNMP(context, nullptr, kHostIPv4, 500, 0, &count));
    EXPECT_EQ(0, count);
    EXPECT_TRUE(read_found(context).empty());
    api.ZelUnInit(context);
  });
}

TEST_F(DiscoveryLan, MulticastToAllNodesFindsEverySupportedPrinter) {
  ZEL_RUN_IN_PRIVATE_NETNS([&] {
    const ZelDiscoveryApi& api = ZelDiscoveryApi::get();
    Lan lan;
    ASSERT_EQ("", lan.start(printers_, true));
    ZelContext* context = nullptr;
    ASSERT_EQ(0, api.ZelInit(&context));
    const std::vector<std::string> expected = expected_order(printers_, true);
    expect_found_in_order(context, kHostIPv6, expected);
    api.ZelUnInit(context);
  });
}

}  // namespace
