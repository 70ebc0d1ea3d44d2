// The codec service: the one process-wide entry to the BER codec of SNMPv1
// and SNMPv2c messages. The request sessions call it to encode every
// request, decode every answer and peek at the request-id and error-status
// of a received datagram. Each call runs an encoder or decoder of the
// current component of the component registry ("VedivUzirav", registered
// when the module loads): that codec's run on the caller's stack, another
// component's are made for the call and released at its end.
//
// Thread-safe: every call works on its own encoder or decoder and on the
// caller's buffer, PDU, target and packet. select() changes the component for
// every thread; only tests call it.
#ifndef SNMP_CODEC_SERVICE_H_
#define SNMP_CODEC_SERVICE_H_

#include <cstddef>
#include <cstdint>

#include "common/status.h"

class IKasMessageBuffer;
class IKasPdu;
class IKasSnmpPacket;
class IKasSnmpTarget;

// The name under which the BER codec registers itself.
inline constexpr char kKasCodecComponentName[] = "VedivUzirav";

// Every operation answers kKalErrNotReady (-8) when no codec component is
// registered (or none is current), else 0 or the first failure of the
// encoder or decoder (see snmp/ber_encoder.h and snmp/ber_decoder.h):
// -2 bad argument, -3 no memory, -5 not encodable or decodable, -211 the
// message does not fit the target's maximum message size, -250 undecodable.
class IKasCodecService {
 public:
  // Makes the registered component `name` current. -2 when no component
  // has that name (the current one stays).
  virtual int select(const char* name) = 0;
  // The current component's name (static text), null when none.
  virtual const char* name() const = 0;

  // Encodes `pdu` for `target` (both lent) into `buffer`: see
  // IKasBerEncoder::encode. The message is [buffer->data(), buffer->base() +
  // buffer->size()). *pCount (optional) receives the number of bindings
  // written. -2 for a null pdu, target or buffer.
  virtual int encode(const IKasPdu* pdu, IKasSnmpTarget* target, IKasMessageBuffer* buffer,
                     size_t* pCount = nullptr) = 0;
  // The same with the packet's PDU and target; -2 when the packet or the
  // buffer is null or the packet lacks either.
  virtual int encode_packet(IKasSnmpPacket* packet, IKasMessageBuffer* buffer,
                            size_t* pCount = nullptr) = 0;

  // Decodes the message at buffer->data() (buffer->received() octets) into
  // `pdu` and `target` (lent; the caller keeps them). A null pdu or target is
  // replaced by a temporary for the call; a null target needs `kind`
  // kKasTargetCommunity (0), else -2. -2 for a null buffer.
  virtual int decode(IKasMessageBuffer* buffer, IKasPdu* pdu, IKasSnmpTarget* target,
                     int kind) = 0;
  // The same into the packet, which receives a new target of `kind` and a
  // new PDU when it has none. -2 for a null buffer or packet.
  virtual int decode_packet(IKasMessageBuffer* buffer, IKasSnmpPacket* packet, int kind) = 0;

  // Reads the message only up to its request fields and answers their
  // error-status and request-id (0 and 0 for an SNMPv1 trap). `kind` as for
  // decode with no target: pass kKasTargetCommunity. -2 for a null argument.
  virtual int peek(IKasMessageBuffer* buffer, int32_t* pErrorStatus, int32_t* pRequestId,
                   int kind) = 0;

 protected:
  virtual ~IKasCodecService() = default;
};

// The process-wide service, made on first use, never destroyed while the
// module is loaded. Never null.
IKasCodecService* kas_codec_service();

#endif  // SNMP_CODEC_SERVICE_H_
