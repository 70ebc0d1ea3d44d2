// Whether a transport can be used on this machine: the address service's
// transport_available query in the form the exported interface needs.
#ifndef COMMON_TRANSPORT_AVAILABLE_H_
#define COMMON_TRANSPORT_AVAILABLE_H_

// Asks whether the internal protocol (1 IPv4, 2 IPX, 4 IPv6) has a usable
// transport. Answers true only when the query succeeded and found one.
// *pStatus (optional): 0, or the code of the failed query.
bool kal_transport_available(int internal_protocol, int* pStatus);

#endif  // COMMON_TRANSPORT_AVAILABLE_H_
