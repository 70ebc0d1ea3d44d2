// The host's network adapters and their addresses, as the transport
// availability query needs them. The platform file fills the list (on Linux
// from getifaddrs); tests replace the provider with a fixed list.
#ifndef COMMON_ADAPTER_LIST_H_
#define COMMON_ADAPTER_LIST_H_

#include <cstddef>
#include <cstdint>

// One address of one adapter, in the order the system lists them.
struct KalAdapterAddress {
  char name[64];        // adapter name, NUL-terminated
  int protocol;         // IKalNetworkAddress::IPv4 or IPv6
  bool loopback;        // a loopback adapter
  bool tunnel;          // a tunnel (IP-in-IP, SIT, GRE and the like)
  bool up;              // administratively up
  uint8_t address[16];  // 4 bytes for IPv4, 16 for IPv6, network order
};

// Writes up to `capacity` entries into `out` (may be null when capacity is 0)
// and the number of entries the host has into *pCount, so a first call with
// no room sizes the buffer. Answers 0, kKalErrInvalidArg (null pCount), or
// kKalErrPlatform when the platform list cannot be read.
using KalAdapterListFn = int (*)(KalAdapterAddress* out, size_t capacity, size_t* pCount);

// Calls the current provider.
int kal_list_adapters(KalAdapterAddress* out, size_t capacity, size_t* pCount);

// The platform provider.
int kal_list_adapters_platform(KalAdapterAddress* out, size_t capacity, size_t* pCount);

// Tests only: installs `fn` (null restores the platform provider) and answers
// the previous one. Not to be called while another thread lists adapters.
KalAdapterListFn kal_set_adapter_list_for_testing(KalAdapterListFn fn);

#endif  // COMMON_ADAPTER_LIST_H_
