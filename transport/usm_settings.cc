#include "transport/usm_settings.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "common/network_address.h"
#include "common/secret.h"
#include "common/status.h"
#include "log/log.h"
#include "snmp/target.h"
#include "transport/netsnmp_library.h"

namespace {

// Key buffer for generate_Ku. MD5 and SHA1 keys take 16 and 20 octets, but
// the library refuses any buffer shorter than its largest key (USM_AUTH_KU_LEN,
// 64 octets since SHA-2 support): the session's own key fields have that size.
constexpr size_t kKeyBufferSize = USM_AUTH_KU_LEN;
static_assert(USM_PRIV_KU_LEN == USM_AUTH_KU_LEN, "one key buffer size for both keys");

int library_level(int32_t level, int* out) {
  switch (level) {
    case 0: *out = SNMP_SEC_LEVEL_NOAUTH; return kKalOk;
    case 1: *out = SNMP_SEC_LEVEL_AUTHNOPRIV; return kKalOk;
    case 2: *out = SNMP_SEC_LEVEL_AUTHPRIV; return kKalOk;
    default: return kKalErrInvalidArg;
  }
}

int auth_protocol(int32_t protocol, oid** ppOid, size_t* pLength) {
  switch (protocol) {
    case 1:
      *ppOid = usmHMACMD5AuthProtocol;
      *pLength = OID_LENGTH(usmHMACMD5AuthProtocol);
      return kKalOk;
    case 2:
      *ppOid = usmHMACSHA1AuthProtocol;
      *pLength = OID_LENGTH(usmHMACSHA1AuthProtocol);
      return kKalOk;
    default:
      return kKalErrInvalidArg;
  }
}

int priv_protocol(int32_t protocol, oid** ppOid, size_t* pLength) {
  switch (protocol) {
    case 1:
      *ppOid = usmDESPrivProtocol;
      *pLength = OID_LENGTH(usmDESPrivProtocol);
      return kKalOk;
    case 2:
      *ppOid = usmAESPrivProtocol;
      *pLength = OID_LENGTH(usmAESPrivProtocol);
      return kKalOk;
    default:
      return kKalErrInvalidArg;
  }
}

// generate_Ku spreads the pass phrase over a hashing buffer on its own stack
// frame (and OpenSSL's below it) and leaves it there. Those frames lay below
// this caller's, so zeroing a frame deeper than theirs right after the call
// wipes them.
__attribute__((noinline)) void wipe_dead_stack() {
  char area[16384];
  kal_wipe(area, sizeof area);
}

// An empty pass phrase leaves the key empty (length 0).
int make_key(const char* call, const oid* hash, size_t hash_length, const char* passphrase,
             u_char* key, size_t* pKeyLength) {
  *pKeyLength = 0;
  if (!passphrase || !*passphrase) return kKalOk;
  size_t length = kKeyBufferSize;
  const int rc = generate_Ku(hash, static_cast<u_int>(hash_length),
                             reinterpret_cast<const u_char*>(passphrase), strlen(passphrase), key,
                             &length);
  wipe_dead_stack();
  if (rc != SNMPERR_SUCCESS) {
    // The library refuses pass phrases shorter than 8 characters (RFC 3414
    // section 11.2): a setting the caller must change.
    kal_log(kKalModuleSnmp, kKalLogError, "%s(): SnmpErrNo = %d", call, rc);
    return kKalErrInvalidArg;
  }
  *pKeyLength = length;
  return kKalOk;
}

}  // namespace

int kas_usm_peer_name(const IKasSnmpTarget* target, char* buffer, size_t size) {
  if (!target || !buffer || size == 0) return kKalErrInvalidArg;
  buffer[0] = '\0';
  const IKalNetworkAddress* address = target->get_address();
  const char* text = address ? address->text() : nullptr;
  if (!text || !*text) return kKalErrInvalidArg;
  uint16_t port = address->get_port();
  if (port == 0) port = target->get_local_port();
  const char* format = nullptr;
  char separator = ':';
  switch (address->get_protocol()) {
    case IKalNetworkAddress::IPv4: format = "udp:%s"; break;
    case IKalNetworkAddress::IPv6: format = "udp6:[%s]"; break;
    case IKalNetworkAddress::IPX:
      format = "ipx:%s";
      separator = '/';
      break;
    default: return kKalErrInvalidArg;
  }
  int n = snprintf(buffer, size, format, text);
  if (n > 0 && static_cast<size_t>(n) < size && port != 0) {
    n += snprintf(buffer + n, size - static_cast<size_t>(n), "%c%u", separator,
                  static_cast<unsigned>(port));
  }
  if (n <= 0 || static_cast<size_t>(n) >= size) {
    buffer[0] = '\0';
    return kKalErrInvalidArg;
  }
  return kKalOk;
}

int kas_usm_fill_session(const IKasUsmTarget* target, char* peer_name, snmp_session* session) {
  if (!target || !session) return kKalErrInvalidArg;
  if (target->get_version() != kKasVersion3) return kKalErrInvalidArg;
  session->version = SNMP_VERSION_3;
  session->peername = peer_name;
  const int32_t retries = target->get_retries();
  session->retries = retries < 0 ? 0 : retries;
  const int32_t timeout = target->get_timeout();
  session->timeout = timeout < 0 ? SNMP_DEFAULT_TIMEOUT : static_cast<long>(timeout) * 1000L;

  const char* name = target->get_security_name();
  const size_t name_length = strlen(name);
  if (name_length > kKasMaxSecurityName) return kKalErrInvalidArg;
  if (name_length) {
    session->securityName = const_cast<char*>(name);
    session->securityNameLen = name_length;
  }

  int level = 0;
  int rc = library_level(target->get_security_level(), &level);
  if (rc != kKalOk) return rc;
  session->securityLevel = level;
  session->securityModel = SNMP_SEC_MODEL_USM;

  if (level != SNMP_SEC_LEVEL_NOAUTH) {
    rc = auth_protocol(target->get_auth_protocol(), &session->securityAuthProto,
                       &session->securityAuthProtoLen);
    if (rc != kKalOk) return rc;
    rc = make_key("generate_Ku", session->securityAuthProto, session->securityAuthProtoLen,
                  target->get_auth_passphrase(), session->securityAuthKey,
                  &session->securityAuthKeyLen);
    if (rc != kKalOk) return rc;
  }
  if (level == SNMP_SEC_LEVEL_AUTHPRIV) {
    rc = priv_protocol(target->get_priv_protocol(), &session->securityPrivProto,
                       &session->securityPrivProtoLen);
    if (rc != kKalOk) return rc;
    // RFC 3414 and 3826: the privacy key is made with the authentication
    // protocol's hash.
    rc = make_key("generate_Ku", session->securityAuthProto, session->securityAuthProtoLen,
                  target->get_priv_passphrase(), session->securityPrivKey,
                  &session->securityPrivKeyLen);
    if (rc != kKalOk) return rc;
  }

  const char* context = target->get_context_name();
  if (*context) {
    session->contextName = const_cast<char*>(context);
    session->contextNameLen = strlen(context);
  }
  size_t engine_length = 0;
  const uint8_t* engine = target->get_security_engine_id(&engine_length);
  if (engine && engine_length) {
    session->securityEngineID = const_cast<u_char*>(engine);
    session->securityEngineIDLen = engine_length;
  }
  return kKalOk;
}
