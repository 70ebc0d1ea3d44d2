// Whether a destination reaches a group of hosts (broadcast or multicast)
// rather than one: only then may the address that answers a request stand in
// for the destination in later requests.
#ifndef TRANSPORT_GROUP_ADDRESS_H_
#define TRANSPORT_GROUP_ADDRESS_H_

class IKalNetworkAddress;

// True for IPv4 255.255.255.255, 224.0.0.0/4 and the broadcast address of a
// subnet of one of the host's interfaces (read from the host-network
// service's address table); IPv6 ff00::/8; an IPX address whose node is
// ffffffffffff. False for null, any other address and text that does not
// read. Reads the host's tables only for an IPv4 address that is neither of
// the fixed forms.
bool kas_is_group_address(const IKalNetworkAddress* address);

#endif  // TRANSPORT_GROUP_ADDRESS_H_
