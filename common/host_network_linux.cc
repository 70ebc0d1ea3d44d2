// Linux pieces the two table providers share.
#include <net/if_arp.h>

#include "common/host_network_provider.h"

uint32_t kal_interface_type_from_hw(unsigned hw_type) {
  switch (hw_type) {
    case ARPHRD_ETHER:
    case ARPHRD_EETHER:
      return kKalIfTypeEthernet;
    case ARPHRD_LOOPBACK:
      return kKalIfTypeLoopback;
    case ARPHRD_PPP:
      return kKalIfTypePpp;
    case ARPHRD_TUNNEL:
    case ARPHRD_TUNNEL6:
    case ARPHRD_SIT:
    case ARPHRD_IPGRE:
    case 823:  // ARPHRD_IP6GRE, missing from the C library's list
    case ARPHRD_NONE:  // tun devices and most VPN links
      return kKalIfTypeTunnel;
    default:
      return kKalIfTypeOther;
  }
}
