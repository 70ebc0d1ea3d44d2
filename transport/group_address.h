// Whether a destination reaches a group of hosts (broadcast or multicast)
// rather than one. Only then may the address that answers a request stand in
// for the destination in later requests, and only then may a discovery take
// answers from hosts it did not name.
#ifndef TRANSPORT_GROUP_ADDRESS_H_
#define TRANSPORT_GROUP_ADDRESS_H_

#include <string_view>

#include "common/network_address.h"

// True for IPv4 255.255.255.255, 224.0.0.0/4 and the broadcast address of a
// subnet of one of the host's interfaces (read from the host-network
// service's address table); IPv6 ff00::/8; an IPX address whose node is
// ffffffffffff. False for null, any other address and text that does not
// read. Reads the host's tables only for an IPv4 address that is neither of
// the fixed forms.
bool kas_is_group_address(const IKalNetworkAddress* address);

// What a discovery sent to the numeric `text` of `protocol` may hear from
// more than one host: every group address above, and also an IPv4 address
// ending in .255 (the broadcast of any network of /24 or wider, also of one
// that is not this host's; a host numbered so in a wider network is still
// found, among every host's answers) and 0.0.0.0 ("this host": any local
// source). Text that does not read counts as a group: nothing is narrowed.
bool kas_is_discovery_group(IKalNetworkAddress::EProtocol protocol,
                            std::string_view text);

#endif  // TRANSPORT_GROUP_ADDRESS_H_
