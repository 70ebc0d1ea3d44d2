// Host network information: the host's IPv4 route, interface and address
// tables, read through a provider (the kernel's routing socket first, the
// /proc files as fallback), and the local IPv4 address the host uses towards
// a destination. One service per process, made on first use; its operations
// are serialised by the service's own lock, so any thread may call them.
#ifndef COMMON_HOST_NETWORK_H_
#define COMMON_HOST_NETWORK_H_

#include <cstddef>
#include <cstdint>

// Route types, as the interface MIB numbers them (ipRouteType).
enum : uint32_t {
  kKalRouteOther = 1,
  kKalRouteInvalid = 2,
  kKalRouteDirect = 3,    // the destination is on the link
  kKalRouteIndirect = 4,  // through the next hop
};

// Interface types, as IANA's ifType numbers them.
enum : uint32_t {
  kKalIfTypeOther = 1,
  kKalIfTypeEthernet = 6,
  kKalIfTypePpp = 23,
  kKalIfTypeLoopback = 24,
  kKalIfTypeTunnel = 131,
};

// Addresses and masks are host-order 32-bit numbers (10.1.2.3 is 0x0a010203).
struct KalRouteEntry {
  uint32_t destination;
  uint32_t mask;
  uint32_t next_hop;  // 0 for routes on the link
  uint32_t type;      // kKalRoute*
  uint32_t if_index;
  uint32_t metric;    // orders routes of one destination; lower first
};

struct KalAddressEntry {
  uint32_t if_index;
  uint32_t mask;
  uint32_t broadcast;  // 0 when the interface has none set
  uint32_t address;
};

struct KalInterfaceEntry {
  char description[256];  // the interface name, NUL-terminated
  uint32_t if_index;
  uint32_t type;          // kKalIfType*
};

// A table of plain rows that grows without throwing: a failed allocation is
// reported by append() and the table keeps what it had.
template <class Row>
class KalHostTable {
 public:
  KalHostTable() = default;
  ~KalHostTable() { delete[] rows_; }
  KalHostTable(const KalHostTable&) = delete;
  KalHostTable& operator=(const KalHostTable&) = delete;

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const Row& operator[](size_t i) const { return rows_[i]; }
  Row& operator[](size_t i) { return rows_[i]; }
  Row* begin() { return rows_; }
  Row* end() { return rows_ + size_; }
  const Row* begin() const { return rows_; }
  const Row* end() const { return rows_ + size_; }
  void clear() { size_ = 0; }
  // False when memory ran out (the row is not added).
  bool append(const Row& row) noexcept;
  // Takes over other's rows; other is left empty.
  void swap(KalHostTable& other) noexcept;

 private:
  Row* rows_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

using KalRouteTable = KalHostTable<KalRouteEntry>;
using KalAddressTable = KalHostTable<KalAddressEntry>;
using KalInterfaceTable = KalHostTable<KalInterfaceEntry>;

// Which table sources a service tries, in order.
enum EKalHostNetworkProviders : int {
  kKalHostNetworkDefault = 0,   // the routing socket, then the /proc files
  kKalHostNetworkNetlinkOnly = 1,
  kKalHostNetworkProcOnly = 2,
};

class IKalHostNetworkProvider;

// The host-network-table service. Every read first needs a loaded provider:
// before one is loaded (load_provider(), or implicitly by
// local_address_towards()), the reads answer kKalErrNotReady (-8).
// Tables are sorted: routes by destination, then longer mask first, then the
// host's own addresses before other routes, then lower metric; addresses by
// address; interfaces by index.
class IKalHostNetwork {
 public:
  virtual void destroy() = 0;
  // Each read replaces *pTable. 0, kKalErrInvalidArg (null table),
  // kKalErrNotReady, kKalErrPlatform (the table cannot be read),
  // kKalErrNoMemory.
  virtual int read_route_table(KalRouteTable* pTable) = 0;
  virtual int read_interface_count(uint32_t* pCount) = 0;
  virtual int read_interface_table(KalInterfaceTable* pTable) = 0;
  virtual int read_address_table(KalAddressTable* pTable) = 0;
  // Loads the first provider of the service's list that binds; nothing
  // happens when one is loaded. 0, or the last provider's failure
  // (kKalErrPlatform, kKalErrNoMemory).
  virtual int load_provider() = 0;
  // Name of the loaded provider ("netlink", "proc"), or null.
  virtual const char* provider_name() = 0;
  // The local IPv4 address (host order) the host uses towards `destination`
  // (host order): the interface of the host route to it, else of the route
  // with the longest matching mask, else of the first default route; then
  // that interface's first address. The tables are read afresh for every
  // call. 0, kKalErrInvalidArg (null out, or the route's interface has no
  // address), kKalErrGeneral (no route), kKalErrNotReady, kKalErrPlatform,
  // kKalErrNoMemory.
  virtual int local_address_towards(uint32_t destination, uint32_t* pLocal) = 0;
  virtual ~IKalHostNetwork() = default;
};

// A new service that tries the given providers. The caller owns it and frees
// it with destroy(). *pStatus: 0, kKalErrInvalidArg (unknown choice),
// kKalErrNoMemory.
IKalHostNetwork* kal_create_host_network(int providers, int* pStatus = nullptr);

// A new service over the given providers, tried in order (either may be
// null); it takes over both, also on failure. For tests that script a
// provider. *pStatus: 0, kKalErrNoMemory.
IKalHostNetwork* kal_create_host_network_from(IKalHostNetworkProvider* pFirst,
                                              IKalHostNetworkProvider* pSecond,
                                              int* pStatus = nullptr);

// The process-wide service (default providers), made on first use under a
// process-wide lock and kept until the process ends. Lent: never destroy it.
// *pStatus: 0, kKalErrNoMemory (the next call tries again).
IKalHostNetwork* kal_host_network(int* pStatus = nullptr);

// Tests only: replaces the process-wide service with a new one over the given
// providers (kKalHostNetwork*), so that code which uses the process-wide
// service can be run over the /proc fallback. Not to be called while another
// thread uses the service. 0, kKalErrInvalidArg, kKalErrNoMemory.
int kal_host_network_reset_for_testing(int providers);

// The local address towards a destination given as text, through the
// process-wide service. `protocol` is an EProtocol value (1 IPv4); the answer
// is written as "%d.%d.%d.%d" into local[size] (16 bytes always suffice).
// 0, kKalErrInvalidArg (null argument, text not a dotted IPv4 address, buffer
// too small, interface without address), kKalErrNotSupported (protocol not
// IPv4), kKalErrGeneral (no route), kKalErrNotReady, kKalErrPlatform,
// kKalErrNoMemory.
int kal_local_address_text(int protocol, const char* destination, char* local,
                           size_t size);

#endif  // COMMON_HOST_NETWORK_H_
