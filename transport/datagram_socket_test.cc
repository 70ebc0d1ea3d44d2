// The datagram socket on loopback (127.0.2.x and ::1), with single entries of
// the socket table replaced to make the calls fail that real sockets will not
// fail on demand.
#include "transport/datagram_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "common/owned.h"
#include "common/status.h"
#include "transport/socket_api.h"

namespace {

using P = IKalNetworkAddress::EProtocol;
using Socket = KalOwned<DataGramSocket>;
using Address = KalOwned<IKalNetworkAddress>;

Socket open_socket(int protocol, uint16_t port = 0, int* pStatus = nullptr) {
  DataGramSocket* raw = nullptr;
  const int rc = DataGramSocket::create(protocol, port, &raw);
  if (pStatus) *pStatus = rc;
  return Socket(raw);
}

Address address(const char* text, P protocol, uint16_t port) {
  return Address(kal_create_network_address(text, protocol, port));
}

// A plain POSIX socket bound to a chosen loopback address, to send from a
// source other than the one the system would pick.
int bound_ipv4(const char* ip) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in sin{};
  sin.sin_family = AF_INET;
  inet_pton(AF_INET, ip, &sin.sin_addr);
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&sin), sizeof sin) != 0) return -1;
  return fd;
}

uint16_t port_of(int fd) {
  sockaddr_in sin{};
  socklen_t len = sizeof sin;
  getsockname(fd, reinterpret_cast<sockaddr*>(&sin), &len);
  return ntohs(sin.sin_port);
}

TEST(DataGramSocket, CreateRefusesBadArguments) {
  DataGramSocket* raw = reinterpret_cast<DataGramSocket*>(1);
  EXPECT_EQ(DataGramSocket::create(3, &raw), kKalErrInvalidArg);
  EXPECT_EQ(raw, nullptr);
  EXPECT_EQ(DataGramSocket::create(0, &raw), kKalErrInvalidArg);
  EXPECT_EQ(DataGramSocket::create(P::IPv4, nullptr), kKalErrInvalidArg);
}

TEST(DataGramSocket, PortZeroReportsTheSystemsPort) {
  Socket s = open_socket(P::IPv4);
  ASSERT_TRUE(s);
  const IKalNetworkAddress* local = s->local_address();
  EXPECT_EQ(local->get_protocol(), P::IPv4);
  EXPECT_STREQ(local->text(), "0.0.0.0");
  EXPECT_NE(local->get_port(), 0);
  Socket s6 = open_socket(P::IPv6);
  ASSERT_TRUE(s6);
  EXPECT_EQ(s6->local_address()->get_protocol(), P::IPv6);
  EXPECT_STREQ(s6->local_address()->text(), "::");
  EXPECT_NE(s6->local_address()->get_port(), 0);
}

TEST(DataGramSocket, PortInUseAnswersBindFailure) {
  Socket first = open_socket(P::IPv4);
  ASSERT_TRUE(first);
  const long startups = NKalSocketAPI::outstanding_startups();
  int rc = 0;
  Socket second = open_socket(P::IPv4, first->local_address()->get_port(), &rc);
  EXPECT_EQ(rc, kKasErrBind);
  EXPECT_FALSE(second);
  EXPECT_EQ(NKalSocketAPI::outstanding_startups(), startups) << "the half-made socket stopped";
}

TEST(DataGramSocket, IpxCannotBeOpened) {
  const long startups = NKalSocketAPI::outstanding_startups();
  int rc = 0;
  Socket s = open_socket(P::IPX, 0, &rc);
  EXPECT_EQ(rc, kKasErrSocketOpen);
  EXPECT_FALSE(s);
  EXPECT_EQ(NKalSocketAPI::outstanding_startups(), startups);
}

TEST(DataGramSocket, SendAndReceiveOnIpv4Loopback) {
  Socket rx = open_socket(P::IPv4);
  Socket tx = open_socket(P::IPv4);
  ASSERT_TRUE(rx && tx);
  Address to = address("127.0.2.1", P::IPv4, rx->local_address()->get_port());
  const char payload[] = "hello";
  ASSERT_EQ(tx->send(payload, sizeof payload, to.get()), 0);
  char buf[64];
  size_t got = 0;
  IKalNetworkAddress* from_raw = nullptr;
  ASSERT_EQ(rx->receive(buf, sizeof buf, 2000, &got, &from_raw), 0);
  Address from(from_raw);
  EXPECT_EQ(got, sizeof payload);
  EXPECT_STREQ(buf, "hello");
  EXPECT_EQ(from->get_protocol(), P::IPv4);
  EXPECT_EQ(from->get_port(), tx->local_address()->get_port());
}

TEST(DataGramSocket, ReceiveReportsTheSourceAddressAndPort) {
  Socket rx = open_socket(P::IPv4);
  ASSERT_TRUE(rx);
  const int fd = bound_ipv4("127.0.2.2");
  ASSERT_GE(fd, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(rx->local_address()->get_port());
  inet_pton(AF_INET, "127.0.2.1", &to.sin_addr);
  ASSERT_EQ(::sendto(fd, "x", 1, 0, reinterpret_cast<sockaddr*>(&to), sizeof to), 1);
  char buf[8];
  size_t got = 0;
  IKalNetworkAddress* from_raw = nullptr;
  ASSERT_EQ(rx->receive(buf, sizeof buf, -1, &got, &from_raw), 0) << "-1 waits for the datagram";
  Address from(from_raw);
  EXPECT_STREQ(from->text(), "127.0.2.2");
  EXPECT_EQ(from->get_port(), port_of(fd));
  ::close(fd);
}

TEST(DataGramSocket, SendAndReceiveOnIpv6Loopback) {
  Socket rx = open_socket(P::IPv6);
  Socket tx = open_socket(P::IPv6);
  ASSERT_TRUE(rx && tx);
  Address to = address("::1", P::IPv6, rx->local_address()->get_port());
  ASSERT_EQ(tx->send("abc", 3, to.get()), 0);
  char buf[8];
  size_t got = 0;
  IKalNetworkAddress* from_raw = nullptr;
  ASSERT_EQ(rx->receive(buf, sizeof buf, 2000, &got, &from_raw), 0);
  Address from(from_raw);
  EXPECT_EQ(got, 3u);
  EXPECT_STREQ(from->text(), "::1");
  EXPECT_EQ(from->get_protocol(), P::IPv6);
  EXPECT_EQ(from->get_port(), tx->local_address()->get_port());
}

TEST(DataGramSocket, LargerDatagramIsCutToTheBuffer) {
  Socket rx = open_socket(P::IPv4);
  Socket tx = open_socket(P::IPv4);
  ASSERT_TRUE(rx && tx);
  Address to = address("127.0.2.1", P::IPv4, rx->local_address()->get_port());
  ASSERT_EQ(tx->send("0123456789", 10, to.get()), 0);
  char buf[4] = {};
  size_t got = 0;
  IKalNetworkAddress* from_raw = nullptr;
  ASSERT_EQ(rx->receive(buf, sizeof buf, 2000, &got, &from_raw), 0);
  Address from(from_raw);
  EXPECT_EQ(got, 4u);
  EXPECT_EQ(std::string(buf, 4), "0123");
}

TEST(DataGramSocket, ReceiveWithTimeoutZeroAnswersTimeout) {
  Socket s = open_socket(P::IPv4);
  ASSERT_TRUE(s);
  char buf[8];
  size_t got = 0;
  IKalNetworkAddress* from = reinterpret_cast<IKalNetworkAddress*>(1);
  EXPECT_EQ(s->receive(buf, sizeof buf, 0, &got, &from), kKasErrTimeout);
  EXPECT_EQ(from, nullptr) << "the address out is cleared first";
}

TEST(DataGramSocket, ReceiveRefusesBadArguments) {
  Socket s = open_socket(P::IPv4);
  ASSERT_TRUE(s);
  char buf[8];
  size_t got = 0;
  IKalNetworkAddress* from = nullptr;
  EXPECT_EQ(s->receive(nullptr, 8, 0, &got, &from), kKalErrInvalidArg);
  EXPECT_EQ(s->receive(buf, 8, 0, nullptr, &from), kKalErrInvalidArg);
  EXPECT_EQ(s->receive(buf, 8, 0, &got, nullptr), kKalErrInvalidArg);
  EXPECT_EQ(s->receive(buf, 8, -2, &got, &from), kKalErrInvalidArg);
}

TEST(DataGramSocket, SendRefusesBadDestinations) {
  Socket s = open_socket(P::IPv4);
  ASSERT_TRUE(s);
  Address v6 = address("::1", P::IPv6, 1);
  EXPECT_EQ(s->send("x", 1, v6.get()), kKalErrInvalidArg);
  Address name = address("localhost", P::IPv4, 1);
  EXPECT_EQ(s->send("x", 1, name.get()), kKalErrInvalidArg);
  Address empty(kal_create_network_address());
  EXPECT_EQ(s->send("x", 1, empty.get()), kKalErrInvalidArg);
  EXPECT_EQ(s->send("x", 1, nullptr), kKalErrInvalidArg);
  Address ok = address("127.0.2.1", P::IPv4, 9);
  EXPECT_EQ(s->send(nullptr, 1, ok.get()), kKalErrInvalidArg);
  Socket s6 = open_socket(P::IPv6);
  Address host = address("localhost", P::IPv6, 1);
  EXPECT_EQ(s6->send("x", 1, host.get()), kKalErrInvalidArg) << "no name look-up";
}

// The broadcast address converts on an IPv4 socket; without the broadcast
// option the kernel refuses the send, so nothing leaves this machine.
TEST(DataGramSocket, BroadcastAddressConvertsButNeedsTheOption) {
  NKalSocketAPI::ScopedTable saved;
  static uint32_t sent_to;
  NKalSocketAPI::table().sendto = [](int, const void*, size_t n, int, const sockaddr* to,
                                     uint32_t) -> long {
    sent_to = reinterpret_cast<const sockaddr_in*>(to)->sin_addr.s_addr;
    return static_cast<long>(n);
  };
  Socket s = open_socket(P::IPv4);
  ASSERT_TRUE(s);
  Address all = address("255.255.255.255", P::IPv4, 9);
  EXPECT_EQ(s->send("x", 1, all.get()), 0);
  EXPECT_EQ(sent_to, 0xffffffffu);
}

TEST(DataGramSocketFaults, FailingSendtoAnswersSendError) {
  NKalSocketAPI::ScopedTable saved;
  NKalSocketAPI::table().sendto = [](int, const void*, size_t, int, const sockaddr*,
                                     uint32_t) -> long {
    errno = ENOBUFS;
    return -1;
  };
  Socket s = open_socket(P::IPv4);
  Address to = address("127.0.2.1", P::IPv4, 9);
  EXPECT_EQ(s->send("x", 1, to.get()), kKasErrSend);
}

TEST(DataGramSocketFaults, PartialSendStillSucceeds) {
  NKalSocketAPI::ScopedTable saved;
  NKalSocketAPI::table().sendto = [](int, const void*, size_t n, int, const sockaddr*,
                                     uint32_t) -> long { return static_cast<long>(n) - 1; };
  Socket s = open_socket(P::IPv4);
  Address to = address("127.0.2.1", P::IPv4, 9);
  EXPECT_EQ(s->send("abcd", 4, to.get()), 0);
}

TEST(DataGramSocketFaults, FailingSelectAnswersReceiveError) {
  NKalSocketAPI::ScopedTable saved;
  NKalSocketAPI::table().select = [](int, int) {
    errno = EBADF;
    return -1;
  };
  Socket s = open_socket(P::IPv4);
  char buf[4];
  size_t got = 0;
  IKalNetworkAddress* from = nullptr;
  EXPECT_EQ(s->receive(buf, sizeof buf, 10, &got, &from), kKasErrReceive);
  EXPECT_EQ(from, nullptr);
}

TEST(DataGramSocketFaults, TimeoutIsPassedAsMilliseconds) {
  NKalSocketAPI::ScopedTable saved;
  static int seen;
  NKalSocketAPI::table().select = [](int, int timeout_ms) {
    seen = timeout_ms;
    return 0;
  };
  Socket s = open_socket(P::IPv4);
  char buf[4];
  size_t got = 0;
  IKalNetworkAddress* from = nullptr;
  EXPECT_EQ(s->receive(buf, sizeof buf, 2500, &got, &from), kKasErrTimeout);
  EXPECT_EQ(seen, 2500);
  EXPECT_EQ(s->receive(buf, sizeof buf, -1, &got, &from), kKasErrTimeout);
  EXPECT_EQ(seen, -1);
}

TEST(DataGramSocketFaults, FailingRecvfromAnswersReceiveError) {
  NKalSocketAPI::ScopedTable saved;
  NKalSocketAPI::table().select = [](int, int) { return 1; };
  NKalSocketAPI::table().recvfrom = [](int, void*, size_t, int, sockaddr*, uint32_t*) -> long {
    errno = ECONNREFUSED;
    return -1;
  };
  Socket s = open_socket(P::IPv4);
  char buf[4];
  size_t got = 0;
  IKalNetworkAddress* from = nullptr;
  EXPECT_EQ(s->receive(buf, sizeof buf, 10, &got, &from), kKasErrReceive);
}

TEST(DataGramSocketFaults, UnconvertibleSourceAnswersGeneralAndLeaksNothing) {
  NKalSocketAPI::ScopedTable saved;
  NKalSocketAPI::table().select = [](int, int) { return 1; };
  NKalSocketAPI::table().recvfrom = [](int, void*, size_t n, int, sockaddr* from,
                                       uint32_t* len) -> long {
    std::memset(from, 0, *len);
    from->sa_family = AF_UNIX;  // not an IPv4 source
    return static_cast<long>(n);
  };
  Socket s = open_socket(P::IPv4);
  char buf[4];
  size_t got = 0;
  IKalNetworkAddress* from = nullptr;
  EXPECT_EQ(s->receive(buf, sizeof buf, 10, &got, &from), kKalErrGeneral);
  EXPECT_EQ(from, nullptr);
}

TEST(DataGramSocketFaults, FailingSocketAndBindAndGetsockname) {
  {
    NKalSocketAPI::ScopedTable saved;
    NKalSocketAPI::table().socket = [](int, int, int) {
      errno = EMFILE;
      return -1;
    };
    int rc = 0;
    EXPECT_FALSE(open_socket(P::IPv4, 0, &rc));
    EXPECT_EQ(rc, kKasErrSocketOpen);
  }
  {
    NKalSocketAPI::ScopedTable saved;
    NKalSocketAPI::table().bind = [](int, const sockaddr*, uint32_t) {
      errno = EACCES;
      return -1;
    };
    int rc = 0;
    EXPECT_FALSE(open_socket(P::IPv6, 0, &rc));
    EXPECT_EQ(rc, kKasErrBind);
  }
  {
    NKalSocketAPI::ScopedTable saved;
    NKalSocketAPI::table().getsockname = [](int, sockaddr*, uint32_t*) { return -1; };
    int rc = 0;
    EXPECT_FALSE(open_socket(P::IPv4, 0, &rc));
    EXPECT_EQ(rc, kKalErrGeneral);
  }
  {
    NKalSocketAPI::ScopedTable saved;
    NKalSocketAPI::table().WSAStartup = [](uint16_t) { return 10091; };
    int rc = 0;
    EXPECT_FALSE(open_socket(P::IPv4, 0, &rc));
    EXPECT_EQ(rc, kKalErrGeneral);
  }
}

TEST(DataGramSocketFaults, ClosesWhatItOpened) {
  NKalSocketAPI::ScopedTable saved;
  static int closed;
  closed = -1;
  NKalSocketAPI::table().closesocket = [](int fd) {
    closed = fd;
    return ::close(fd);
  };
  int fd = -1;
  {
    Socket s = open_socket(P::IPv4);
    ASSERT_TRUE(s);
    fd = s->handle();
  }
  EXPECT_EQ(closed, fd);
}

TEST(DataGramSocketOptions, BroadcastOptionFailureAnswersGeneral) {
  NKalSocketAPI::ScopedTable saved;
  NKalSocketAPI::table().setsockopt = [](int, int, int, const void*, uint32_t) {
    errno = ENOPROTOOPT;
    return -1;
  };
  Socket s = open_socket(P::IPv4);
  EXPECT_EQ(s->set_broadcast(true), kKalErrGeneral);
  Socket s6 = open_socket(P::IPv6);
  EXPECT_EQ(s6->set_broadcast(true), 0) << "IPv6 has no broadcast: nothing to set";
  EXPECT_EQ(s->join_multicast_group("239.1.2.3"), kKalErrGeneral);
}

TEST(DataGramSocketOptions, MulticastGroupTexts) {
  NKalSocketAPI::ScopedTable saved;
  static uint8_t group[16];
  static int level;
  NKalSocketAPI::table().setsockopt = [](int, int lvl, int, const void* v, uint32_t n) {
    level = lvl;
    std::memcpy(group, v, n < 16 ? n : 16);
    return 0;
  };
  Socket s = open_socket(P::IPv4);
  ASSERT_EQ(s->join_multicast_group("239.1.2.3"), 0);
  EXPECT_EQ(level, IPPROTO_IP);
  EXPECT_EQ(group[0], 239);
  EXPECT_EQ(group[3], 3);
  EXPECT_EQ(s->join_multicast_group("239.1.2"), kKalErrGeneral);
  EXPECT_EQ(s->join_multicast_group(nullptr), kKalErrInvalidArg);
  Socket s6 = open_socket(P::IPv6);
  ASSERT_EQ(s6->join_multicast_group("ff02::1:3"), 0);
  EXPECT_EQ(level, IPPROTO_IPV6);
  EXPECT_EQ(group[0], 0xff);
  EXPECT_EQ(group[1], 0x02);
  EXPECT_EQ(group[13], 0x01);
  EXPECT_EQ(group[15], 0x03);
  EXPECT_EQ(s6->join_multicast_group("ff02::1::3"), kKalErrInvalidArg);
}

TEST(SocketApi, StartupsBalanceOverASocketsLife) {
  const long before = NKalSocketAPI::outstanding_startups();
  {
    Socket s = open_socket(P::IPv4);
    ASSERT_TRUE(s);
    EXPECT_EQ(NKalSocketAPI::outstanding_startups(), before + 1);
  }
  EXPECT_EQ(NKalSocketAPI::outstanding_startups(), before);
  EXPECT_TRUE(NKalSocketAPI::has_resolver());
}

TEST(SocketApi, TickCountIsReplaceable) {
  NKalSocketAPI::ScopedTable saved;
  NKalSocketAPI::table().GetTickCount = [] { return 0xfffffff0u; };
  EXPECT_EQ(NKalSocketAPI::tick_count(), 0xfffffff0u);
}

}  // namespace
