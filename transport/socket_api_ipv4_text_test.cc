// The source address of every received datagram is written as text without
// printf: the text must be inet_ntop's, for every octet value in every
// position and for a seeded sweep of whole addresses, with the port kept.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>

#include <cstring>
#include <random>
#include <string>

#include "common/network_address.h"
#include "common/owned.h"
#include "transport/socket_api.h"

namespace {

std::string text_through_table(const uint8_t octets[4], uint16_t port) {
  KalSockAddr in{};
  sockaddr_in sin{};
  sin.sin_family = AF_INET;
  sin.sin_port = htons(port);
  std::memcpy(&sin.sin_addr, octets, 4);
  std::memcpy(in.bytes, &sin, sizeof sin);
  in.length = sizeof sin;
  KalOwned<IKalNetworkAddress> address(
      kal_create_network_address("0.0.0.0", IKalNetworkAddress::IPv4, 0));
  if (!address) return "<no memory>";
  if (NKalSocketAPI::ipv4_from_sockaddr(in, address.get()) != kKalOk) return "<failed>";
  if (address->get_port() != port) return "<port lost>";
  return address->text();
}

std::string inet_ntop_text(const uint8_t octets[4]) {
  char text[INET_ADDRSTRLEN];
  inet_ntop(AF_INET, octets, text, sizeof text);
  return text;
}

TEST(SocketApiIpv4Text, EveryOctetValueInEveryPosition) {
  for (int position = 0; position < 4; ++position) {
    for (int v = 0; v < 256; ++v) {
      uint8_t octets[4] = {127, 0, 15, 2};
      octets[position] = static_cast<uint8_t>(v);
      ASSERT_EQ(text_through_table(octets, 161), inet_ntop_text(octets))
          << position << " " << v;
    }
  }
}

TEST(SocketApiIpv4Text, SeededSweep) {
  std::mt19937 random(1208);
  for (int i = 0; i < 5000; ++i) {
    const uint32_t word = random();
    uint8_t octets[4];
    std::memcpy(octets, &word, 4);
    const uint16_t port = static_cast<uint16_t>(random());
    ASSERT_EQ(text_through_table(octets, port), inet_ntop_text(octets));
  }
}

TEST(SocketApiIpv4Text, OtherFamilyIsRefused) {
  KalSockAddr in{};
  sockaddr_in6 sin6{};
  sin6.sin6_family = AF_INET6;
  std::memcpy(in.bytes, &sin6, sizeof sin6);
  in.length = sizeof sin6;
  KalOwned<IKalNetworkAddress> address(
      kal_create_network_address("0.0.0.0", IKalNetworkAddress::IPv4, 0));
  EXPECT_EQ(NKalSocketAPI::ipv4_from_sockaddr(in, address.get()), kKalErrInvalidArg);
}

}  // namespace
