#include "transport/netsnmp_request.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <sys/socket.h>

#include <cstring>

#include "common/owned.h"
#include "common/secret.h"
#include "common/text.h"
#include "log/log.h"
#include "snmp/binding.h"
#include "snmp/pdu.h"
#include "snmp/target.h"
#include "snmp/value.h"
#include "transport/netsnmp_convert.h"
#include "transport/netsnmp_errors.h"
#include "transport/netsnmp_library.h"
#include "transport/request_id.h"
#include "transport/usm_settings.h"

namespace {

// Identifiers handed to the library hold at most this many arcs.
constexpr size_t kOidBufferArcs = 128;

// The library's type letter for snmp_add_var, or 0 for kinds it is not
// given that way.
char type_letter(int tag) {
  switch (tag) {
    case kKasTagOid: return 'o';
    case kKasTagInteger: return 'i';
    case kKasTagCounter32: return 'c';
    case kKasTagGauge32: return 'u';
    case kKasTagTimeTicks: return 't';
    case kKasTagCounter64: return 'C';
    case kKasTagIpAddress: return 'a';
    default: return 0;
  }
}

// The library's own engine-ID probe (snmpv3_build_probe_pdu) is not
// exported by Debian's build: the same PDU, from the same empty user.
snmp_pdu* make_probe_pdu() {
  if (!usm_get_user(nullptr, 0, const_cast<char*>(""))) {
    usmUser* user = usm_create_user();
    if (!user) return nullptr;
    user->name = strdup("");
    user->secName = strdup("");
    if (!user->name || !user->secName) {
      usm_free_user(user);
      return nullptr;
    }
    usm_add_user(user);
  }
  snmp_pdu* pdu = snmp_pdu_create(SNMP_MSG_GET);
  if (!pdu) return nullptr;
  pdu->version = SNMP_VERSION_3;
  pdu->securityName = strdup("");
  if (!pdu->securityName) {
    snmp_free_pdu(pdu);
    return nullptr;
  }
  pdu->securityNameLen = 0;
  pdu->securityLevel = SNMP_SEC_LEVEL_NOAUTH;
  pdu->securityModel = SNMP_SEC_MODEL_USM;
  return pdu;
}

// Incoming messages the library's USM has refused so far in this process.
unsigned refused_so_far() {
  unsigned total = 0;
  for (int which = STAT_USM_STATS_START; which <= STAT_USM_STATS_END; ++which) {
    total += snmp_get_statistic(which);
  }
  return total;
}

// The keys a session holds: the ones made from the pass phrases (Ku) and
// the localised ones. The library frees them without wiping.
void wipe_session_keys(snmp_session* session) {
  kal_wipe(session->securityAuthKey, sizeof session->securityAuthKey);
  kal_wipe(session->securityPrivKey, sizeof session->securityPrivKey);
  kal_wipe(session->securityAuthLocalKey, session->securityAuthLocalKeyLen);
  kal_wipe(session->securityPrivLocalKey, session->securityPrivLocalKeyLen);
}

}  // namespace

NetSnmpRequest::~NetSnmpRequest() {
  if (response_) snmp_free_pdu(response_);
  if (request_) snmp_free_pdu(request_);
  if (session_) {
    wipe_session_keys(session_);
    snmp_close(session_);
  }
}

int NetSnmpRequest::open(const IKasUsmTarget* target, bool probe, void* callback_data) {
  if (!target || session_) return kKalErrInvalidArg;
  char peer[kKasPeerNameSize];
  int rc = kas_usm_peer_name(target, peer, sizeof peer);
  if (rc != kKalOk) return rc;
  netsnmp_session settings;
  snmp_sess_init(&settings);
  // snmp_open copies the keys into a session of its own; this copy goes with
  // the stack frame, wiped on every path.
  const KalWipeOnExit wipe_keys(settings.securityAuthKey);
  const KalWipeOnExit wipe_priv_key(settings.securityPrivKey);
  rc = kas_usm_fill_session(target, peer, &settings);
  if (rc != kKalOk) return rc;
  if (probe) {
    settings.flags |= SNMP_FLAGS_DONT_PROBE;
    settings.myvoid = callback_data;
  }
  session_ = snmp_open(&settings);
  if (!session_) {
    rc = kas_netsnmp_map_error(kas_netsnmp_log_error("snmp_open", &settings));
    return rc == kKalOk || rc == kKasErrV3Unmapped ? kKalErrInvalidArg : rc;
  }
  if (probe) {
    // Engine IDs are discovered by broadcast, which a UDP socket refuses to
    // send without SO_BROADCAST.
    netsnmp_transport* transport = snmp_sess_transport(snmp_sess_pointer(session_));
    const int on = 1;
    if (transport && transport->sock >= 0) {
      setsockopt(transport->sock, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    }
  }
  return kKalOk;
}

int NetSnmpRequest::build(const IKasPdu* pdu) {
  if (!pdu || !session_ || request_) return kKalErrInvalidArg;
  const int command = kas_netsnmp_request_command(pdu->get_type());
  if (command < 0) return kKalErrInvalidArg;
  request_ = snmp_pdu_create(command);
  if (!request_) {
    kas_netsnmp_log_error("snmp_pdu_create", session_);
    return kKalErrNoMemory;
  }
  request_->reqid = pdu->get_request_id();
  // The message ID, which the library matches SNMPv3 answers by, comes from
  // the same unpredictable counter (the library's own is seeded from the
  // time of day).
  request_->msgid = static_cast<long>(kas_draw_request_id());
  const IKasVarBindList* bindings = pdu->get_bindings();
  const size_t count = bindings ? bindings->count() : 0;
  oid name[kOidBufferArcs];
  for (size_t i = 0; i < count; ++i) {
    const IKasVarBind* binding = bindings->at(i);
    const IKasSnmpValue* oid_value = binding ? binding->get_name() : nullptr;
    size_t length = 0;
    const uint8_t* text = oid_value ? oid_value->get_bytes(&length) : nullptr;
    // get_bytes lends the dotted text without a terminating NUL guarantee.
    char oid_text[kOidBufferArcs * 11 + 1];
    size_t name_length = kOidBufferArcs;
    if (!text || length == 0 || length >= sizeof oid_text) {
      kal_log(kKalModuleSnmp, kKalLogError, "%s(): unknown", "snmp_parse_oid");
      return kKalErrInvalidArg;
    }
    memcpy(oid_text, text, length);
    oid_text[length] = '\0';
    if (!snmp_parse_oid(oid_text, name, &name_length)) {
      kas_netsnmp_log_error("snmp_parse_oid", session_);
      return kKalErrInvalidArg;
    }
    const IKasSnmpValue* value = binding->get_value();
    const int tag = value ? value->tag() : kKasTagNull;
    if (tag == kKasTagNull) {
      if (!snmp_add_null_var(request_, name, name_length)) return kKalErrNoMemory;
      continue;
    }
    if (tag == kKasTagOctetString) {
      // The text form would stop at the first NUL of a binary string.
      size_t octets = 0;
      const uint8_t* data = value->get_bytes(&octets);
      if (!snmp_pdu_add_variable(request_, name, name_length, ASN_OCTET_STR, data, octets)) {
        return kKalErrNoMemory;
      }
      continue;
    }
    const char letter = type_letter(tag);
    if (!letter) return kKalErrNotSupported;
    int rc = kKalOk;
    KalOwned<IKalText> value_text(value->to_text(&rc));
    if (!value_text) return rc;
    rc = snmp_add_var(request_, name, name_length, letter, value_text->text());
    if (rc != SNMPERR_SUCCESS) {
      kal_log(kKalModuleSnmp, kKalLogError, "%s(): ErrNo = %d, SnmpErrNo = %d, %s",
              "snmp_add_var", 0, rc, snmp_api_errstring(rc));
      const int status = kas_netsnmp_map_error(rc);
      return status == kKalOk ? kKalErrInvalidArg : status;
    }
  }
  return kKalOk;
}

int NetSnmpRequest::build_probe() {
  if (!session_ || request_) return kKalErrInvalidArg;
  request_ = make_probe_pdu();
  if (!request_) {
    kal_log(kKalModuleSnmp, kKalLogError, "%s(): unknown", "snmpv3_build_probe_pdu");
    return kKalErrNoMemory;
  }
  return kKalOk;
}

int NetSnmpRequest::exchange() {
  if (!session_ || !request_) return STAT_ERROR;
  snmp_pdu* request = request_;
  request_ = nullptr;  // the library takes it, sent or not
  const unsigned before = refused_so_far();
  const int status = snmp_synch_response(session_, request, &response_);
  refused_answers_ = refused_so_far() - before;
  return status;
}

int NetSnmpRequest::exchange(KasNetSnmpCallback callback) {
  if (!session_ || !request_) return STAT_ERROR;
  snmp_pdu* request = request_;
  request_ = nullptr;
  const unsigned before = refused_so_far();
  pending_ = request;
  const int status = snmp_synch_response_cb(session_, request, &response_, callback);
  pending_ = nullptr;
  refused_answers_ = refused_so_far() - before;
  return status;
}
