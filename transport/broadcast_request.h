// Broadcast requests of the SNMPv1/v2c session: one encoded request sent once
// per try to a broadcast (or any) destination, and over (retries + 1)
// windows of the target's time-out, one answer collected per answering
// address into a packet list. Device discovery is built on it.
//
// A broadcast always runs for its whole budget and succeeds with whatever
// was collected, possibly nothing. Only socket failures (send, receive) and
// running out of memory fail it: a datagram that does not decode is dropped,
// since any host on the network can send one and must not be able to throw
// away every answer collected so far. Answers are not matched by request
// ID. Log lines go to the module "snmp". No lock: one broadcast per socket.
#ifndef TRANSPORT_BROADCAST_REQUEST_H_
#define TRANSPORT_BROADCAST_REQUEST_H_

#include <cstddef>
#include <cstdint>

class DataGramSocket;
class IKalNetworkAddress;
class IKasMessageBuffer;
class IKasSnmpPacket;
class IKasSnmpPacketList;
class IKasSnmpTarget;

// Whether a datagram from `source` may answer a broadcast to `destination`.
// IPv4 and IPv6: every source. IPX: a destination on network 00000000 takes
// every source; otherwise the first 8 characters of both texts (the network
// number) must be equal. False for a null argument or text.
bool kas_broadcast_source_passes(const IKalNetworkAddress* destination,
                                 const IKalNetworkAddress* source);

// *ppFound receives the packet of `list` whose target address equals
// `source` (lent), or null. 0, kKalErrInvalidArg, kKalErrNoMemory.
int search_new_packet(IKasSnmpPacketList* list,
                      const IKalNetworkAddress* source,
                      IKasSnmpPacket** ppFound);

// Decodes the datagram `raw` into a new packet (a new PDU and a new
// community target with the answer's version and community and the address
// `source`) and appends it to `list`. 0; kKalErrNoMemory; the codec's
// failure (kKasErrUndecodable, ...), in which case nothing is appended.
int add_broadcast_answer(IKasSnmpPacketList* list, IKasMessageBuffer* raw,
                         const IKalNetworkAddress* source);

// One broadcast on an open socket with broadcast switched on: sends the
// encoded `request` ([data(), base() + size())) once per try to the target's
// destination and collects the answers into `list` (lent, appended to).
// Datagrams are received into `receive_buffer` (lent, `capacity` octets).
class BroadcastRequest {
 public:
  BroadcastRequest(DataGramSocket* socket, IKasMessageBuffer* request,
                   const IKasSnmpTarget* target, IKasSnmpPacketList* list,
                   uint8_t* receive_buffer, size_t capacity)
      : socket_(socket),
        request_(request),
        target_(target),
        list_(list),
        receive_buffer_(receive_buffer),
        capacity_(capacity) {}
  BroadcastRequest(const BroadcastRequest&) = delete;
  BroadcastRequest& operator=(const BroadcastRequest&) = delete;

  // All tries (none for a negative retry count). Answers 0 when every window
  // closed normally (answers or none), else the send, receive, search or
  // memory failure that ended it.
  int run();
  // Try number `attempt`: send, then one window.
  int try_once(int attempt);
  // One window of the target's time-out counted from `opened`, the tick at
  // which the try began (one poll when nothing is left of it): kKasErrTimeout
  // or 0 when it closed normally, else the failure.
  int collect_window(uint32_t opened);
  // Handles one received datagram: filter, search, decode and append.
  // 0 (taken or dropped), or the search or memory failure.
  int take_datagram(IKasMessageBuffer* raw, const IKalNetworkAddress* source);

 private:
  DataGramSocket* socket_;
  IKasMessageBuffer* request_;
  const IKasSnmpTarget* target_;
  IKasSnmpPacketList* list_;
  uint8_t* receive_buffer_;
  size_t capacity_;
};

#endif  // TRANSPORT_BROADCAST_REQUEST_H_
