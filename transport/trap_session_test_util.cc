#include "transport/trap_session_test_util.h"

#include "snmp/pdu.h"
#include "snmp/target.h"

namespace trap_test {

std::string oid_text(const IKasSnmpValue* value) {
  if (!value) return "";
  size_t length = 0;
  const uint8_t* bytes = value->get_bytes(&length);
  return bytes ? std::string(reinterpret_cast<const char*>(bytes), length) : "";
}

std::vector<int32_t> RecordingObserver::sequence() const {
  std::lock_guard<std::mutex> hold(lock_);
  std::vector<int32_t> out;
  for (const Packet& packet : packets_) {
    const IKasPdu* pdu = packet ? packet->get_pdu() : nullptr;
    const IKasVarBindList* list = pdu ? pdu->get_bindings() : nullptr;
    const IKasVarBind* first = list ? list->at(0) : nullptr;
    if (first && oid_text(first->get_name()) == kSequenceOid) {
      out.push_back(first->get_value()->get_int());
    } else {
      out.push_back(-1);
    }
  }
  return out;
}

IKasSnmpPacket* make_trap(int32_t seq) {
  Packet packet(kas_create_packet());
  IKasCommunityTarget* target = kas_create_community_target();
  IKasPdu* pdu = kas_create_pdu();
  if (!packet || !target || !pdu) {
    if (target) target->release();
    if (pdu) pdu->release();
    return nullptr;
  }
  packet->set_target(target);
  packet->set_pdu(pdu);
  target->set_version(kKasVersion1);
  target->set_community("public");
  target->set_max_message_size(484);
  pdu->set_type(kKasPduTrap);
  if (pdu->set_trap_oid(kas_create_oid_from_text("1.3.6.1.4.1.61801.0.7")) !=
          kKalOk ||
      pdu->set_trap_timestamp(
          kas_create_value_from_uint(4242, kKasTagTimeTicks)) != kKalOk ||
      pdu->append_pair(kas_create_oid_from_text(kSequenceOid),
                       kas_create_value_from_int(seq, kKasTagInteger)) !=
          kKalOk) {
    return nullptr;
  }
  return packet.detach();
}

std::vector<uint8_t> encode(IKasSnmpPacket* packet) {
  KalOwned<IKasMessageBuffer> buffer(kas_create_message_buffer());
  if (!buffer || !packet) return {};
  if (kas_codec_service()->encode_packet(packet, buffer.get()) != kKalOk)
    return {};
  uint8_t* end = buffer->base() + buffer->size();
  return std::vector<uint8_t>(buffer->data(), end);
}

}  // namespace trap_test
