#include "transport/netsnmp_convert.h"

#include <arpa/inet.h>
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "common/network_address.h"
#include "common/owned.h"
#include "common/text.h"
#include "snmp/binding.h"
#include "snmp/pdu.h"
#include "snmp/target.h"
#include "snmp/value.h"

namespace {

// Error statuses RFC 3416 defines (noError .. inconsistentName).
constexpr long kMaxErrorStatus = 18;
constexpr int kUnknownErrorStatus = 100;

// Dotted text of library sub-identifiers. Arcs above 32 bits cannot be held
// by our identifiers: kKasErrUndecodable.
int make_oid(const oid* arcs, size_t count, IKasSnmpValue** ppValue) {
  int rc = kKalOk;
  KalOwned<IKalText> text(kal_create_text(&rc));
  if (!text) return rc;
  char arc[16];
  for (size_t i = 0; i < count; ++i) {
    if (arcs[i] > kKasMaxSubId) return kKasErrUndecodable;
    const int n = snprintf(arc, sizeof arc, i ? ".%" PRIu32 : "%" PRIu32,
                           static_cast<uint32_t>(arcs[i]));
    rc = text->append(arc, static_cast<size_t>(n));
    if (rc != kKalOk) return rc;
  }
  IKasSnmpValue* value = kas_create_oid_from_text(text->text(), &rc);
  if (!value) return rc == kKalErrNoMemory ? rc : kKasErrUndecodable;
  *ppValue = value;
  return kKalOk;
}

int make_value(int tag, IKasSnmpValue** ppValue) {
  int rc = kKalOk;
  *ppValue = kas_create_value(tag, &rc);
  return rc;
}

int set_octets(const variable_list* binding, int tag, IKasSnmpValue** ppValue) {
  KalOwned<IKasSnmpValue> value;
  IKasSnmpValue* raw = nullptr;
  int rc = make_value(tag, &raw);
  value.reset(raw);
  if (rc != kKalOk) return rc;
  if (binding->val_len && !binding->val.string) return kKasErrUndecodable;
  rc = value->set_bytes(binding->val.string, binding->val_len);
  // An IpAddress of another length than 4 comes back as -2.
  if (rc == kKalErrInvalidArg) return kKasErrUndecodable;
  if (rc != kKalOk) return rc;
  *ppValue = value.detach();
  return kKalOk;
}

int set_number(const variable_list* binding, int tag, IKasSnmpValue** ppValue) {
  if (!binding->val.integer) return kKasErrUndecodable;
  int rc = kKalOk;
  IKasSnmpValue* value =
      tag == kKasTagInteger
          ? kas_create_value_from_int(static_cast<int32_t>(*binding->val.integer), tag, &rc)
          : kas_create_value_from_uint(static_cast<uint32_t>(*binding->val.integer), tag, &rc);
  if (!value) return rc;
  *ppValue = value;
  return kKalOk;
}

int set_counter64(const variable_list* binding, IKasSnmpValue** ppValue) {
  if (!binding->val.counter64) return kKasErrUndecodable;
  IKasSnmpValue* raw = nullptr;
  const int rc = make_value(kKasTagCounter64, &raw);
  if (rc != kKalOk) return rc;
  raw->set_high(static_cast<uint32_t>(binding->val.counter64->high));
  raw->set_low(static_cast<uint32_t>(binding->val.counter64->low));
  *ppValue = raw;
  return kKalOk;
}

}  // namespace

int kas_netsnmp_pdu_type(int command) {
  switch (command) {
    case SNMP_MSG_GET: return 0;
    case SNMP_MSG_GETNEXT: return 1;
    case SNMP_MSG_RESPONSE: return 2;
    case SNMP_MSG_SET: return 3;
    case SNMP_MSG_GETBULK: return 5;
    case SNMP_MSG_INFORM: return 6;
    case SNMP_MSG_TRAP2: return 4;
    case SNMP_MSG_REPORT: return 8;
    default: return -1;
  }
}

int kas_netsnmp_request_command(int type) {
  switch (type) {
    case 0: return SNMP_MSG_GET;
    case 1: return SNMP_MSG_GETNEXT;
    case 3: return SNMP_MSG_SET;
    case 4: return SNMP_MSG_TRAP2;
    default: return -1;
  }
}

int kas_netsnmp_convert_value(const variable_list* binding, IKasSnmpValue** ppValue) {
  if (!binding || !ppValue) return kKalErrInvalidArg;
  *ppValue = nullptr;
  switch (binding->type & 0xFF) {
    case ASN_INTEGER: return set_number(binding, kKasTagInteger, ppValue);
    case ASN_OCTET_STR:
    case ASN_PRIV_IMPLIED_OCTET_STR: return set_octets(binding, kKasTagOctetString, ppValue);
    case ASN_NULL: return make_value(kKasTagNull, ppValue);
    case ASN_OBJECT_ID:
      if (binding->val_len && !binding->val.objid) return kKasErrUndecodable;
      return make_oid(binding->val.objid, binding->val_len / sizeof(oid), ppValue);
    case ASN_IPADDRESS: return set_octets(binding, kKasTagIpAddress, ppValue);
    case ASN_COUNTER: return set_number(binding, kKasTagCounter32, ppValue);
    case ASN_GAUGE:
    case ASN_UINTEGER: return set_number(binding, kKasTagGauge32, ppValue);
    case ASN_TIMETICKS: return set_number(binding, kKasTagTimeTicks, ppValue);
    case ASN_OPAQUE: return set_octets(binding, kKasTagOpaque, ppValue);
    case ASN_COUNTER64: return set_counter64(binding, ppValue);
    case SNMP_NOSUCHOBJECT: return make_value(kKasTagNoSuchObject, ppValue);
    case SNMP_NOSUCHINSTANCE: return make_value(kKasTagNoSuchInstance, ppValue);
    case SNMP_ENDOFMIBVIEW: return make_value(kKasTagEndOfMibView, ppValue);
    default: return kKalErrPlatform;
  }
}

int kas_netsnmp_convert_pdu(const snmp_pdu* response, IKasPdu* pdu) {
  if (!response || !pdu) return kKalErrInvalidArg;
  int rc = kKalOk;
  KalOwned<IKasVarBindList> list(kas_create_varbind_list(&rc));
  if (!list) return rc;
  for (const variable_list* binding = response->variables; binding;
       binding = binding->next_variable) {
    IKasSnmpValue* name = nullptr;
    rc = make_oid(binding->name, binding->name ? binding->name_length : 0, &name);
    if (rc != kKalOk) return rc;
    IKasSnmpValue* value = nullptr;
    rc = kas_netsnmp_convert_value(binding, &value);
    if (rc != kKalOk) {
      name->release();
      return rc;
    }
    rc = list->append_pair(name, value);  // takes both, also on failure
    if (rc != kKalOk) return rc;
  }
  const int type = kas_netsnmp_pdu_type(response->command);
  const long errstat = response->errstat;
  const int error_status =
      errstat >= 0 && errstat <= kMaxErrorStatus ? static_cast<int>(errstat) : kUnknownErrorStatus;
  const int error_index = static_cast<int>(response->errindex);
  if (type != 4 && error_status != 0) {
    list->mark_error(error_status, error_index);
  } else {
    list->mark_all(0);
  }
  pdu->set_type(type);
  pdu->set_request_id(static_cast<int32_t>(response->reqid));
  pdu->set_error_status(error_status);
  pdu->set_error_index(error_index);
  pdu->set_bindings(list.detach());
  return kKalOk;
}

int kas_netsnmp_source_address(const snmp_pdu* response, IKalNetworkAddress** ppAddress) {
  if (!response || !ppAddress) return kKalErrInvalidArg;
  *ppAddress = nullptr;
  // UDP transports keep the sender as the first member of their address
  // pair: a sockaddr_in or sockaddr_in6.
  sockaddr_in6 storage{};
  const size_t have = response->transport_data ? response->transport_data_length : 0;
  if (have < sizeof(sockaddr_in)) return kKalErrInvalidArg;
  memcpy(&storage, response->transport_data, have < sizeof storage ? have : sizeof storage);
  char text[INET6_ADDRSTRLEN] = "";
  uint16_t port = 0;
  IKalNetworkAddress::EProtocol protocol = IKalNetworkAddress::Unknown;
  if (storage.sin6_family == AF_INET) {
    sockaddr_in v4;
    memcpy(&v4, &storage, sizeof v4);
    if (!inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text)) return kKalErrInvalidArg;
    port = ntohs(v4.sin_port);
    protocol = IKalNetworkAddress::IPv4;
  } else if (storage.sin6_family == AF_INET6 && have >= sizeof(sockaddr_in6)) {
    if (!inet_ntop(AF_INET6, &storage.sin6_addr, text, sizeof text)) return kKalErrInvalidArg;
    port = ntohs(storage.sin6_port);
    protocol = IKalNetworkAddress::IPv6;
  } else {
    return kKalErrInvalidArg;
  }
  int rc = kKalOk;
  *ppAddress = kal_create_network_address(text, protocol, port, &rc);
  return rc;
}

int kas_netsnmp_fill_target(const snmp_pdu* response, IKasUsmTarget* target) {
  if (!response || !target) return kKalErrInvalidArg;
  int level = -1;
  switch (response->securityLevel) {
    case SNMP_SEC_LEVEL_NOAUTH: level = 0; break;
    case SNMP_SEC_LEVEL_AUTHNOPRIV: level = 1; break;
    case SNMP_SEC_LEVEL_AUTHPRIV: level = 2; break;
    default: return kKalErrInvalidArg;
  }
  IKalNetworkAddress* address = nullptr;
  int rc = kas_netsnmp_source_address(response, &address);
  if (rc != kKalOk) return rc;
  target->adopt_address(address);
  target->set_version(kKasVersion3);
  target->set_security_level(level);
  // Texts from the wire are not NUL-terminated: copy exactly their length.
  char name[kKasMaxSecurityName + 1] = "";
  if (response->securityName) {
    const size_t n = response->securityNameLen;
    if (n > kKasMaxSecurityName) return kKalErrInvalidArg;
    memcpy(name, response->securityName, n);
    name[n] = '\0';
  }
  rc = target->set_security_name(name);
  if (rc != kKalOk) return rc;
  if (response->contextName && response->contextNameLen) {
    int trc = kKalOk;
    KalOwned<IKalText> context(kal_create_text(&trc));
    if (!context) return trc;
    trc = context->assign(response->contextName, response->contextNameLen);
    if (trc != kKalOk) return trc;
    rc = target->set_context_name(context->text());
  } else {
    rc = target->set_context_name(nullptr);
  }
  if (rc != kKalOk) return rc;
  return target->set_security_engine_id(response->securityEngineID,
                                        response->securityEngineID ? response->securityEngineIDLen
                                                                   : 0);
}
