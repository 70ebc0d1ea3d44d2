// Reading the routing socket's dump answers: every message and attribute is
// checked against the received length before a field is read.
#include "common/netlink_parse_linux.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <netinet/in.h>

#include <cstring>

#include "common/host_network_provider.h"
#include "common/status.h"
#include "common/text_copy.h"
#include "log/log.h"

namespace {

// NLMSG_OK and NLMSG_NEXT in one signedness: a message must lie wholly
// inside the `left` received bytes before any field past its header is read.
bool message_fits(const nlmsghdr* h, size_t left) {
  return h && left >= sizeof(nlmsghdr) && h->nlmsg_len >= sizeof(nlmsghdr) &&
         h->nlmsg_len <= left;
}

// The message after h, or null when none follows.
const nlmsghdr* next_message(const nlmsghdr* h, size_t* left) {
  const size_t step = NLMSG_ALIGN(h->nlmsg_len);
  if (step >= *left) {
    *left = 0;
    return nullptr;
  }
  *left -= step;
  return reinterpret_cast<const nlmsghdr*>(reinterpret_cast<const char*>(h) + step);
}

// Host-order value of a 4-byte address attribute, or false when it is short.
bool attr_ipv4(const rtattr* a, uint32_t* out) {
  if (RTA_PAYLOAD(a) < 4) return false;
  uint32_t be;
  std::memcpy(&be, RTA_DATA(a), 4);
  *out = ntohl(be);
  return true;
}

bool attr_u32(const rtattr* a, uint32_t* out) {
  if (RTA_PAYLOAD(a) < 4) return false;
  std::memcpy(out, RTA_DATA(a), 4);
  return true;
}

// The first next hop of a multipath route: its interface and gateway.
void first_next_hop(const rtattr* a, KalRouteEntry* row) {
  const size_t len = RTA_PAYLOAD(a);
  if (len < sizeof(rtnexthop)) return;
  const rtnexthop* nh = static_cast<const rtnexthop*>(RTA_DATA(a));
  if (nh->rtnh_len < sizeof(rtnexthop) || nh->rtnh_len > len) return;
  row->if_index = static_cast<uint32_t>(nh->rtnh_ifindex);
  int left = nh->rtnh_len - static_cast<int>(RTNH_ALIGN(sizeof(rtnexthop)));
  for (const rtattr* inner = RTNH_DATA(nh); RTA_OK(inner, left); inner = RTA_NEXT(inner, left)) {
    if (inner->rta_type == RTA_GATEWAY) attr_ipv4(inner, &row->next_hop);
  }
}

// Keeps the routes the host sends through: unicast routes of the main table
// and the host's own addresses from the local table. Broadcast, rejecting and
// policy-table routes are left out.
int parse_route(const nlmsghdr* h, KalRouteTable* table) {
  if (h->nlmsg_type != RTM_NEWROUTE || h->nlmsg_len < NLMSG_LENGTH(sizeof(rtmsg))) {
    return kKalOk;
  }
  const rtmsg* rtm = static_cast<const rtmsg*>(NLMSG_DATA(h));
  if (rtm->rtm_family != AF_INET || rtm->rtm_dst_len > 32) return kKalOk;
  uint32_t table_id = rtm->rtm_table;
  KalRouteEntry row = {};
  row.mask = kal_prefix_to_mask(rtm->rtm_dst_len);
  int left = static_cast<int>(RTM_PAYLOAD(h));
  for (const rtattr* a = RTM_RTA(rtm); RTA_OK(a, left); a = RTA_NEXT(a, left)) {
    switch (a->rta_type) {
      case RTA_TABLE: attr_u32(a, &table_id); break;
      case RTA_DST: attr_ipv4(a, &row.destination); break;
      case RTA_GATEWAY: attr_ipv4(a, &row.next_hop); break;
      case RTA_OIF: attr_u32(a, &row.if_index); break;
      case RTA_PRIORITY: attr_u32(a, &row.metric); break;
      case RTA_MULTIPATH:
        if (row.if_index == 0) first_next_hop(a, &row);
        break;
      default: break;
    }
  }
  const bool main_unicast = table_id == RT_TABLE_MAIN && rtm->rtm_type == RTN_UNICAST;
  const bool own_address = table_id == RT_TABLE_LOCAL && rtm->rtm_type == RTN_LOCAL;
  if (!(main_unicast || own_address) || row.if_index == 0) return kKalOk;
  row.type = row.next_hop ? kKalRouteIndirect : kKalRouteDirect;
  return table->append(row) ? kKalOk : kKalErrNoMemory;
}

int parse_link(const nlmsghdr* h, KalInterfaceTable* table) {
  if (h->nlmsg_type != RTM_NEWLINK || h->nlmsg_len < NLMSG_LENGTH(sizeof(ifinfomsg))) {
    return kKalOk;
  }
  const ifinfomsg* ifi = static_cast<const ifinfomsg*>(NLMSG_DATA(h));
  KalInterfaceEntry row = {};
  row.if_index = static_cast<uint32_t>(ifi->ifi_index);
  row.type = kal_interface_type_from_hw(ifi->ifi_type);
  int left = static_cast<int>(IFLA_PAYLOAD(h));
  for (const rtattr* a = IFLA_RTA(ifi); RTA_OK(a, left); a = RTA_NEXT(a, left)) {
    if (a->rta_type == IFLA_IFNAME) {
      // The name need not be terminated inside the attribute: copy at most
      // its payload.
      const size_t n = strnlen(static_cast<const char*>(RTA_DATA(a)), RTA_PAYLOAD(a));
      kal_copy_text(row.description, std::string_view(static_cast<const char*>(RTA_DATA(a)), n));
    }
  }
  return table->append(row) ? kKalOk : kKalErrNoMemory;
}

int parse_address(const nlmsghdr* h, KalAddressTable* table) {
  if (h->nlmsg_type != RTM_NEWADDR || h->nlmsg_len < NLMSG_LENGTH(sizeof(ifaddrmsg))) {
    return kKalOk;
  }
  const ifaddrmsg* ifa = static_cast<const ifaddrmsg*>(NLMSG_DATA(h));
  if (ifa->ifa_family != AF_INET || ifa->ifa_prefixlen > 32) return kKalOk;
  KalAddressEntry row = {};
  row.if_index = ifa->ifa_index;
  row.mask = kal_prefix_to_mask(ifa->ifa_prefixlen);
  bool have_local = false, have_address = false;
  uint32_t address = 0;
  int left = static_cast<int>(IFA_PAYLOAD(h));
  for (const rtattr* a = IFA_RTA(ifa); RTA_OK(a, left); a = RTA_NEXT(a, left)) {
    switch (a->rta_type) {
      // On a point-to-point link IFA_ADDRESS is the peer; IFA_LOCAL is ours.
      case IFA_LOCAL: have_local = attr_ipv4(a, &row.address); break;
      case IFA_ADDRESS: have_address = attr_ipv4(a, &address); break;
      case IFA_BROADCAST: attr_ipv4(a, &row.broadcast); break;
      default: break;
    }
  }
  if (!have_local) {
    if (!have_address) return kKalOk;
    row.address = address;
  }
  return table->append(row) ? kKalOk : kKalErrNoMemory;
}

}  // namespace

int kal_netlink_parse_batch(const void* buf, size_t len, uint32_t seq, uint32_t port,
                            const KalNetlinkSink& sink, bool* pDone) {
  *pDone = false;
  size_t left = len;
  for (const nlmsghdr* h = static_cast<const nlmsghdr*>(buf); message_fits(h, left);
       h = next_message(h, &left)) {
    if (h->nlmsg_seq != seq || h->nlmsg_pid != port) continue;
    if (h->nlmsg_type == NLMSG_DONE) {
      *pDone = true;
      return kKalOk;
    }
    if (h->nlmsg_type == NLMSG_ERROR) {
      int error = 0;
      if (h->nlmsg_len >= NLMSG_LENGTH(sizeof(nlmsgerr))) {
        std::memcpy(&error, NLMSG_DATA(h), sizeof error);
      }
      kal_log(kKalModuleSocket, kKalLogError, "[netlink] dump fail: error=%d", error);
      return kKalErrPlatform;
    }
    int rc = kKalOk;
    if (sink.routes) rc = parse_route(h, sink.routes);
    if (rc == kKalOk && sink.interfaces) rc = parse_link(h, sink.interfaces);
    if (rc == kKalOk && sink.addresses) rc = parse_address(h, sink.addresses);
    if (rc != kKalOk) return rc;
  }
  return kKalOk;
}
