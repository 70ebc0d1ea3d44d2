// The /proc provider, for hosts where the routing socket cannot be used: the
// main route table from /proc/net/route, the interfaces from /proc/net/dev,
// and the IPv4 addresses through the interface ioctls (SIOCGIFCONF and
// friends). /proc/net belongs to the reader's network namespace; /sys/class/net
// would show the namespace /sys was mounted in, so it is not used.
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "common/host_network_provider.h"
#include "common/owned.h"
#include "common/text_copy.h"
#include "log/log.h"

namespace {

constexpr char kRouteFile[] = "/proc/net/route";
constexpr char kDevFile[] = "/proc/net/dev";
// Bounds the re-sizing of the SIOCGIFCONF buffer while addresses come and go.
constexpr int kMaxConfTries = 8;
constexpr int kMaxLines = 1 << 20;

// Route flags of /proc/net/route (linux/route.h).
constexpr unsigned kRtfUp = 0x0001;
constexpr unsigned kRtfReject = 0x0200;

int fail(const char* step) {
  kal_log(kKalModuleSocket, kKalLogError, "[proc_net] %s fail: errno=%d", step, errno);
  return kKalErrPlatform;
}

class File {
 public:
  explicit File(const char* path) : f_(fopen(path, "re")) {}
  ~File() {
    if (f_) fclose(f_);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  FILE* get() const { return f_; }

 private:
  FILE* f_;
};

class Fd {
 public:
  Fd() : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Reads one line into buf; a longer line is consumed whole and cut.
bool read_line(FILE* f, char* buf, size_t size) {
  if (!fgets(buf, static_cast<int>(size), f)) return false;
  if (!strchr(buf, '\n')) {
    int c;
    while ((c = fgetc(f)) != EOF && c != '\n') {
    }
  }
  return true;
}

void set_name(ifreq* req, const char* name) {
  std::memset(req, 0, sizeof *req);
  kal_copy_text(req->ifr_name, sizeof req->ifr_name, name);
}

// The device of an address label: "eth0:1" is on "eth0".
void device_of_label(const char* label, char* device, size_t size) {
  kal_copy_text(device, size, label);
  if (char* colon = strchr(device, ':')) *colon = '\0';
}

uint32_t sockaddr_ipv4(const sockaddr& sa) {
  sockaddr_in sin;
  std::memcpy(&sin, &sa, sizeof sin);
  return sin.sin_family == AF_INET ? ntohl(sin.sin_addr.s_addr) : 0;
}

// Asks one per-address ioctl for the address `address` carried by `label`.
// The kernel matches label and address together, so an interface with
// several addresses answers for the right one.
uint32_t address_ioctl(int fd, unsigned long request, const char* label, uint32_t address) {
  ifreq req;
  set_name(&req, label);
  sockaddr_in sin = {};
  sin.sin_family = AF_INET;
  sin.sin_addr.s_addr = htonl(address);
  std::memcpy(&req.ifr_addr, &sin, sizeof sin);
  if (ioctl(fd, request, &req) != 0) return 0;
  return sockaddr_ipv4(request == SIOCGIFNETMASK ? req.ifr_netmask : req.ifr_broadaddr);
}

short interface_flags(int fd, const char* device) {
  ifreq req;
  set_name(&req, device);
  return ioctl(fd, SIOCGIFFLAGS, &req) == 0 ? req.ifr_flags : 0;
}

int read_main_routes(KalRouteTable* table) {
  File f(kRouteFile);
  if (!f.get()) return fail(kRouteFile);
  char line[512];
  if (!read_line(f.get(), line, sizeof line)) return fail(kRouteFile);  // header
  for (int n = 0; n < kMaxLines && read_line(f.get(), line, sizeof line); ++n) {
    char iface[IFNAMSIZ + 1];
    unsigned dest, gateway, flags, metric, mask;
    // The kernel prints addresses as the raw network-order word in hex.
    if (sscanf(line, "%16s %x %x %x %*d %*d %u %x", iface, &dest, &gateway, &flags, &metric,
               &mask) != 6) {
      continue;
    }
    if (!(flags & kRtfUp) || (flags & kRtfReject) || strcmp(iface, "*") == 0) continue;
    KalRouteEntry row = {};
    row.if_index = if_nametoindex(iface);
    if (row.if_index == 0) continue;  // the interface went away meanwhile
    row.destination = ntohl(dest);
    row.mask = ntohl(mask);
    row.next_hop = ntohl(gateway);
    row.metric = metric;
    row.type = row.next_hop ? kKalRouteIndirect : kKalRouteDirect;
    if (!table->append(row)) return kKalErrNoMemory;
  }
  return kKalOk;
}

// The routes the kernel keeps in its local table for the host's own
// addresses, which /proc/net/route does not show: a host route for every
// address of an interface that is up, and the whole prefix of a loopback
// address.
int add_own_address_routes(int fd, const KalAddressTable& addresses,
                           const KalInterfaceTable& interfaces, KalRouteTable* table) {
  for (const KalAddressEntry& a : addresses) {
    const char* device = nullptr;
    for (const KalInterfaceEntry& i : interfaces) {
      if (i.if_index == a.if_index) device = i.description;
    }
    if (!device) continue;
    const short flags = interface_flags(fd, device);
    if (!(flags & IFF_UP)) continue;
    KalRouteEntry row = {};
    row.destination = a.address;
    row.mask = 0xffffffffu;
    row.type = kKalRouteDirect;
    row.if_index = a.if_index;
    if (!table->append(row)) return kKalErrNoMemory;
    if ((flags & IFF_LOOPBACK) && a.mask != 0xffffffffu) {
      row.destination = a.address & a.mask;
      row.mask = a.mask;
      if (!table->append(row)) return kKalErrNoMemory;
    }
  }
  return kKalOk;
}

class CKalProcNetProvider final : public IKalHostNetworkProvider {
 public:
  void destroy() override { delete this; }
  const char* name() override { return "proc"; }

  int bind() override {
    File route(kRouteFile), dev(kDevFile);
    if (!route.get()) return fail(kRouteFile);
    if (!dev.get()) return fail(kDevFile);
    Fd fd;
    if (fd.get() < 0) return fail("socket");
    return kKalOk;
  }

  int read_route_table(KalRouteTable* pTable) override {
    int rc = read_main_routes(pTable);
    if (rc != kKalOk) return rc;
    KalAddressTable addresses;
    KalInterfaceTable interfaces;
    if ((rc = read_address_table(&addresses)) != kKalOk) return rc;
    if ((rc = read_interface_table(&interfaces)) != kKalOk) return rc;
    Fd fd;
    if (fd.get() < 0) return fail("socket");
    return add_own_address_routes(fd.get(), addresses, interfaces, pTable);
  }

  int read_interface_count(uint32_t* pCount) override {
    KalInterfaceTable table;
    const int rc = read_interface_table(&table);
    if (rc == kKalOk) *pCount = static_cast<uint32_t>(table.size());
    return rc;
  }

  int read_interface_table(KalInterfaceTable* pTable) override {
    File f(kDevFile);
    if (!f.get()) return fail(kDevFile);
    Fd fd;
    if (fd.get() < 0) return fail("socket");
    char line[512];
    for (int n = 0; n < kMaxLines && read_line(f.get(), line, sizeof line); ++n) {
      char* colon = strchr(line, ':');
      if (!colon || n < 2) continue;  // two header lines
      *colon = '\0';
      const char* name = line + strspn(line, " \t");
      KalInterfaceEntry row = {};
      kal_copy_text(row.description, name);
      ifreq req;
      set_name(&req, row.description);
      if (ioctl(fd.get(), SIOCGIFINDEX, &req) != 0) continue;  // went away
      row.if_index = static_cast<uint32_t>(req.ifr_ifindex);
      set_name(&req, row.description);
      if (ioctl(fd.get(), SIOCGIFHWADDR, &req) != 0) continue;
      row.type = kal_interface_type_from_hw(req.ifr_hwaddr.sa_family);
      if (!pTable->append(row)) return kKalErrNoMemory;
    }
    return kKalOk;
  }

  int read_address_table(KalAddressTable* pTable) override {
    Fd fd;
    if (fd.get() < 0) return fail("socket");
    std::unique_ptr<ifreq[]> reqs;
    ifconf conf = {};
    for (int tries = 0;; ++tries) {
      if (tries == kMaxConfTries) return fail("SIOCGIFCONF (keeps growing)");
      conf.ifc_len = 0;
      conf.ifc_req = nullptr;
      if (ioctl(fd.get(), SIOCGIFCONF, &conf) != 0) return fail("SIOCGIFCONF");
      // Room for two more than asked: a full buffer may mean a cut list.
      const size_t count = static_cast<size_t>(conf.ifc_len) / sizeof(ifreq) + 2;
      if (kal_alloc_hook::should_fail()) return kKalErrNoMemory;
      reqs.reset(new (std::nothrow) ifreq[count]);
      if (!reqs) return kKalErrNoMemory;
      conf.ifc_len = static_cast<int>(count * sizeof(ifreq));
      conf.ifc_req = reqs.get();
      if (ioctl(fd.get(), SIOCGIFCONF, &conf) != 0) return fail("SIOCGIFCONF");
      if (static_cast<size_t>(conf.ifc_len) < count * sizeof(ifreq)) break;
    }
    const size_t got = static_cast<size_t>(conf.ifc_len) / sizeof(ifreq);
    for (size_t i = 0; i < got; ++i) {
      const ifreq& r = reqs[i];
      char label[IFNAMSIZ + 1];
      kal_copy_text(label, sizeof label, std::string_view(r.ifr_name, strnlen(r.ifr_name, IFNAMSIZ)));
      KalAddressEntry row = {};
      row.address = sockaddr_ipv4(r.ifr_addr);
      if (r.ifr_addr.sa_family != AF_INET) continue;
      char device[IFNAMSIZ + 1];
      device_of_label(label, device, sizeof device);
      row.if_index = if_nametoindex(device);
      if (row.if_index == 0) continue;
      row.mask = address_ioctl(fd.get(), SIOCGIFNETMASK, label, row.address);
      row.broadcast = address_ioctl(fd.get(), SIOCGIFBRDADDR, label, row.address);
      if (!pTable->append(row)) return kKalErrNoMemory;
    }
    return kKalOk;
  }
};

}  // namespace

IKalHostNetworkProvider* kal_create_proc_net_provider(int* pStatus) {
  CKalProcNetProvider* p = kal_new<CKalProcNetProvider>();
  if (!p) return kal_fail<IKalHostNetworkProvider>(pStatus, kKalErrNoMemory);
  kal_set_status(pStatus, kKalOk);
  return p;
}
