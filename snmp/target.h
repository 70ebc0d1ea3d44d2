// Targets: where a packet goes (or came from) and how it is sent. Two kinds
// share the common fields: the community target (SNMPv1/SNMPv2c) and the
// SNMPv3 target with the user-based security model's settings. A target owns
// its address (a clone of what it is given) and its texts. No lock.
#ifndef SNMP_TARGET_H_
#define SNMP_TARGET_H_

#include <cstddef>
#include <cstdint>

#include "common/status.h"

class IKalNetworkAddress;
class IKasSnmpTarget;
class IKasCommunityTarget;
class IKasUsmTarget;

// Target kinds (kas_create_target, get_kind).
enum : int {
  kKasTargetCommunity = 0,
  kKasTargetUsm = 1,
};

// Interface kinds for IKasSnmpTarget::query.
enum : int {
  kKasTargetQueryCommon = 1,
  kKasTargetQueryCommunity = 2,   // 3 answers the same
  kKasTargetQueryCommunity2 = 3,
  kKasTargetQueryUsm = 4,
};

// Message versions a target carries.
enum : int {
  kKasVersionNone = -1,
  kKasVersion1 = 0,
  kKasVersion2c = 1,
  kKasVersion3 = 2,
};

// The longest SNMPv3 security name.
inline constexpr size_t kKasMaxSecurityName = 32;

// The codec's view of a target: accept() calls the header entry of the
// target's kind. The target is lent for the call.
class IKasTargetVisitor {
 public:
  virtual int visit_community_header(IKasCommunityTarget* target) = 0;
  virtual int visit_usm_header(IKasUsmTarget* target) = 0;

 protected:
  virtual ~IKasTargetVisitor() = default;
};

class IKasSnmpTarget {
 public:
  virtual int accept(IKasTargetVisitor* visitor) = 0;  // -2 for null
  // Destroys the target with its address and texts.
  virtual void release() = 0;
  // Resets the kind's own fields (a community target drops its community).
  virtual void reset() = 0;
  // Deep copy of the same kind. *pStatus: 0, -3.
  virtual IKasSnmpTarget* clone(int* pStatus = nullptr) const = 0;
  // Copies the common fields (cloning the address) and the kind's own
  // fields. -2 for null or a target of another kind, -3; on failure this
  // target is unchanged.
  virtual int assign(const IKasSnmpTarget* other) = 0;
  // Compares the kind's own fields only (community: both absent or the same
  // text, case-sensitive). False for null or another kind.
  virtual bool equals(const IKasSnmpTarget* other) const = 0;
  // kKasTargetCommunity or kKasTargetUsm.
  virtual int get_kind() const = 0;
  // Internal cast: *ppInterface receives this target's interface of the
  // kind (kKasTargetQuery*), else null and -4. -2 for a null out pointer.
  virtual int query(int kind, void** ppInterface) = 0;
  virtual void set_version(int32_t version) = 0;
  virtual void set_timeout(int32_t milliseconds) = 0;
  virtual void set_retries(int32_t retries) = 0;
  virtual void set_max_message_size(size_t octets) = 0;
  virtual void set_local_port(uint16_t port) = 0;
  virtual int32_t get_version() const = 0;      // -1 until set
  virtual int32_t get_timeout() const = 0;      // ms; -1 until set
  virtual int32_t get_retries() const = 0;      // 0 until set
  virtual size_t get_max_message_size() const = 0;  // 0 until set
  virtual uint16_t get_local_port() const = 0;  // 0: chosen by the system
  // Stores a clone of `address` (null: none), releasing the old one.
  // 0, -2 (the address cannot be cloned), -3; on failure the old address
  // is kept.
  virtual int set_address(const IKalNetworkAddress* address) = 0;
  // Takes over `address` without copying (null: none).
  virtual void adopt_address(IKalNetworkAddress* address) = 0;
  // Lent; null when none.
  virtual IKalNetworkAddress* get_address() const = 0;

  // Typed forms of query (lent, same object); null for the other kind.
  virtual IKasCommunityTarget* as_community() = 0;
  virtual const IKasCommunityTarget* as_community() const = 0;
  virtual IKasUsmTarget* as_usm() = 0;
  virtual const IKasUsmTarget* as_usm() const = 0;

 protected:
  virtual ~IKasSnmpTarget() = default;
};

// SNMPv1/SNMPv2c: a community text, which may be absent.
class IKasCommunityTarget : public IKasSnmpTarget {
 public:
  // Copies the text (null clears it). -3 (unchanged).
  virtual int set_community(const char* community) = 0;
  // Copies `length` bytes, stopping at the first NUL (a received community).
  virtual int set_community_bytes(const char* data, size_t length) = 0;
  // Lent, NUL-terminated; null when absent. Good until changed or released.
  virtual const char* get_community() const = 0;
  virtual size_t get_community_length() const = 0;  // 0 when absent

 protected:
  ~IKasCommunityTarget() override = default;
};

// SNMPv3 with the user-based security model. Texts are never null: an
// absent one reads as "".
class IKasUsmTarget : public IKasSnmpTarget {
 public:
  virtual const char* get_security_name() const = 0;
  virtual int32_t get_security_level() const = 0;  // 0 noAuthNoPriv, 1 authNoPriv, 2 authPriv
  virtual int32_t get_auth_protocol() const = 0;   // 1 HMAC-MD5, 2 HMAC-SHA1
  virtual int32_t get_priv_protocol() const = 0;   // 1 DES, 2 AES
  virtual const char* get_auth_passphrase() const = 0;
  virtual const char* get_priv_passphrase() const = 0;
  virtual const char* get_context_name() const = 0;
  // Lent octets and their count (null and 0 when empty).
  virtual const uint8_t* get_security_engine_id(size_t* pLength) const = 0;
  // More than kKasMaxSecurityName characters: -2; null: empty; -3.
  virtual int set_security_name(const char* name) = 0;
  virtual void set_security_level(int32_t level) = 0;
  virtual void set_auth_protocol(int32_t protocol) = 0;
  virtual void set_priv_protocol(int32_t protocol) = 0;
  virtual int set_auth_passphrase(const char* passphrase) = 0;  // null: empty
  virtual int set_priv_passphrase(const char* passphrase) = 0;  // null: empty
  virtual int set_context_name(const char* name) = 0;           // null: empty
  // Null data or length 0 empties it. -3.
  virtual int set_security_engine_id(const uint8_t* data, size_t length) = 0;

 protected:
  ~IKasUsmTarget() override = default;
};

// A target of `kind`: kKasTargetCommunity or kKasTargetUsm; others: null
// and -2. Defaults: version -1, time-out -1, retries 0, maximum message size
// 0, no address, local port 0. Caller owns; *pStatus 0, -2, -3.
IKasSnmpTarget* kas_create_target(int kind, int* pStatus = nullptr);
// A community target with the defaults and no community.
IKasCommunityTarget* kas_create_community_target(int* pStatus = nullptr);
// An SNMPv3 target with the defaults and empty security fields.
IKasUsmTarget* kas_create_usm_target(int* pStatus = nullptr);

#endif  // SNMP_TARGET_H_
