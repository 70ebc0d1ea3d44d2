// The BER decoder: message, header, PDU, request or SNMPv1 trap fields,
// bindings and values, read forward. Every length is checked against the
// octets received before it is used; the message length is compared with
// the datagram once, before any field is trusted.
#include "snmp/ber_decoder.h"

#include <cstdint>
#include <new>

#include "common/owned.h"
#include "log/log.h"
#include "snmp/ber_reader.h"
#include "snmp/ber_tags.h"
#include "snmp/binding.h"
#include "snmp/binding_impl.h"
#include "snmp/codec_buffer.h"
#include "snmp/oid_ber.h"
#include "snmp/packet.h"
#include "snmp/pdu.h"
#include "snmp/target.h"
#include "snmp/value.h"
#include "snmp/value_base.h"

namespace {

// The SNMPv2 form this system gives the generic SNMPv1 traps: the generic
// number g becomes 1.3.6.1.6.3.1.1.5.0.(g + 1).
constexpr char kGenericTrapPrefix[] = "1.3.6.1.6.3.1.1.5.0";
constexpr uint32_t kGenericTrapEnterpriseSpecific = 6;
// Stack room for the text of an object identifier of up to 92 content
// octets; longer ones borrow heap memory for the call.
constexpr size_t kOidStackText = 1024;

void log_error(const char* message) { kal_log(kKalModuleSnmp, kKalLogError, "%s", message); }

class CKasBerDecoder final : public IKasBerDecoder,
                             public IKasValueVisitor,
                             public IKasTargetVisitor {
 public:
  void release() override { delete this; }
  int decode_packet(IKasMessageBuffer* buffer, IKasSnmpPacket* packet, int kind,
                    bool header_only) override;
  int decode(IKasMessageBuffer* buffer, IKasPdu* pdu, IKasSnmpTarget* target, int kind,
             bool header_only) override;

  // Values: the identifier and length octets have been read; each entry
  // reads the content (length_ octets) into the value.
  int visit_oid(IKasSnmpValue* value) override { return read_oid(value); }
  int visit_octet_string(IKasSnmpValue* value) override { return read_raw(value); }
  int visit_integer(IKasSnmpValue* value) override;
  int visit_null(IKasSnmpValue*) override { return read_empty(); }
  int visit_counter32(IKasSnmpValue* value) override { return read_uint(value); }
  int visit_gauge32(IKasSnmpValue* value) override { return read_uint(value); }
  int visit_timeticks(IKasSnmpValue* value) override { return read_uint(value); }
  int visit_counter64(IKasSnmpValue* value) override;
  int visit_ip_address(IKasSnmpValue* value) override { return read_raw(value); }
  int visit_ipv6_address(IKasSnmpValue* value) override { return read_raw(value); }
  int visit_udp_address(IKasSnmpValue*) override { return kKalErrNotSupported; }
  int visit_ipx_address(IKasSnmpValue*) override { return kKalErrNotSupported; }
  int visit_exception(IKasSnmpValue*) override { return read_empty(); }

  int visit_community_header(IKasCommunityTarget* target) override;
  int visit_usm_header(IKasUsmTarget*) override { return kKalErrNotSupported; }

 private:
  // Where the decoded fields go; created parts are handed to the packet when
  // there is one, else kept for the call only.
  struct Into {
    IKasSnmpPacket* packet;
    IKasPdu* pdu;
    IKasSnmpTarget* target;
  };
  int run(IKasMessageBuffer* buffer, Into into, int kind, bool header_only);
  int open_window(BerReader* reader);
  int read_pdu(IKasPdu* pdu, bool header_only);
  int read_request_fields(IKasPdu* pdu);
  int read_trap_v1_fields(IKasPdu* pdu);
  int read_bindings(IKasPdu* pdu);
  int read_binding(IKasVarBind* binding);
  int read_name(IKasVarBind* binding, CKasVarBind* ours);
  int read_int(int32_t* v);
  int read_oid(IKasSnmpValue* value);
  int read_oid_known(CKasValueBase* oid);
  int oid_failed(BerOidResult result);
  int read_raw(IKasSnmpValue* value);
  int read_uint(IKasSnmpValue* value);
  int read_empty();
  // The visitor entry of the kind `tag`, called directly on a value of this
  // layer of that kind.
  int read_value(CKasValueBase* value, uint8_t tag);

  BerReader* reader_ = nullptr;
  int version_ = -1;
  size_t length_ = 0;  // content length of the value being read
};

int CKasBerDecoder::decode_packet(IKasMessageBuffer* buffer, IKasSnmpPacket* packet, int kind,
                                  bool header_only) {
  if (!buffer || !packet) return kKalErrInvalidArg;
  return run(buffer, Into{packet, packet->get_pdu(), packet->get_target()}, kind, header_only);
}

int CKasBerDecoder::decode(IKasMessageBuffer* buffer, IKasPdu* pdu, IKasSnmpTarget* target,
                           int kind, bool header_only) {
  if (!buffer) return kKalErrInvalidArg;
  return run(buffer, Into{nullptr, pdu, target}, kind, header_only);
}

// Steps 1 and 2 of every decode: the message's tag and length, and the
// declared length against what arrived. Extra octets after the message are
// ignored; a message cut short is refused before any field is read.
int CKasBerDecoder::open_window(BerReader* reader) {
  size_t length = 0;
  if (!reader->expect_tag(kKasBerSequence) || !reader->read_length(&length, false)) {
    return kKasErrUndecodable;
  }
  const size_t received = reader->remaining();
  if (length > received) {
    log_error("decode error: lack of received packet. can't go on decoding any more.");
    return kKasErrUndecodable;
  }
  if (length < received) {
    kal_log(kKalModuleSnmp, kKalLogInfo, "received packet is redundancy. be cut down.");
    reader->set_window(reader->offset() + length);
  }
  return kKalOk;
}

int CKasBerDecoder::run(IKasMessageBuffer* buffer, Into into, int kind, bool header_only) {
  // Never past the end of the buffer, whatever received() claims.
  uint8_t* const data = buffer->data();
  uint8_t* const base = buffer->base();
  if (!data || data < base || data > base + buffer->size()) return kKalErrInvalidArg;
  const size_t room = static_cast<size_t>(base + buffer->size() - data);
  const size_t received = buffer->received() < room ? buffer->received() : room;
  BerReader reader(data, received);
  reader_ = &reader;
  version_ = -1;
  int rc = open_window(&reader);
  if (rc != kKalOk) return rc;

  KalOwned<IKasSnmpTarget> own_target;
  KalOwned<IKasPdu> own_pdu;
  if (!into.target) {
    if (kind == -1) {
      log_error("decode error: unknown translate type.");
      return kKalErrInvalidArg;
    }
    if (kind != kKasTargetCommunity) return kKalErrInvalidArg;
    own_target.reset(kas_create_target(kind, &rc));
    if (!own_target) return rc;
    into.target = own_target.get();
    if (into.packet) into.packet->set_target(own_target.detach());
  }
  if (!into.pdu) {
    own_pdu.reset(kas_create_pdu(&rc));
    if (!own_pdu) return rc;
    into.pdu = own_pdu.get();
    if (into.packet) into.packet->set_pdu(own_pdu.detach());
  }
  rc = into.target->accept(this);
  if (rc == kKalOk) rc = read_pdu(into.pdu, header_only);
  reader_ = nullptr;
  return rc;
}

int CKasBerDecoder::read_int(int32_t* v) {
  size_t n = 0;
  uint32_t bits = 0;
  if (!reader_->read_header(kKasBerInteger, &n) || !reader_->read_int32_content(n, &bits)) {
    return kKasErrUndecodable;
  }
  *v = static_cast<int32_t>(bits);
  return kKalOk;
}

int CKasBerDecoder::visit_community_header(IKasCommunityTarget* target) {
  int32_t version = -1;
  int rc = read_int(&version);
  if (rc != kKalOk) return rc;
  if (version != kKasSnmpVersion1 && version != kKasSnmpVersion2c) {
    log_error("decode error: unsupported snmp version.");
    return kKasErrUndecodable;
  }
  target->set_version(version);
  version_ = version;
  size_t n = 0;
  const uint8_t* community = nullptr;
  if (!reader_->read_header(kKasBerOctetString, &n) || !reader_->read_bytes(n, &community)) {
    return kKasErrUndecodable;
  }
  return target->set_community_bytes(reinterpret_cast<const char*>(community), n);
}

int CKasBerDecoder::read_pdu(IKasPdu* pdu, bool header_only) {
  uint8_t tag = 0;
  if (!reader_->read_byte(&tag)) return kKasErrUndecodable;
  const int type = kas_ber_pdu_type(tag);
  pdu->set_type(type);
  if (type < 0) {
    log_error("decode error: unknown pdu type.");
    return kKasErrUndecodable;
  }
  size_t length = 0;
  if (!reader_->read_length(&length, false)) return kKasErrUndecodable;
  if (length != reader_->remaining()) {
    log_error("decode error: pdu length is wrong.");
    return kKasErrUndecodable;
  }
  int rc = kKalOk;
  if (type != kKasPduTypeTrap) {
    rc = read_request_fields(pdu);
  } else if (version_ == kKasSnmpVersion1) {
    rc = read_trap_v1_fields(pdu);
  } else {
    // The SNMPv2-Trap in a version-1 message is not spoken by this codec.
    rc = kKalErrNotSupported;
  }
  if (rc != kKalOk || header_only) return rc;
  rc = read_bindings(pdu);
  if (rc != kKalOk) return rc;
  IKasVarBindList* list = pdu->get_bindings();
  // A GetBulk request carries non-repeaters where others carry the status.
  if (type != kKasPduTypeTrap && type != kKasPduGetBulk && pdu->get_error_status() != 0) {
    list->mark_error(pdu->get_error_status(), pdu->get_error_index());
  } else {
    list->mark_all(0);
  }
  return kKalOk;
}

int CKasBerDecoder::read_request_fields(IKasPdu* pdu) {
  int32_t request_id = 0, error_status = 0, error_index = 0;
  int rc = read_int(&request_id);
  if (rc == kKalOk) rc = read_int(&error_status);
  if (rc == kKalOk) rc = read_int(&error_index);
  if (rc != kKalOk) return rc;
  pdu->set_request_id(request_id);
  pdu->set_error_status(error_status);
  pdu->set_error_index(error_index);
  // RFC 3416 section 3: error-status is 0 to 18; in a GetBulk request the
  // field is non-repeaters and may be any number.
  if (pdu->get_type() != kKasPduGetBulk &&
      (error_status < 0 || error_status > kKasMaxErrorStatus)) {
    log_error("decode error: error_status's value is wrong.");
    return kKasErrUndecodable;
  }
  return kKalOk;
}

// RFC 1157 Trap-PDU: enterprise, agent-addr, generic-trap, specific-trap,
// time-stamp. The trap becomes enterprise.0.specific, or for a generic trap
// 1.3.6.1.6.3.1.1.5.0.(generic + 1).
int CKasBerDecoder::read_trap_v1_fields(IKasPdu* pdu) {
  int rc = kKalOk;
  IKasSnmpValue* trap = pdu->get_trap_oid();
  if (!trap) {
    IKasSnmpValue* made = kas_create_oid(&rc);
    if (!made) return rc;
    rc = pdu->set_trap_oid(made);
    if (rc != kKalOk) return rc;
    trap = pdu->get_trap_oid();
  }
  if (!reader_->read_header(kKasBerOid, &length_)) return kKasErrUndecodable;
  rc = read_oid(trap);
  if (rc != kKalOk) return rc;

  size_t n = 0;
  const uint8_t* agent = nullptr;
  if (!reader_->read_header(kKasBerIpAddress, &n) || !reader_->read_bytes(n, &agent)) {
    return kKasErrUndecodable;
  }
  if (n != 4) return kKalErrInvalidArg;

  int32_t generic = 0, specific = 0;
  rc = read_int(&generic);
  if (rc == kKalOk) rc = read_int(&specific);
  if (rc != kKalOk) return rc;
  IKasOid* oid = trap->as_oid();
  if (static_cast<uint32_t>(generic) == kGenericTrapEnterpriseSpecific) {
    rc = oid->append_number(0);
    if (rc == kKalOk) rc = oid->append_number(static_cast<uint32_t>(specific));
  } else if (static_cast<uint32_t>(generic) > kGenericTrapEnterpriseSpecific) {
    // Negative numbers land here too: RFC 1157 defines 0 to 6 only.
    log_error("decode error: generic trap No. > 6. ");
    return kKasErrUndecodable;
  } else {
    rc = oid->set_text_bytes(kGenericTrapPrefix, sizeof kGenericTrapPrefix - 1);
    if (rc == kKalOk) rc = oid->append_number(static_cast<uint32_t>(generic) + 1);
  }
  if (rc != kKalOk) return rc;

  uint32_t ticks = 0;
  if (!reader_->read_header(kKasBerTimeTicks, &n) || !reader_->read_int32_content(n, &ticks)) {
    return kKasErrUndecodable;
  }
  IKasSnmpValue* stamp = pdu->get_trap_timestamp();
  if (!stamp) {
    IKasSnmpValue* made = kas_create_value(kKasTagTimeTicks, &rc);
    if (!made) return rc;
    rc = pdu->set_trap_timestamp(made);
    if (rc != kKalOk) return rc;
    stamp = pdu->get_trap_timestamp();
  }
  return stamp->set_uint(ticks);
}

int CKasBerDecoder::read_bindings(IKasPdu* pdu) {
  int rc = kKalOk;
  IKasVarBindList* list = pdu->get_bindings();
  if (!list) {
    list = kas_create_varbind_list(&rc);
    if (!list) return rc;
    pdu->set_bindings(list);
  }
  size_t length = 0;
  if (!reader_->expect_tag(kKasBerSequence) || !reader_->read_length(&length, false)) {
    return kKasErrUndecodable;
  }
  if (length != reader_->remaining()) {
    log_error("decode error: length of var bind list is wrong.");
    return kKasErrUndecodable;
  }
  // A list of this layer lends its bindings without a call each.
  CKasVarBindList* ours = kas_varbind_list_of(list);
  size_t i = 0;
  for (; reader_->remaining() != 0; ++i) {
    IKasVarBind* binding = ours ? ours->at(i) : list->at(i);
    if (!binding) {
      binding = kas_create_varbind(&rc);
      if (!binding) return rc;
      rc = list->append(binding);  // released by the list on failure
      if (rc != kKalOk) return rc;
    }
    rc = read_binding(binding);
    if (rc != kKalOk) return rc;
  }
  list->truncate(i);
  return kKalOk;
}

int CKasBerDecoder::read_binding(IKasVarBind* binding) {
  size_t length = 0;
  if (!reader_->read_header(kKasBerSequence, &length)) return kKasErrUndecodable;
  const size_t start = reader_->offset();

  // A binding of this layer tells whether its name and value are values of
  // this layer without a call; those are read without the query.
  CKasVarBind* ours = kas_varbind_of(binding);
  int rc = read_name(binding, ours);
  if (rc != kKalOk) return rc;

  uint8_t tag = 0;
  if (!reader_->peek_byte(&tag)) return kKasErrUndecodable;
  if (!kas_ber_is_value_tag(tag)) {
    log_error("decode error: unknown asn type.");
    return kKasErrUndecodable;
  }
  CKasValueBase* base = ours ? ours->value_base() : nullptr;
  IKasSnmpValue* value = base;
  if (!ours) {
    // A value of this layer tells its kind without a virtual call and is
    // read without the visitor round trip.
    value = binding->get_value();
    const void* p = nullptr;
    if (value && value->query(kKasValueBaseQuery, &p) == kKalOk && p) {
      base = const_cast<CKasValueBase*>(static_cast<const CKasValueBase*>(p));
    }
  } else if (!base) {
    value = binding->get_value();  // absent, or made elsewhere
  }
  const int held = base ? base->kind() : (value ? value->tag() : -1);
  if (held != tag) {
    value = kas_create_value(tag, &rc);
    if (!value) return rc;
    rc = binding->set_value(value);
    if (rc != kKalOk) return rc;
    // A binding of this layer has just learnt the new value's base.
    base = ours ? ours->value_base() : nullptr;
  }
  if (!reader_->read_header(tag, &length_)) return kKasErrUndecodable;
  rc = base ? read_value(base, tag) : value->accept(this);
  if (rc != kKalOk) return rc;
  if (reader_->offset() - start != length) {
    log_error("decode error: length of var bind is wrong.");
    return kKasErrUndecodable;
  }
  return kKalOk;
}

// The binding's name (an identifier, created when absent).
int CKasBerDecoder::read_name(IKasVarBind* binding, CKasVarBind* ours) {
  CKasValueBase* base = ours ? ours->name_base() : nullptr;
  IKasSnmpValue* name = base;
  if (!base) {
    name = binding->get_name();
    if (!name) {
      int rc = kKalOk;
      IKasSnmpValue* oid = kas_create_oid(&rc);
      if (!oid) return rc;
      rc = binding->set_name(oid);
      if (rc != kKalOk) return rc;
      name = binding->get_name();
      base = ours ? ours->name_base() : nullptr;
    }
  }
  if (!reader_->read_header(kKasBerOid, &length_)) return kKasErrUndecodable;
  return base ? read_oid_known(base) : read_oid(name);
}

int CKasBerDecoder::oid_failed(BerOidResult result) {
  if (result == BerOidResult::kOutOfData || result == BerOidResult::kOverflow) {
    log_error("decode error. oid format is wrong.");
  }
  return kKasErrUndecodable;
}

int CKasBerDecoder::read_oid_known(CKasValueBase* oid) {
  BerOidResult result = BerOidResult::kOk;
  const int rc = kas_oid_read_ber_known(oid, reader_, length_, &result);
  return rc == kKasErrUndecodable ? oid_failed(result) : rc;
}

int CKasBerDecoder::read_oid(IKasSnmpValue* value) {
  bool ours = false;
  BerOidResult result = BerOidResult::kOk;
  int rc = kas_oid_read_ber(value, reader_, length_, &result, &ours);
  if (ours) return rc == kKasErrUndecodable ? oid_failed(result) : rc;
  IKasOid* oid = value->as_oid();
  if (!oid) return kKalErrInvalidArg;
  char stack_text[kOidStackText];
  char* text = stack_text;
  const size_t cap = BerReader::oid_text_capacity(length_);
  struct HeapText {
    char* p = nullptr;
    ~HeapText() { delete[] p; }
  } heap;
  if (cap > sizeof stack_text) {
    heap.p = new (std::nothrow) char[cap];
    if (!heap.p) return kKalErrNoMemory;
    text = heap.p;
  }
  size_t n = 0;
  switch (reader_->read_oid_text(length_, text, cap, &n)) {
    case BerOidResult::kOk:
      return oid->set_text_bytes(text, n);
    case BerOidResult::kOutOfData:
    case BerOidResult::kOverflow:
      log_error("decode error. oid format is wrong.");
      return kKasErrUndecodable;
    case BerOidResult::kPastLength:
    case BerOidResult::kNoRoom:
      break;
  }
  return kKasErrUndecodable;
}

int CKasBerDecoder::read_raw(IKasSnmpValue* value) {
  const uint8_t* data = nullptr;
  if (!reader_->read_bytes(length_, &data)) return kKasErrUndecodable;
  // The address kinds refuse any other length with -2.
  return value->set_bytes(data, length_);
}

int CKasBerDecoder::visit_integer(IKasSnmpValue* value) {
  uint32_t bits = 0;
  if (!reader_->read_int32_content(length_, &bits)) return kKasErrUndecodable;
  return value->set_int(static_cast<int32_t>(bits));
}

int CKasBerDecoder::read_uint(IKasSnmpValue* value) {
  uint32_t bits = 0;
  if (!reader_->read_int32_content(length_, &bits)) return kKasErrUndecodable;
  return value->set_uint(bits);
}

int CKasBerDecoder::visit_counter64(IKasSnmpValue* value) {
  uint32_t high = 0, low = 0;
  if (!reader_->read_uint64_content(length_, &high, &low)) {
    log_error("decode error: counter64 format is wrong.");
    return kKasErrUndecodable;
  }
  int rc = value->set_high(high);
  if (rc == kKalOk) rc = value->set_low(low);
  return rc;
}

int CKasBerDecoder::read_empty() {
  return length_ == 0 ? kKalOk : kKasErrUndecodable;
}

int CKasBerDecoder::read_value(CKasValueBase* value, uint8_t tag) {
  switch (tag) {
    case kKasBerInteger: return visit_integer(value);
    case kKasBerOctetString:
    case kKasBerOpaque:
    case kKasBerIpAddress: return read_raw(value);
    case kKasBerOid: return read_oid_known(value);
    case kKasBerCounter32:
    case kKasBerGauge32:
    case kKasBerTimeTicks: return read_uint(value);
    case kKasBerCounter64: return visit_counter64(value);
    default: return read_empty();  // NULL and the exceptions
  }
}

}  // namespace

int kas_ber_decode(IKasMessageBuffer* buffer, IKasPdu* pdu, IKasSnmpTarget* target, int kind,
                   bool header_only) {
  CKasBerDecoder decoder;
  return decoder.decode(buffer, pdu, target, kind, header_only);
}

int kas_ber_decode_packet(IKasMessageBuffer* buffer, IKasSnmpPacket* packet, int kind,
                          bool header_only) {
  CKasBerDecoder decoder;
  return decoder.decode_packet(buffer, packet, kind, header_only);
}

IKasBerDecoder* kas_create_ber_decoder(int* pStatus) {
  IKasBerDecoder* decoder = kal_new<CKasBerDecoder>();
  if (!decoder) return kal_fail<IKasBerDecoder>(pStatus, kKalErrNoMemory);
  kal_set_status(pStatus, kKalOk);
  return decoder;
}
