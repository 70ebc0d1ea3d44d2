// Test-only bridge to Net-SNMP's library for the interoperability test and
// the benchmark: one message description built both as our PDU and as a
// netsnmp_pdu, Net-SNMP's build and parse of v1/v2c messages, and a dump of a
// netsnmp_pdu in the format of codectest::dump(). Net-SNMP keeps process-wide
// state: call netsnmp_bridge_init() once per binary.
#ifndef SNMP_CODEC_NETSNMP_UTIL_H_
#define SNMP_CODEC_NETSNMP_UTIL_H_

// clang-format off
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
// clang-format on

#include <cstdlib>
#include <string>
#include <vector>

#include "snmp/codec_test_util.h"

namespace codecbridge {

using codectest::Bytes;

// One binding: the name, the value's tag and its content (numbers in `num`,
// octets in `octets`, an identifier value in `oid_value`).
struct Var {
  std::string name;
  int tag;
  uint64_t num = 0;
  std::string octets;
  std::string oid_value;
};

struct Message {
  int version;  // 0 or 1
  std::string community;
  int type;  // our PDU type
  int32_t request_id;
  int32_t error_status;
  int32_t error_index;
  std::vector<Var> vars;
  // SNMPv1 trap only.
  std::string enterprise;
  int generic = 0;
  int specific = 0;
  uint32_t time_stamp = 0;
};

inline void netsnmp_bridge_init() {
  static const bool done = [] {
    // No MIBs, no configuration files, no persistent state.
    setenv("MIBS", "", 1);
    setenv("MIBDIRS", "", 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
    init_snmp("zeltest");
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_REVERSE_ENCODE, 1);
    return true;
  }();
  (void)done;
}

inline std::vector<oid> arcs_of(const std::string& text) {
  std::vector<oid> arcs;
  size_t i = 0;
  while (i < text.size()) {
    size_t j = text.find('.', i);
    if (j == std::string::npos) j = text.size();
    arcs.push_back(static_cast<oid>(std::stoull(text.substr(i, j - i))));
    i = j + 1;
  }
  return arcs;
}

inline std::string text_of(const oid* arcs, size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    if (i) s += '.';
    s += std::to_string(arcs[i]);
  }
  return s;
}

// Our objects for the message.
inline IKasSnmpValue* our_value(const Var& v) {
  using namespace codectest;  // NOLINT
  switch (v.tag) {
    case kKasTagInteger: return integer(static_cast<int32_t>(v.num));
    case kKasTagCounter32:
    case kKasTagGauge32:
    case kKasTagTimeTicks: return unsigned32(v.tag, static_cast<uint32_t>(v.num));
    case kKasTagCounter64:
      return codectest::counter64(static_cast<uint32_t>(v.num >> 32),
                                  static_cast<uint32_t>(v.num));
    case kKasTagOid: return codectest::oid(v.oid_value.c_str());
    case kKasTagNull:
    case kKasTagNoSuchObject:
    case kKasTagNoSuchInstance:
    case kKasTagEndOfMibView: return marker(v.tag);
    default: return octets(v.tag, bytes_of(v.octets));
  }
}

inline IKasPdu* our_pdu(const Message& m) {
  IKasPdu* pdu = kas_create_pdu();
  pdu->set_type(m.type);
  pdu->set_request_id(m.request_id);
  pdu->set_error_status(m.error_status);
  pdu->set_error_index(m.error_index);
  for (const Var& v : m.vars) pdu->append_pair(codectest::oid(v.name.c_str()), our_value(v));
  if (m.type == kKasPduTrap) {
    std::string trap = m.generic == 6 ? m.enterprise + ".0." + std::to_string(m.specific)
                                      : "1.3.6.1.6.3.1.1.5.0." + std::to_string(m.generic + 1);
    pdu->set_trap_oid(codectest::oid(trap.c_str()));
    pdu->set_trap_timestamp(codectest::unsigned32(kKasTagTimeTicks, m.time_stamp));
  }
  return pdu;
}

inline IKasSnmpTarget* our_target(const Message& m) {
  return codectest::make_target(m.version, m.community.c_str(), 65535);
}

// Net-SNMP's objects for the message; the caller frees with snmp_free_pdu.
inline netsnmp_pdu* netsnmp_pdu_of(const Message& m) {
  static const int kCommand[] = {SNMP_MSG_GET,      SNMP_MSG_GETNEXT, SNMP_MSG_RESPONSE,
                                 SNMP_MSG_SET,      SNMP_MSG_TRAP,    SNMP_MSG_GETBULK,
                                 SNMP_MSG_INFORM,   SNMP_MSG_TRAP2,   SNMP_MSG_REPORT};
  netsnmp_pdu* pdu = snmp_pdu_create(kCommand[m.type]);
  pdu->version = m.version == 0 ? SNMP_VERSION_1 : SNMP_VERSION_2c;
  pdu->reqid = m.request_id;
  pdu->errstat = m.error_status;
  pdu->errindex = m.error_index;
  // snmp_build takes the community from the PDU (its sends copy the
  // session's in first).
  pdu->community = static_cast<u_char*>(malloc(m.community.size() + 1));
  memcpy(pdu->community, m.community.data(), m.community.size());
  pdu->community_len = m.community.size();
  if (m.type == kKasPduTrap) {
    std::vector<oid> e = arcs_of(m.enterprise);
    pdu->enterprise = static_cast<oid*>(malloc(e.size() * sizeof(oid)));
    std::copy(e.begin(), e.end(), pdu->enterprise);
    pdu->enterprise_length = e.size();
    pdu->trap_type = m.generic;
    pdu->specific_type = m.specific;
    pdu->time = m.time_stamp;
    memset(pdu->agent_addr, 0, sizeof pdu->agent_addr);
  }
  for (const Var& v : m.vars) {
    std::vector<oid> name = arcs_of(v.name);
    switch (v.tag) {
      case kKasTagInteger: {
        long n = static_cast<int32_t>(v.num);
        snmp_pdu_add_variable(pdu, name.data(), name.size(), ASN_INTEGER, &n, sizeof n);
        break;
      }
      case kKasTagCounter32:
      case kKasTagGauge32:
      case kKasTagTimeTicks: {
        u_long n = static_cast<uint32_t>(v.num);
        snmp_pdu_add_variable(pdu, name.data(), name.size(), static_cast<u_char>(v.tag), &n,
                              sizeof n);
        break;
      }
      case kKasTagCounter64: {
        struct counter64 c;
        c.high = static_cast<u_long>(v.num >> 32);
        c.low = static_cast<u_long>(v.num & 0xffffffffu);
        snmp_pdu_add_variable(pdu, name.data(), name.size(), ASN_COUNTER64, &c, sizeof c);
        break;
      }
      case kKasTagOid: {
        std::vector<oid> value = arcs_of(v.oid_value);
        snmp_pdu_add_variable(pdu, name.data(), name.size(), ASN_OBJECT_ID, value.data(),
                              value.size() * sizeof(oid));
        break;
      }
      case kKasTagNull:
      case kKasTagNoSuchObject:
      case kKasTagNoSuchInstance:
      case kKasTagEndOfMibView:
        snmp_pdu_add_variable(pdu, name.data(), name.size(), static_cast<u_char>(v.tag), nullptr,
                              0);
        break;
      default:
        snmp_pdu_add_variable(pdu, name.data(), name.size(), static_cast<u_char>(v.tag),
                              v.octets.data(), v.octets.size());
        break;
    }
  }
  return pdu;
}

// A session that carries version and community for build and parse.
struct Session {
  explicit Session(const Message& m) : community(m.community) {
    snmp_sess_init(&s);
    s.version = m.version == 0 ? SNMP_VERSION_1 : SNMP_VERSION_2c;
    s.community = reinterpret_cast<u_char*>(community.data());
    s.community_len = community.size();
  }
  netsnmp_session s;
  std::string community;
};

// Builds with snmp_build into `buf` (reverse encoding, as Net-SNMP's own
// sends do); answers the message or empty.
inline Bytes netsnmp_build(netsnmp_session* session, netsnmp_pdu* pdu) {
  size_t size = 65536;
  u_char* buf = static_cast<u_char*>(malloc(size));
  size_t offset = 0;
  Bytes out;
  if (snmp_build(&buf, &size, &offset, session, pdu) == 0) {
    out.assign(buf + size - offset, buf + size);
  }
  free(buf);
  return out;
}

// Parses with snmp_parse; null when Net-SNMP refuses the message. The caller
// frees with snmp_free_pdu.
inline netsnmp_pdu* netsnmp_parse(netsnmp_session* session, const Bytes& msg) {
  netsnmp_pdu* pdu = static_cast<netsnmp_pdu*>(calloc(1, sizeof(netsnmp_pdu)));
  Bytes copy = msg;
  if (snmp_parse(nullptr, session, pdu, copy.data(), copy.size()) != 0) {
    snmp_free_pdu(pdu);
    return nullptr;
  }
  return pdu;
}

inline std::string dump_var(const netsnmp_variable_list* v) {
  std::string s = std::to_string(v->type) + ":";
  switch (v->type) {
    case ASN_INTEGER: return s + std::to_string(static_cast<int32_t>(*v->val.integer));
    case ASN_COUNTER:
    case ASN_GAUGE:
    case ASN_TIMETICKS: return s + std::to_string(static_cast<uint32_t>(*v->val.integer));
    case ASN_COUNTER64:
      return s + std::to_string((static_cast<uint64_t>(v->val.counter64->high) << 32) |
                                static_cast<uint32_t>(v->val.counter64->low));
    case ASN_OBJECT_ID: return s + text_of(v->val.objid, v->val_len / sizeof(oid));
    case ASN_NULL:
    case SNMP_NOSUCHOBJECT:
    case SNMP_NOSUCHINSTANCE:
    case SNMP_ENDOFMIBVIEW: return s;
    default: return s + codectest::hex(v->val.string, v->val_len);
  }
}

// The netsnmp_pdu in the format of codectest::dump(pdu, target), with the
// SNMPv1 trap fields mapped as our decoder maps them.
inline std::string dump_netsnmp(const netsnmp_pdu* pdu) {
  std::string s = "v" + std::to_string(pdu->version) + " community=" +
                  std::string(reinterpret_cast<const char*>(pdu->community), pdu->community_len) +
                  " ";
  const int type = pdu->command == SNMP_MSG_TRAP2 ? kKasPduTrap : (pdu->command & 0x0f);
  s += "type=" + std::to_string(type);
  if (pdu->command == SNMP_MSG_TRAP) {
    std::string trap = pdu->trap_type == 6
                           ? text_of(pdu->enterprise, pdu->enterprise_length) + ".0." +
                                 std::to_string(pdu->specific_type)
                           : "1.3.6.1.6.3.1.1.5.0." + std::to_string(pdu->trap_type + 1);
    s += " trap=6:" + trap + " time=67:" + std::to_string(static_cast<uint32_t>(pdu->time));
  } else {
    s += " id=" + std::to_string(pdu->reqid) + " es=" + std::to_string(pdu->errstat) +
         " ei=" + std::to_string(pdu->errindex);
  }
  for (const netsnmp_variable_list* v = pdu->variables; v; v = v->next_variable) {
    s += " | 6:" + text_of(v->name, v->name_length) + " = " + dump_var(v);
  }
  return s;
}

// The benchmark's message: a Response of 10 mixed bindings (three 20-octet
// strings, four integers, two object identifiers, one Counter32).
inline Message response_of_ten() {
  Message m{1, "public", kKasPduResponse, 0x12345678, 0, 0, {}};
  m.vars = {
      {"1.3.6.1.2.1.25.3.2.1.3.1", kKasTagOctetString, 0, "Zel LaserPrinter 400"},
      {"1.3.6.1.2.1.43.5.1.1.16.1", kKasTagOctetString, 0, "LP400-SN-0123456789A"},
      {"1.3.6.1.2.1.43.11.1.1.6.1.1", kKasTagOctetString, 0, "Black Toner Cartrdge"},
      {"1.3.6.1.2.1.25.3.2.1.5.1", kKasTagInteger, 2},
      {"1.3.6.1.2.1.43.11.1.1.8.1.1", kKasTagInteger, 30000},
      {"1.3.6.1.2.1.43.11.1.1.9.1.1", kKasTagInteger, 14250},
      {"1.3.6.1.2.1.43.8.2.1.10.1.1", kKasTagInteger, static_cast<uint64_t>(-2)},
      {"1.3.6.1.2.1.1.2.0", kKasTagOid, 0, "", "1.3.6.1.4.1.61801.1.400"},
      {"1.3.6.1.2.1.25.3.2.1.2.1", kKasTagOid, 0, "", "1.3.6.1.2.1.25.3.1.5"},
      {"1.3.6.1.2.1.43.10.2.1.4.1.1", kKasTagCounter32, 1234567},
  };
  return m;
}

}  // namespace codecbridge

#endif  // SNMP_CODEC_NETSNMP_UTIL_H_
