// Test helpers for the session tests: targets and PDUs in one line, and the
// text of a PDU's bindings for order checks.
#ifndef TRANSPORT_REQUEST_SESSION_TEST_UTIL_H_
#define TRANSPORT_REQUEST_SESSION_TEST_UTIL_H_

#include <cstdint>
#include <string>
#include <vector>

#include "common/network_address.h"
#include "common/owned.h"
#include "snmp/binding.h"
#include "snmp/pdu.h"
#include "snmp/target.h"
#include "snmp/value.h"

namespace sessiontest {

// A community target to address:port; null when an allocation fails.
inline IKasSnmpTarget* make_target(const char* address, uint16_t port,
                                   int32_t timeout_ms, int32_t retries,
                                   int version = kKasVersion2c,
                                   const char* community = "public",
                                   size_t max_message_size = 1472) {
  IKasCommunityTarget* target = kas_create_community_target();
  if (!target) return nullptr;  // allocation-failure runs
  target->set_version(version);
  target->set_community(community);
  target->set_timeout(timeout_ms);
  target->set_retries(retries);
  target->set_max_message_size(max_message_size);
  const bool v6 = std::string(address).find(':') != std::string::npos;
  KalOwned<IKalNetworkAddress> a(kal_create_network_address(
      address, v6 ? IKalNetworkAddress::IPv6 : IKalNetworkAddress::IPv4, port));
  target->set_address(a.get());
  return target;
}

// The name of binding i of make_pdu: 1.3.6.1.4.1.99999.1.<i+1>.0.
inline std::string oid_of(size_t i) {
  return "1.3.6.1.4.1.99999.1." + std::to_string(i + 1) + ".0";
}

// oid_of(0) .. oid_of(n - 1).
inline std::vector<std::string> expected_names(size_t n) {
  std::vector<std::string> out;
  for (size_t i = 0; i < n; ++i) out.push_back(oid_of(i));
  return out;
}

// A PDU of `type` with `n` bindings named oid_of(0..n-1) and NULL values.
inline IKasPdu* make_pdu(int type, size_t n) {
  IKasPdu* pdu = kas_create_pdu();
  pdu->set_type(type);
  for (size_t i = 0; i < n; ++i) {
    pdu->append_pair(kas_create_oid_from_text(oid_of(i).c_str()), nullptr);
  }
  return pdu;
}

// A PDU with explicit binding names and NULL values.
inline IKasPdu* make_pdu(int type, const std::vector<std::string>& names) {
  IKasPdu* pdu = kas_create_pdu();
  pdu->set_type(type);
  for (const std::string& name : names) {
    pdu->append_pair(kas_create_oid_from_text(name.c_str()), nullptr);
  }
  return pdu;
}

inline std::vector<std::string> names_of(const IKasPdu* pdu) {
  std::vector<std::string> out;
  const IKasVarBindList* list = pdu->get_bindings();
  for (size_t i = 0; list && i < list->count(); ++i) {
    const IKasOid* oid = list->at(i)->get_oid();
    out.emplace_back(oid && oid->text() ? oid->text() : "");
  }
  return out;
}

// The values of OCTET STRING bindings as text ("" for other kinds).
inline std::vector<std::string> texts_of(const IKasPdu* pdu) {
  std::vector<std::string> out;
  const IKasVarBindList* list = pdu->get_bindings();
  for (size_t i = 0; list && i < list->count(); ++i) {
    const IKasSnmpValue* v = list->at(i)->get_value();
    size_t n = 0;
    const uint8_t* p =
        v && v->tag() == kKasTagOctetString ? v->get_bytes(&n) : nullptr;
    out.emplace_back(p ? std::string(reinterpret_cast<const char*>(p), n)
                       : std::string());
  }
  return out;
}

}  // namespace sessiontest

#endif  // TRANSPORT_REQUEST_SESSION_TEST_UTIL_H_
