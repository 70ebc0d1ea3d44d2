// NKalSocketAPI: the process-wide socket function table. Every socket call of
// the system goes through it, which makes it the test seam: a test replaces
// single entries (a failing sendto or select, a partial send) and puts the
// table back with ScopedTable. The platform file fills it (POSIX: the C
// library's calls; start-up and clean-up only count). Platform constants and
// socket-address layouts stay in the platform file too: callers use the
// helpers below and never see errno values as statuses.
//
// The table is filled once, under a lock; afterwards it is read without
// locking, so tests change entries only while no other thread uses sockets.
#ifndef TRANSPORT_SOCKET_API_H_
#define TRANSPORT_SOCKET_API_H_

#include <cstddef>
#include <cstdint>

#include "common/network_address.h"

struct sockaddr;
struct addrinfo;

// A platform socket address: 128 bytes (room for any family) and the length
// in use.
struct KalSockAddr {
  alignas(16) unsigned char bytes[128];
  uint32_t length;
};

namespace NKalSocketAPI {

struct FunctionTable {
  // Start-up and clean-up of the socket library (version 0x0101 or 0x0202).
  // On POSIX they only count, so that every start has its clean-up.
  int (*WSAStartup)(uint16_t version);
  int (*WSACleanup)();
  // The error of the last failed call on this thread (errno on POSIX).
  int (*WSAGetLastError)();
  int (*socket)(int family, int type, int protocol);
  int (*bind)(int fd, const sockaddr* address, uint32_t length);
  int (*getsockname)(int fd, sockaddr* address, uint32_t* length);
  int (*setsockopt)(int fd, int level, int name, const void* value, uint32_t length);
  long (*sendto)(int fd, const void* buffer, size_t length, int flags, const sockaddr* to,
                 uint32_t to_length);
  long (*recvfrom)(int fd, void* buffer, size_t length, int flags, sockaddr* from,
                   uint32_t* from_length);
  // Waits until `fd` is readable: 1 readable, 0 time-out, -1 failure.
  // timeout_ms < 0 waits without limit. (POSIX: poll, which has no
  // descriptor-number limit, unlike select's fd_set.)
  int (*select)(int fd, int timeout_ms);
  int (*closesocket)(int fd);
  // The optional resolver set; null entries mean the set is unavailable.
  int (*getaddrinfo)(const char* node, const char* service, const addrinfo* hints,
                     addrinfo** result);
  int (*getnameinfo)(const sockaddr* address, uint32_t length, char* host, uint32_t host_size,
                     char* service, uint32_t service_size, int flags);
  void (*freeaddrinfo)(addrinfo* list);
  // Milliseconds from an arbitrary start, wrapping at 2^32 (steady clock).
  uint32_t (*GetTickCount)();
};

// The table, filled on first use. Tests may assign entries.
FunctionTable& table();
// The platform's own table (what table() starts as).
FunctionTable platform_table();

// Makes sure the table is filled. Answers 0.
int set_api();
// set_api, then WSAStartup 1.1 / 2.2. Answers 0, or kKalErrGeneral after
// logging the start-up failure.
int bind_and_start_v11();
int bind_and_start_v22();
// WSACleanup, when the table is filled.
void stop();
// Whether getaddrinfo, getnameinfo and freeaddrinfo are all present.
bool has_resolver();
// Start-ups not yet matched by a clean-up (tests check the balance).
long outstanding_startups();
// Milliseconds through the table's GetTickCount.
uint32_t tick_count();

// Saves the whole table and puts it back when the scope ends.
class ScopedTable {
 public:
  ScopedTable() : saved_(table()) {}
  ~ScopedTable() { table() = saved_; }
  ScopedTable(const ScopedTable&) = delete;
  ScopedTable& operator=(const ScopedTable&) = delete;

 private:
  FunctionTable saved_;
};

// ---- Platform constants and conversions (socket_api_posix.cc) ----

// Socket family of a protocol (IPv4, IPX, IPv6); -1 for any other.
int family_of(int protocol);
// Protocol of a socket family; Unknown for other families.
IKalNetworkAddress::EProtocol protocol_of(int family);
int datagram_type();
// The socket protocol number a datagram socket of `protocol` is opened with.
int datagram_protocol(int protocol);

// IPv4: the text read as dotted decimal (leading zeros are decimal; short
// forms such as 127.1 as inet_aton reads them) and the port, into an AF_INET
// address. Answers 0 or kKalErrInvalidArg.
int ipv4_to_sockaddr(const char* text, uint16_t port, KalSockAddr* out);
// IPv4 back to text and port. Answers 0 or kKalErrInvalidArg (not AF_INET).
int ipv4_from_sockaddr(const KalSockAddr& in, IKalNetworkAddress* address);
// IPX: "nnnnnnnn:hhhhhhhhhhhh" and the socket number, into an AF_IPX address.
int ipx_to_sockaddr(const char* text, uint16_t port, KalSockAddr* out);
int ipx_from_sockaddr(const KalSockAddr& in, IKalNetworkAddress* address);
// Any family through the resolver, numeric only: getaddrinfo(text, port) and
// getnameinfo back. Answers 0, kKalErrInvalidArg (unconvertible text or no
// resolver) or kKalErrGeneral (getnameinfo failed).
int any_to_sockaddr(const char* text, uint16_t port, KalSockAddr* out);
int any_from_sockaddr(const KalSockAddr& in, int protocol, IKalNetworkAddress* address);

// The resolver, numeric only (getaddrinfo with AI_PASSIVE | AI_NUMERICHOST,
// any family, datagram; a host name never resolves). *pProtocol: the
// protocol of the first result's family. Answers 0 or kKalErrGeneral.
int numeric_protocol(const char* text, IKalNetworkAddress::EProtocol* pProtocol);
// The numeric host text of the first result, through getnameinfo with
// NI_NUMERICHOST into a 1,025-byte buffer (host[size], size >= 1025
// recommended). Answers 0 or kKalErrGeneral.
int numeric_host(const char* text, char* host, size_t size);

// setsockopt helpers; answer the setsockopt result (0 or -1).
int set_broadcast_option(int fd, bool on);
int join_group_v4(int fd, const uint8_t group[4]);
int join_group_v6(int fd, const uint8_t group[16]);

}  // namespace NKalSocketAPI

#endif  // TRANSPORT_SOCKET_API_H_
