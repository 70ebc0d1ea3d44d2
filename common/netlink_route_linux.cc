// The routing-socket provider: reads the IPv4 routes, the links and the IPv4
// addresses with one NETLINK_ROUTE dump each.
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
#include "common/netlink_parse_linux.h"
#include "common/owned.h"
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

// Sends a dump request of `type` whose family-specific header is `header`
// (`header_len` bytes, family in its first byte) and reads the answer into
// the sink's table.
int netlink_dump(uint16_t type, const void* header, size_t header_len,
                 const KalNetlinkSink& sink) {
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
    bool done = false;
    const int rc = kal_netlink_parse_batch(buf, static_cast<size_t>(got), seq, sock.port(),
                                           sink, &done);
    if (rc != kKalOk || done) return rc;
  }
  kal_log(kKalModuleSocket, kKalLogError, "[netlink] dump %u did not end", type);
  return kKalErrPlatform;
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
                        KalNetlinkSink{pTable, nullptr, nullptr});
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
                        KalNetlinkSink{nullptr, pTable, nullptr});
  }

  int read_address_table(KalAddressTable* pTable) override {
    ifaddrmsg header = {};
    header.ifa_family = AF_INET;
    return netlink_dump(RTM_GETADDR, &header, sizeof header,
                        KalNetlinkSink{nullptr, nullptr, pTable});
  }
};

}  // namespace

IKalHostNetworkProvider* kal_create_netlink_provider(int* pStatus) {
  CKalNetlinkProvider* p = kal_new<CKalNetlinkProvider>();
  if (!p) return kal_fail<IKalHostNetworkProvider>(pStatus, kKalErrNoMemory);
  kal_set_status(pStatus, kKalOk);
  return p;
}
