// The local address towards a destination, in network address values: the
// source-address operation the address service offers, over the process-wide
// host-network service.
#ifndef COMMON_HOST_NETWORK_ADDRESS_H_
#define COMMON_HOST_NETWORK_ADDRESS_H_

#include "common/network_address.h"

// *ppLocal receives a new IPv4 address (text "%d.%d.%d.%d") with the
// destination's protocol and port; the caller owns it (free with release()).
// 0, kKalErrInvalidArg (null argument, destination text not a dotted IPv4
// address, the route's interface has no address), kKalErrNotSupported
// (destination not IPv4), kKalErrGeneral (no route), kKalErrNotReady (no
// provider), kKalErrPlatform (a table could not be read), kKalErrNoMemory.
int kal_local_address_towards(const IKalNetworkAddress* pDestination,
                              IKalNetworkAddress** ppLocal);

#endif  // COMMON_HOST_NETWORK_ADDRESS_H_
