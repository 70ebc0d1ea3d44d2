// The two target kinds over one common part: the community target and the
// SNMPv3 (user-based security) target. Assign and clone build every copy
// before changing anything, so a failed copy leaves the target as it was.
#include "snmp/target.h"

#include <cstring>

#include "common/network_address.h"
#include "common/owned.h"
#include "common/secret.h"
#include "common/text_buffer.h"

namespace {

// Copies a C text (null: empty) into a scratch buffer.
template <class Buffer>
int copy_text(Buffer* out, const char* text) {
  return out->assign(text, text ? std::strlen(text) : 0);
}

template <class Interface>
class CKasTargetBase : public Interface {
 public:
  void release() override { delete this; }
  int query(int kind, void** ppInterface) override {
    if (!ppInterface) return kKalErrInvalidArg;
    *ppInterface = kind == kKasTargetQueryCommon ? static_cast<IKasSnmpTarget*>(this) : nullptr;
    return *ppInterface ? kKalOk : kKalErrNoInterface;
  }
  void set_version(int32_t version) override { version_ = version; }
  void set_timeout(int32_t milliseconds) override { timeout_ = milliseconds; }
  void set_retries(int32_t retries) override { retries_ = retries; }
  void set_max_message_size(size_t octets) override { max_message_size_ = octets; }
  void set_local_port(uint16_t port) override { local_port_ = port; }
  int32_t get_version() const override { return version_; }
  int32_t get_timeout() const override { return timeout_; }
  int32_t get_retries() const override { return retries_; }
  size_t get_max_message_size() const override { return max_message_size_; }
  uint16_t get_local_port() const override { return local_port_; }
  int set_address(const IKalNetworkAddress* address) override {
    IKalNetworkAddress* copy = nullptr;
    if (address && address != address_) {
      if (int rc = address->clone(&copy)) return rc;
    } else if (address == address_ && address) {
      return kKalOk;
    }
    adopt_address(copy);
    return kKalOk;
  }
  void adopt_address(IKalNetworkAddress* address) override {
    if (address == address_) return;
    if (address_) address_->release();
    address_ = address;
  }
  IKalNetworkAddress* get_address() const override { return address_; }
  IKasCommunityTarget* as_community() override { return nullptr; }
  const IKasCommunityTarget* as_community() const override { return nullptr; }
  IKasUsmTarget* as_usm() override { return nullptr; }
  const IKasUsmTarget* as_usm() const override { return nullptr; }

 protected:
  ~CKasTargetBase() override {
    if (address_) address_->release();
  }
  // Clones other's address into *ppAddress (null when it has none).
  static int clone_address(const IKasSnmpTarget* other, IKalNetworkAddress** ppAddress) {
    *ppAddress = nullptr;
    const IKalNetworkAddress* a = other->get_address();
    return a ? a->clone(ppAddress) : kKalOk;
  }
  // Takes the common fields of other, with an address already cloned.
  void take_common(const IKasSnmpTarget* other, IKalNetworkAddress* address) {
    version_ = other->get_version();
    timeout_ = other->get_timeout();
    retries_ = other->get_retries();
    max_message_size_ = other->get_max_message_size();
    local_port_ = other->get_local_port();
    adopt_address(address);
  }

 private:
  int32_t version_ = kKasVersionNone;
  int32_t timeout_ = -1;
  int32_t retries_ = 0;
  size_t max_message_size_ = 0;
  uint16_t local_port_ = 0;
  IKalNetworkAddress* address_ = nullptr;
};

class CKasCommunityTarget final : public CKasTargetBase<IKasCommunityTarget> {
 public:
  int accept(IKasTargetVisitor* visitor) override {
    return visitor ? visitor->visit_community_header(this) : kKalErrInvalidArg;
  }
  void reset() override {
    community_.clear();
    has_community_ = false;
  }
  IKasSnmpTarget* clone(int* pStatus) const override {
    KalOwned<CKasCommunityTarget> copy(kal_new<CKasCommunityTarget>());
    if (!copy) return kal_fail<IKasSnmpTarget>(pStatus, kKalErrNoMemory);
    if (int rc = copy->assign(this)) return kal_fail<IKasSnmpTarget>(pStatus, rc);
    kal_set_status(pStatus, kKalOk);
    return copy.detach();
  }
  int assign(const IKasSnmpTarget* other) override {
    if (!other || !other->as_community()) return kKalErrInvalidArg;
    if (other == this) return kKalOk;
    const IKasCommunityTarget* o = other->as_community();
    KalSecretBuffer community;
    if (int rc = community.assign(o->get_community(), o->get_community_length())) return rc;
    IKalNetworkAddress* address = nullptr;
    if (int rc = clone_address(other, &address)) return rc;
    take_common(other, address);
    community_.swap(community);
    has_community_ = o->get_community() != nullptr;
    return kKalOk;
  }
  bool equals(const IKasSnmpTarget* other) const override {
    const IKasCommunityTarget* o = other ? other->as_community() : nullptr;
    if (!o) return false;
    if (!o->get_community() || !has_community_) return !o->get_community() && !has_community_;
    return o->get_community_length() == community_.size() &&
           std::memcmp(o->get_community(), community_.c_str(), community_.size()) == 0;
  }
  int get_kind() const override { return kKasTargetCommunity; }
  int query(int kind, void** ppInterface) override {
    if (ppInterface && (kind == kKasTargetQueryCommunity || kind == kKasTargetQueryCommunity2)) {
      *ppInterface = static_cast<IKasCommunityTarget*>(this);
      return kKalOk;
    }
    return CKasTargetBase::query(kind, ppInterface);
  }
  IKasCommunityTarget* as_community() override { return this; }
  const IKasCommunityTarget* as_community() const override { return this; }
  int set_community(const char* community) override {
    if (!community) {
      reset();
      return kKalOk;
    }
    return set_community_bytes(community, std::strlen(community));
  }
  int set_community_bytes(const char* data, size_t length) override {
    if (!data && length) return kKalErrInvalidArg;
    const void* nul = length ? std::memchr(data, '\0', length) : nullptr;
    if (nul) length = static_cast<size_t>(static_cast<const char*>(nul) - data);
    if (int rc = community_.assign(data, length)) return rc;
    has_community_ = true;
    return kKalOk;
  }
  const char* get_community() const override {
    return has_community_ ? community_.c_str() : nullptr;
  }
  size_t get_community_length() const override { return community_.size(); }

 private:
  // The community is a password of SNMPv1: wiped when it changes or goes.
  KalSecretBuffer community_;
  bool has_community_ = false;
};

class CKasUsmTarget final : public CKasTargetBase<IKasUsmTarget> {
 public:
  int accept(IKasTargetVisitor* visitor) override {
    return visitor ? visitor->visit_usm_header(this) : kKalErrInvalidArg;
  }
  void reset() override {
    name_.clear();
    auth_.clear();
    priv_.clear();
    context_.clear();
    engine_id_.clear();
    level_ = auth_protocol_ = priv_protocol_ = 0;
  }
  IKasSnmpTarget* clone(int* pStatus) const override {
    KalOwned<CKasUsmTarget> copy(kal_new<CKasUsmTarget>());
    if (!copy) return kal_fail<IKasSnmpTarget>(pStatus, kKalErrNoMemory);
    if (int rc = copy->assign(this)) return kal_fail<IKasSnmpTarget>(pStatus, rc);
    kal_set_status(pStatus, kKalOk);
    return copy.detach();
  }
  int assign(const IKasSnmpTarget* other) override {
    if (!other || !other->as_usm()) return kKalErrInvalidArg;
    if (other == this) return kKalOk;
    const IKasUsmTarget* o = other->as_usm();
    KalBuffer name, context, engine;
    KalSecretBuffer auth, priv;
    size_t engine_length = 0;
    const uint8_t* engine_id = o->get_security_engine_id(&engine_length);
    int rc = kKalOk;
    if ((rc = copy_text(&name, o->get_security_name())) ||
        (rc = copy_text(&auth, o->get_auth_passphrase())) ||
        (rc = copy_text(&priv, o->get_priv_passphrase())) ||
        (rc = copy_text(&context, o->get_context_name())) ||
        (rc = engine.assign(engine_id, engine_id ? engine_length : 0))) {
      return rc;
    }
    IKalNetworkAddress* address = nullptr;
    if ((rc = clone_address(other, &address))) return rc;
    take_common(other, address);
    name_.swap(name);
    auth_.swap(auth);
    priv_.swap(priv);
    context_.swap(context);
    engine_id_.swap(engine);
    level_ = o->get_security_level();
    auth_protocol_ = o->get_auth_protocol();
    priv_protocol_ = o->get_priv_protocol();
    return kKalOk;
  }
  bool equals(const IKasSnmpTarget* other) const override {
    const IKasUsmTarget* o = other ? other->as_usm() : nullptr;
    if (!o) return false;
    size_t n = 0;
    const uint8_t* e = o->get_security_engine_id(&n);
    return std::strcmp(o->get_security_name(), name_.c_str()) == 0 &&
           o->get_security_level() == level_ && o->get_auth_protocol() == auth_protocol_ &&
           o->get_priv_protocol() == priv_protocol_ &&
           std::strcmp(o->get_auth_passphrase(), auth_.c_str()) == 0 &&
           std::strcmp(o->get_priv_passphrase(), priv_.c_str()) == 0 &&
           std::strcmp(o->get_context_name(), context_.c_str()) == 0 &&
           n == engine_id_.size() && (n == 0 || std::memcmp(e, engine_id_.bytes(), n) == 0);
  }
  int get_kind() const override { return kKasTargetUsm; }
  int query(int kind, void** ppInterface) override {
    if (ppInterface && kind == kKasTargetQueryUsm) {
      *ppInterface = static_cast<IKasUsmTarget*>(this);
      return kKalOk;
    }
    return CKasTargetBase::query(kind, ppInterface);
  }
  IKasUsmTarget* as_usm() override { return this; }
  const IKasUsmTarget* as_usm() const override { return this; }
  const char* get_security_name() const override { return name_.c_str(); }
  int32_t get_security_level() const override { return level_; }
  int32_t get_auth_protocol() const override { return auth_protocol_; }
  int32_t get_priv_protocol() const override { return priv_protocol_; }
  const char* get_auth_passphrase() const override { return auth_.c_str(); }
  const char* get_priv_passphrase() const override { return priv_.c_str(); }
  const char* get_context_name() const override { return context_.c_str(); }
  const uint8_t* get_security_engine_id(size_t* pLength) const override {
    if (pLength) *pLength = engine_id_.size();
    return engine_id_.empty() ? nullptr : engine_id_.bytes();
  }
  int set_security_name(const char* name) override {
    if (name && std::strlen(name) > kKasMaxSecurityName) return kKalErrInvalidArg;
    return copy_text(&name_, name);
  }
  void set_security_level(int32_t level) override { level_ = level; }
  void set_auth_protocol(int32_t protocol) override { auth_protocol_ = protocol; }
  void set_priv_protocol(int32_t protocol) override { priv_protocol_ = protocol; }
  int set_auth_passphrase(const char* passphrase) override { return copy_text(&auth_, passphrase); }
  int set_priv_passphrase(const char* passphrase) override { return copy_text(&priv_, passphrase); }
  int set_context_name(const char* name) override { return copy_text(&context_, name); }
  int set_security_engine_id(const uint8_t* data, size_t length) override {
    if (!data || length == 0) {
      engine_id_.clear();
      return kKalOk;
    }
    return engine_id_.assign(data, length);
  }

 private:
  KalBuffer name_, context_, engine_id_;
  // The pass phrases: wiped when they change or go.
  KalSecretBuffer auth_, priv_;
  int32_t level_ = 0;
  int32_t auth_protocol_ = 0;
  int32_t priv_protocol_ = 0;
};

}  // namespace

IKasSnmpTarget* kas_create_target(int kind, int* pStatus) {
  switch (kind) {
    case kKasTargetCommunity: return kas_create_community_target(pStatus);
    case kKasTargetUsm: return kas_create_usm_target(pStatus);
    default: return kal_fail<IKasSnmpTarget>(pStatus, kKalErrInvalidArg);
  }
}

IKasCommunityTarget* kas_create_community_target(int* pStatus) {
  IKasCommunityTarget* t = kal_new<CKasCommunityTarget>();
  if (!t) return kal_fail<IKasCommunityTarget>(pStatus, kKalErrNoMemory);
  kal_set_status(pStatus, kKalOk);
  return t;
}

IKasUsmTarget* kas_create_usm_target(int* pStatus) {
  IKasUsmTarget* t = kal_new<CKasUsmTarget>();
  if (!t) return kal_fail<IKasUsmTarget>(pStatus, kKalErrNoMemory);
  kal_set_status(pStatus, kKalOk);
  return t;
}
