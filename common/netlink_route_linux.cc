// The routing-socket provider: reads the IPv4 routes, the links and the IPv4
// addresses with one NETLINK_ROUTE dump each. Every message is checked
// against the received length before a field is read.
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/host_network_provider.h"
#include "common/owned.h"
#include "common/text_copy.h"
#include "log/log.h"

namespace {

// Bounds one dump: a kernel that keeps sending is not waited for forever.
constexpr int kMaxReceives = 65536;
constexpr int kReceiveTimeoutSeconds = 2;

class NetlinkSocket {
 public:
  NetlinkSocket() : fd_(socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE)) {}
  ~NetlinkSocket() {
    if (fd_ >= 0) close(fd_);
  }
  NetlinkSocket(const NetlinkSocket&) = delete;
  NetlinkSocket& operator=(const NetlinkSocket&) = delete;

  // Binds to a port the kernel picks and learns it. False when the socket
  // cannot be used.
  bool open() {
    if (fd_ < 0) return false;
    timeval tv = {kReceiveTimeoutSeconds, 0};
    if (setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0) return false;
    sockaddr_nl local = {};
    local.nl_family = AF_NETLINK;
    if (bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) return false;
    socklen_t len = sizeof local;
    if (getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &len) != 0) return false;
    port_ = local.nl_pid;
    return true;
  }
  int fd() const { return fd_; }
  uint32_t port() const { return port_; }

 private:
  int fd_;
  uint32_t port_ = 0;
};

int log_errno(const char* step) {
  kal_log(kKalModuleSocket, kKalLogError, "[netlink] %s fail: errno=%d", step, errno);
  return kKalErrPlatform;
}

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

// Sends a dump request of `type` whose family-specific header is `header`
// (`header_len` bytes, family in its first byte) and passes every answer
// message to on_message(const nlmsghdr*), which answers a status.
template <class OnMessage>
int netlink_dump(uint16_t type, const void* header, size_t header_len, OnMessage on_message) {
  NetlinkSocket sock;
  if (!sock.open()) return log_errno("socket");

  struct {
    nlmsghdr hdr;
    unsigned char body[32];
  } request = {};
  static_assert(sizeof(ifinfomsg) <= sizeof(request.body));
  const uint32_t seq = 1;
  request.hdr.nlmsg_len = NLMSG_LENGTH(header_len);
  request.hdr.nlmsg_type = type;
  request.hdr.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
  request.hdr.nlmsg_seq = seq;
  std::memcpy(NLMSG_DATA(&request.hdr), header, header_len);
  sockaddr_nl kernel = {};
  kernel.nl_family = AF_NETLINK;
  if (sendto(sock.fd(), &request, request.hdr.nlmsg_len, 0,
             reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) < 0) {
    return log_errno("sendto");
  }

  // Aligned so that NLMSG_DATA and RTA_DATA land on whole words.
  alignas(nlmsghdr) static thread_local unsigned char buf[32768];
  for (int i = 0; i < kMaxReceives; ++i) {
    sockaddr_nl from = {};
    iovec iov = {buf, sizeof buf};
    msghdr msg = {};
    msg.msg_name = &from;
    msg.msg_namelen = sizeof from;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    const ssize_t got = recvmsg(sock.fd(), &msg, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return log_errno("recvmsg");
    }
    // A cut message would be parsed from a partial buffer: refuse it.
    if (msg.msg_flags & MSG_TRUNC) return log_errno("recvmsg (truncated)");
    if (from.nl_pid != 0) continue;  // only the kernel answers dumps
    size_t left = static_cast<size_t>(got);
    for (const nlmsghdr* h = reinterpret_cast<const nlmsghdr*>(buf); message_fits(h, left);
         h = next_message(h, &left)) {
      if (h->nlmsg_seq != seq || h->nlmsg_pid != sock.port()) continue;
      if (h->nlmsg_type == NLMSG_DONE) return kKalOk;
      if (h->nlmsg_type == NLMSG_ERROR) {
        int error = 0;
        if (h->nlmsg_len >= NLMSG_LENGTH(sizeof(nlmsgerr))) {
          error = static_cast<const nlmsgerr*>(NLMSG_DATA(h))->error;
        }
        kal_log(kKalModuleSocket, kKalLogError, "[netlink] dump %u fail: error=%d", type,
                error);
        return kKalErrPlatform;
      }
      const int rc = on_message(h);
      if (rc != kKalOk) return rc;
    }
  }
  kal_log(kKalModuleSocket, kKalLogError, "[netlink] dump %u did not end", type);
  return kKalErrPlatform;
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

class CKalNetlinkProvider final : public IKalHostNetworkProvider {
 public:
  void destroy() override { delete this; }
  const char* name() override { return "netlink"; }

  int bind() override {
    NetlinkSocket sock;
    return sock.open() ? kKalOk : log_errno("bind");
  }

  int read_route_table(KalRouteTable* pTable) override {
    rtmsg header = {};
    header.rtm_family = AF_INET;
    return netlink_dump(RTM_GETROUTE, &header, sizeof header,
                        [pTable](const nlmsghdr* h) { return parse_route(h, pTable); });
  }

  int read_interface_count(uint32_t* pCount) override {
    KalInterfaceTable table;
    const int rc = read_interface_table(&table);
    if (rc == kKalOk) *pCount = static_cast<uint32_t>(table.size());
    return rc;
  }

  int read_interface_table(KalInterfaceTable* pTable) override {
    ifinfomsg header = {};
    header.ifi_family = AF_UNSPEC;
    return netlink_dump(RTM_GETLINK, &header, sizeof header,
                        [pTable](const nlmsghdr* h) { return parse_link(h, pTable); });
  }

  int read_address_table(KalAddressTable* pTable) override {
    ifaddrmsg header = {};
    header.ifa_family = AF_INET;
    return netlink_dump(RTM_GETADDR, &header, sizeof header,
                        [pTable](const nlmsghdr* h) { return parse_address(h, pTable); });
  }
};

}  // namespace

IKalHostNetworkProvider* kal_create_netlink_provider(int* pStatus) {
  CKalNetlinkProvider* p = kal_new<CKalNetlinkProvider>();
  if (!p) return kal_fail<IKalHostNetworkProvider>(pStatus, kKalErrNoMemory);
  kal_set_status(pStatus, kKalOk);
  return p;
}
