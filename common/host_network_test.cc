// The service's provider choice and the local-address rules, over scripted
// providers; plus reads of this machine's own tables (read only).
#include "common/host_network.h"

#include <arpa/inet.h>
#include <net/if.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/host_network_provider.h"
#include "common/owned.h"
#include "common/status.h"

namespace {

constexpr uint32_t ip4(unsigned a, unsigned b, unsigned c, unsigned d) {
  return (a << 24) | (b << 16) | (c << 8) | d;
}

KalRouteEntry route(uint32_t dest, unsigned prefix, uint32_t if_index, uint32_t metric = 0,
                    uint32_t next_hop = 0) {
  return {dest, kal_prefix_to_mask(prefix), next_hop,
          next_hop ? kKalRouteIndirect : kKalRouteDirect, if_index, metric};
}

KalAddressEntry address(uint32_t addr, unsigned prefix, uint32_t if_index) {
  return {if_index, kal_prefix_to_mask(prefix), 0, addr};
}

// A provider that answers from fixed rows, or fails where told to.
struct Script {
  std::vector<KalRouteEntry> routes;
  std::vector<KalAddressEntry> addresses;
  std::vector<KalInterfaceEntry> interfaces;
  int bind_rc = kKalOk;
  int route_rc = kKalOk;
  int address_rc = kKalOk;
  int binds = 0;
};

class FakeProvider final : public IKalHostNetworkProvider {
 public:
  FakeProvider(const char* name, Script* script) : name_(name), s_(script) {}
  void destroy() override { delete this; }
  const char* name() override { return name_; }
  int bind() override {
    ++s_->binds;
    return s_->bind_rc;
  }
  int read_route_table(KalRouteTable* t) override {
    if (s_->route_rc) return s_->route_rc;
    for (const auto& r : s_->routes) {
      if (!t->append(r)) return kKalErrNoMemory;
    }
    return kKalOk;
  }
  int read_interface_count(uint32_t* n) override {
    *n = static_cast<uint32_t>(s_->interfaces.size());
    return kKalOk;
  }
  int read_interface_table(KalInterfaceTable* t) override {
    for (const auto& r : s_->interfaces) {
      if (!t->append(r)) return kKalErrNoMemory;
    }
    return kKalOk;
  }
  int read_address_table(KalAddressTable* t) override {
    if (s_->address_rc) return s_->address_rc;
    for (const auto& r : s_->addresses) {
      if (!t->append(r)) return kKalErrNoMemory;
    }
    return kKalOk;
  }

 private:
  const char* name_;
  Script* s_;
};

using Service = KalOwned<IKalHostNetwork, KalCallDestroy>;

Service make_service(Script* first, Script* second = nullptr) {
  return Service(kal_create_host_network_from(
      first ? new FakeProvider("first", first) : nullptr,
      second ? new FakeProvider("second", second) : nullptr));
}

// Interfaces 1..4; 10/8 and 10.1/16 on different interfaces, a host route,
// and a default route.
Script lan() {
  Script s;
  s.routes = {
      route(0, 0, 3, 0, ip4(192, 168, 1, 1)),
      route(ip4(10, 0, 0, 0), 8, 1),
      route(ip4(10, 1, 0, 0), 16, 2),
      route(ip4(172, 16, 5, 5), 32, 2),
      route(ip4(192, 168, 1, 0), 24, 3),
      route(ip4(198, 51, 100, 0), 24, 4),  // interface 4 has no address
  };
  s.addresses = {
      address(ip4(10, 200, 0, 1), 16, 1),
      address(ip4(10, 0, 0, 1), 8, 1),
      address(ip4(10, 1, 0, 1), 16, 2),
      address(ip4(192, 168, 1, 20), 24, 3),
  };
  return s;
}

struct Case {
  const char* name;
  uint32_t destination;
  int status;
  uint32_t local;
};

TEST(HostNetworkLocalAddress, ChoosesTheRouteTheRulesSay) {
  const Case cases[] = {
      {"longer prefix wins: 10.1/16 over 10/8", ip4(10, 1, 2, 3), kKalOk, ip4(10, 1, 0, 1)},
      {"only 10/8 matches", ip4(10, 2, 0, 9), kKalOk, ip4(10, 0, 0, 1)},
      {"first address of the interface, lowest first", ip4(10, 200, 9, 9), kKalOk,
       ip4(10, 0, 0, 1)},
      {"host route", ip4(172, 16, 5, 5), kKalOk, ip4(10, 1, 0, 1)},
      {"host route's neighbour takes the default", ip4(172, 16, 5, 6), kKalOk,
       ip4(192, 168, 1, 20)},
      {"default route", ip4(8, 8, 8, 8), kKalOk, ip4(192, 168, 1, 20)},
      {"subnet on the default's interface", ip4(192, 168, 1, 77), kKalOk, ip4(192, 168, 1, 20)},
      {"interface without an address", ip4(198, 51, 100, 7), kKalErrInvalidArg, 0},
      {"destination 0 is the default route's", 0, kKalOk, ip4(192, 168, 1, 20)},
  };
  Script s = lan();
  Service service = make_service(&s);
  for (const Case& c : cases) {
    uint32_t local = 0;
    EXPECT_EQ(service->local_address_towards(c.destination, &local), c.status) << c.name;
    if (c.status == kKalOk) {
      EXPECT_EQ(local, c.local) << c.name;
    }
  }
  EXPECT_EQ(service->local_address_towards(ip4(10, 1, 2, 3), nullptr), kKalErrInvalidArg);
  s.routes.erase(s.routes.begin());  // without the default route: no route
  uint32_t local = 0;
  EXPECT_EQ(service->local_address_towards(ip4(8, 8, 8, 8), &local), kKalErrGeneral);
}

TEST(HostNetworkLocalAddress, OnlyADefaultRouteServesEveryDestination) {
  Script s;
  s.routes = {route(0, 0, 7, 0, ip4(10, 9, 0, 1))};
  s.addresses = {address(ip4(10, 9, 0, 5), 24, 7)};
  Service service = make_service(&s);
  for (uint32_t d : {ip4(1, 2, 3, 4), ip4(10, 9, 0, 1), ip4(255, 255, 255, 255)}) {
    uint32_t local = 0;
    ASSERT_EQ(service->local_address_towards(d, &local), kKalOk);
    EXPECT_EQ(local, ip4(10, 9, 0, 5));
  }
}

TEST(HostNetworkLocalAddress, EqualRoutesPreferLowerMetricThenEarlierRow) {
  Script s;
  s.routes = {route(ip4(10, 0, 0, 0), 8, 2, 100), route(ip4(10, 0, 0, 0), 8, 1, 5),
              route(0, 0, 4, 0), route(0, 0, 3, 0)};
  s.addresses = {address(ip4(10, 0, 0, 1), 8, 1), address(ip4(10, 0, 0, 2), 8, 2),
                 address(ip4(10, 3, 0, 1), 8, 3), address(ip4(10, 4, 0, 1), 8, 4)};
  Service service = make_service(&s);
  uint32_t local = 0;
  ASSERT_EQ(service->local_address_towards(ip4(10, 5, 5, 5), &local), kKalOk);
  EXPECT_EQ(local, ip4(10, 0, 0, 1));
  ASSERT_EQ(service->local_address_towards(ip4(9, 9, 9, 9), &local), kKalOk);
  EXPECT_EQ(local, ip4(10, 4, 0, 1)) << "the first of two equal default routes";
}

TEST(HostNetworkLocalAddress, ReadsFreshTablesForEveryCall) {
  Script s = lan();
  Service service = make_service(&s);
  uint32_t local = 0;
  ASSERT_EQ(service->local_address_towards(ip4(10, 1, 2, 3), &local), kKalOk);
  EXPECT_EQ(local, ip4(10, 1, 0, 1));
  s.routes.erase(s.routes.begin() + 2);  // 10.1/16 goes away
  ASSERT_EQ(service->local_address_towards(ip4(10, 1, 2, 3), &local), kKalOk);
  EXPECT_EQ(local, ip4(10, 0, 0, 1));
  EXPECT_EQ(s.binds, 1) << "the provider is loaded once";
}

TEST(HostNetworkProviders, FallsBackWhenTheFirstDoesNotBindOrAnswersNotReady) {
  Script broken = lan(), good = lan(), also_broken = lan();
  broken.bind_rc = also_broken.bind_rc = kKalErrPlatform;
  Service service = make_service(&broken, &good);
  EXPECT_EQ(service->provider_name(), nullptr);
  uint32_t local = 0;
  ASSERT_EQ(service->local_address_towards(ip4(10, 1, 2, 3), &local), kKalOk);
  EXPECT_STREQ(service->provider_name(), "second");

  Service neither = make_service(&broken, &also_broken);
  EXPECT_EQ(neither->local_address_towards(ip4(10, 1, 2, 3), &local), kKalErrNotReady);
  EXPECT_EQ(neither->load_provider(), kKalErrPlatform) << "the last failure";
  Service none = make_service(nullptr, nullptr);
  EXPECT_EQ(none->local_address_towards(ip4(10, 1, 2, 3), &local), kKalErrNotReady);
}

// Reads need a loaded provider; the tables come back sorted.
TEST(HostNetworkProviders, ReadsNeedALoadedProviderAndAreSorted) {
  Script s = lan();
  Service service = make_service(&s);
  KalRouteTable routes;
  KalAddressTable addresses;
  KalInterfaceTable interfaces;
  uint32_t count = 0;
  EXPECT_EQ(service->read_route_table(&routes), kKalErrNotReady);
  EXPECT_EQ(service->read_address_table(&addresses), kKalErrNotReady);
  EXPECT_EQ(service->read_interface_table(&interfaces), kKalErrNotReady);
  EXPECT_EQ(service->read_interface_count(&count), kKalErrNotReady);
  ASSERT_EQ(service->load_provider(), kKalOk);
  EXPECT_EQ(service->read_route_table(nullptr), kKalErrInvalidArg);
  ASSERT_EQ(service->read_route_table(&routes), kKalOk);
  ASSERT_EQ(routes.size(), s.routes.size());
  for (size_t i = 1; i < routes.size(); ++i) {
    EXPECT_LE(routes[i - 1].destination, routes[i].destination) << i;
  }
  ASSERT_EQ(service->read_address_table(&addresses), kKalOk);
  ASSERT_EQ(addresses.size(), 4u);
  EXPECT_EQ(addresses[0].address, ip4(10, 0, 0, 1));
  EXPECT_EQ(addresses[3].address, ip4(192, 168, 1, 20));
}

TEST(HostNetworkProviders, FailingTableReadsAnswerPlatform) {
  Script s = lan();
  s.route_rc = kKalErrPlatform;
  Service service = make_service(&s);
  uint32_t local = 0;
  EXPECT_EQ(service->local_address_towards(ip4(10, 1, 2, 3), &local), kKalErrPlatform);
  s.route_rc = kKalOk;
  s.address_rc = kKalErrPlatform;
  EXPECT_EQ(service->local_address_towards(ip4(10, 1, 2, 3), &local), kKalErrPlatform);
  EXPECT_EQ(service->local_address_towards(ip4(198, 51, 100, 1), &local), kKalErrPlatform);
}

// Every allocation on the local-address path fails once; each run answers
// the out-of-memory status (or succeeds when the failed allocation was
// optional) and, under LeakSanitizer, leaks nothing.
TEST(HostNetworkLocalAddress, EveryAllocationFailsOnce) {
  Script s = lan();
  for (int i = 0; i < 40; ++i) s.routes.push_back(route(ip4(11, 0, i, 0), 24, 1));
  const long before = kal_alloc_hook::g_calls.load();
  {
    Service service = make_service(&s);
    uint32_t local = 0;
    ASSERT_EQ(service->local_address_towards(ip4(10, 1, 2, 3), &local), kKalOk);
  }
  const long total = kal_alloc_hook::g_calls.load() - before;
  ASSERT_GT(total, 2);
  for (long n = 0; n < total; ++n) {
    kal_alloc_hook::g_fail_countdown = n;
    int rc = kKalOk;
    IKalHostNetwork* raw = kal_create_host_network_from(new FakeProvider("first", &s), nullptr,
                                                        &rc);
    Service service(raw);
    if (!service) {
      EXPECT_EQ(rc, kKalErrNoMemory) << n;
    } else {
      uint32_t local = 0;
      EXPECT_EQ(service->local_address_towards(ip4(10, 1, 2, 3), &local), kKalErrNoMemory) << n;
    }
    kal_alloc_hook::g_fail_countdown = -1;
  }
}

TEST(HostNetworkText, ChecksProtocolArgumentsAndRoom) {
  char out[16];
  EXPECT_EQ(kal_local_address_text(4, "::1", out, sizeof out), kKalErrNotSupported);
  EXPECT_EQ(kal_local_address_text(2, "0000000a:0000c0a80114", out, sizeof out),
            kKalErrNotSupported);
  EXPECT_EQ(kal_local_address_text(1, nullptr, out, sizeof out), kKalErrInvalidArg);
  EXPECT_EQ(kal_local_address_text(1, "127.0.0.1", nullptr, 16), kKalErrInvalidArg);
  EXPECT_EQ(kal_local_address_text(1, "printer.example", out, sizeof out), kKalErrInvalidArg);
  EXPECT_EQ(kal_local_address_text(1, "127.0.0.1", out, 4), kKalErrInvalidArg);
}

// This machine's own tables, read only: both providers must see the same
// interfaces and addresses, and loopback resolves to itself.
TEST(HostNetworkOwnHost, ProvidersAgreeOnInterfacesAndAddresses) {
  Service netlink(kal_create_host_network(kKalHostNetworkNetlinkOnly));
  Service proc(kal_create_host_network(kKalHostNetworkProcOnly));
  ASSERT_EQ(netlink->load_provider(), kKalOk);
  ASSERT_EQ(proc->load_provider(), kKalOk);
  KalInterfaceTable ni, pi;
  ASSERT_EQ(netlink->read_interface_table(&ni), kKalOk);
  ASSERT_EQ(proc->read_interface_table(&pi), kKalOk);
  ASSERT_EQ(ni.size(), pi.size());
  for (size_t i = 0; i < ni.size(); ++i) {
    EXPECT_STREQ(ni[i].description, pi[i].description);
    EXPECT_EQ(ni[i].if_index, pi[i].if_index);
    EXPECT_EQ(ni[i].type, pi[i].type) << ni[i].description;
    EXPECT_EQ(ni[i].if_index, if_nametoindex(ni[i].description));
  }
  uint32_t count = 0;
  ASSERT_EQ(proc->read_interface_count(&count), kKalOk);
  EXPECT_EQ(count, pi.size());
  KalAddressTable na, pa;
  ASSERT_EQ(netlink->read_address_table(&na), kKalOk);
  ASSERT_EQ(proc->read_address_table(&pa), kKalOk);
  ASSERT_EQ(na.size(), pa.size());
  for (size_t i = 0; i < na.size(); ++i) {
    EXPECT_EQ(na[i].address, pa[i].address);
    EXPECT_EQ(na[i].if_index, pa[i].if_index);
    EXPECT_EQ(na[i].mask, pa[i].mask);
    EXPECT_EQ(na[i].broadcast, pa[i].broadcast);
  }
  char out[16];
  ASSERT_EQ(kal_local_address_text(1, "127.0.0.1", out, sizeof out), kKalOk);
  EXPECT_STREQ(out, "127.0.0.1");
}

}  // namespace
