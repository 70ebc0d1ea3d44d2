// The broadcast device finder: the twin of the get/set request object for
// discovery. It is initialised the same way (destination, credentials,
// time-out, retries, message size), takes identifiers the same way (always
// with the instance 0 appended) and makes one broadcast GetRequest that
// collects at most one answer per answering host (the first Response to the
// request; at most kKasMaxBroadcastAnswers hosts; only the destination
// itself when that is one host). Choosing the
// destination and filtering answers by model are the caller's work. Nothing
// is logged here; callers log each failing step. One thread at a time.
#ifndef FACADE_FIND_DEVICE_SNMP_H_
#define FACADE_FIND_DEVICE_SNMP_H_

#include <cstddef>
#include <cstdint>

#include "common/network_address.h"
#include "facade/get_data.h"

class IKasSnmpPacketList;

// Status results: 0 success, negative failure (common/status.h).
class IKalFindDeviceSnmp {
 public:
  // Slot 0. Destroys the finder and everything it owns.
  virtual void release() = 0;

  // Slot 1. As IKalGetData::set_community: copies community[size] (up to
  // the first NUL; null: empty), cut to 255 characters; "vorovo" until
  // called. Call it before init.
  virtual void set_community(const char* community, size_t size) = 0;
  template <size_t N>
  void set_community(const char (&community)[N]) {
    set_community(community, N);
  }

  // Slot 2. Exactly IKalGetData::init, with the broadcast (or unicast)
  // destination as the target address: maximum message size 0 or above the
  // limit becomes 1400 (IPv4, IPv6) or 546 (IPX); version 2 selects the
  // SNMPv3 target with `usm`, every other version SNMPv1 with the
  // community. The time-out and retry count travel in the target and rule
  // the broadcast's windows. Returns 0, kKalErrInvalidArg, kKalErrNoMemory.
  virtual int init(const char* address, IKalNetworkAddress::EProtocol protocol,
                   uint16_t port, int32_t version, const KalUsmParams* usm,
                   uint32_t timeout_ms, uint32_t retries,
                   uint32_t max_message_size) = 0;

  // Slot 3. Appends `oid`.0 as a binding without value ("1.3.6.1.2.1.1.2"
  // asks for sysObjectID.0). Needs init. 0, kKalErrInvalidArg (malformed,
  // or no init), kKalErrNoMemory.
  virtual int add_oid_string(const char* oid) = 0;

  // Slot 4. Sends the PDU as a GetRequest to the destination, once per try,
  // and collects the answers over every window. On 0, *ppList receives a
  // new list the caller owns (free with release()), possibly empty: one
  // packet per answering host in order of arrival, each with the
  // response PDU and a target whose address is the one that answered. On
  // failure (kKalErrInvalidArg for a null out pointer or no init, the
  // socket, encoding and receive statuses of the broadcast) *ppList is left
  // unset.
  virtual int send_broad_cast(IKasSnmpPacketList** ppList) = 0;

  // Slot 5. Classifies `address` with the address service (numeric texts
  // only). Returns the service's status.
  virtual int get_protocol(const char* address,
                           IKalNetworkAddress::EProtocol* protocol) = 0;

  // Slot 6.
  virtual ~IKalFindDeviceSnmp() = default;
};

// A new finder (community "vorovo", no target, no PDU); the caller owns it
// and frees it with release(). "kal_create_find_device_snmp()" is also the
// text callers log when it fails. *pStatus (optional): 0, kKalErrNoMemory.
IKalFindDeviceSnmp* kal_create_find_device_snmp(int* pStatus = nullptr);

#endif  // FACADE_FIND_DEVICE_SNMP_H_
