// The BER encoder: packet, PDU, bindings and values, written backwards.
//
//   Message ::= SEQUENCE {                 30 L
//     version    INTEGER,                  02 01 00|01
//     community  OCTET STRING,             04 L ...
//     pdu        [type] IMPLICIT SEQUENCE  A0+type L
//   }
//   request fields: request-id, error-status, error-index, then
//   bindings   SEQUENCE OF SEQUENCE { name OBJECT IDENTIFIER, value }
//
// Because the writer runs backwards, every element is produced after its
// successors: the bindings before the request fields, the value before the
// name, the content before its length and the length before its tag.
#include "snmp/ber_encoder.h"

#include <cstdint>
#include <cstring>

#include "common/owned.h"
#include "log/log.h"
#include "snmp/ber_tags.h"
#include "snmp/ber_writer.h"
#include "snmp/binding.h"
#include "snmp/binding_impl.h"
#include "snmp/codec_buffer.h"
#include "snmp/oid_ber.h"
#include "snmp/pdu.h"
#include "snmp/target.h"
#include "snmp/value.h"
#include "snmp/value_base.h"

namespace {

// SNMPv2 form of the generic traps: snmpTraps (RFC 3418) without the ".0.n"
// that the trap identifier carries.
constexpr char kGenericTrapEnterprise[] = "1.3.6.1.6.3.1.1.5";
constexpr int kGenericTrapEnterpriseSpecific = 6;

// Parses one arc of a dotted text: decimal digits, at most 4294967295.
bool parse_arc(const char* p, size_t n, uint32_t* out) {
  if (n == 0) return false;
  uint64_t v = 0;
  for (size_t i = 0; i < n; ++i) {
    if (p[i] < '0' || p[i] > '9') return false;
    v = v * 10 + static_cast<uint64_t>(p[i] - '0');
    if (v > UINT32_MAX) return false;
  }
  *out = static_cast<uint32_t>(v);
  return true;
}

class CKasBerEncoder final : public IKasBerEncoder,
                             public IKasValueVisitor,
                             public IKasTargetVisitor {
 public:
  void release() override { delete this; }
  int encode(const IKasPdu* pdu, IKasSnmpTarget* target, IKasMessageBuffer* buffer,
             size_t* pCount) override;

  // Values: each writes one whole element (content, length, tag).
  int visit_oid(IKasSnmpValue* value) override;
  int visit_octet_string(IKasSnmpValue* value) override { return put_raw(value); }
  int visit_integer(IKasSnmpValue* value) override {
    writer_->put_integer(kKasBerInteger, value->get_int());
    return kKalOk;
  }
  int visit_null(IKasSnmpValue*) override {
    writer_->put_header(kKasBerNull, 0);
    return kKalOk;
  }
  int visit_counter32(IKasSnmpValue* value) override { return put_uint(value, kKasBerCounter32); }
  int visit_gauge32(IKasSnmpValue* value) override { return put_uint(value, kKasBerGauge32); }
  int visit_timeticks(IKasSnmpValue* value) override { return put_uint(value, kKasBerTimeTicks); }
  int visit_counter64(IKasSnmpValue* value) override {
    writer_->put_unsigned64(kKasBerCounter64, value->get_high(), value->get_low());
    return kKalOk;
  }
  int visit_ip_address(IKasSnmpValue* value) override { return put_raw(value); }
  int visit_ipv6_address(IKasSnmpValue* value) override { return put_raw(value); }
  // Transport addresses have no SNMP syntax.
  int visit_udp_address(IKasSnmpValue*) override { return kKalErrNotSupported; }
  int visit_ipx_address(IKasSnmpValue*) override { return kKalErrNotSupported; }
  int visit_exception(IKasSnmpValue* value) override {
    writer_->put_header(static_cast<uint8_t>(value->tag()), 0);
    return kKalOk;
  }

  // Header: community, then version (they read forward as version, community).
  int visit_community_header(IKasCommunityTarget* target) override;
  int visit_usm_header(IKasUsmTarget*) override { return kKalErrNotSupported; }

 private:
  int put_raw(IKasSnmpValue* value);
  int put_uint(IKasSnmpValue* value, uint8_t tag) {
    writer_->put_unsigned(tag, value->get_uint());
    return kKalOk;
  }
  int put_oid_text(const char* text, size_t length);
  static void log_one_arc() {
    kal_log(kKalModuleSnmp, kKalLogError, "encode error:oid size is 1.");
  }
  int put_oid(const IKasSnmpValue* oid);
  int put_value(IKasSnmpValue* value);
  int put_view(const CKasValueBase* value);
  int put_known_oid(const CKasValueBase* oid);
  int put_pdu(const IKasPdu* pdu);
  int put_bindings(const IKasVarBindList* list);
  int put_binding(IKasVarBind* binding);
  int put_request_fields(const IKasPdu* pdu);
  int put_trap_v1_fields(const IKasPdu* pdu);

  BerWriter* writer_ = nullptr;
  int version_ = -1;
  size_t count_ = 0;
};

int CKasBerEncoder::encode(const IKasPdu* pdu, IKasSnmpTarget* target,
                           IKasMessageBuffer* buffer, size_t* pCount) {
  if (pCount) *pCount = 0;
  if (!pdu || !target || !buffer) return kKalErrInvalidArg;
  version_ = target->get_version();
  count_ = 0;
  if (version_ != kKasSnmpVersion1 && version_ != kKasSnmpVersion2c) return kKalErrInvalidArg;

  // The data pointer must stay where it was when the message does not fit,
  // so remember it across the resize.
  uint8_t* const old_data = buffer->data();
  const size_t old_received = buffer->received();
  const size_t max_size = target->get_max_message_size();
  if (buffer->size() != max_size) {
    const int rc = buffer->set_size(max_size);
    if (rc != kKalOk) return rc;
  }
  BerWriter writer(buffer->base(), buffer->size());
  writer_ = &writer;
  int rc = put_pdu(pdu);
  if (pCount) *pCount = count_;
  if (rc == kKalOk) rc = target->accept(this);
  if (rc == kKalOk) writer.put_header(kKasBerSequence, writer.written());
  writer_ = nullptr;
  if (rc == kKalOk && writer.overflowed()) rc = kKasErrTooLarge;
  if (rc != kKalOk) {
    if (old_data >= buffer->base() && old_data <= buffer->base() + buffer->size()) {
      buffer->set_data(old_data);
      buffer->set_received(old_received);
    }
    return rc;
  }
  buffer->set_data(writer.data());
  buffer->set_received(writer.written());
  return kKalOk;
}

int CKasBerEncoder::visit_community_header(IKasCommunityTarget* target) {
  const char* community = target->get_community();
  writer_->put_octets(kKasBerOctetString, reinterpret_cast<const uint8_t*>(community),
                      community ? target->get_community_length() : 0);
  writer_->put_integer(kKasBerInteger, version_);
  return kKalOk;
}

int CKasBerEncoder::put_raw(IKasSnmpValue* value) {
  size_t n = 0;
  int rc = kKalOk;
  const uint8_t* data = value->get_bytes(&n, &rc);
  if (rc != kKalOk) return rc;
  writer_->put_octets(static_cast<uint8_t>(value->tag()), data, n);
  return kKalOk;
}

// X.690 8.19, written backwards straight from the dotted text.
int CKasBerEncoder::put_oid_text(const char* text, size_t length) {
  const size_t start = writer_->written();
  switch (writer_->put_oid_content(text, length)) {
    case BerOidText::kOk:
      writer_->put_header(kKasBerOid, writer_->written() - start);
      return kKalOk;
    case BerOidText::kOneArc:
      log_one_arc();
      return kKalErrInvalidArg;
    case BerOidText::kMalformed:
      break;
  }
  return kKalErrInvalidArg;
}

// Identifiers of this layer lend the content octets they keep beside their
// text; others are encoded from the text.
int CKasBerEncoder::put_oid(const IKasSnmpValue* value) {
  if (const KasOidBerCache* kept = kas_oid_ber_cache(value)) {
    switch (kept->verdict) {
      case KasOidBer::kCached:
        writer_->put_octets(kKasBerOid, kept->octets, kept->length);
        return kKalOk;
      case KasOidBer::kOneArc:
        log_one_arc();
        return kKalErrInvalidArg;
      case KasOidBer::kMalformed:
        return kKalErrInvalidArg;
      case KasOidBer::kUncached:
        break;
    }
  }
  const IKasOid* oid = value ? value->as_oid() : nullptr;
  if (!oid) return kKalErrInvalidArg;
  return put_oid_text(oid->text(), oid->text_length());
}

// A value of this layer is read in one call and written here; others go
// through their visitor entries. Both write the same octets.
int CKasBerEncoder::put_value(IKasSnmpValue* value) {
  const void* p = nullptr;
  if (value->query(kKasValueBaseQuery, &p) == kKalOk && p) {
    return put_view(static_cast<const CKasValueBase*>(p));
  }
  return value->accept(this);
}

// An identifier of this layer: its kept octets, read without a virtual
// call. A verdict other than kCached is judged as for any identifier.
int CKasBerEncoder::put_known_oid(const CKasValueBase* oid) {
  const KasOidBerCache* kept = kas_oid_ber_known(oid);
  if (kept->verdict == KasOidBer::kCached) {
    writer_->put_octets(kKasBerOid, kept->octets, kept->length);
    return kKalOk;
  }
  return put_oid(oid);
}

int CKasBerEncoder::put_view(const CKasValueBase* value) {
  const int tag = value->kind();
  if (tag == kKasTagOid) return put_known_oid(value);
  KasValueView view;
  value->view(&view);
  switch (tag) {
    case kKasTagInteger:
      writer_->put_integer(kKasBerInteger, static_cast<int32_t>(view.number));
      return kKalOk;
    case kKasTagOctetString:
    case kKasTagOpaque:
    case kKasTagIpAddress:
    case kKasTagIpv6Address:
      writer_->put_octets(static_cast<uint8_t>(tag), view.octets, view.length);
      return kKalOk;
    case kKasTagCounter32:
    case kKasTagGauge32:
    case kKasTagTimeTicks:
      writer_->put_unsigned(static_cast<uint8_t>(tag), view.number);
      return kKalOk;
    case kKasTagCounter64:
      writer_->put_unsigned64(kKasBerCounter64, view.high, view.number);
      return kKalOk;
    case kKasTagNull:
    case kKasTagNoSuchObject:
    case kKasTagNoSuchInstance:
    case kKasTagEndOfMibView:
      writer_->put_header(static_cast<uint8_t>(tag), 0);
      return kKalOk;
    default:
      // Transport addresses have no SNMP syntax.
      return kKalErrNotSupported;
  }
}

int CKasBerEncoder::visit_oid(IKasSnmpValue* value) { return put_oid(value); }

int CKasBerEncoder::put_pdu(const IKasPdu* pdu) {
  const size_t start = writer_->written();
  const int type = pdu->get_type();
  // Only the types with a PDU tag: 0 to 6 and 8.
  if (type < 0 || type > kKasPduReport || type == 7) return kKalErrInvalidArg;
  int rc = kKalOk;
  if (type != kKasPduTypeTrap) {
    rc = put_bindings(pdu->get_bindings());
    if (rc == kKalOk) rc = put_request_fields(pdu);
  } else if (version_ == kKasSnmpVersion1) {
    rc = put_bindings(pdu->get_bindings());
    if (rc == kKalOk) rc = put_trap_v1_fields(pdu);
  } else {
    // The SNMPv2-Trap in a version-1 message is not spoken by this codec.
    return kKalErrNotSupported;
  }
  if (rc != kKalOk) return rc;
  writer_->put_header(kas_ber_pdu_tag(type, version_), writer_->written() - start);
  return kKalOk;
}

int CKasBerEncoder::put_bindings(const IKasVarBindList* list) {
  const size_t start = writer_->written();
  // An absent list is an empty one.
  const size_t n = list ? list->count() : 0;
  // A list of this layer lends its array: no call per binding.
  const CKasVarBindList* ours = kas_varbind_list_of(list);
  for (size_t i = n; i-- > 0;) {
    const int rc = put_binding(ours ? ours->items()[i] : list->at(i));
    if (rc != kKalOk) return rc;
    ++count_;
  }
  writer_->put_header(kKasBerSequence, writer_->written() - start);
  return kKalOk;
}

int CKasBerEncoder::put_binding(IKasVarBind* binding) {
  if (!binding) return kKalErrInvalidArg;
  // A binding of this layer holding values of this layer: read inline, one
  // view of each part.
  if (const CKasVarBind* ours = kas_varbind_of(binding)) {
    const CKasValueBase* name = ours->name_base();
    const CKasValueBase* value = ours->value_base();
    if (name && value) {
      const size_t start = writer_->written();
      int rc = put_view(value);
      if (rc == kKalOk) rc = put_known_oid(name);
      if (rc != kKalOk) return rc;
      writer_->put_header(kKasBerSequence, writer_->written() - start);
      return kKalOk;
    }
  }
  IKasSnmpValue* name = binding->get_name();
  IKasSnmpValue* value = binding->get_value();
  if (!name || !value) return kKalErrInvalidArg;
  const size_t start = writer_->written();
  int rc = put_value(value);
  if (rc == kKalOk) rc = put_oid(name);
  if (rc != kKalOk) return rc;
  writer_->put_header(kKasBerSequence, writer_->written() - start);
  return kKalOk;
}

int CKasBerEncoder::put_request_fields(const IKasPdu* pdu) {
  writer_->put_integer(kKasBerInteger, pdu->get_error_index());
  writer_->put_integer(kKasBerInteger, pdu->get_error_status());
  writer_->put_integer(kKasBerInteger, pdu->get_request_id());
  return kKalOk;
}

// RFC 1157 Trap-PDU, from the trap identifier T = enterprise.0.specific, or
// 1.3.6.1.6.3.1.1.5.0.(generic + 1) for the generic traps:
//   enterprise OBJECT IDENTIFIER, agent-addr IpAddress, generic-trap INTEGER,
//   specific-trap INTEGER, time-stamp TimeTicks, then the bindings.
int CKasBerEncoder::put_trap_v1_fields(const IKasPdu* pdu) {
  const IKasSnmpValue* stamp = pdu->get_trap_timestamp();
  const IKasSnmpValue* trap = pdu->get_trap_oid();
  const IKasOid* oid = trap ? trap->as_oid() : nullptr;
  if (!stamp || !oid) return kKalErrInvalidArg;
  const char* text = oid->text();
  const size_t length = oid->text_length();
  // Split off the last two arcs: enterprise E, then "0", then s.
  size_t dot2 = length;
  while (dot2 > 0 && text[dot2 - 1] != '.') --dot2;
  if (dot2 < 2) return kKalErrInvalidArg;  // fewer than two arcs
  size_t dot1 = dot2 - 1;
  while (dot1 > 0 && text[dot1 - 1] != '.') --dot1;
  uint32_t zero = 1, s = 0;
  if (!parse_arc(text + dot1, dot2 - 1 - dot1, &zero) || zero != 0) return kKalErrInvalidArg;
  if (!parse_arc(text + dot2, length - dot2, &s)) return kKalErrInvalidArg;
  const size_t enterprise_length = dot1 == 0 ? 0 : dot1 - 1;

  int32_t generic = kGenericTrapEnterpriseSpecific;
  int32_t specific = static_cast<int32_t>(s);
  // Only 1 to 6 name a generic trap (coldStart to egpNeighborLoss); any
  // other number under snmpTraps goes out as an enterprise-specific trap, so
  // that the receiver reads back the same identifier instead of a
  // generic-trap outside 0 to 6.
  if (enterprise_length == sizeof kGenericTrapEnterprise - 1 &&
      std::memcmp(text, kGenericTrapEnterprise, enterprise_length) == 0 && s >= 1 && s <= 6) {
    generic = static_cast<int32_t>(s - 1);
    specific = 0;
  }
  writer_->put_unsigned(kKasBerTimeTicks, stamp->get_uint());
  writer_->put_integer(kKasBerInteger, specific);
  writer_->put_integer(kKasBerInteger, generic);
  static const uint8_t kAnyAgent[4] = {0, 0, 0, 0};
  writer_->put_octets(kKasBerIpAddress, kAnyAgent, sizeof kAnyAgent);
  return put_oid_text(text, enterprise_length);
}

}  // namespace

int kas_ber_encode(const IKasPdu* pdu, IKasSnmpTarget* target, IKasMessageBuffer* buffer,
                   size_t* pCount) {
  CKasBerEncoder encoder;
  return encoder.encode(pdu, target, buffer, pCount);
}

IKasBerEncoder* kas_create_ber_encoder(int* pStatus) {
  IKasBerEncoder* encoder = kal_new<CKasBerEncoder>();
  if (!encoder) return kal_fail<IKasBerEncoder>(pStatus, kKalErrNoMemory);
  kal_set_status(pStatus, kKalOk);
  return encoder;
}
