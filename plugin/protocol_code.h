// The host's protocol codes and their mapping onto the internal address
// protocols (IKalNetworkAddress::EProtocol): 1 IPv4, 2 IPX, 3 passed on but
// served by no transport, 5 IPv6 (internal 4). There is no host code 4.
#ifndef PLUGIN_PROTOCOL_CODE_H_
#define PLUGIN_PROTOCOL_CODE_H_

#include <cstdint>

#include "common/status.h"

inline constexpr int kZelProtocolIPv4 = 1;
inline constexpr int kZelProtocolIPX = 2;
inline constexpr int kZelProtocolNone =
    3;  // accepted, then refused by every layer
inline constexpr int kZelProtocolIPv6 = 4;

// Answers the internal protocol, or kKalErrInvalidArg for an unknown host code.
constexpr int zel_map_protocol(int32_t hostCode) noexcept {
  switch (hostCode) {
    case 1:
      return kZelProtocolIPv4;
    case 2:
      return kZelProtocolIPX;
    case 3:
      return kZelProtocolNone;
    case 5:
      return kZelProtocolIPv6;
    default:
      return kKalErrInvalidArg;
  }
}

#endif  // PLUGIN_PROTOCOL_CODE_H_
