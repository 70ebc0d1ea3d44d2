// Adapter list from getifaddrs(). Tunnels are told by the link type the
// kernel shows in /sys/class/net/<name>/type.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <netinet/in.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "common/adapter_list.h"
#include "common/network_address.h"
#include "common/status.h"
#include "common/text_copy.h"

namespace {

std::atomic<KalAdapterListFn> g_provider{nullptr};

bool is_tunnel_link(const char* name) {
  char path[128];
  std::snprintf(path, sizeof path, "/sys/class/net/%s/type", name);
  FILE* f = std::fopen(path, "re");
  if (!f) return false;
  int type = -1;
  const bool read = std::fscanf(f, "%d", &type) == 1;
  std::fclose(f);
  if (!read) return false;
  switch (type) {
    case ARPHRD_TUNNEL:
    case ARPHRD_TUNNEL6:
    case ARPHRD_SIT:
    case ARPHRD_IPGRE:
    case 823:  // ARPHRD_IP6GRE, missing from glibc's header
      return true;
    default:
      return false;
  }
}

}  // namespace

int kal_list_adapters_platform(KalAdapterAddress* out, size_t capacity, size_t* pCount) {
  if (!pCount || (!out && capacity)) return kKalErrInvalidArg;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return kKalErrPlatform;
  size_t n = 0;
  for (const ifaddrs* ifa = list; ifa; ifa = ifa->ifa_next) {
    if (!ifa->ifa_addr || !ifa->ifa_name) continue;
    const int family = ifa->ifa_addr->sa_family;
    if (family != AF_INET && family != AF_INET6) continue;
    if (n < capacity) {
      KalAdapterAddress& e = out[n];
      std::memset(&e, 0, sizeof e);
      kal_copy_text(e.name, ifa->ifa_name);
      e.loopback = (ifa->ifa_flags & IFF_LOOPBACK) != 0;
      e.up = (ifa->ifa_flags & IFF_UP) != 0;
      e.tunnel = is_tunnel_link(ifa->ifa_name);
      if (family == AF_INET) {
        e.protocol = IKalNetworkAddress::IPv4;
        const auto* sin = reinterpret_cast<const sockaddr_in*>(ifa->ifa_addr);
        std::memcpy(e.address, &sin->sin_addr, 4);
      } else {
        e.protocol = IKalNetworkAddress::IPv6;
        const auto* sin6 = reinterpret_cast<const sockaddr_in6*>(ifa->ifa_addr);
        std::memcpy(e.address, &sin6->sin6_addr, 16);
      }
    }
    ++n;
  }
  freeifaddrs(list);
  *pCount = n;
  return kKalOk;
}

int kal_list_adapters(KalAdapterAddress* out, size_t capacity, size_t* pCount) {
  KalAdapterListFn fn = g_provider.load();
  return fn ? fn(out, capacity, pCount) : kal_list_adapters_platform(out, capacity, pCount);
}

KalAdapterListFn kal_set_adapter_list_for_testing(KalAdapterListFn fn) {
  KalAdapterListFn previous = g_provider.exchange(fn);
  return previous ? previous : &kal_list_adapters_platform;
}
