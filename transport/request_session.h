// RequestSession: the SNMPv1/v2c session. It carries one request PDU to one
// agent and brings the response back into the same PDU: it draws the
// request ID, encodes, sends through a new DataGramSocket, waits up to the
// target's time-out per try for (retries + 1) tries, drops datagrams that
// answer other requests or do not decode, and splits a request that is too
// large for the encoder or the target, or that the agent answers with tooBig,
// into smaller requests whose answers it merges. Broadcasts (one request,
// one answer per answering address) are in transport/broadcast_request.h.
// Log lines go to the module "snmp".
//
// No lock: a session carries one request at a time. Its requests share one
// socket while the destination's protocol and the local port stay the same
// (a walk of a thousand GetNexts makes one socket, not a thousand); a late
// answer to an earlier request that arrives on it carries another request ID
// and is dropped like any stray datagram. Broadcasts always open a socket of
// their own. The request-ID counter is process-wide and atomic.
//
// The steps of an exchange are public so that each can be tested alone:
// encode_request, try_once (send, then wait_for_response), and
// check_received_raw_packet; fragment_pdu, fragment_process and merge_pieces
// for the split.
#ifndef TRANSPORT_REQUEST_SESSION_H_
#define TRANSPORT_REQUEST_SESSION_H_

#include <cstddef>
#include <cstdint>

#include "common/status.h"
#include "transport/request_session_base.h"

class DataGramSocket;
class IKalNetworkAddress;
class IKasMessageBuffer;
class IKasPduList;

// Room for one received datagram: the largest UDP payload, so that no answer
// an agent may send is cut short (a cut answer would fail to decode and be
// dropped, and the request would time out although the agent answered).
inline constexpr size_t kKasReceiveBufferSize = 65536;
// The largest UDP payload over IPv4: the longest message worth measuring
// when the encoder reports that a request does not fit.
inline constexpr size_t kKasLargestDatagram = 65507;

class RequestSession final : public IKasRequestSession {
 public:
  // Not "= default": kal_new value-initialises, which would zero the 64 KiB
  // receive buffer for every request object's session.
  RequestSession() {}
  ~RequestSession() override;
  RequestSession(const RequestSession&) = delete;
  RequestSession& operator=(const RequestSession&) = delete;

  void release() override;
  // Answers 0 with the response in `pdu`; kKalErrInvalidArg for a null pdu
  // or target or a target without destination; the socket's creation
  // failure; kKasErrTimeout when no try was answered (also for a negative
  // retry count, which allows no try); kKasErrOtherRequest or
  // kKasErrUndecodable when the last window closed right after such a
  // datagram was dropped; kKasErrTooLarge when a request cannot be split to
  // fit; kKasErrCannotSplit when one binding is still too big; kKalErrGeneral
  // for bindings left over after a split; the send, receive and codec
  // failures. An answer must carry the request's ID, the Response PDU type
  // and the target's version; any other datagram is dropped. An answer from
  // another address than the destination is taken (multi-homed agents answer
  // from another interface) and logged at Warn; it becomes the target's
  // destination only when the request went to a broadcast or multicast
  // address (transport/group_address.h): a unicast destination stays the one
  // the caller gave. When a split request fails, `pdu` is left without
  // bindings.
  int send_sync(IKasPdu* pdu, IKasSnmpTarget* target) override;
  int send_sync(IKasSnmpPacket* packet) override;
  // send_sync with the answer decoded into `answer`, whose bindings, names
  // and values are reused when the agent's kinds match (a walk's answers
  // then take no heap memory); `request` keeps its bindings. A request
  // that must be split goes the way of send_sync, from a copy made in
  // `answer`. Statuses as send_sync's.
  int send_sync_into(IKasPdu* request, IKasSnmpTarget* target,
                     IKasPdu* answer) override;
  // See transport/broadcast_request.h. Answers 0 with a new list in *ppList
  // (the caller owns it); kKalErrInvalidArg for a null argument, a target
  // without destination or a target that is not a community target; the
  // socket, broadcast-option, encoding, send and receive failures.
  int send_broad_cast_sync(IKasSnmpPacket* packet,
                           IKasSnmpPacketList** ppList) override;
  int send_broad_cast_sync(IKasPdu* pdu, IKasSnmpTarget* target,
                           IKasSnmpPacketList** ppList) override;
  // The slot after the broadcast forms: kKalErrNotSupported.
  int not_supported();

  // ---- Steps ----

  // Releases the current socket and opens a new one for the protocol of the
  // target's destination, bound to the target's local port (0: any).
  // 0, kKalErrInvalidArg (no target or destination), the socket's failure.
  // A socket opened here is not reused by send_sync.
  int open_socket(const IKasSnmpTarget* target);
  // The socket of send_sync: keeps the current one when an earlier send_sync
  // opened it for the same protocol and local port, else open_socket.
  // Answers as open_socket.
  int reuse_or_open_socket(const IKasSnmpTarget* target);
  // The current socket (lent), null before open_socket.
  DataGramSocket* socket() const { return socket_; }

  // One exchange on the open socket: encode, then up to retries + 1 tries.
  // *pFragments receives the number of pieces the request must be split
  // into (0: no split). Answers as send_sync, plus kKasErrTooBig (agent
  // answered tooBig; *pFragments is 2) and kKasErrTooLarge (with
  // *pFragments > 0 when a split can help).
  int _send_and_receive(IKasPdu* pdu, IKasSnmpTarget* target, int* pFragments);

  // Draws a new request ID into `pdu` and encodes it for `target` into
  // `request` (the message is [data(), base() + size())). On
  // kKasErrTooLarge *pFragments is the number of pieces to split into, or 0
  // when splitting cannot help (not even one binding fits, the PDU has no
  // bindings, or the target has no maximum message size). Other encoding
  // failures are answered with *pFragments 0.
  static int encode_request(IKasPdu* pdu, IKasSnmpTarget* target,
                            IKasMessageBuffer* request, int* pFragments);
  // The split an oversized request needs, from its binding count n, the
  // count k of bindings the encoder wrote, the message length L when known
  // (0: unknown) and the maximum message size M: 0 when k, n or M is 0;
  // ceil(L / M) when L > M; else 2 when k == n, otherwise ceil(n / k).
  static int fragments_for(size_t n, size_t k, size_t length, size_t max_size);

  // Try number `attempt`: sends the encoded request to the target's
  // destination, then waits (wait_for_response) for an answer of the
  // target's version for the target's time-out. Answers the send failure or
  // the wait's result.
  int try_once(int attempt, IKasMessageBuffer* request,
               const IKasSnmpTarget* target, IKasPdu* pdu,
               const IKalNetworkAddress** ppFrom);
  // One window of `timeout_ms`: receives datagrams until one answers `pdu`
  // in a message of `version` (check_and_decode) or the window closes. A time-out of 0 or less still polls once, with no
  // wait. Answers 0 with the response decoded into `pdu` and *ppFrom the
  // answering address (lent: the session's, good until the next receive);
  // kKasErrTimeout when the window
  // closed while waiting; kKasErrOtherRequest / kKasErrUndecodable when it
  // closed right after dropping such a datagram; kKasErrTooBig; a receive
  // failure; a decode failure other than kKasErrUndecodable.
  int wait_for_response(IKasPdu* pdu, int32_t version, int32_t timeout_ms,
                        const IKalNetworkAddress** ppFrom);

  // Reads the request ID and error-status of the datagram `raw`. Answers 0
  // when the ID is the PDU's, kKasErrTooBig when it is and the error-status
  // is tooBig, kKasErrOtherRequest for another ID, or the header's failure
  // (kKasErrUndecodable for octets that are no SNMP message).
  static int check_received_raw_packet(const IKasPdu* pdu,
                                       IKasMessageBuffer* raw);
  // Decodes the response `raw` into `pdu`: type, request ID, error fields and
  // bindings become the answer's. `pdu` is left as it was when decoding
  // fails. 0, kKasErrUndecodable, kKalErrNoMemory, the codec's failure.
  static int decode_response(IKasMessageBuffer* raw, IKasPdu* pdu);
  // What the wait does with each datagram, reading it once: decodes `raw`
  // (its version and community into `answer_target`, a lent community target
  // kept for this; null: a temporary one); when it answers `pdu` (its request
  // ID, the Response PDU type, a message of `version`) and is no tooBig
  // answer, it becomes `pdu`'s answer as decode_response makes it. Answers
  // as check_received_raw_packet and then decode_response would, one after
  // the other, except that a datagram of another PDU type or version is
  // kKasErrOtherRequest whatever its ID: kKasErrOtherRequest, kKasErrTooBig
  // and a header that does not read come first, then the decode failure;
  // `pdu` is left as it was on every failure.
  static int check_and_decode(IKasMessageBuffer* raw, IKasPdu* pdu,
                              int32_t version, IKasSnmpTarget* answer_target);
  // check_and_decode with the datagram decoded into `scratch` (its header
  // is reset first; its bindings are reused) and the answer moved into
  // `into` (`pdu` or another PDU of the caller): `into`'s old bindings go
  // to `scratch`, to be reused by the next decode. `into` is left as it was
  // on every failure.
  static int check_and_decode(IKasMessageBuffer* raw, IKasPdu* pdu,
                              int32_t version, IKasSnmpTarget* answer_target,
                              IKasPdu* scratch, IKasPdu* into);

  // Moves the bindings of `pdu` into `count` new PDUs with its header: the
  // first n mod count pieces get one binding more than the others. On 0
  // *ppPieces receives the list (the caller owns it) and `pdu` keeps an
  // empty list. kKalErrInvalidArg (null argument, count < 1),
  // kKasErrCannotSplit (fewer bindings than pieces), kKalErrGeneral
  // (bindings left over), kKalErrNoMemory.
  static int fragment_pdu(IKasPdu* pdu, int count, IKasPduList** ppPieces);
  // Splits `pdu` into `count` pieces, runs an exchange for each (splitting a
  // piece again when it asks for it) and merges the answers into `pdu`. The
  // first failure ends it and is answered.
  int fragment_process(IKasPdu* pdu, IKasSnmpTarget* target, int count);
  // Merges answered pieces into `parent`: the first piece's type, the first
  // non-zero error-status with its error-index offset by the bindings of the
  // pieces before it, and all bindings in order. An error-index that names
  // none of its piece's bindings becomes 0 (the error-status is kept).
  // 0, kKalErrInvalidArg, kKalErrNoMemory.
  static int merge_pieces(IKasPdu* parent, IKasPduList* pieces);

 private:
  // Moves the type, request ID, error fields and bindings of `answer` into
  // `pdu`.
  static void take_answer(IKasPdu* answer, IKasPdu* pdu);
  // After an answered exchange: logs an answer from another address than the
  // destination, and makes it the destination when the request went to a
  // group address (a copy of `from`, which is lent).
  static void settle_destination(IKasSnmpTarget* target,
                                 const IKalNetworkAddress* from);

  DataGramSocket* socket_ = nullptr;
  // The encoded request, kept for every exchange of the session (made on
  // first need).
  IKasMessageBuffer* request_buffer_ = nullptr;
  // Receives the version and community of each decoded datagram (made on
  // first need, like request_buffer_).
  IKasSnmpTarget* answer_target_ = nullptr;
  // Each datagram is decoded here (made on first need); it keeps the
  // bindings of the last request or answer for the next decode to reuse.
  IKasPdu* answer_scratch_ = nullptr;
  // Lent by send_sync_into for one exchange: where the answer goes instead
  // of the request's PDU.
  IKasPdu* answer_into_ = nullptr;
  // The source of the last datagram received (made on first need, written
  // again by every receive).
  IKalNetworkAddress* source_ = nullptr;
  // What send_sync opened socket_ for; reusable_ is false for a socket of
  // open_socket's other callers (broadcasts) and after a failed exchange.
  bool reusable_ = false;
  int socket_protocol_ = 0;
  uint16_t socket_port_ = 0;
  // Also lent to this session's broadcasts. Sessions live on the heap, so
  // the buffer never weighs on the caller's stack.
  uint8_t receive_buffer_[kKasReceiveBufferSize];
};

// A new session with no socket. The caller owns it (release()).
// *pStatus: 0, kKalErrNoMemory.
RequestSession* kas_create_request_session(int* pStatus = nullptr);

#endif  // TRANSPORT_REQUEST_SESSION_H_
