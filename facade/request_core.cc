#include "facade/request_core.h"

#include <cstring>
#include <limits>

#include "common/owned.h"
#include "common/secret.h"
#include "snmp/pdu.h"
#include "snmp/target.h"
#include "snmp/value.h"

uint32_t kal_clamp_max_message_size(IKalNetworkAddress::EProtocol protocol,
                                    uint32_t requested) {
  const bool ip = protocol == IKalNetworkAddress::IPv4 ||
                  protocol == IKalNetworkAddress::IPv6;
  const uint32_t limit = ip ? kKalMaxMessageIp : kKalMaxMessageIpx;
  return (requested == 0 || requested > limit) ? limit : requested;
}

KalRequestCore::KalRequestCore() {
  set_community(kKalDefaultReadCommunity, sizeof kKalDefaultReadCommunity);
}

KalRequestCore::~KalRequestCore() {
  reset();
  kal_wipe(community_, sizeof community_);
}

void KalRequestCore::reset() {
  ready_ = false;
  if (pdu_) pdu_->release();
  if (target_) target_->release();
  if (address_) address_->release();
  pdu_ = nullptr;
  target_ = nullptr;
  address_ = nullptr;
}

void KalRequestCore::set_community(const char* community, size_t size) {
  // The caller's buffer need not hold a NUL: read no further than its size.
  size_t n = community ? strnlen(community, size) : 0;
  if (n > kKalCommunitySize - 1) n = kKalCommunitySize - 1;
  // Nothing of a longer earlier community may stay behind the new NUL.
  if (community != community_) kal_wipe(community_, sizeof community_);
  if (n) std::memmove(community_, community, n);
  community_[n] = '\0';
}

int KalRequestCore::init(const char* address,
                         IKalNetworkAddress::EProtocol protocol, uint16_t port,
                         int32_t version, const KalUsmParams* usm,
                         uint32_t timeout_ms, uint32_t retries,
                         uint32_t max_message_size) {
  reset();
  if (!address) return kKalErrInvalidArg;
  int rc = kKalOk;
  address_ = kal_create_network_address(address, protocol, port, &rc);
  if (!address_) return rc;
  const uint32_t max_size =
      kal_clamp_max_message_size(address_->get_protocol(), max_message_size);
  version_ = version;
  rc = version == kKasVersion3 ? init_usm_target(usm) : init_community_target();
  if (rc != kKalOk) return rc;
  // A time-out beyond the signed range would read as "not set" below.
  const uint32_t kMaxTimeout =
      static_cast<uint32_t>(std::numeric_limits<int32_t>::max());
  target_->set_timeout(static_cast<int32_t>(
      timeout_ms > kMaxTimeout ? kMaxTimeout : timeout_ms));
  // The host's retry count is a signed number (-1: a broadcast sends
  // nothing); the unsigned parameter carries it unchanged.
  target_->set_retries(static_cast<int32_t>(retries));
  target_->set_max_message_size(max_size);
  pdu_ = kas_create_pdu(&rc);
  if (!pdu_) return rc;
  ready_ = true;
  return kKalOk;
}

int KalRequestCore::init_usm_target(const KalUsmParams* usm) {
  int rc = kKalOk;
  IKasUsmTarget* target = kas_create_usm_target(&rc);
  if (!target) return rc;
  target_ = target;
  target->set_version(kKasVersion3);
  rc = target->set_address(address_);
  if (rc != kKalOk) return rc;
  const KalUsmParams none;
  const KalUsmParams& p = usm ? *usm : none;
  // Handed over one to one, in the provider's order; never interpreted here.
  rc = target->set_security_name(p.security_name);
  if (rc != kKalOk) return rc;
  target->set_security_level(p.security_level);
  target->set_auth_protocol(p.auth_protocol);
  target->set_priv_protocol(p.priv_protocol);
  rc = target->set_auth_passphrase(p.auth_pass_phrase);
  if (rc != kKalOk) return rc;
  rc = target->set_priv_passphrase(p.priv_pass_phrase);
  if (rc != kKalOk) return rc;
  return target->set_context_name(p.context_name);
}

int KalRequestCore::init_community_target() {
  int rc = kKalOk;
  IKasCommunityTarget* target = kas_create_community_target(&rc);
  if (!target) return rc;
  target_ = target;
  // Every version other than SNMPv3 goes out as SNMPv1.
  target->set_version(kKasVersion1);
  rc = target->set_community(community_);
  if (rc != kKalOk) return rc;
  return target->set_address(address_);
}

int KalRequestCore::add_binding(const char* oid, const char* suffix,
                                IKasSnmpValue* value) {
  KalOwned<IKasSnmpValue> owned_value(value);
  if (!ready_ || !oid || !*oid) return kKalErrInvalidArg;
  int rc = kKalOk;
  KalOwned<IKasSnmpValue> name(kas_create_oid_from_text(oid, &rc));
  if (!name) return rc;
  if (suffix) {
    if (!*suffix || !kas_oid_text_is_valid(suffix, std::strlen(suffix)))
      return kKalErrInvalidArg;
    rc = name->as_oid()->append_text(suffix);
    if (rc != kKalOk) return rc;
  }
  return pdu_->append_pair(name.detach(), owned_value.detach());
}
