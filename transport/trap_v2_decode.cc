#include "transport/trap_v2_decode.h"

#include <cstring>
#include <memory>
#include <new>

#include "common/owned.h"
#include "snmp/ber_reader.h"
#include "snmp/ber_tags.h"
#include "snmp/codec_buffer.h"
#include "snmp/codec_service.h"
#include "snmp/value.h"

namespace {

constexpr char kSysUpTime0[] = "1.3.6.1.2.1.1.3.0";
constexpr char kSnmpTrapOid0[] = "1.3.6.1.6.3.1.1.4.1.0";

// The offset of the PDU's identifier octet in an SNMPv2c message, or 0 when
// the envelope is not SEQUENCE { INTEGER 1, OCTET STRING, ... }.
size_t pdu_offset(const uint8_t* data, size_t size) {
  BerReader r(data, size);
  size_t n = 0;
  const uint8_t* version = nullptr;
  const uint8_t* community = nullptr;
  if (!r.read_header(kKasBerSequence, &n) || !r.read_header(kKasBerInteger, &n) ||
      !r.read_bytes(n, &version) || n != 1 || version[0] != kKasSnmpVersion2c ||
      !r.read_header(kKasBerOctetString, &n) || !r.read_bytes(n, &community)) {
    return 0;
  }
  return r.remaining() > 0 ? r.offset() : 0;
}

bool is_named(const IKasVarBind* b, const char* oid) {
  if (!b || !b->get_name()) return false;
  size_t n = 0;
  const uint8_t* text = b->get_name()->get_bytes(&n);
  return text && n == std::strlen(oid) && std::memcmp(text, oid, n) == 0;
}

// Takes the first binding off `list` (which has one) and answers its value;
// the name is dropped.
IKasSnmpValue* take_first_value(IKasVarBindList* list) {
  IKasVarBind* binding = nullptr;
  IKasSnmpValue* name = nullptr;
  IKasSnmpValue* value = nullptr;
  list->remove_at(0, &binding);
  binding->detach(&name, &value);
  binding->release();
  if (name) name->release();
  return value;
}

}  // namespace

int kas_decode_trap_v2(const uint8_t* data, size_t size, IKasSnmpPacket* packet) {
  if (!data || !packet) return kKalErrInvalidArg;
  const size_t at = pdu_offset(data, size);
  if (at == 0 || data[at] != kKasBerTrapV2) return kKalErrNotSupported;
  // The PDU has the layout of a Response: decode a copy that says so.
  std::unique_ptr<uint8_t[]> copy(new (std::nothrow) uint8_t[size]);
  if (!copy) return kKalErrNoMemory;
  std::memcpy(copy.get(), data, size);
  copy[at] = kKasBerResponse;
  CKasMessageView view(copy.get(), size);
  int rc = kas_codec_service()->decode_packet(&view, packet, kKasTargetCommunity);
  if (rc != kKalOk) return rc;
  IKasPdu* pdu = packet->get_pdu();
  IKasVarBindList* list = pdu ? pdu->get_bindings() : nullptr;
  if (!list || list->count() < 2 || !is_named(list->at(0), kSysUpTime0) ||
      !is_named(list->at(1), kSnmpTrapOid0) || !list->at(0)->get_value() ||
      list->at(0)->get_value()->tag() != kKasTagTimeTicks || !list->at(1)->get_value() ||
      list->at(1)->get_value()->tag() != kKasTagOid) {
    return kKasErrUndecodable;
  }
  rc = pdu->set_trap_timestamp(take_first_value(list));
  if (rc != kKalOk) return rc;
  rc = pdu->set_trap_oid(take_first_value(list));
  if (rc != kKalOk) return rc;
  pdu->set_type(kKasPduTrap);
  list->mark_all(0);
  return kKalOk;
}
