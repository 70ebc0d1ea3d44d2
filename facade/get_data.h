// The get/set request object: one short-lived object per SNMP exchange with
// one device. A caller creates it, optionally sets the community, initialises
// it with the device's address and credentials, adds text object identifiers,
// runs one exchange (a get of one integer, of several integers or of one
// text, a walk of a subtree, or a set of one integer) and releases it; or
// empties it with clear_oids and runs the next exchange of the same call.
// It hides the request PDU, the SNMP target and the sessions; nothing is
// logged inside it (the callers log each failing step with the step's name).
// One object belongs to one thread from creation to release.
#ifndef FACADE_GET_DATA_H_
#define FACADE_GET_DATA_H_

#include <cstddef>
#include <cstdint>

#include "common/network_address.h"

class IKasPdu;
class IKasPduList;

// The SNMPv3 user-based security settings, in the order the USM provider
// hands them out and the SNMPv3 target takes them. The request object never
// interprets them. The texts are lent: they must stay live until init returns
// (init gives the target its own copies).
struct KalUsmParams {
  const char* security_name = nullptr;
  int32_t security_level = 0;
  int32_t auth_protocol = 0;
  int32_t priv_protocol = 0;
  const char* auth_pass_phrase = nullptr;
  const char* priv_pass_phrase = nullptr;
  const char* context_name = nullptr;
};

// The community a new request object sends when set_community is not called.
inline constexpr char kKalDefaultReadCommunity[] = "vorovo";
// Room for a community in the request object, NUL included.
inline constexpr size_t kKalCommunitySize = 256;

// Takes the rows of a walk one at a time (IKalGetData::walk_rows).
class IKalWalkRowSink {
 public:
  // One answer of the walk, lent until the call returns: its bindings are
  // the columns in the order they were added. 0 goes on; any other status
  // ends the walk, and walk_rows answers it.
  virtual int row(const IKasPdu* answer) = 0;

 protected:
  ~IKalWalkRowSink() = default;
};

// Status results: 0 success, negative failure (common/status.h).
class IKalGetData {
 public:
  // Slot 0. Destroys the object: the target address, the PDU and whichever
  // target exists.
  virtual void release() = 0;

  // Slot 1. Copies the community from the caller's buffer community[size]
  // (reading up to the first NUL, never beyond `size` bytes; null: empty),
  // cut to 255 characters. Call it before init: init gives the community
  // target its own copy, so a later call changes nothing that is sent.
  virtual void set_community(const char* community, size_t size) = 0;
  // The same for a text in an array whose size the compiler knows.
  template <size_t N>
  void set_community(const char (&community)[N]) {
    set_community(community, N);
  }

  // Slot 2. Makes the target address (not classified), the target and an
  // empty request PDU. Version 2 selects the SNMPv3 target with the USM
  // settings; every other version is sent as SNMPv1 with the community.
  // Maximum message size: 0 or above 1400 becomes 1400 over IPv4 and IPv6,
  // 0 or above 546 becomes 546 over IPX. `usm` may be null for community
  // versions. Returns 0, kKalErrInvalidArg, kKalErrNoMemory or the first
  // failing step's status; what was made before a failure is freed by
  // release.
  virtual int init(const char* address, IKalNetworkAddress::EProtocol protocol,
                   uint16_t port, int32_t version, const KalUsmParams* usm,
                   uint32_t timeout_ms, uint32_t retries,
                   uint32_t max_message_size) = 0;

  // Slot 3. Appends a binding without value for the identifier `oid` (dotted
  // text), with the sub-identifier 0 appended when `instance0` is set (the
  // instance of a scalar object). Needs init. Returns 0,
  // kKalErrInvalidArg (malformed identifier, or no init), kKalErrNoMemory.
  virtual int add_oid_string(const char* oid, bool instance0) = 0;

  // Slot 4. Appends the binding `oid`.`suffix` = INTEGER `value`, to prepare
  // a set. The same statuses.
  virtual int add_oid_string(const char* oid, const char* suffix,
                             int32_t value) = 0;

  // Slot 5. Sends the PDU as a SetRequest. Returns the session's status,
  // kKalErrNoData when the agent answers noSuchName (2) or noAccess (6), 0
  // for any other error-status.
  virtual int set_data() = 0;

  // Slot 6. Walks the subtree `root` with GetNext requests. Every answer
  // whose first binding lies below `root` is cloned and appended to `list`
  // (which the caller owns); the walk ends with 0 at the first answer that
  // leaves the subtree (not appended), and also when the agent stops
  // advancing or answers with an error-status, keeping what was collected.
  // Each request after the first asks for the identifiers just received
  // (values NULL), so every added column advances together. Put the column
  // that defines the rows first. A walk that would keep more than
  // kKalWalkMaxRows answers or kKalWalkMaxOctets of values
  // (facade/walk_limits.h) ends with kKalErrTooMuchData: the table never
  // ends, and what the list holds then is no whole table. Returns 0,
  // kKalErrInvalidArg (null list or malformed root), kKalErrNoData (an
  // answer without bindings), kKalErrTooMuchData or the session's status.
  virtual int get_data(IKasPduList* list, const char* root) = 0;

  // Slot 7. GetRequest; the text form of the first answer value is copied
  // into out[size], cut to size - 1 bytes and NUL-terminated. An empty text
  // leaves the buffer untouched. Returns 0, kKalErrInvalidArg (null out or
  // size 0), kKalErrNoData (no binding in the answer) or the session's
  // status. The error-status of the answer is not examined.
  virtual int get_data(char* out, size_t size) = 0;

  // Slot 8. GetRequest; the integers of the first `count` answer values go
  // to out[0..count-1] in order. Running out of bindings answers
  // kKalErrNoData with the elements already written left written.
  virtual int get_data(int32_t* out, int count) = 0;

  // Slot 9. GetRequest; the integer of the first answer value.
  // kKalErrNoData when the answer has no binding.
  virtual int get_data(int32_t* out) = 0;

  // Slot 10. Classifies `address` with the address service (numeric texts
  // only; a host name fails). Returns the service's status.
  virtual int get_protocol(const char* address,
                           IKalNetworkAddress::EProtocol* protocol) = 0;

  // Slot 11.
  virtual ~IKalGetData() = default;

  // Slot 12. The walk of get_data(list, root), with each answer that
  // get_data would append handed to `sink` instead of kept: the same
  // requests, stop rule, limits and statuses (an answer that passes a limit
  // is not handed), plus the sink's own status, which ends the walk. Rows
  // handed before a failure stay handed: a caller that must not keep half
  // a table undoes what it made of them. kKalErrInvalidArg for a null sink.
  // The request object's own walk keeps no answer and reuses the objects of
  // one answer for the next; this form walks into a list and hands its rows
  // when the walk has succeeded.
  virtual int walk_rows(const char* root, IKalWalkRowSink* sink);

  // Slot 13. Empties the request PDU (bindings, error-status and
  // error-index) so that the same object makes another exchange with the
  // same target, session and socket: add identifiers again, then exchange.
  // Lets one exported call read several objects without a request object,
  // target and socket for each; the object still lives no longer than the
  // call. Returns 0, kKalErrInvalidArg before init; kKalErrNotSupported
  // from objects that make one exchange only (this default): the caller
  // then makes a new object.
  virtual int clear_oids();
};

// A new request object (community "vorovo", no target, no PDU); the caller
// owns it and frees it with release(). "kal_create_get_data()" is also the
// text callers log when it fails. *pStatus (optional): 0, kKalErrNoMemory.
IKalGetData* kal_create_get_data(int* pStatus = nullptr);

// The shape of kal_create_get_data: objects that make request objects take
// one of these so that tests can hand them a scripted request object.
using KalGetDataFactory = IKalGetData* (*)(int* pStatus);

#endif  // FACADE_GET_DATA_H_
