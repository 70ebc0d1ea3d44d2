// The socket function table filled from the C library, and the platform's
// constants and socket-address layouts. Only this file knows sockaddr_in,
// sockaddr_in6, sockaddr_ipx and errno.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netipx/ipx.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "common/network_address_forms.h"
#include "common/status.h"
#include "log/log.h"
#include "transport/socket_api.h"

namespace NKalSocketAPI {
namespace {

std::atomic<long> g_startups{0};

int posix_startup(uint16_t) {
  g_startups.fetch_add(1);
  return 0;
}
int posix_cleanup() {
  g_startups.fetch_sub(1);
  return 0;
}
int posix_last_error() { return errno; }
int posix_socket(int family, int type, int protocol) {
  return ::socket(family, type | SOCK_CLOEXEC, protocol);
}
int posix_bind(int fd, const sockaddr* a, uint32_t n) { return ::bind(fd, a, n); }
int posix_getsockname(int fd, sockaddr* a, uint32_t* n) {
  socklen_t len = *n;
  const int rc = ::getsockname(fd, a, &len);
  *n = len;
  return rc;
}
int posix_setsockopt(int fd, int level, int name, const void* v, uint32_t n) {
  return ::setsockopt(fd, level, name, v, n);
}
long posix_sendto(int fd, const void* b, size_t n, int flags, const sockaddr* to, uint32_t tn) {
  ssize_t rc;
  do {
    rc = ::sendto(fd, b, n, flags | MSG_NOSIGNAL, to, tn);
  } while (rc < 0 && errno == EINTR);
  return rc;
}
long posix_recvfrom(int fd, void* b, size_t n, int flags, sockaddr* from, uint32_t* fn) {
  socklen_t len = fn ? *fn : 0;
  ssize_t rc;
  do {
    rc = ::recvfrom(fd, b, n, flags, from, fn ? &len : nullptr);
  } while (rc < 0 && errno == EINTR);
  if (fn) *fn = len;
  return rc;
}
uint32_t steady_tick() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
// A signal may interrupt the wait; wait again for what is left of the time.
int posix_select(int fd, int timeout_ms) {
  pollfd p{fd, POLLIN, 0};
  const uint32_t start = steady_tick();
  int left = timeout_ms;
  for (;;) {
    const int rc = ::poll(&p, 1, left < 0 ? -1 : left);
    if (rc >= 0 || errno != EINTR) return rc < 0 ? -1 : (rc > 0 ? 1 : 0);
    if (timeout_ms >= 0) {
      // Unsigned tick arithmetic: the difference stays right when the counter wraps.
      const uint32_t spent = steady_tick() - start;
      if (spent >= static_cast<uint32_t>(timeout_ms)) return 0;
      left = timeout_ms - static_cast<int>(spent);
    }
  }
}
int posix_close(int fd) { return ::close(fd); }
int posix_getaddrinfo(const char* node, const char* service, const addrinfo* hints,
                      addrinfo** result) {
  return ::getaddrinfo(node, service, hints, result);
}
int posix_getnameinfo(const sockaddr* a, uint32_t n, char* host, uint32_t hs, char* serv,
                      uint32_t ss, int flags) {
  return ::getnameinfo(a, n, host, hs, serv, ss, flags);
}
void posix_freeaddrinfo(addrinfo* list) { ::freeaddrinfo(list); }

std::once_flag g_fill_once;
FunctionTable g_table{};

// Runs getaddrinfo with numeric-only hints through the table; *pList must be
// freed with the table's freeaddrinfo when the answer is 0.
int numeric_lookup(const char* node, const char* service, addrinfo** pList) {
  const FunctionTable& t = table();
  if (!node || !t.getaddrinfo || !t.freeaddrinfo) return kKalErrGeneral;
  addrinfo hints{};
  hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST | (service ? AI_NUMERICSERV : 0);
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  *pList = nullptr;
  if (t.getaddrinfo(node, service, &hints, pList) != 0 || !*pList) {
    if (*pList) t.freeaddrinfo(*pList);
    return kKalErrGeneral;
  }
  return kKalOk;
}

}  // namespace

FunctionTable platform_table() {
  FunctionTable t{};
  t.WSAStartup = &posix_startup;
  t.WSACleanup = &posix_cleanup;
  t.WSAGetLastError = &posix_last_error;
  t.socket = &posix_socket;
  t.bind = &posix_bind;
  t.getsockname = &posix_getsockname;
  t.setsockopt = &posix_setsockopt;
  t.sendto = &posix_sendto;
  t.recvfrom = &posix_recvfrom;
  t.select = &posix_select;
  t.closesocket = &posix_close;
  t.getaddrinfo = &posix_getaddrinfo;
  t.getnameinfo = &posix_getnameinfo;
  t.freeaddrinfo = &posix_freeaddrinfo;
  t.GetTickCount = &steady_tick;
  return t;
}

FunctionTable& table() {
  std::call_once(g_fill_once, [] {
    kal_log(kKalModuleSocket, kKalLogTrace, "[%s] enter.", "NKalSocketAPI::set_api");
    g_table = platform_table();
    kal_log(kKalModuleSocket, kKalLogTrace, "[%s] exit.", "NKalSocketAPI::set_api");
  });
  return g_table;
}

int set_api() {
  table();
  return kKalOk;
}

namespace {
int bind_and_start(uint16_t version, const char* name) {
  if (int rc = set_api(); rc != kKalOk) return rc;
  const FunctionTable& t = table();
  if (t.WSAStartup(version) != 0) {
    kal_log(kKalModuleSocket, kKalLogError, "fail WSAStartup(%s). WSAGetLastError()=%d", name,
            t.WSAGetLastError());
    return kKalErrGeneral;
  }
  return kKalOk;
}
}  // namespace

int bind_and_start_v11() { return bind_and_start(0x0101, "1.1"); }
int bind_and_start_v22() { return bind_and_start(0x0202, "2.2"); }

void stop() { table().WSACleanup(); }

bool has_resolver() {
  const FunctionTable& t = table();
  return t.getaddrinfo && t.getnameinfo && t.freeaddrinfo;
}

long outstanding_startups() { return g_startups.load(); }

uint32_t tick_count() { return table().GetTickCount(); }

int family_of(int protocol) {
  switch (protocol) {
    case IKalNetworkAddress::IPv4: return AF_INET;
    case IKalNetworkAddress::IPX: return AF_IPX;
    case IKalNetworkAddress::IPv6: return AF_INET6;
    default: return -1;
  }
}

IKalNetworkAddress::EProtocol protocol_of(int family) {
  switch (family) {
    case AF_INET: return IKalNetworkAddress::IPv4;
    case AF_IPX: return IKalNetworkAddress::IPX;
    case AF_INET6: return IKalNetworkAddress::IPv6;
    default: return IKalNetworkAddress::Unknown;
  }
}

int datagram_type() { return SOCK_DGRAM; }

// Windows opens IPX datagram sockets with NSPROTO_IPX (1000); Linux takes 0.
int datagram_protocol(int) { return 0; }

int ipv4_to_sockaddr(const char* text, uint16_t port, KalSockAddr* out) {
  uint8_t octets[4];
  if (!text || !out) return kKalErrInvalidArg;
  // Dotted decimal first (leading zeros are decimal, as the address service
  // reads them); then the short forms inet_aton knows ("127.1").
  if (!kal_read_ipv4_decimal(text, octets)) {
    in_addr parsed{};
    if (inet_aton(text, &parsed) == 0) return kKalErrInvalidArg;
    std::memcpy(octets, &parsed, 4);
  }
  std::memset(out, 0, sizeof *out);
  auto* sin = reinterpret_cast<sockaddr_in*>(out->bytes);
  sin->sin_family = AF_INET;
  sin->sin_port = htons(port);
  std::memcpy(&sin->sin_addr, octets, 4);
  out->length = sizeof(sockaddr_in);
  return kKalOk;
}

namespace {

// Dotted decimal as inet_ntop writes it, without its printf: every received
// datagram's source goes through here. `out` has room for 16 characters.
void format_ipv4(const uint8_t octets[4], char* out) {
  char* p = out;
  for (int i = 0; i < 4; ++i) {
    unsigned v = octets[i];
    if (v >= 100) *p++ = static_cast<char>('0' + v / 100);
    if (v >= 10) *p++ = static_cast<char>('0' + v / 10 % 10);
    *p++ = static_cast<char>('0' + v % 10);
    if (i < 3) *p++ = '.';
  }
  *p = '\0';
}

}  // namespace

int ipv4_from_sockaddr(const KalSockAddr& in, IKalNetworkAddress* address) {
  const auto* sin = reinterpret_cast<const sockaddr_in*>(in.bytes);
  if (!address || sin->sin_family != AF_INET) return kKalErrInvalidArg;
  uint8_t octets[4];
  std::memcpy(octets, &sin->sin_addr, 4);
  char text[INET_ADDRSTRLEN];
  format_ipv4(octets, text);
  return address->set(text, IKalNetworkAddress::IPv4, ntohs(sin->sin_port));
}

int ipx_to_sockaddr(const char* text, uint16_t port, KalSockAddr* out) {
  uint8_t network[4], node[6];
  if (!text || !out || !kal_read_ipx_text(text, network, node)) return kKalErrInvalidArg;
  std::memset(out, 0, sizeof *out);
  auto* sipx = reinterpret_cast<sockaddr_ipx*>(out->bytes);
  sipx->sipx_family = AF_IPX;
  std::memcpy(&sipx->sipx_network, network, 4);
  std::memcpy(sipx->sipx_node, node, 6);
  sipx->sipx_port = htons(port);
  out->length = sizeof(sockaddr_ipx);
  return kKalOk;
}

int ipx_from_sockaddr(const KalSockAddr& in, IKalNetworkAddress* address) {
  const auto* sipx = reinterpret_cast<const sockaddr_ipx*>(in.bytes);
  if (!address || sipx->sipx_family != AF_IPX) return kKalErrInvalidArg;
  uint8_t n[4];
  std::memcpy(n, &sipx->sipx_network, 4);
  const unsigned char* d = sipx->sipx_node;
  char text[32];
  std::snprintf(text, sizeof text, "%02x%02x%02x%02x:%02x%02x%02x%02x%02x%02x", n[0], n[1], n[2],
                n[3], d[0], d[1], d[2], d[3], d[4], d[5]);
  return address->set(text, IKalNetworkAddress::IPX, ntohs(sipx->sipx_port));
}

int any_to_sockaddr(const char* text, uint16_t port, KalSockAddr* out) {
  if (!text || !out) return kKalErrInvalidArg;
  char service[8];
  std::snprintf(service, sizeof service, "%d", port);
  addrinfo* list = nullptr;
  if (numeric_lookup(text, service, &list) != kKalOk) return kKalErrInvalidArg;
  int rc = kKalErrInvalidArg;
  if (list->ai_addr && list->ai_addrlen <= sizeof out->bytes) {
    std::memset(out, 0, sizeof *out);
    std::memcpy(out->bytes, list->ai_addr, list->ai_addrlen);
    out->length = list->ai_addrlen;
    rc = kKalOk;
  }
  table().freeaddrinfo(list);
  return rc;
}

int any_from_sockaddr(const KalSockAddr& in, int protocol, IKalNetworkAddress* address) {
  const FunctionTable& t = table();
  if (!address || !t.getnameinfo) return kKalErrInvalidArg;
  uint32_t length = 128;
  switch (protocol) {
    case IKalNetworkAddress::IPv4: length = sizeof(sockaddr_in); break;
    case IKalNetworkAddress::IPX: length = sizeof(sockaddr_ipx); break;
    case IKalNetworkAddress::IPv6: length = sizeof(sockaddr_in6); break;
  }
  char host[1025], service[32];
  if (t.getnameinfo(reinterpret_cast<const sockaddr*>(in.bytes), length, host, sizeof host,
                    service, sizeof service, NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
    return kKalErrGeneral;
  }
  unsigned long port = 0;
  if (std::sscanf(service, "%lu", &port) != 1 || port > 65535) return kKalErrGeneral;
  const int family = reinterpret_cast<const sockaddr*>(in.bytes)->sa_family;
  return address->set(host, protocol_of(family), static_cast<uint16_t>(port));
}

int numeric_protocol(const char* text, IKalNetworkAddress::EProtocol* pProtocol) {
  if (pProtocol) *pProtocol = IKalNetworkAddress::Unknown;
  addrinfo* list = nullptr;
  if (numeric_lookup(text, nullptr, &list) != kKalOk) return kKalErrGeneral;
  if (pProtocol) *pProtocol = protocol_of(list->ai_family);
  table().freeaddrinfo(list);
  return kKalOk;
}

int numeric_host(const char* text, char* host, size_t size) {
  if (!host || size == 0) return kKalErrGeneral;
  host[0] = '\0';
  addrinfo* list = nullptr;
  if (numeric_lookup(text, nullptr, &list) != kKalOk) return kKalErrGeneral;
  const FunctionTable& t = table();
  int rc = kKalErrGeneral;
  if (t.getnameinfo && list->ai_addr &&
      t.getnameinfo(list->ai_addr, list->ai_addrlen, host, static_cast<uint32_t>(size), nullptr, 0,
                    NI_NUMERICHOST) == 0) {
    rc = kKalOk;
  }
  t.freeaddrinfo(list);
  return rc;
}

int set_broadcast_option(int fd, bool on) {
  const int value = on ? 1 : 0;
  return table().setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &value, sizeof value);
}

int join_group_v4(int fd, const uint8_t group[4]) {
  ip_mreq request{};
  std::memcpy(&request.imr_multiaddr, group, 4);
  request.imr_interface.s_addr = htonl(INADDR_ANY);
  return table().setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request);
}

int join_group_v6(int fd, const uint8_t group[16]) {
  ipv6_mreq request{};
  std::memcpy(&request.ipv6mr_multiaddr, group, 16);
  request.ipv6mr_interface = 0;
  return table().setsockopt(fd, IPPROTO_IPV6, IPV6_JOIN_GROUP, &request, sizeof request);
}

}  // namespace NKalSocketAPI
