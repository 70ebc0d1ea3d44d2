// Dump answers built by hand, good and hostile: rows come out right, and no
// length in a message or attribute makes the parser read past the batch
// (AddressSanitizer checks every run).
#include "common/netlink_parse_linux.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <netinet/in.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/status.h"

namespace {

constexpr uint32_t kSeq = 1, kPort = 4242;

using Bytes = std::vector<uint8_t>;

void put(Bytes* b, const void* p, size_t n) {
  const uint8_t* u = static_cast<const uint8_t*>(p);
  b->insert(b->end(), u, u + n);
}
void pad4(Bytes* b) {
  while (b->size() % 4) b->push_back(0);
}
template <class T>
Bytes raw(const T& v) {
  Bytes b;
  put(&b, &v, sizeof v);
  return b;
}
Bytes be32(uint32_t host) { return raw(htonl(host)); }

// rtattr header, payload, padding. `declared` overrides rta_len.
Bytes attr(uint16_t type, const Bytes& payload, int declared = -1) {
  Bytes b;
  rtattr a = {static_cast<unsigned short>(declared >= 0 ? declared : 4 + payload.size()), type};
  put(&b, &a, sizeof a);
  put(&b, payload.data(), payload.size());
  pad4(&b);
  return b;
}

// One message: nlmsghdr, body, padding. `declared` overrides nlmsg_len.
Bytes message(uint16_t type, const Bytes& body, uint32_t seq = kSeq, long declared = -1) {
  Bytes b;
  nlmsghdr h = {};
  h.nlmsg_len = static_cast<uint32_t>(declared >= 0 ? declared : 16 + body.size());
  h.nlmsg_type = type;
  h.nlmsg_seq = seq;
  h.nlmsg_pid = kPort;
  put(&b, &h, sizeof h);
  put(&b, body.data(), body.size());
  pad4(&b);
  return b;
}

Bytes route_body(uint8_t dst_len, uint8_t table, uint8_t type, std::vector<Bytes> attrs,
                 uint8_t family = AF_INET) {
  rtmsg r = {};
  r.rtm_family = family;
  r.rtm_dst_len = dst_len;
  r.rtm_table = table;
  r.rtm_type = type;
  Bytes b = raw(r);
  for (const Bytes& a : attrs) put(&b, a.data(), a.size());
  return b;
}

Bytes operator+(Bytes a, const Bytes& b) {
  put(&a, b.data(), b.size());
  return a;
}

struct Parsed {
  int rc;
  bool done;
  KalRouteTable routes;
  KalInterfaceTable interfaces;
  KalAddressTable addresses;
};

// Copies into word-aligned memory of exactly the batch's size, so that a
// read past the end is caught.
void parse(const Bytes& batch, Parsed* out, uint32_t port = kPort) {
  std::vector<uint32_t> words((batch.size() + 3) / 4);
  if (!batch.empty()) std::memcpy(words.data(), batch.data(), batch.size());
  out->rc = kal_netlink_parse_batch(words.data(), batch.size(), kSeq, port,
                                    KalNetlinkSink{&out->routes, &out->interfaces,
                                                   &out->addresses},
                                    &out->done);
}

TEST(NetlinkParse, UnicastRouteWithEveryField) {
  Parsed p;
  parse(message(RTM_NEWROUTE,
                route_body(16, RT_TABLE_MAIN, RTN_UNICAST,
                           {attr(RTA_DST, be32(0x0a010000)), attr(RTA_GATEWAY, be32(0x0a0000fe)),
                            attr(RTA_OIF, raw(uint32_t{3})), attr(RTA_PRIORITY, raw(uint32_t{7}))})) +
            message(NLMSG_DONE, raw(int32_t{0})),
        &p);
  ASSERT_EQ(p.rc, kKalOk);
  EXPECT_TRUE(p.done);
  ASSERT_EQ(p.routes.size(), 1u);
  const KalRouteEntry& r = p.routes[0];
  EXPECT_EQ(r.destination, 0x0a010000u);
  EXPECT_EQ(r.mask, 0xffff0000u);
  EXPECT_EQ(r.next_hop, 0x0a0000feu);
  EXPECT_EQ(r.type, kKalRouteIndirect);
  EXPECT_EQ(r.if_index, 3u);
  EXPECT_EQ(r.metric, 7u);
}

struct RouteCase {
  const char* name;
  Bytes body;
  size_t rows;
};

TEST(NetlinkParse, KeepsOnlyRoutesTheHostSendsThrough) {
  const Bytes oif = attr(RTA_OIF, raw(uint32_t{2}));
  const Bytes dst = attr(RTA_DST, be32(0x0a000001));
  const RouteCase cases[] = {
      {"own address in the local table", route_body(32, RT_TABLE_LOCAL, RTN_LOCAL, {dst, oif}), 1},
      {"broadcast route", route_body(32, RT_TABLE_LOCAL, RTN_BROADCAST, {dst, oif}), 0},
      {"unreachable route", route_body(8, RT_TABLE_MAIN, RTN_UNREACHABLE, {dst}), 0},
      {"policy table by attribute",
       route_body(8, RT_TABLE_COMPAT, RTN_UNICAST, {attr(RTA_TABLE, raw(uint32_t{1000})), dst, oif}),
       0},
      {"main table by attribute",
       route_body(8, RT_TABLE_COMPAT, RTN_UNICAST, {attr(RTA_TABLE, raw(uint32_t{254})), dst, oif}),
       1},
      {"no interface", route_body(8, RT_TABLE_MAIN, RTN_UNICAST, {dst}), 0},
      {"IPv6 route", route_body(64, RT_TABLE_MAIN, RTN_UNICAST, {oif}, AF_INET6), 0},
      {"prefix longer than 32", route_body(33, RT_TABLE_MAIN, RTN_UNICAST, {dst, oif}), 0},
      {"attribute running past the message",
       route_body(8, RT_TABLE_MAIN, RTN_UNICAST, {attr(RTA_OIF, raw(uint32_t{2}), 200)}), 0},
      {"attribute shorter than its header",
       route_body(8, RT_TABLE_MAIN, RTN_UNICAST, {attr(RTA_OIF, raw(uint32_t{2}), 2), oif}), 0},
      {"short destination is ignored",
       route_body(8, RT_TABLE_MAIN, RTN_UNICAST, {attr(RTA_DST, Bytes{10, 0}), oif}), 1},
  };
  for (const RouteCase& c : cases) {
    Parsed p;
    parse(message(RTM_NEWROUTE, c.body), &p);
    EXPECT_EQ(p.rc, kKalOk) << c.name;
    EXPECT_EQ(p.routes.size(), c.rows) << c.name;
  }
}

TEST(NetlinkParse, MultipathTakesTheFirstHopWithinBounds) {
  auto hop = [](uint16_t declared_len, int ifindex, uint32_t gateway) {
    rtnexthop nh = {};
    nh.rtnh_len = declared_len;
    nh.rtnh_ifindex = ifindex;
    return raw(nh) + attr(RTA_GATEWAY, be32(gateway));
  };
  Parsed good;
  parse(message(RTM_NEWROUTE,
                route_body(24, RT_TABLE_MAIN, RTN_UNICAST,
                           {attr(RTA_MULTIPATH, hop(16, 5, 0x0a0000fe) + hop(16, 6, 0x0a0000fd))})),
        &good);
  ASSERT_EQ(good.routes.size(), 1u);
  EXPECT_EQ(good.routes[0].if_index, 5u);
  EXPECT_EQ(good.routes[0].next_hop, 0x0a0000feu);

  Parsed hostile;
  parse(message(RTM_NEWROUTE, route_body(24, RT_TABLE_MAIN, RTN_UNICAST,
                                         {attr(RTA_MULTIPATH, hop(400, 5, 0x0a0000fe))})),
        &hostile);
  EXPECT_EQ(hostile.routes.size(), 0u) << "a next hop longer than its attribute";
}

TEST(NetlinkParse, BatchFraming) {
  const Bytes route = route_body(8, RT_TABLE_MAIN, RTN_UNICAST,
                                 {attr(RTA_DST, be32(0x0a000000)), attr(RTA_OIF, raw(uint32_t{2}))});
  struct {
    const char* name;
    Bytes batch;
    int rc;
    bool done;
    size_t rows;
  } cases[] = {
      {"two messages, then done",
       message(RTM_NEWROUTE, route) + message(RTM_NEWROUTE, route) + message(NLMSG_DONE, {}),
       kKalOk, true, 2},
      {"more to come", message(RTM_NEWROUTE, route), kKalOk, false, 1},
      {"another request's message", message(RTM_NEWROUTE, route, 9), kKalOk, false, 0},
      {"length past the batch", message(RTM_NEWROUTE, route, kSeq, 4096), kKalOk, false, 0},
      {"length below the header", message(RTM_NEWROUTE, route, kSeq, 8), kKalOk, false, 0},
      {"header only, no body", message(RTM_NEWROUTE, {}), kKalOk, false, 0},
      {"cut batch", Bytes(10, 0xff), kKalOk, false, 0},
      {"empty batch", Bytes(), kKalOk, false, 0},
      {"kernel error", message(NLMSG_ERROR, raw(nlmsgerr{-EPERM, {}})), kKalErrPlatform, false, 0},
      {"error too short to hold its code", message(NLMSG_ERROR, Bytes{1}), kKalErrPlatform, false,
       0},
      {"rows before an error are kept", message(RTM_NEWROUTE, route) + message(NLMSG_ERROR, {}),
       kKalErrPlatform, false, 1},
  };
  for (const auto& c : cases) {
    Parsed p;
    parse(c.batch, &p);
    EXPECT_EQ(p.rc, c.rc) << c.name;
    EXPECT_EQ(p.done, c.done) << c.name;
    EXPECT_EQ(p.routes.size(), c.rows) << c.name;
  }
}

TEST(NetlinkParse, LinkNameIsCutAndTerminated) {
  ifinfomsg ifi = {};
  ifi.ifi_index = 9;
  ifi.ifi_type = 772;  // ARPHRD_LOOPBACK
  const Bytes long_name(300, 'x');  // no NUL inside the attribute
  Parsed p;
  parse(message(RTM_NEWLINK, raw(ifi) + attr(IFLA_IFNAME, long_name)), &p);
  ASSERT_EQ(p.interfaces.size(), 1u);
  EXPECT_EQ(std::string(p.interfaces[0].description), std::string(255, 'x'));
  EXPECT_EQ(p.interfaces[0].if_index, 9u);
  EXPECT_EQ(p.interfaces[0].type, kKalIfTypeLoopback);

  Parsed short_name;
  parse(message(RTM_NEWLINK, raw(ifi) + attr(IFLA_IFNAME, Bytes{'e', 't', 'h'})), &short_name);
  ASSERT_EQ(short_name.interfaces.size(), 1u);
  EXPECT_STREQ(short_name.interfaces[0].description, "eth");
}

TEST(NetlinkParse, AddressPrefersTheLocalEndOfAPointToPointLink) {
  ifaddrmsg ifa = {};
  ifa.ifa_family = AF_INET;
  ifa.ifa_prefixlen = 32;
  ifa.ifa_index = 4;
  Parsed p;
  parse(message(RTM_NEWADDR, raw(ifa) + attr(IFA_ADDRESS, be32(0x0a000002)) +
                                 attr(IFA_LOCAL, be32(0x0a000001))) +
            message(RTM_NEWADDR, raw(ifa) + attr(IFA_ADDRESS, be32(0x0a000005)) +
                                     attr(IFA_BROADCAST, be32(0x0a0000ff))) +
            message(RTM_NEWADDR, raw(ifa)),  // no address at all: skipped
        &p);
  ASSERT_EQ(p.addresses.size(), 2u);
  EXPECT_EQ(p.addresses[0].address, 0x0a000001u);
  EXPECT_EQ(p.addresses[0].if_index, 4u);
  EXPECT_EQ(p.addresses[0].mask, 0xffffffffu);
  EXPECT_EQ(p.addresses[1].address, 0x0a000005u);
  EXPECT_EQ(p.addresses[1].broadcast, 0x0a0000ffu);

  ifa.ifa_family = AF_INET6;
  Parsed v6;
  parse(message(RTM_NEWADDR, raw(ifa) + attr(IFA_ADDRESS, Bytes(16, 1))), &v6);
  EXPECT_EQ(v6.addresses.size(), 0u);
}

// The fuzzer's seeds are real dumps (routes with a multipath route, links,
// addresses with a point-to-point peer) taken in a private namespace; every
// build replays them, so they stay a regression suite without libFuzzer.
TEST(NetlinkParse, ReplaysTheFuzzCorpus) {
  const std::filesystem::path dir =
      std::filesystem::path(ZEL_SOURCE_DIR) / "fuzz/corpus/netlink_parse_fuzzer";
  size_t files = 0, routes = 0, interfaces = 0, addresses = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    const Bytes batch((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Parsed p;
    parse(batch, &p, 0);  // the seeds carry port 0, as the fuzzer reads them
    EXPECT_TRUE(p.rc == kKalOk || p.rc == kKalErrPlatform) << entry.path();
    ++files;
    routes += p.routes.size();
    interfaces += p.interfaces.size();
    addresses += p.addresses.size();
  }
  EXPECT_GE(files, 4u);
  EXPECT_GT(routes, 0u);
  EXPECT_GT(interfaces, 0u);
  EXPECT_GT(addresses, 0u);
}

}  // namespace
