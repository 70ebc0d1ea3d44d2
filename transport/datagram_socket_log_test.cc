// The datagram socket's log lines (module "socket"), read back through a
// capturing output.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "common/owned.h"
#include "common/status.h"
#include "log/capture_output.h"
#include "transport/datagram_socket.h"
#include "transport/socket_api.h"

namespace {

using P = IKalNetworkAddress::EProtocol;
using Socket = KalOwned<DataGramSocket>;
using Address = KalOwned<IKalNetworkAddress>;

class SocketLog : public testing::Test {
 protected:
  // The one captured line that contains `text`; fails unless there is one and
  // it names the module "socket".
  std::string line_with(const std::string& text) {
    std::string found;
    int count = 0;
    for (const std::string& line : log_.lines()) {
      if (line.find(text) != std::string::npos) {
        found = line;
        ++count;
      }
    }
    EXPECT_EQ(count, 1) << "lines with \"" << text << "\"";
    // The module column: the name padded to sixteen characters.
    EXPECT_NE(found.find(", socket          , "), std::string::npos) << found;
    return found;
  }
  Socket open(int protocol, int* pStatus = nullptr) {
    DataGramSocket* raw = nullptr;
    const int rc = DataGramSocket::create(protocol, 0, &raw);
    if (pStatus) *pStatus = rc;
    return Socket(raw);
  }
  KalScopedLogCapture log_;
};

TEST_F(SocketLog, CreateLogsHandleAndPort) {
  Socket s = open(P::IPv4);
  ASSERT_TRUE(s);
  const unsigned port = s->local_address()->get_port();
  char expected[96];
  std::snprintf(expected, sizeof expected, "create socket. id:0x%x port:%u(0x%x)",
                static_cast<unsigned>(s->handle()), port, port);
  line_with(expected);
}

TEST_F(SocketLog, IpxOpenFailureSaysWhy) {
  int rc = 0;
  Socket s = open(P::IPX, &rc);
  EXPECT_EQ(rc, kKasErrSocketOpen);
  char expected[64];
  std::snprintf(expected, sizeof expected, "fail socket(). WSAGetLastError()=%d", EAFNOSUPPORT);
  line_with(expected);
}

TEST_F(SocketLog, SendAndReceiveLines) {
  Socket rx = open(P::IPv4);
  Socket tx = open(P::IPv4);
  ASSERT_TRUE(rx && tx);
  const unsigned rport = rx->local_address()->get_port();
  const unsigned tport = tx->local_address()->get_port();
  Address to(kal_create_network_address("127.0.2.1", P::IPv4, static_cast<uint16_t>(rport)));
  ASSERT_EQ(tx->send("x", 1, to.get()), 0);
  char expected[160];
  std::snprintf(expected, sizeof expected,
                "[DataGramSocket::send] send packet. port:%u(0x%x) -> 127.0.2.1:%u(0x%x).", tport,
                tport, rport, rport);
  line_with(expected);
  char buf[4];
  size_t got = 0;
  IKalNetworkAddress* from = nullptr;
  ASSERT_EQ(rx->receive(buf, sizeof buf, 2000, &got, &from), 0);
  Address source(from);
  std::snprintf(expected, sizeof expected,
                "[DataGramSocket::receive] receive packet port:%u(0x%x) <- 127.0.0.1:%u(0x%x).",
                rport, rport, tport, tport);
  line_with(expected);
  EXPECT_EQ(rx->receive(buf, sizeof buf, 0, &got, &from), kKasErrTimeout);
  line_with("select API timeout.");
}

TEST_F(SocketLog, FailureLines) {
  NKalSocketAPI::ScopedTable saved;
  NKalSocketAPI::FunctionTable& t = NKalSocketAPI::table();
  t.sendto = [](int, const void*, size_t n, int, const sockaddr*, uint32_t) -> long {
    return static_cast<long>(n) / 2;
  };
  Socket s = open(P::IPv4);
  Address to(kal_create_network_address("127.0.2.1", P::IPv4, 9));
  ASSERT_EQ(s->send("abcd", 4, to.get()), 0);
  line_with("send(). size of sended bytes is not same that of buffer.");
  t.sendto = [](int, const void*, size_t, int, const sockaddr*, uint32_t) -> long {
    errno = ENETUNREACH;
    return -1;
  };
  ASSERT_EQ(s->send("abcd", 4, to.get()), kKasErrSend);
  line_with("fail send(). WSAGetLastError()=" + std::to_string(ENETUNREACH));
  t.select = [](int, int) {
    errno = EINVAL;
    return -1;
  };
  char buf[4];
  size_t got = 0;
  IKalNetworkAddress* from = nullptr;
  ASSERT_EQ(s->receive(buf, sizeof buf, 5, &got, &from), kKasErrReceive);
  line_with("fail select(). WSAGetLastError()=" + std::to_string(EINVAL));
  t.select = [](int, int) { return 1; };
  t.recvfrom = [](int, void*, size_t, int, sockaddr*, uint32_t*) -> long {
    errno = ECONNREFUSED;
    return -1;
  };
  ASSERT_EQ(s->receive(buf, sizeof buf, 5, &got, &from), kKasErrReceive);
  line_with("fail recvfrom(). WSAGetLastError()=" + std::to_string(ECONNREFUSED));
  t.setsockopt = [](int, int, int, const void*, uint32_t) {
    errno = ENOPROTOOPT;
    return -1;
  };
  ASSERT_EQ(s->set_broadcast(true), kKalErrGeneral);
  line_with("fail setsockopt(). can't set broadcast flag. WSAGetLastError()=" +
            std::to_string(ENOPROTOOPT));
  ASSERT_EQ(s->join_multicast_group("239.1.1.1"), kKalErrGeneral);
  line_with("fail setsockopt(). can't set multicast flag. WSAGetLastError()=" +
            std::to_string(ENOPROTOOPT));
  ASSERT_EQ(s->join_multicast_group("not.a.group"), kKalErrGeneral);
  line_with("fail inet_addr(). WSAGetLastError()=");
}

TEST_F(SocketLog, BindAndStartupFailureLines) {
  NKalSocketAPI::ScopedTable saved;
  NKalSocketAPI::FunctionTable& t = NKalSocketAPI::table();
  t.bind = [](int, const sockaddr*, uint32_t) {
    errno = EADDRINUSE;
    return -1;
  };
  int rc = 0;
  open(P::IPv4, &rc);
  EXPECT_EQ(rc, kKasErrBind);
  line_with("fail bind(). WSAGetLastError()=" + std::to_string(EADDRINUSE));
  t.WSAStartup = [](uint16_t) { return -1; };
  open(P::IPv4, &rc);
  EXPECT_EQ(rc, kKalErrGeneral);
  line_with("fail WSAStartup(1.1). WSAGetLastError()=");
  open(P::IPv6, &rc);
  line_with("fail WSAStartup(2.2). WSAGetLastError()=");
}

}  // namespace
