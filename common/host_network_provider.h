// A source of the host's network tables, behind the host-network service: the
// kernel's routing socket or the /proc files on Linux. The service calls one
// provider at a time under its own lock; a provider keeps no state between
// reads, so a read always shows the host as it is now.
#ifndef COMMON_HOST_NETWORK_PROVIDER_H_
#define COMMON_HOST_NETWORK_PROVIDER_H_

#include <cstdint>

#include "common/host_network.h"

class IKalHostNetworkProvider {
 public:
  virtual void destroy() = 0;
  virtual const char* name() = 0;
  // Checks that the provider's source can be used. 0, kKalErrPlatform.
  virtual int bind() = 0;
  // Each read fills an empty *pTable with the rows in the order the source
  // gives them (the service sorts). 0, kKalErrPlatform, kKalErrNoMemory.
  virtual int read_route_table(KalRouteTable* pTable) = 0;
  virtual int read_interface_count(uint32_t* pCount) = 0;
  virtual int read_interface_table(KalInterfaceTable* pTable) = 0;
  virtual int read_address_table(KalAddressTable* pTable) = 0;
  virtual ~IKalHostNetworkProvider() = default;
};

// The platform's providers; the caller owns each and frees it with destroy().
// *pStatus: 0, kKalErrNoMemory.
IKalHostNetworkProvider* kal_create_netlink_provider(int* pStatus = nullptr);
IKalHostNetworkProvider* kal_create_proc_net_provider(int* pStatus = nullptr);

// Shared by the providers.
inline uint32_t kal_prefix_to_mask(unsigned prefix) {
  return prefix == 0 ? 0u : prefix >= 32 ? 0xffffffffu : ~0u << (32 - prefix);
}
// The interface type for a Linux hardware type (ARPHRD_*).
uint32_t kal_interface_type_from_hw(unsigned hw_type);

#endif  // COMMON_HOST_NETWORK_PROVIDER_H_
