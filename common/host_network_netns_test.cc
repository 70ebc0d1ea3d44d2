// The real providers against a network the test builds in a private
// namespace: veth links, addresses and routes that the tables must show, and
// local addresses that must agree with the kernel's own choice.
#include <arpa/inet.h>
#include <net/if.h>

#include <set>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "common/host_network.h"
#include "common/host_network_provider.h"
#include "common/owned.h"
#include "common/status.h"
#include "testing/netns.h"

namespace {

using Service = KalOwned<IKalHostNetwork, KalCallDestroy>;
using zeltest::ip;

uint32_t parse(const char* text) {
  in_addr a;
  EXPECT_EQ(inet_pton(AF_INET, text, &a), 1) << text;
  return ntohl(a.s_addr);
}

std::string dotted(uint32_t v) {
  return std::to_string(v >> 24) + "." + std::to_string((v >> 16) & 0xff) + "." +
         std::to_string((v >> 8) & 0xff) + "." + std::to_string(v & 0xff);
}

// Three links (veth pairs; only the first end of each carries addresses):
//   v0a  10.0.0.1/8 and 10.200.0.1/16
//   v1a  10.1.0.1/16, host route 172.16.5.5
//   v2a  192.168.50.1/24, default route via 192.168.50.254
//   v1b  no address, route 198.51.100.0/24
// and a multipath route 203.0.113.0/24 over v0a, then v1a.
void build_network() {
  ASSERT_EQ(zeltest::add_veth("v0a", "v0b"), "");
  ASSERT_EQ(zeltest::add_veth("v1a", "v1b"), "");
  ASSERT_EQ(zeltest::add_veth("v2a", "v2b"), "");
  ASSERT_EQ(ip("addr add 10.0.0.1/8 dev v0a"), "");
  ASSERT_EQ(ip("addr add 10.200.0.1/16 dev v0a"), "");
  ASSERT_EQ(ip("addr add 10.1.0.1/16 broadcast 10.1.255.255 dev v1a"), "");
  ASSERT_EQ(ip("addr add 192.168.50.1/24 dev v2a"), "");
  ASSERT_EQ(ip("route add 172.16.5.5/32 dev v1a"), "");
  ASSERT_EQ(ip("route add default via 192.168.50.254 dev v2a"), "");
  ASSERT_EQ(ip("route add 198.51.100.0/24 dev v1b"), "");
  ASSERT_EQ(ip("route add 203.0.113.0/24 nexthop via 10.0.0.254 dev v0a nexthop via "
               "10.1.0.254 dev v1a"),
            "");
}

Service loaded(int providers) {
  Service s(kal_create_host_network(providers));
  EXPECT_TRUE(s);
  if (s) {
    EXPECT_EQ(s->load_provider(), kKalOk);
  }
  return s;
}

void check_tables(IKalHostNetwork* service) {
  SCOPED_TRACE(service->provider_name());
  const uint32_t lo = if_nametoindex("lo"), v0a = if_nametoindex("v0a"),
                 v1a = if_nametoindex("v1a"), v1b = if_nametoindex("v1b"),
                 v2a = if_nametoindex("v2a");

  KalInterfaceTable interfaces;
  ASSERT_EQ(service->read_interface_table(&interfaces), kKalOk);
  std::set<std::tuple<std::string, uint32_t, uint32_t>> seen;
  for (const auto& i : interfaces) seen.emplace(i.description, i.if_index, i.type);
  EXPECT_EQ(seen.size(), 7u);
  EXPECT_TRUE(seen.count({"lo", lo, kKalIfTypeLoopback}));
  EXPECT_TRUE(seen.count({"v0a", v0a, kKalIfTypeEthernet}));
  EXPECT_TRUE(seen.count({"v2b", if_nametoindex("v2b"), kKalIfTypeEthernet}));
  uint32_t count = 0;
  ASSERT_EQ(service->read_interface_count(&count), kKalOk);
  EXPECT_EQ(count, 7u);

  KalAddressTable addresses;
  ASSERT_EQ(service->read_address_table(&addresses), kKalOk);
  ASSERT_EQ(addresses.size(), 5u);
  const struct {
    const char* address;
    const char* mask;
    uint32_t if_index;
    const char* broadcast;
  } want[] = {  // sorted by address
      {"10.0.0.1", "255.0.0.0", v0a, "0.0.0.0"},
      {"10.1.0.1", "255.255.0.0", v1a, "10.1.255.255"},
      {"10.200.0.1", "255.255.0.0", v0a, "0.0.0.0"},
      {"127.0.0.1", "255.0.0.0", lo, "0.0.0.0"},
      {"192.168.50.1", "255.255.255.0", v2a, "0.0.0.0"},
  };
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(dotted(addresses[i].address), want[i].address);
    EXPECT_EQ(dotted(addresses[i].mask), want[i].mask) << want[i].address;
    EXPECT_EQ(addresses[i].if_index, want[i].if_index) << want[i].address;
    EXPECT_EQ(dotted(addresses[i].broadcast), want[i].broadcast) << want[i].address;
  }

  KalRouteTable routes;
  ASSERT_EQ(service->read_route_table(&routes), kKalOk);
  std::set<std::tuple<std::string, std::string, std::string, uint32_t, uint32_t>> got;
  for (const auto& r : routes) {
    got.emplace(dotted(r.destination), dotted(r.mask), dotted(r.next_hop), r.type, r.if_index);
  }
  const std::set<std::tuple<std::string, std::string, std::string, uint32_t, uint32_t>> expect = {
      {"0.0.0.0", "0.0.0.0", "192.168.50.254", kKalRouteIndirect, v2a},
      {"10.0.0.0", "255.0.0.0", "0.0.0.0", kKalRouteDirect, v0a},
      {"10.200.0.0", "255.255.0.0", "0.0.0.0", kKalRouteDirect, v0a},
      {"10.1.0.0", "255.255.0.0", "0.0.0.0", kKalRouteDirect, v1a},
      {"192.168.50.0", "255.255.255.0", "0.0.0.0", kKalRouteDirect, v2a},
      {"172.16.5.5", "255.255.255.255", "0.0.0.0", kKalRouteDirect, v1a},
      {"198.51.100.0", "255.255.255.0", "0.0.0.0", kKalRouteDirect, v1b},
      // A multipath route shows its first next hop.
      {"203.0.113.0", "255.255.255.0", "10.0.0.254", kKalRouteIndirect, v0a},
      // The host's own addresses, and loopback's whole prefix.
      {"10.0.0.1", "255.255.255.255", "0.0.0.0", kKalRouteDirect, v0a},
      {"10.200.0.1", "255.255.255.255", "0.0.0.0", kKalRouteDirect, v0a},
      {"10.1.0.1", "255.255.255.255", "0.0.0.0", kKalRouteDirect, v1a},
      {"192.168.50.1", "255.255.255.255", "0.0.0.0", kKalRouteDirect, v2a},
      {"127.0.0.1", "255.255.255.255", "0.0.0.0", kKalRouteDirect, lo},
      {"127.0.0.0", "255.0.0.0", "0.0.0.0", kKalRouteDirect, lo},
  };
  EXPECT_EQ(got, expect);
  EXPECT_EQ(routes.size(), expect.size());
}

struct Towards {
  const char* name;
  const char* destination;
  int status;
  const char* local;
  bool kernel_agrees;  // `ip route get` picks the same source address
};

const Towards kTowards[] = {
    {"direct subnet through the /16, not the /8", "10.1.2.3", kKalOk, "10.1.0.1", true},
    {"direct subnet, /8", "10.2.3.4", kKalOk, "10.0.0.1", true},
    // The interface's lowest address, where the kernel takes the one in the
    // matching subnet.
    {"second subnet of one interface", "10.200.7.7", kKalOk, "10.0.0.1", false},
    {"host route", "172.16.5.5", kKalOk, "10.1.0.1", true},
    {"default route", "8.8.8.8", kKalOk, "192.168.50.1", true},
    {"own address", "10.1.0.1", kKalOk, "10.1.0.1", true},
    {"loopback", "127.0.0.1", kKalOk, "127.0.0.1", true},
    {"loopback prefix", "127.1.2.3", kKalOk, "127.0.0.1", true},
    // The kernel spreads flows over both next hops.
    {"multipath route, first next hop", "203.0.113.5", kKalOk, "10.0.0.1", false},
    {"route over an interface without address", "198.51.100.7", kKalErrInvalidArg, "", false},
};

// The source address the kernel itself would use, from `ip route get`.
std::string kernel_source(const char* destination) {
  std::string out;
  if (zeltest::run_command({"ip", "-o", "route", "get", destination}, &out) != 0) return "";
  const size_t at = out.find(" src ");
  if (at == std::string::npos) return "";
  const size_t start = at + 5;
  return out.substr(start, out.find(' ', start) - start);
}

void check_local_addresses(IKalHostNetwork* service) {
  SCOPED_TRACE(service->provider_name());
  for (const Towards& t : kTowards) {
    uint32_t local = 0;
    ASSERT_EQ(service->local_address_towards(parse(t.destination), &local), t.status) << t.name;
    if (t.status != kKalOk) continue;
    EXPECT_EQ(dotted(local), t.local) << t.name;
    if (t.kernel_agrees) {
      EXPECT_EQ(kernel_source(t.destination), t.local) << t.name;
    }
  }
}

// Each provider shows the built network and answers the local addresses; the
// two read identical route tables.
TEST(HostNetworkNetns, ProvidersShowTheBuiltNetwork) {
  ZEL_RUN_IN_PRIVATE_NETNS([] {
    build_network();
    Service n = loaded(kKalHostNetworkNetlinkOnly), p = loaded(kKalHostNetworkProcOnly);
    ASSERT_STREQ(n->provider_name(), "netlink");
    ASSERT_STREQ(p->provider_name(), "proc");
    for (IKalHostNetwork* s : {n.get(), p.get()}) {
      check_tables(s);
      check_local_addresses(s);
    }
    KalRouteTable nr, pr;
    ASSERT_EQ(n->read_route_table(&nr), kKalOk);
    ASSERT_EQ(p->read_route_table(&pr), kKalOk);
    ASSERT_EQ(nr.size(), pr.size());
    for (size_t i = 0; i < nr.size(); ++i) {
      EXPECT_EQ(0, memcmp(&nr[i], &pr[i], sizeof nr[i])) << "row " << i;
    }
  });
}

TEST(HostNetworkNetns, NoRouteAfterTheDefaultGoes) {
  ZEL_RUN_IN_PRIVATE_NETNS([] {
    build_network();
    Service s(kal_create_host_network(kKalHostNetworkDefault));
    uint32_t local = 0;
    ASSERT_EQ(s->local_address_towards(parse("8.8.8.8"), &local), kKalOk);
    ASSERT_EQ(ip("route del default"), "");
    EXPECT_EQ(s->local_address_towards(parse("8.8.8.8"), &local), kKalErrGeneral);
    // The same service object sees the change: no table outlives a call.
    ASSERT_EQ(s->local_address_towards(parse("10.1.2.3"), &local), kKalOk);
    EXPECT_EQ(dotted(local), "10.1.0.1");
  });
}

TEST(HostNetworkNetns, ProcessWideServiceAnswersText) {
  ZEL_RUN_IN_PRIVATE_NETNS([] {
    build_network();
    char out[16];
    ASSERT_EQ(kal_local_address_text(1, "10.1.2.3", out, sizeof out), kKalOk);
    EXPECT_STREQ(out, "10.1.0.1");
    EXPECT_EQ(kal_local_address_text(4, "fe80::1", out, sizeof out), kKalErrNotSupported);
    int rc = kKalOk;
    ASSERT_NE(kal_host_network(&rc), nullptr);
    EXPECT_STREQ(kal_host_network()->provider_name(), "netlink");
    ASSERT_EQ(kal_host_network_reset_for_testing(kKalHostNetworkProcOnly), kKalOk);
    ASSERT_EQ(kal_local_address_text(1, "8.8.8.8", out, sizeof out), kKalOk);
    EXPECT_STREQ(out, "192.168.50.1");
    EXPECT_STREQ(kal_host_network()->provider_name(), "proc");
    EXPECT_EQ(kal_host_network_reset_for_testing(99), kKalErrInvalidArg);
  });
}

// A provider that never binds stands in for an unusable routing socket: the
// service then reads through /proc.
TEST(HostNetworkNetns, FallsBackToProc) {
  struct Unusable final : IKalHostNetworkProvider {
    void destroy() override { delete this; }
    const char* name() override { return "unusable"; }
    int bind() override { return kKalErrPlatform; }
    int read_route_table(KalRouteTable*) override { return kKalErrPlatform; }
    int read_interface_count(uint32_t*) override { return kKalErrPlatform; }
    int read_interface_table(KalInterfaceTable*) override { return kKalErrPlatform; }
    int read_address_table(KalAddressTable*) override { return kKalErrPlatform; }
  };
  ZEL_RUN_IN_PRIVATE_NETNS([] {
    build_network();
    Service s(kal_create_host_network_from(new Unusable, kal_create_proc_net_provider()));
    uint32_t local = 0;
    ASSERT_EQ(s->local_address_towards(parse("10.1.2.3"), &local), kKalOk);
    EXPECT_EQ(dotted(local), "10.1.0.1");
    EXPECT_STREQ(s->provider_name(), "proc");
  });
}

}  // namespace
