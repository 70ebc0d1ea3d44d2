// The codec service and the registration of the BER codec as the component
// "VedivUzirav".
#include "snmp/codec_service.h"

#include "common/component_registry.h"
#include "common/owned.h"
#include "snmp/ber_decoder.h"
#include "snmp/ber_encoder.h"
#include "snmp/codec_buffer.h"
#include "snmp/packet.h"
#include "snmp/pdu.h"
#include "snmp/target.h"

namespace {

void* make_encoder(int* pStatus) { return kas_create_ber_encoder(pStatus); }
void* make_decoder(int* pStatus) { return kas_create_ber_decoder(pStatus); }

constexpr KalComponentEntry kVedivUzirav = {kKasCodecComponentName, make_encoder, make_decoder};

// Registers the codec once, whichever comes first: the load of the module
// (below) or the first use of the service. The registration lives in this
// file so that a static link that pulls in the service pulls it in too.
int register_codec() {
  static const int rc = kal_component_registry().register_component(kVedivUzirav);
  return rc;
}

[[maybe_unused]] const int kRegisteredAtLoad = register_codec();

// True when the BER codec of this layer is the current component: it then
// runs on the stack, with no object made per call. Another component's
// objects come from the registry.
bool builtin_current() {
  return kal_component_registry().current_name() == kKasCodecComponentName;
}

class CKasCodecService final : public IKasCodecService {
 public:
  int select(const char* name) override {
    if (kal_component_registry().size() == 0) return kKalErrNotReady;
    return kal_component_registry().select(name);
  }
  const char* name() const override { return kal_component_registry().current_name(); }

  int encode(const IKasPdu* pdu, IKasSnmpTarget* target, IKasMessageBuffer* buffer,
             size_t* pCount) override {
    if (pCount) *pCount = 0;
    if (builtin_current()) return kas_ber_encode(pdu, target, buffer, pCount);
    int rc = kKalOk;
    KalOwned<IKasBerEncoder> encoder(
        static_cast<IKasBerEncoder*>(kal_component_registry().create_first(&rc)));
    if (!encoder) return rc;
    return encoder->encode(pdu, target, buffer, pCount);
  }

  int encode_packet(IKasSnmpPacket* packet, IKasMessageBuffer* buffer, size_t* pCount) override {
    if (pCount) *pCount = 0;
    if (builtin_current()) {
      if (!packet || !buffer) return kKalErrInvalidArg;
      return kas_ber_encode(packet->get_pdu(), packet->get_target(), buffer, pCount);
    }
    int rc = kKalOk;
    KalOwned<IKasBerEncoder> encoder(
        static_cast<IKasBerEncoder*>(kal_component_registry().create_first(&rc)));
    if (!encoder) return rc;
    if (!packet || !buffer) return kKalErrInvalidArg;
    return encoder->encode(packet->get_pdu(), packet->get_target(), buffer, pCount);
  }

  int decode(IKasMessageBuffer* buffer, IKasPdu* pdu, IKasSnmpTarget* target,
             int kind) override {
    if (builtin_current()) return kas_ber_decode(buffer, pdu, target, kind, false);
    return run_decoder([&](IKasBerDecoder* d) { return d->decode(buffer, pdu, target, kind, false); });
  }

  int decode_packet(IKasMessageBuffer* buffer, IKasSnmpPacket* packet, int kind) override {
    if (builtin_current()) {
      if (!buffer || !packet) return kKalErrInvalidArg;
      return kas_ber_decode_packet(buffer, packet, kind, false);
    }
    return run_decoder([&](IKasBerDecoder* d) -> int {
      if (!buffer || !packet) return kKalErrInvalidArg;
      return d->decode_packet(buffer, packet, kind, false);
    });
  }

  int peek(IKasMessageBuffer* buffer, int32_t* pErrorStatus, int32_t* pRequestId,
           int kind) override {
    if (kal_component_registry().size() == 0) return kKalErrNotReady;
    if (!buffer || !pErrorStatus || !pRequestId) return kKalErrInvalidArg;
    int rc = kKalOk;
    KalOwned<IKasPdu> pdu(kas_create_pdu(&rc));
    if (!pdu) return rc;
    if (builtin_current()) {
      rc = kas_ber_decode(buffer, pdu.get(), nullptr, kind, true);
    } else {
      rc = run_decoder(
          [&](IKasBerDecoder* d) { return d->decode(buffer, pdu.get(), nullptr, kind, true); });
    }
    if (rc != kKalOk) return rc;
    *pErrorStatus = pdu->get_error_status();
    *pRequestId = pdu->get_request_id();
    return kKalOk;
  }

 private:
  template <class F>
  int run_decoder(F&& body) {
    int rc = kKalOk;
    KalOwned<IKasBerDecoder> decoder(
        static_cast<IKasBerDecoder*>(kal_component_registry().create_second(&rc)));
    if (!decoder) return rc;
    return body(decoder.get());
  }
};

}  // namespace

IKasCodecService* kas_codec_service() {
  register_codec();
  static CKasCodecService service;
  return &service;
}
