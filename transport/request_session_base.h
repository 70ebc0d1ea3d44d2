// IKasRequestSession: what the session dispatcher asks of a session, shared
// by the SNMPv1/v2c RequestSession and the SNMPv3 session. A session carries
// one request at a time; callers must not overlap requests on one session.
//
// Slot order: release; send_sync(PDU, target); send_sync(packet);
// send_broad_cast_sync(packet, out list); send_broad_cast_sync(PDU, target,
// out list); then the virtual destructor.
#ifndef TRANSPORT_REQUEST_SESSION_BASE_H_
#define TRANSPORT_REQUEST_SESSION_BASE_H_

class IKasPdu;
class IKasSnmpTarget;
class IKasSnmpPacket;
class IKasSnmpPacketList;

class IKasRequestSession {
 public:
  // Destroys the session and whatever it holds (its socket).
  virtual void release() = 0;
  // Sends `pdu` to the target's destination and answers 0 with the response
  // in the same PDU (type, error fields and bindings are the agent's), or a
  // negative status. Both are lent; the target's destination may be replaced
  // by the address that answered.
  virtual int send_sync(IKasPdu* pdu, IKasSnmpTarget* target) = 0;
  // The same with the packet's PDU and target (lent, left in the packet).
  virtual int send_sync(IKasSnmpPacket* packet) = 0;
  virtual int send_broad_cast_sync(IKasSnmpPacket* packet,
                                   IKasSnmpPacketList** ppList) = 0;
  // Sends `pdu` once per try to the target's (broadcast) destination and
  // collects one answer per answering address. On 0, *ppList receives a new
  // list the caller owns (possibly empty).
  virtual int send_broad_cast_sync(IKasPdu* pdu, IKasSnmpTarget* target,
                                   IKasSnmpPacketList** ppList) = 0;
  virtual ~IKasRequestSession() = default;
  // As send_sync, but the response goes into `answer` (type, error fields
  // and bindings are the agent's; what it held before may be reused) and
  // `request` keeps its bindings: a walk sends the next request from the
  // same objects without copying them. Only the request ID drawn for the
  // exchange is written into `request`. On failure `answer` holds no answer
  // the caller may read. All lent; `answer` must not be `request`. This
  // form makes a copy of the request into `answer` and sends that (so the
  // request ID goes there instead); sessions may do better.
  virtual int send_sync_into(IKasPdu* request, IKasSnmpTarget* target,
                             IKasPdu* answer);
};

// The SNMPv3 session's creation function: the seam where the SNMPv3 session
// joins the dispatcher (defined in transport/v3_request_session.cc). The
// caller owns the result (release()). *pStatus: 0, kKalErrNoMemory; a null
// answer is reported by the dispatcher as a session it cannot make.
IKasRequestSession* kas_create_v3_request_session(int* pStatus = nullptr);

#endif  // TRANSPORT_REQUEST_SESSION_BASE_H_
