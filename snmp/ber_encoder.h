// The BER encoder of SNMPv1 and SNMPv2c messages. It walks packet, PDU,
// bindings and values (through their visitors) and leaves the octets to
// BerWriter, writing backwards from the end of a buffer sized to the target's
// maximum message size, so that the message is produced in place, ready to
// send. The codec service runs one encoder per call on its stack
// (kas_ber_encode); kas_create_ber_encoder makes one for the component
// registry.
#ifndef SNMP_BER_ENCODER_H_
#define SNMP_BER_ENCODER_H_

#include <cstddef>

#include "common/status.h"

class IKasMessageBuffer;
class IKasPdu;
class IKasSnmpTarget;

class IKasBerEncoder {
 public:
  virtual void release() = 0;
  // Writes the message of `pdu` for `target` (version, community, maximum
  // message size); pdu and target are lent for the call. The buffer is
  // resized to the target's maximum message size; on success the message
  // ends at buffer->base() + buffer->size(), buffer->data() points at its
  // first octet and buffer->received() holds its length. *pCount (optional)
  // receives the number of bindings written, also when the message does not
  // fit.
  // Answers 0; -2 for a null argument, a version other than 0 or 1, a
  // binding without name or value, an object identifier with one
  // sub-identifier or with text that is not dotted numbers of 32 bits, a
  // malformed SNMPv1 trap identifier; -3 when the buffer cannot be sized;
  // -5 for a value kind with no encoding or a type-4 PDU in a version-1
  // message; -211 when the message does not fit (the buffer's data pointer
  // is then unchanged).
  virtual int encode(const IKasPdu* pdu, IKasSnmpTarget* target, IKasMessageBuffer* buffer,
                     size_t* pCount) = 0;

 protected:
  virtual ~IKasBerEncoder() = default;
};

// A new encoder; caller owns, release() frees. *pStatus: 0, -3.
IKasBerEncoder* kas_create_ber_encoder(int* pStatus = nullptr);

// IKasBerEncoder::encode with an encoder that lives for the call on the
// caller's stack: the same results, no allocation of its own. Thread-safe as
// far as the arguments are not shared.
int kas_ber_encode(const IKasPdu* pdu, IKasSnmpTarget* target, IKasMessageBuffer* buffer,
                   size_t* pCount);

#endif  // SNMP_BER_ENCODER_H_
