// Shared by the SNMPv3 session tests: SNMPv3 targets and get requests.
#ifndef TRANSPORT_V3_TEST_UTIL_H_
#define TRANSPORT_V3_TEST_UTIL_H_

#include <cstdint>
#include <string>
#include <vector>

#include "common/network_address.h"
#include "common/owned.h"
#include "common/text.h"
#include "snmp/binding.h"
#include "snmp/pdu.h"
#include "snmp/target.h"
#include "snmp/value.h"

namespace zeltest {

struct UsmSettings {
  std::string name;
  int32_t level = 0;
  int32_t auth = 0;
  int32_t priv = 0;
  std::string auth_pass;
  std::string priv_pass;
};

// An SNMPv3 target (version 2) for address:port with the settings.
inline IKasUsmTarget* make_usm_target(const UsmSettings& s, const std::string& address,
                                      uint16_t port = 161, int32_t timeout_ms = 1000,
                                      int32_t retries = 1) {
  IKasUsmTarget* target = kas_create_usm_target();
  if (!target) return nullptr;
  target->set_version(kKasVersion3);
  target->set_timeout(timeout_ms);
  target->set_retries(retries);
  const auto protocol = address.find(':') != std::string::npos ? IKalNetworkAddress::IPv6
                                                                 : IKalNetworkAddress::IPv4;
  KalOwned<IKalNetworkAddress> a(kal_create_network_address(address.c_str(), protocol, port));
  target->set_address(a.get());
  target->set_security_name(s.name.c_str());
  target->set_security_level(s.level);
  target->set_auth_protocol(s.auth);
  target->set_priv_protocol(s.priv);
  target->set_auth_passphrase(s.auth_pass.c_str());
  target->set_priv_passphrase(s.priv_pass.c_str());
  return target;
}

// A PDU of `type` with NULL bindings for the identifiers.
inline IKasPdu* make_request(int type, std::initializer_list<const char*> oids) {
  IKasPdu* pdu = kas_create_pdu();
  pdu->set_type(type);
  for (const char* oid : oids) pdu->append_pair(kas_create_oid_from_text(oid), nullptr);
  return pdu;
}

// The text of binding i's identifier / value ("" when absent).
inline std::string oid_at(const IKasPdu* pdu, size_t i) {
  const IKasVarBind* b = pdu->get_bindings() ? pdu->get_bindings()->at(i) : nullptr;
  size_t n = 0;
  const uint8_t* p = b && b->get_name() ? b->get_name()->get_bytes(&n) : nullptr;
  return p ? std::string(reinterpret_cast<const char*>(p), n) : std::string();
}

inline const IKasSnmpValue* value_at(const IKasPdu* pdu, size_t i) {
  const IKasVarBind* b = pdu->get_bindings() ? pdu->get_bindings()->at(i) : nullptr;
  return b ? b->get_value() : nullptr;
}

inline std::string text_at(const IKasPdu* pdu, size_t i) {
  const IKasSnmpValue* v = value_at(pdu, i);
  if (!v) return std::string();
  KalOwned<IKalText> t(v->to_text());
  return t ? std::string(t->text(), t->length()) : std::string();
}

// The Report an agent answers an engine-ID probe with: noAuthNoPriv from
// `engine`, usmStatsUnknownEngineIDs.0 = 1, under the given IDs.
inline std::vector<uint8_t> engine_id_report(uint32_t message_id, uint32_t request_id,
                                             const std::string& engine) {
  auto tlv = [](uint8_t tag, std::vector<uint8_t> content) {
    std::vector<uint8_t> out{tag};
    if (content.size() >= 128) out.push_back(0x81);
    out.push_back(static_cast<uint8_t>(content.size()));
    out.insert(out.end(), content.begin(), content.end());
    return out;
  };
  auto cat = [](std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
  };
  auto int32 = [&](uint32_t v) {
    return tlv(0x02, {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
                      static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
  };
  const std::vector<uint8_t> id(engine.begin(), engine.end());
  const std::vector<uint8_t> zero{0x02, 0x01, 0x00};
  const std::vector<uint8_t> empty{0x04, 0x00};
  const auto security = tlv(0x30, cat({tlv(0x04, id), zero, zero, empty, empty, empty}));
  const auto binding = tlv(0x30, cat({tlv(0x06, {0x2b, 6, 1, 6, 3, 15, 1, 1, 4, 0}),
                                      tlv(0x41, {0x01})}));
  const auto report = tlv(0xa8, cat({int32(request_id), zero, zero, tlv(0x30, binding)}));
  return tlv(0x30, cat({tlv(0x02, {3}),
                        tlv(0x30, cat({int32(message_id), tlv(0x02, {0x00, 0xff, 0xe3}),
                                       tlv(0x04, {0x00}), tlv(0x02, {3})})),
                        tlv(0x04, security), tlv(0x30, cat({tlv(0x04, id), empty, report}))}));
}

}  // namespace zeltest

#endif  // TRANSPORT_V3_TEST_UTIL_H_
