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

// One receive into BUF; the source address is owned by the result.
struct Received {
  int rc;
  size_t got;
  Address from;
};
Received receive(DataGramSocket* s, char* buf, size_t capacity, int timeout_ms) {
  size_t got = 0;
  IKalNetworkAddress* from = reinterpret_cast<IKalNetworkAddress*>(1);
  const int rc = s->receive(buf, capacity, timeout_ms, &got, &from);
  EXPECT_TRUE(rc == 0 || from == nullptr) << "the address out is cleared first";
  return {rc, got, Address(rc == 0 ? from : nullptr)};
}

TEST(DataGramSocket, CreateFailuresLeaveNoSocketAndBalancedStartups) {
  DataGramSocket* raw = reinterpret_cast<DataGramSocket*>(1);
  EXPECT_EQ(DataGramSocket::create(3, &raw), kKalErrInvalidArg);
  EXPECT_EQ(raw, nullptr);
  EXPECT_EQ(DataGramSocket::create(0, &raw), kKalErrInvalidArg);
  EXPECT_EQ(DataGramSocket::create(P::IPv4, nullptr), kKalErrInvalidArg);

  Socket first = open_socket(P::IPv4);
  ASSERT_TRUE(first);
  const long startups = NKalSocketAPI::outstanding_startups();
  int rc = 0;
  EXPECT_FALSE(open_socket(P::IPv4, first->local_address()->get_port(), &rc));
  EXPECT_EQ(rc, kKasErrBind);
  EXPECT_FALSE(open_socket(P::IPX, 0, &rc));
  EXPECT_EQ(rc, kKasErrSocketOpen);
  EXPECT_EQ(NKalSocketAPI::outstanding_startups(), startups) << "the half-made socket stopped";
}

// Each family: port 0 reports the system's port, a datagram arrives whole with
// its source, and startups balance over the sockets' lives.
TEST(DataGramSocket, SendAndReceiveOnLoopback) {
  const long before = NKalSocketAPI::outstanding_startups();
  const struct {
    P protocol;
    const char* any;
    const char* loopback;
    const char* source;  // the kernel's choice for an unbound sender
  } rows[] = {{P::IPv4, "0.0.0.0", "127.0.2.1", "127.0.0.1"}, {P::IPv6, "::", "::1", "::1"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.loopback);
    Socket rx = open_socket(row.protocol);
    Socket tx = open_socket(row.protocol);
    ASSERT_TRUE(rx && tx);
    EXPECT_EQ(rx->local_address()->get_protocol(), row.protocol);
    EXPECT_STREQ(rx->local_address()->text(), row.any);
    EXPECT_NE(rx->local_address()->get_port(), 0);
    EXPECT_EQ(NKalSocketAPI::outstanding_startups(), before + 2);
    Address to = address(row.loopback, row.protocol, rx->local_address()->get_port());
    ASSERT_EQ(tx->send("hello", 6, to.get()), 0);
    char buf[64];
    Received r = receive(rx.get(), buf, sizeof buf, 2000);
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(r.got, 6u);
    EXPECT_STREQ(buf, "hello");
    EXPECT_STREQ(r.from->text(), row.source);
    EXPECT_EQ(r.from->get_protocol(), row.protocol);
    EXPECT_EQ(r.from->get_port(), tx->local_address()->get_port());
  }
  EXPECT_EQ(NKalSocketAPI::outstanding_startups(), before);
  EXPECT_TRUE(NKalSocketAPI::has_resolver());
}

TEST(DataGramSocket, ReceiveReportsTheSourceAndCutsToTheBuffer) {
  Socket rx = open_socket(P::IPv4);
  ASSERT_TRUE(rx);
  // A plain socket on another loopback address: a source other than the one
  // the system would pick.
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in sin{};
  sin.sin_family = AF_INET;
  inet_pton(AF_INET, "127.0.2.2", &sin.sin_addr);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&sin), sizeof sin), 0);
  socklen_t len = sizeof sin;
  getsockname(fd, reinterpret_cast<sockaddr*>(&sin), &len);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(rx->local_address()->get_port());
  inet_pton(AF_INET, "127.0.2.1", &to.sin_addr);
  ASSERT_EQ(::sendto(fd, "0123456789", 10, 0, reinterpret_cast<sockaddr*>(&to), sizeof to), 10);
  char buf[4] = {};
  Received r = receive(rx.get(), buf, sizeof buf, -1);  // -1 waits for the datagram
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.got, 4u);
  EXPECT_EQ(std::string(buf, 4), "0123");
  EXPECT_STREQ(r.from->text(), "127.0.2.2");
  EXPECT_EQ(r.from->get_port(), ntohs(sin.sin_port));
  ::close(fd);
}

TEST(DataGramSocket, BadArgumentsAndDestinationsAreRefused) {
  Socket s = open_socket(P::IPv4);
  ASSERT_TRUE(s);
  char buf[8];
  size_t got = 0;
  IKalNetworkAddress* from = nullptr;
  EXPECT_EQ(receive(s.get(), buf, sizeof buf, 0).rc, kKasErrTimeout);
  EXPECT_EQ(s->receive(nullptr, 8, 0, &got, &from), kKalErrInvalidArg);
  EXPECT_EQ(s->receive(buf, 8, 0, nullptr, &from), kKalErrInvalidArg);
  EXPECT_EQ(s->receive(buf, 8, 0, &got, nullptr), kKalErrInvalidArg);
  EXPECT_EQ(s->receive(buf, 8, -2, &got, &from), kKalErrInvalidArg);

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

// The broadcast address converts on an IPv4 socket; sendto is replaced, so
// nothing leaves this machine.
TEST(DataGramSocket, BroadcastAddressConverts) {
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

TEST(DataGramSocketFaults, FailingOrPartialSendto) {
  NKalSocketAPI::ScopedTable saved;
  Socket s = open_socket(P::IPv4);
  Address to = address("127.0.2.1", P::IPv4, 9);
  NKalSocketAPI::table().sendto = [](int, const void*, size_t, int, const sockaddr*,
                                     uint32_t) -> long {
    errno = ENOBUFS;
    return -1;
  };
  EXPECT_EQ(s->send("x", 1, to.get()), kKasErrSend);
  NKalSocketAPI::table().sendto = [](int, const void*, size_t n, int, const sockaddr*,
                                     uint32_t) -> long { return static_cast<long>(n) - 1; };
  EXPECT_EQ(s->send("abcd", 4, to.get()), 0) << "a partial send still succeeds";
}

TEST(DataGramSocketFaults, ReceiveFailures) {
  using Select = int (*)(int, int);
  using Recvfrom = long (*)(int, void*, size_t, int, sockaddr*, uint32_t*);
  const Select ready = [](int, int) { return 1; };
  const struct {
    const char* name;
    Select select;
    Recvfrom recvfrom;
    int rc;
  } rows[] = {
      {"select fails", [](int, int) { errno = EBADF; return -1; }, nullptr, kKasErrReceive},
      {"recvfrom fails", ready,
       [](int, void*, size_t, int, sockaddr*, uint32_t*) -> long {
         errno = ECONNREFUSED;
         return -1;
       },
       kKasErrReceive},
      // A source that does not convert: general, and no address leaks.
      {"non-IPv4 source", ready,
       [](int, void*, size_t n, int, sockaddr* from, uint32_t* len) -> long {
         std::memset(from, 0, *len);
         from->sa_family = AF_UNIX;
         return static_cast<long>(n);
       },
       kKalErrGeneral},
  };
  for (const auto& row : rows) {
    NKalSocketAPI::ScopedTable saved;
    NKalSocketAPI::table().select = row.select;
    if (row.recvfrom) NKalSocketAPI::table().recvfrom = row.recvfrom;
    Socket s = open_socket(P::IPv4);
    char buf[4];
    EXPECT_EQ(receive(s.get(), buf, sizeof buf, 10).rc, row.rc) << row.name;
  }
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
  EXPECT_EQ(receive(s.get(), buf, sizeof buf, 2500).rc, kKasErrTimeout);
  EXPECT_EQ(seen, 2500);
  EXPECT_EQ(receive(s.get(), buf, sizeof buf, -1).rc, kKasErrTimeout);
  EXPECT_EQ(seen, -1);
}

TEST(DataGramSocketFaults, FailingSocketAndBindAndGetsocknameAndStartup) {
  const struct {
    const char* name;
    void (*replace)(NKalSocketAPI::FunctionTable&);
    int protocol;
    int rc;
  } rows[] = {
      {"socket", [](NKalSocketAPI::FunctionTable& t) {
         t.socket = [](int, int, int) { errno = EMFILE; return -1; };
       }, P::IPv4, kKasErrSocketOpen},
      {"bind", [](NKalSocketAPI::FunctionTable& t) {
         t.bind = [](int, const sockaddr*, uint32_t) { errno = EACCES; return -1; };
       }, P::IPv6, kKasErrBind},
      {"getsockname", [](NKalSocketAPI::FunctionTable& t) {
         t.getsockname = [](int, sockaddr*, uint32_t*) { return -1; };
       }, P::IPv4, kKalErrGeneral},
      {"startup", [](NKalSocketAPI::FunctionTable& t) {
         t.WSAStartup = [](uint16_t) { return 10091; };
       }, P::IPv4, kKalErrGeneral},
  };
  for (const auto& row : rows) {
    NKalSocketAPI::ScopedTable saved;
    row.replace(NKalSocketAPI::table());
    int rc = 0;
    EXPECT_FALSE(open_socket(row.protocol, 0, &rc)) << row.name;
    EXPECT_EQ(rc, row.rc) << row.name;
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

}  // namespace
