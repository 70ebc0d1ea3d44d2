// Test helpers for the codec's tests, fuzzers and benchmark: building values,
// PDUs and targets in one line, encoding and decoding byte vectors through
// the codec service, and a text dump of a decoded PDU that two decoders can
// be compared by.
#ifndef SNMP_CODEC_TEST_UTIL_H_
#define SNMP_CODEC_TEST_UTIL_H_

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "common/owned.h"
#include "snmp/binding.h"
#include "snmp/codec_buffer.h"
#include "snmp/codec_service.h"
#include "snmp/pdu.h"
#include "snmp/target.h"
#include "snmp/value.h"

namespace codectest {

using Bytes = std::vector<uint8_t>;

inline Bytes bytes_of(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Values; the caller (usually a PDU through make_pdu) owns them.
inline IKasSnmpValue* oid(const char* text) { return kas_create_oid_from_text(text); }
inline IKasSnmpValue* integer(int32_t v) { return kas_create_value_from_int(v, kKasTagInteger); }
inline IKasSnmpValue* unsigned32(int tag, uint32_t v) { return kas_create_value_from_uint(v, tag); }
inline IKasSnmpValue* octets(int tag, const Bytes& data) {
  IKasSnmpValue* v = kas_create_value(tag);
  if (v && v->set_bytes(data.data(), data.size()) != kKalOk) {
    v->release();
    return nullptr;
  }
  return v;
}
inline IKasSnmpValue* text(const std::string& s) { return octets(kKasTagOctetString, bytes_of(s)); }
inline IKasSnmpValue* counter64(uint32_t high, uint32_t low) {
  IKasSnmpValue* v = kas_create_value(kKasTagCounter64);
  if (v) {
    v->set_high(high);
    v->set_low(low);
  }
  return v;
}
inline IKasSnmpValue* marker(int tag) { return kas_create_value(tag); }

struct Binding {
  const char* name;
  IKasSnmpValue* value;
};

// A PDU of `type` with the given bindings (the PDU takes the values).
inline IKasPdu* make_pdu(int type, int32_t request_id, std::initializer_list<Binding> bindings,
                         int32_t error_status = 0, int32_t error_index = 0) {
  IKasPdu* pdu = kas_create_pdu();
  pdu->set_type(type);
  pdu->set_request_id(request_id);
  pdu->set_error_status(error_status);
  pdu->set_error_index(error_index);
  for (const auto& b : bindings) pdu->append_pair(oid(b.name), b.value);
  return pdu;
}

// An SNMPv1 trap PDU with the given trap identifier and time-stamp.
inline IKasPdu* make_trap(const char* trap_oid, uint32_t ticks,
                          std::initializer_list<Binding> bindings) {
  IKasPdu* pdu = make_pdu(kKasPduTrap, 0, bindings);
  pdu->set_trap_oid(oid(trap_oid));
  pdu->set_trap_timestamp(unsigned32(kKasTagTimeTicks, ticks));
  return pdu;
}

inline IKasSnmpTarget* make_target(int version, const char* community,
                                   size_t max_message_size = 1472) {
  IKasCommunityTarget* t = kas_create_community_target();
  t->set_version(version);
  t->set_community(community);
  t->set_max_message_size(max_message_size);
  return t;
}

// Encodes through the codec service; the message, or empty with *rc set.
inline Bytes encode(const IKasPdu* pdu, IKasSnmpTarget* target, int* rc = nullptr,
                    size_t* count = nullptr) {
  KalOwned<IKasMessageBuffer> buffer(kas_create_message_buffer());
  const int r = kas_codec_service()->encode(pdu, target, buffer.get(), count);
  if (rc) *rc = r;
  if (r != kKalOk) return Bytes();
  return Bytes(buffer->data(), buffer->base() + buffer->size());
}

// Decodes `message` (exactly its octets) into pdu and target.
inline int decode(const Bytes& message, IKasPdu* pdu, IKasSnmpTarget* target) {
  CKasMessageView view(message.data(), message.size());
  return kas_codec_service()->decode(&view, pdu, target, kKasTargetCommunity);
}

inline std::string hex(const uint8_t* p, size_t n) {
  std::string s;
  char b[4];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(b, sizeof b, "%02x", p[i]);
    s += b;
  }
  return s;
}

// "tag:content" of one value: numbers in decimal, octets in hex, identifiers
// as dotted text.
inline std::string dump_value(const IKasSnmpValue* v) {
  if (!v) return "none";
  std::string s = std::to_string(v->tag()) + ":";
  switch (v->tag()) {
    case kKasTagInteger: return s + std::to_string(v->get_int());
    case kKasTagCounter32:
    case kKasTagGauge32:
    case kKasTagTimeTicks: return s + std::to_string(v->get_uint());
    case kKasTagCounter64:
      return s + std::to_string((uint64_t{v->get_high()} << 32) | v->get_low());
    case kKasTagOid: return s + v->as_oid()->text();
    case kKasTagNull:
    case kKasTagNoSuchObject:
    case kKasTagNoSuchInstance:
    case kKasTagEndOfMibView: return s;
    default: {
      size_t n = 0;
      const uint8_t* p = v->get_bytes(&n);
      return s + hex(p, n);
    }
  }
}

// Every field the codec carries, one line: target version and community,
// PDU header (or trap fields), then the bindings.
inline std::string dump(const IKasPdu* pdu, const IKasSnmpTarget* target = nullptr) {
  std::string s;
  if (target) {
    const IKasCommunityTarget* c = target->as_community();
    // Appended piece by piece: g++ 12 at -O3 warns (-Wrestrict, a false
    // positive) on "literal" + std::string.
    s += 'v';
    s += std::to_string(target->get_version());
    s += " community=";
    s += c && c->get_community() ? c->get_community() : "";
    s += ' ';
  }
  s += "type=" + std::to_string(pdu->get_type());
  if (pdu->get_type() == kKasPduTrap) {
    s += " trap=" + dump_value(pdu->get_trap_oid()) +
         " time=" + dump_value(pdu->get_trap_timestamp());
  } else {
    s += " id=" + std::to_string(pdu->get_request_id()) +
         " es=" + std::to_string(pdu->get_error_status()) +
         " ei=" + std::to_string(pdu->get_error_index());
  }
  const IKasVarBindList* list = pdu->get_bindings();
  const size_t n = list ? list->count() : 0;
  for (size_t i = 0; i < n; ++i) {
    const IKasVarBind* b = list->at(i);
    s += " | " + dump_value(b->get_name()) + " = " + dump_value(b->get_value());
  }
  return s;
}

}  // namespace codectest

#endif  // SNMP_CODEC_TEST_UTIL_H_
