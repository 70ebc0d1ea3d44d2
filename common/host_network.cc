// The host-network-table service: picks a provider, sorts what it reads, and
// works out the local address towards a destination from the route and
// address tables. Platform reading lives in the providers.
#include "common/host_network.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

#include "common/host_network_provider.h"
#include "common/owned.h"
#include "log/log.h"

template <class Row>
bool KalHostTable<Row>::append(const Row& row) noexcept {
  if (size_ == capacity_) {
    size_t grown = capacity_ ? capacity_ * 2 : 16;
    if (kal_alloc_hook::should_fail()) return false;
    Row* rows = new (std::nothrow) Row[grown];
    if (!rows) return false;
    if (size_) std::memcpy(rows, rows_, size_ * sizeof(Row));
    delete[] rows_;
    rows_ = rows;
    capacity_ = grown;
  }
  rows_[size_++] = row;
  return true;
}

template <class Row>
void KalHostTable<Row>::swap(KalHostTable& other) noexcept {
  std::swap(rows_, other.rows_);
  std::swap(size_, other.size_);
  std::swap(capacity_, other.capacity_);
}

template class KalHostTable<KalRouteEntry>;
template class KalHostTable<KalAddressEntry>;
template class KalHostTable<KalInterfaceEntry>;

namespace {

using ProviderHolder = KalOwned<IKalHostNetworkProvider, KalCallDestroy>;

void sort_routes(KalRouteTable* t) {
  std::stable_sort(t->begin(), t->end(), [](const KalRouteEntry& a, const KalRouteEntry& b) {
    if (a.destination != b.destination) return a.destination < b.destination;
    if (a.mask != b.mask) return a.mask > b.mask;
    return a.metric < b.metric;
  });
}

void sort_addresses(KalAddressTable* t) {
  std::stable_sort(t->begin(), t->end(), [](const KalAddressEntry& a, const KalAddressEntry& b) {
    return a.address < b.address;
  });
}

void sort_interfaces(KalInterfaceTable* t) {
  std::stable_sort(t->begin(), t->end(),
                   [](const KalInterfaceEntry& a, const KalInterfaceEntry& b) {
                     return a.if_index < b.if_index;
                   });
}

// The interface a destination is reached through, or false when no route
// covers it. Order of preference: a route to exactly this destination; the
// longest mask that matches (equal masks: the earlier route); the first
// default route.
bool route_interface(const KalRouteTable& routes, uint32_t dest, uint32_t* pIndex) {
  for (const KalRouteEntry& r : routes) {
    if (r.destination == dest) {
      *pIndex = r.if_index;
      return true;
    }
  }
  const KalRouteEntry* best = nullptr;
  for (const KalRouteEntry& r : routes) {
    // A mask of 0 never beats "no route yet": default routes come last.
    if (r.mask > (best ? best->mask : 0u) && (r.destination & r.mask) == (dest & r.mask)) {
      best = &r;
    }
  }
  if (!best) {
    for (const KalRouteEntry& r : routes) {
      if (r.destination == 0) {
        best = &r;
        break;
      }
    }
  }
  if (!best) return false;
  *pIndex = best->if_index;
  return true;
}

class CKalHostNetwork final : public IKalHostNetwork {
 public:
  CKalHostNetwork(IKalHostNetworkProvider* first, IKalHostNetworkProvider* second)
      : candidates_{ProviderHolder(first), ProviderHolder(second)} {}

  void destroy() override { delete this; }

  int read_route_table(KalRouteTable* pTable) override {
    std::lock_guard<std::mutex> lock(mu_);
    return read_routes_locked(pTable);
  }

  int read_interface_count(uint32_t* pCount) override {
    if (!pCount) return kKalErrInvalidArg;
    std::lock_guard<std::mutex> lock(mu_);
    if (!provider_) return kKalErrNotReady;
    return provider_->read_interface_count(pCount);
  }

  int read_interface_table(KalInterfaceTable* pTable) override {
    if (!pTable) return kKalErrInvalidArg;
    std::lock_guard<std::mutex> lock(mu_);
    if (!provider_) return kKalErrNotReady;
    KalInterfaceTable fresh;
    const int rc = provider_->read_interface_table(&fresh);
    if (rc != kKalOk) return rc;
    sort_interfaces(&fresh);
    pTable->swap(fresh);
    return kKalOk;
  }

  int read_address_table(KalAddressTable* pTable) override {
    std::lock_guard<std::mutex> lock(mu_);
    return read_addresses_locked(pTable);
  }

  int load_provider() override {
    std::lock_guard<std::mutex> lock(mu_);
    return load_provider_locked();
  }

  const char* provider_name() override {
    std::lock_guard<std::mutex> lock(mu_);
    return provider_ ? provider_->name() : nullptr;
  }

  int local_address_towards(uint32_t destination, uint32_t* pLocal) override {
    if (!pLocal) return kKalErrInvalidArg;
    std::lock_guard<std::mutex> lock(mu_);
    const int rc = compute_locked(destination, pLocal);
    // Tables describe the host at one moment; never answer from old ones.
    routes_.clear();
    addresses_.clear();
    return rc;
  }

 private:
  int load_provider_locked() {
    if (provider_) return kKalOk;
    int rc = kKalErrNotReady;
    for (ProviderHolder& candidate : candidates_) {
      if (!candidate) continue;
      rc = candidate->bind();
      if (rc == kKalOk) {
        provider_ = candidate.get();
        return kKalOk;
      }
      kal_log(kKalModuleSocket, kKalLogError,
              "[CKalHostNetwork::load_provider] provider \"%s\" fail: %d", candidate->name(),
              rc);
    }
    return rc;
  }

  int read_routes_locked(KalRouteTable* pTable) {
    if (!pTable) return kKalErrInvalidArg;
    if (!provider_) return kKalErrNotReady;
    KalRouteTable fresh;
    const int rc = provider_->read_route_table(&fresh);
    if (rc != kKalOk) return rc;
    sort_routes(&fresh);
    pTable->swap(fresh);
    return kKalOk;
  }

  int read_addresses_locked(KalAddressTable* pTable) {
    if (!pTable) return kKalErrInvalidArg;
    if (!provider_) return kKalErrNotReady;
    KalAddressTable fresh;
    const int rc = provider_->read_address_table(&fresh);
    if (rc != kKalOk) return rc;
    sort_addresses(&fresh);
    pTable->swap(fresh);
    return kKalOk;
  }

  int compute_locked(uint32_t destination, uint32_t* pLocal) {
    routes_.clear();
    addresses_.clear();
    // A provider that cannot be loaded leaves the read below to answer
    // kKalErrNotReady; the reason is in the log.
    load_provider_locked();
    int rc = read_routes_locked(&routes_);
    if (rc != kKalOk) return rc;
    uint32_t if_index = 0;
    if (!route_interface(routes_, destination, &if_index)) return kKalErrGeneral;
    rc = read_addresses_locked(&addresses_);
    if (rc != kKalOk) return rc;
    for (const KalAddressEntry& a : addresses_) {
      if (a.if_index == if_index) {
        *pLocal = a.address;
        return kKalOk;
      }
    }
    return kKalErrInvalidArg;
  }

  std::mutex mu_;
  ProviderHolder candidates_[2];
  IKalHostNetworkProvider* provider_ = nullptr;  // one of candidates_, lent
  KalRouteTable routes_;
  KalAddressTable addresses_;
};

std::mutex g_service_mu;
IKalHostNetwork* g_service = nullptr;

// Frees the process-wide service when the process ends.
struct ServiceReaper {
  ~ServiceReaper() {
    std::lock_guard<std::mutex> lock(g_service_mu);
    if (g_service) g_service->destroy();
    g_service = nullptr;
  }
} g_reaper;

}  // namespace

IKalHostNetwork* kal_create_host_network_from(IKalHostNetworkProvider* pFirst,
                                              IKalHostNetworkProvider* pSecond,
                                              int* pStatus) {
  ProviderHolder first(pFirst), second(pSecond);
  CKalHostNetwork* service = kal_new<CKalHostNetwork>(pFirst, pSecond);
  if (!service) return kal_fail<IKalHostNetwork>(pStatus, kKalErrNoMemory);
  first.detach();
  second.detach();
  kal_set_status(pStatus, kKalOk);
  return service;
}

IKalHostNetwork* kal_create_host_network(int providers, int* pStatus) {
  const bool want_netlink = providers == kKalHostNetworkDefault ||
                            providers == kKalHostNetworkNetlinkOnly;
  const bool want_proc = providers == kKalHostNetworkDefault ||
                         providers == kKalHostNetworkProcOnly;
  if (!want_netlink && !want_proc) return kal_fail<IKalHostNetwork>(pStatus, kKalErrInvalidArg);
  int rc = kKalOk;
  ProviderHolder netlink, proc;
  if (want_netlink) {
    netlink.reset(kal_create_netlink_provider(&rc));
    if (!netlink) return kal_fail<IKalHostNetwork>(pStatus, rc);
  }
  if (want_proc) {
    proc.reset(kal_create_proc_net_provider(&rc));
    if (!proc) return kal_fail<IKalHostNetwork>(pStatus, rc);
  }
  IKalHostNetworkProvider* first = netlink ? netlink.detach() : proc.detach();
  return kal_create_host_network_from(first, proc.detach(), pStatus);
}

IKalHostNetwork* kal_host_network(int* pStatus) {
  std::lock_guard<std::mutex> lock(g_service_mu);
  if (!g_service) {
    int rc = kKalOk;
    g_service = kal_create_host_network(kKalHostNetworkDefault, &rc);
    if (!g_service) return kal_fail<IKalHostNetwork>(pStatus, rc);
  }
  kal_set_status(pStatus, kKalOk);
  return g_service;
}

int kal_host_network_reset_for_testing(int providers) {
  int rc = kKalOk;
  IKalHostNetwork* fresh = kal_create_host_network(providers, &rc);
  if (!fresh) return rc;
  std::lock_guard<std::mutex> lock(g_service_mu);
  if (g_service) g_service->destroy();
  g_service = fresh;
  return kKalOk;
}

int kal_local_address_text(int protocol, const char* destination, char* local, size_t size) {
  if (!destination || !local) return kKalErrInvalidArg;
  if (protocol != 1) return kKalErrNotSupported;  // IKalNetworkAddress::IPv4
  in_addr parsed;
  if (inet_pton(AF_INET, destination, &parsed) != 1) return kKalErrInvalidArg;
  int rc = kKalOk;
  IKalHostNetwork* service = kal_host_network(&rc);
  if (!service) return rc;
  uint32_t address = 0;
  rc = service->local_address_towards(ntohl(parsed.s_addr), &address);
  if (rc != kKalOk) return rc;
  char text[16];
  snprintf(text, sizeof text, "%u.%u.%u.%u", address >> 24, (address >> 16) & 0xff,
           (address >> 8) & 0xff, address & 0xff);
  if (strlen(text) >= size) return kKalErrInvalidArg;
  memcpy(local, text, strlen(text) + 1);
  return kKalOk;
}
