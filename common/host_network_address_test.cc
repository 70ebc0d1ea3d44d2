// The source-address operation in address values, over the loopback routes
// every host has and over a network built in a private namespace.
#include "common/host_network_address.h"

#include <gtest/gtest.h>

#include "common/owned.h"
#include "common/status.h"
#include "testing/netns.h"

namespace {

using Address = KalOwned<IKalNetworkAddress>;

Address make(const char* text, IKalNetworkAddress::EProtocol protocol, uint16_t port) {
  return Address(kal_create_network_address(text, protocol, port));
}

TEST(HostNetworkAddress, LoopbackKeepsProtocolAndPort) {
  Address dest = make("127.0.0.1", IKalNetworkAddress::IPv4, 161);
  IKalNetworkAddress* raw = nullptr;
  ASSERT_EQ(kal_local_address_towards(dest.get(), &raw), kKalOk);
  Address local(raw);
  EXPECT_STREQ(local->text(), "127.0.0.1");
  EXPECT_EQ(local->get_protocol(), IKalNetworkAddress::IPv4);
  EXPECT_EQ(local->get_port(), 161);
}

TEST(HostNetworkAddress, RefusesWhatIsNotAnIpv4Destination) {
  IKalNetworkAddress* raw = nullptr;
  Address v6 = make("::1", IKalNetworkAddress::IPv6, 161);
  EXPECT_EQ(kal_local_address_towards(v6.get(), &raw), kKalErrNotSupported);
  Address ipx = make("0000000a:0000c0a80114", IKalNetworkAddress::IPX, 0);
  EXPECT_EQ(kal_local_address_towards(ipx.get(), &raw), kKalErrNotSupported);
  Address name = make("printer.example", IKalNetworkAddress::IPv4, 161);
  EXPECT_EQ(kal_local_address_towards(name.get(), &raw), kKalErrInvalidArg);
  Address empty(kal_create_network_address());
  EXPECT_EQ(kal_local_address_towards(empty.get(), &raw), kKalErrNotSupported);
  empty->set_protocol(IKalNetworkAddress::IPv4);
  EXPECT_EQ(kal_local_address_towards(empty.get(), &raw), kKalErrInvalidArg);
  EXPECT_EQ(kal_local_address_towards(nullptr, &raw), kKalErrInvalidArg);
  Address dest = make("127.0.0.1", IKalNetworkAddress::IPv4, 161);
  EXPECT_EQ(kal_local_address_towards(dest.get(), nullptr), kKalErrInvalidArg);
  EXPECT_EQ(raw, nullptr);
}

TEST(HostNetworkAddress, ThroughTheDefaultRouteOfAPrivateNetwork) {
  ZEL_RUN_IN_PRIVATE_NETNS([] {
    ASSERT_EQ(zeltest::add_veth("v0", "v1"), "");
    ASSERT_EQ(zeltest::ip("addr add 10.7.0.2/24 dev v0"), "");
    ASSERT_EQ(zeltest::ip("route add default via 10.7.0.1"), "");
    Address dest = make("203.0.113.9", IKalNetworkAddress::IPv4, 16100);
    IKalNetworkAddress* raw = nullptr;
    ASSERT_EQ(kal_local_address_towards(dest.get(), &raw), kKalOk);
    Address local(raw);
    EXPECT_STREQ(local->text(), "10.7.0.2");
    EXPECT_EQ(local->get_port(), 16100);
    ASSERT_EQ(zeltest::ip("route del default"), "");
    EXPECT_EQ(kal_local_address_towards(dest.get(), &raw), kKalErrGeneral);
  });
}

}  // namespace
