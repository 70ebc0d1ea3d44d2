// The BER decoder of SNMPv1 and SNMPv2c messages. It reads forward through
// BerReader with strict length checks and fills a target and a PDU; each
// malformation is reported with a fixed line on the "snmp" log module and
// the status -250. The codec service runs one decoder per call on its stack
// (kas_ber_decode); kas_create_ber_decoder makes one for the component
// registry.
#ifndef SNMP_BER_DECODER_H_
#define SNMP_BER_DECODER_H_

#include <cstddef>

#include "common/status.h"

class IKasMessageBuffer;
class IKasPdu;
class IKasSnmpPacket;
class IKasSnmpTarget;

class IKasBerDecoder {
 public:
  virtual void release() = 0;
  // Decodes the message at buffer->data() (buffer->received() octets, never
  // past buffer->base() + buffer->size()) into the packet's target and PDU.
  // A packet without a target gets a new one of `kind` (kKasTargetCommunity;
  // -1: none may be made); one without a PDU gets a new PDU. Bindings of the
  // PDU's list are reused in order, values of the same tag are overwritten
  // in place, and bindings left over are released. With `header_only` the
  // decoder stops after the request fields (or the SNMPv1 trap fields).
  // Answers 0; -2 for a null argument, no target with kind -1 or a kind
  // other than the community target, an IpAddress of other than 4 octets;
  // -3; -5 for a type-4 PDU in a version-1 message or a target of the
  // SNMPv3 kind; -250 for an undecodable message. After a failure the
  // packet holds what was read so far; callers discard it.
  virtual int decode_packet(IKasMessageBuffer* buffer, IKasSnmpPacket* packet, int kind,
                            bool header_only) = 0;
  // The same into a PDU and a target that the caller keeps (both lent). A
  // null one is replaced by a temporary made for the call and released at
  // its end (a null target with kind -1: -2).
  virtual int decode(IKasMessageBuffer* buffer, IKasPdu* pdu, IKasSnmpTarget* target, int kind,
                     bool header_only) = 0;

 protected:
  virtual ~IKasBerDecoder() = default;
};

// A new decoder; caller owns, release() frees. *pStatus: 0, -3.
IKasBerDecoder* kas_create_ber_decoder(int* pStatus = nullptr);

// IKasBerDecoder::decode and decode_packet with a decoder that lives for
// the call on the caller's stack: the same results, no allocation of its
// own. Thread-safe as far as the arguments are not shared.
int kas_ber_decode(IKasMessageBuffer* buffer, IKasPdu* pdu, IKasSnmpTarget* target, int kind,
                   bool header_only);
int kas_ber_decode_packet(IKasMessageBuffer* buffer, IKasSnmpPacket* packet, int kind,
                          bool header_only);

#endif  // SNMP_BER_DECODER_H_
