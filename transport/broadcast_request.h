// Broadcast requests of the SNMPv1/v2c session: one encoded request sent once
// per try to a broadcast (or any) destination, and over (retries + 1)
// windows of the target's time-out, one answer collected per answering
// host into a packet list. Device discovery is built on it.
//
// A broadcast always runs for its whole budget and succeeds with whatever
// was collected, possibly nothing. Only socket failures (send, receive) and
// running out of memory fail it. Any host on the network can send the
// broadcast's socket anything, so a datagram is kept only when it answers
// this request: a Response PDU with the request's ID, in a message of the
// request's version, from the destination itself when that is one host.
// Everything else is dropped without a trace above Debug, and must not be
// able to throw away the answers collected so far nor stretch the caller's
// budget: each window ends at its time-out after the send, checked after
// every datagram; the header is read before the whole message; answering
// hosts are found in a hash set, at most kKasMaxBroadcastAnswers of them.
// Log lines go to the module "snmp". No lock: one broadcast per socket.
#ifndef TRANSPORT_BROADCAST_REQUEST_H_
#define TRANSPORT_BROADCAST_REQUEST_H_

#include <cstddef>
#include <cstdint>

#include "transport/broadcast_sources.h"

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
// `source` (lent), or null. 0, kKalErrInvalidArg, kKalErrNoMemory. A scan of
// the list: the broadcast itself finds answered hosts in BroadcastSources.
int search_new_packet(IKasSnmpPacketList* list,
                      const IKalNetworkAddress* source,
                      IKasSnmpPacket** ppFound);

// What an answer to one broadcast carries: a Response PDU with the request's
// ID in a message of the request's version.
struct KasBroadcastExpectation {
  int32_t request_id;
  int32_t version;  // kKasVersion1 or kKasVersion2c
};

// Decodes the datagram `raw` into a new packet (a new PDU and a new
// community target with the answer's version and community and the address
// `source`) and appends it to `list`. With `expected`, only an answer that
// carries what it names is appended. 0; kKalErrNoMemory; the codec's
// failure (kKasErrUndecodable, ...) or kKasErrOtherRequest (not what
// `expected` names), in which case nothing is appended.
int add_broadcast_answer(IKasSnmpPacketList* list, IKasMessageBuffer* raw,
                         const IKalNetworkAddress* source,
                         const KasBroadcastExpectation* expected = nullptr);

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
  // memory failure that ended it (or the failure to read the request's own
  // header, which never happens to a request the codec encoded).
  int run();
  // Try number `attempt`: send, then one window.
  int try_once(int attempt);
  // One window of the target's time-out counted from `opened`, the tick at
  // which the try began: every wait is what is left of it, and the window
  // closes after the datagram that used it up (one poll when nothing was
  // left after the send). kKasErrTimeout or 0 when it closed normally, else
  // the failure.
  int collect_window(uint32_t opened);
  // Handles one received datagram: source rule, de-duplication, the cap,
  // the header, then the whole message. Needs run() (or prepare()) first.
  // 0 (taken or dropped), or the search or memory failure.
  int take_datagram(IKasMessageBuffer* raw, const IKalNetworkAddress* source);
  // Reads the request ID from the encoded request and takes the
  // destination's kind; run() calls it. 0, or the header's or memory failure.
  int prepare();

 private:
  DataGramSocket* socket_;
  IKasMessageBuffer* request_;
  const IKasSnmpTarget* target_;
  IKasSnmpPacketList* list_;
  uint8_t* receive_buffer_;
  size_t capacity_;
  BroadcastSources sources_;
  KasBroadcastExpectation expected_{0, 0};
  bool cap_logged_ = false;
};

#endif  // TRANSPORT_BROADCAST_REQUEST_H_
