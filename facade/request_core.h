// What the get/set request object and the broadcast device finder share: the
// community buffer, the version, the target address, the chosen target
// (community or SNMPv3) and the request PDU, with the one init both follow and
// the building of request bindings from dotted texts. Owned by one request
// object or finder; one thread at a time.
#ifndef FACADE_REQUEST_CORE_H_
#define FACADE_REQUEST_CORE_H_

#include <cstddef>
#include <cstdint>

#include "common/network_address.h"
#include "facade/get_data.h"

class IKasPdu;
class IKasSnmpTarget;
class IKasSnmpValue;

// The largest message over IPv4 and IPv6: fits an Ethernet frame with the
// IP and UDP headers.
inline constexpr uint32_t kKalMaxMessageIp = 1400;
// The largest message over IPX (the IPX minimum datagram, 576, less headers).
inline constexpr uint32_t kKalMaxMessageIpx = 546;

// The maximum message size a request is sent with: 0 or a size above the
// protocol's limit becomes the limit (1400 for IPv4 and IPv6, 546 for any
// other protocol); a size in range is kept.
uint32_t kal_clamp_max_message_size(IKalNetworkAddress::EProtocol protocol,
                                    uint32_t requested);

class KalRequestCore {
 public:
  KalRequestCore();
  ~KalRequestCore();
  KalRequestCore(const KalRequestCore&) = delete;
  KalRequestCore& operator=(const KalRequestCore&) = delete;

  // Copies at most `size` bytes of `community` (stopping at a NUL; null:
  // empty), cut to 255 characters.
  void set_community(const char* community, size_t size);
  const char* community() const { return community_; }

  // Replaces whatever an earlier init made: the target address (stored as
  // given, not classified), the target (SNMPv3 with the USM settings for
  // version 2; otherwise a community target sent as SNMPv1) and a new empty
  // request PDU. Returns 0, kKalErrInvalidArg (null address, a security
  // name longer than 32 characters), kKalErrNoMemory. What was made before a
  // failure stays here and is freed with the core.
  int init(const char* address, IKalNetworkAddress::EProtocol protocol,
           uint16_t port, int32_t version, const KalUsmParams* usm,
           uint32_t timeout_ms, uint32_t retries, uint32_t max_message_size);

  // Appends the binding `oid`[.`suffix`] = `value` (taken; null: NULL) to the
  // request PDU. `suffix` (may be null) is one or more further
  // sub-identifiers. Returns 0; kKalErrInvalidArg for a null, empty or
  // malformed identifier or suffix, or before init; kKalErrNoMemory. The
  // value is released on every failure.
  int add_binding(const char* oid, const char* suffix, IKasSnmpValue* value);

  // Both exist only after a successful init (lent; null before).
  IKasPdu* pdu() const { return ready_ ? pdu_ : nullptr; }
  IKasSnmpTarget* target() const { return ready_ ? target_ : nullptr; }
  int32_t version() const { return version_; }

 private:
  void reset();
  int init_usm_target(const KalUsmParams* usm);
  int init_community_target();

  char community_[kKalCommunitySize];
  int32_t version_ = 0;
  bool ready_ = false;
  IKalNetworkAddress* address_ = nullptr;
  IKasSnmpTarget* target_ = nullptr;
  IKasPdu* pdu_ = nullptr;
};

#endif  // FACADE_REQUEST_CORE_H_
