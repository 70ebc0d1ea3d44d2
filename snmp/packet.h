// The packet (a PDU with the target it goes to or came from) and the two
// lists: packets (answers to a broadcast) and PDUs (a walk's answers, the
// parts of a split request). Containers own their contents: setters take
// over, getters lend, detach hands over, clone deep-copies. No lock: a
// packet or list belongs to one thread at a time.
#ifndef SNMP_PACKET_H_
#define SNMP_PACKET_H_

#include "snmp/list.h"
#include "snmp/pdu.h"
#include "snmp/target.h"

class IKasSnmpPacket {
 public:
  // Releases PDU and target, then the packet.
  virtual void release() = 0;
  // Clones target and PDU (either may be absent). *pStatus 0, -3.
  virtual IKasSnmpPacket* clone(int* pStatus = nullptr) const = 0;
  // Targets equal or both absent, PDUs equal or both absent.
  virtual bool equals(const IKasSnmpPacket* other) const = 0;
  // Take over (null: none), releasing the old one.
  virtual void set_target(IKasSnmpTarget* target) = 0;
  virtual void set_pdu(IKasPdu* pdu) = 0;
  // Hand over; the packet holds none afterwards.
  virtual IKasSnmpTarget* detach_target() = 0;
  virtual IKasPdu* detach_pdu() = 0;
  // Lent; null when absent.
  virtual IKasSnmpTarget* get_target() const = 0;
  virtual IKasPdu* get_pdu() const = 0;
  virtual void destroy() = 0;  // as release()

 protected:
  virtual ~IKasSnmpPacket() = default;
};

class IKasPduList : public IKasList<IKasPdu> {
 protected:
  ~IKasPduList() override = default;
};

class IKasSnmpPacketList : public IKasList<IKasSnmpPacket> {
 protected:
  ~IKasSnmpPacketList() override = default;
};

// Creation functions: the caller owns the result; *pStatus 0 or -3.
// A packet with neither PDU nor target.
IKasSnmpPacket* kas_create_packet(int* pStatus = nullptr);
// Empty lists; free them with destroy() or release().
IKasPduList* kas_create_pdu_list(int* pStatus = nullptr);
IKasSnmpPacketList* kas_create_packet_list(int* pStatus = nullptr);

#endif  // SNMP_PACKET_H_
