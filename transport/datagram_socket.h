// DataGramSocket: the one UDP endpoint the SNMP sessions use. It opens and
// binds a datagram socket for one address protocol (IPv4, IPv6; IPX sockets
// cannot be opened on this platform and answer kKasErrSocketOpen), sends a
// buffer to a network address, waits for and receives one datagram with a
// time-out, and switches on broadcast or joins a multicast group. Every
// socket call goes through NKalSocketAPI's table; log lines go to the module
// "socket". No lock: one session uses a socket at a time.
#ifndef TRANSPORT_DATAGRAM_SOCKET_H_
#define TRANSPORT_DATAGRAM_SOCKET_H_

#include <cstddef>
#include <cstdint>

#include "common/network_address.h"
#include "transport/socket_api.h"

class DataGramSocket {
 public:
  // Opens a socket of `protocol` (IPv4 1, IPX 2, IPv6 4) bound to the
  // protocol's "any" address and `port` (0: the system picks one). *ppOut
  // receives the socket; the caller owns it and frees it with release().
  // Answers 0; kKalErrInvalidArg for a null ppOut or another protocol;
  // kKalErrNoMemory; kKalErrGeneral (library start-up, or reading back the
  // bound address); kKasErrSocketOpen; kKasErrBind.
  static int create(int protocol, uint16_t port, DataGramSocket** ppOut);
  static int create(int protocol, DataGramSocket** ppOut);

  // Closes the socket and frees the object.
  virtual void release();
  // Sends `length` bytes to `destination` (its text and port). Answers 0 (a
  // partial send is logged and still answers 0); kKalErrInvalidArg for a
  // null buffer or destination or an unconvertible destination;
  // kKasErrSend when sendto fails.
  virtual int send(const void* buffer, size_t length, const IKalNetworkAddress* destination);
  // Waits up to `timeout_ms` (-1: no limit; 0: poll once) for one datagram
  // and reads at most `capacity` bytes of it. On 0, *pReceived holds the
  // length and *ppFrom a new source address the caller owns. *ppFrom is
  // cleared first. Answers 0; kKalErrInvalidArg for null arguments or a
  // time-out below -1; kKasErrTimeout; kKasErrReceive (the wait or recvfrom
  // failed); kKalErrNoMemory; kKalErrGeneral (the source could not be
  // converted).
  virtual int receive(void* buffer, size_t capacity, int timeout_ms, size_t* pReceived,
                      IKalNetworkAddress** ppFrom);
  // receive with the source written into `source` (lent, kept by the caller
  // from one datagram to the next, so that receiving makes no object).
  // The same statuses, without kKalErrNoMemory for the source; `source` may
  // hold anything after a failure.
  int receive_into(void* buffer, size_t capacity, int timeout_ms, size_t* pReceived,
                   IKalNetworkAddress* source);
  // The bound local address (protocol, address text, the actual port). Lent:
  // good while the socket lives.
  virtual const IKalNetworkAddress* local_address() const;
  // IPv4 and IPX: SO_BROADCAST on or off; answers 0 or kKalErrGeneral. IPv6
  // does nothing and answers 0.
  virtual int set_broadcast(bool on);
  // Joins a multicast group on any interface. IPv4: dotted decimal group;
  // IPv6: group text with an optional "::". Answers 0; kKalErrGeneral (the
  // IPv4 text or setsockopt failed); kKalErrInvalidArg (null text, an IPv6
  // text that does not read, another protocol).
  virtual int join_multicast_group(const char* group);
  virtual ~DataGramSocket();

  // The platform socket handle, -1 when none is open (for tests and logs).
  int handle() const { return socket_; }

 protected:
  explicit DataGramSocket(IKalNetworkAddress* local);

  // Starts the socket library in the protocol's version; 0 or the error.
  virtual int start_library();
  // Sets the local address text to the protocol's "any" address; 0 or
  // kKalErrNoData when the protocol has none.
  virtual int set_local_any();
  // Platform socket address -> network address (text, port, protocol).
  virtual int from_platform(const KalSockAddr& in, IKalNetworkAddress* address);
  // Network address -> platform socket address.
  virtual int to_platform(const IKalNetworkAddress* address, KalSockAddr* out);
  // Opens the platform socket into socket_; 0 or kKasErrSocketOpen.
  virtual int open_socket();

  int protocol() const;

  int socket_ = -1;
  IKalNetworkAddress* local_ = nullptr;
  bool started_ = false;

 private:
  // The wait and recvfrom of receive: 0 with *pReceived and the platform's
  // source address, or the failure (logged).
  int wait_and_read(void* buffer, size_t capacity, int timeout_ms, size_t* pReceived,
                    KalSockAddr* from);
  // The log line of a received datagram.
  void log_received(const IKalNetworkAddress* source) const;
  int open(uint16_t port);
};

#endif  // TRANSPORT_DATAGRAM_SOCKET_H_
