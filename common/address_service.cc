// The address service: the resolver and legacy implementations, the
// transport-availability query they share, and the process-wide instance
// behind the kal_address_* entry points.
#include "common/address_service.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "common/adapter_list.h"
#include "common/network_address_forms.h"
#include "common/owned.h"
#include "common/status.h"
#include "transport/datagram_socket.h"
#include "transport/socket_api.h"

namespace {

using EProtocol = IKalNetworkAddress::EProtocol;

// Brackets socket-library work with start-up and clean-up.
class LibraryScope {
 public:
  LibraryScope() : rc_(NKalSocketAPI::bind_and_start_v22()) {}
  ~LibraryScope() {
    if (rc_ == kKalOk) NKalSocketAPI::stop();
  }
  LibraryScope(const LibraryScope&) = delete;
  LibraryScope& operator=(const LibraryScope&) = delete;
  int status() const { return rc_; }

 private:
  int rc_;
};

// Whether a datagram socket of the protocol can be opened and bound to any
// local port; the socket is closed again at once.
bool socket_opens(int protocol) {
  DataGramSocket* socket = nullptr;
  if (DataGramSocket::create(protocol, &socket) != kKalOk) return false;
  socket->release();
  return true;
}

// Whether some adapter that is up, not loopback (and for IPv6 not a tunnel)
// has a first address of the protocol that is not all zeros. Answers 0,
// kKalErrNoMemory, or kKalErrPlatform when the list cannot be read.
int adapters_have_address(EProtocol protocol, bool* pFound) {
  *pFound = false;
  size_t count = 0;
  if (kal_list_adapters(nullptr, 0, &count) != kKalOk) return kKalErrPlatform;
  if (count == 0) return kKalOk;
  if (kal_alloc_hook::should_fail()) return kKalErrNoMemory;
  auto* list = static_cast<KalAdapterAddress*>(std::calloc(count, sizeof(KalAdapterAddress)));
  if (!list) return kKalErrNoMemory;
  size_t total = 0;
  if (kal_list_adapters(list, count, &total) != kKalOk) {
    std::free(list);
    return kKalErrPlatform;
  }
  const size_t n = total < count ? total : count;  // the list may have changed in between
  const size_t width = protocol == IKalNetworkAddress::IPv4 ? 4 : 16;
  static const uint8_t kZero[16] = {};
  for (size_t i = 0; i < n && !*pFound; ++i) {
    const KalAdapterAddress& a = list[i];
    if (a.protocol != protocol) continue;
    bool first = true;  // only an adapter's first address of the protocol counts
    for (size_t j = 0; j < i && first; ++j) {
      first = !(list[j].protocol == protocol && std::strcmp(list[j].name, a.name) == 0);
    }
    if (!first || !a.up || a.loopback) continue;
    if (protocol == IKalNetworkAddress::IPv6 && a.tunnel) continue;
    *pFound = std::memcmp(a.address, kZero, width) != 0;
  }
  std::free(list);
  return kKalOk;
}

int shared_transport_available(int protocol, bool* pAvailable) {
  if (!pAvailable) return kKalErrInvalidArg;
  *pAvailable = false;
  bool found = false;
  switch (protocol) {
    case IKalNetworkAddress::IPv4: {
      const int rc = adapters_have_address(IKalNetworkAddress::IPv4, &found);
      if (rc == kKalErrNoMemory) return rc;
      *pAvailable = rc == kKalOk ? found : socket_opens(protocol);
      return kKalOk;
    }
    case IKalNetworkAddress::IPv6: {
      const int rc = adapters_have_address(IKalNetworkAddress::IPv6, &found);
      if (rc == kKalErrNoMemory) return rc;
      *pAvailable = rc == kKalOk && found;
      return kKalOk;
    }
    default:
      *pAvailable = socket_opens(protocol);
      return kKalOk;
  }
}

int new_text(const char* text, IKalText** ppOut) {
  int rc = kKalOk;
  *ppOut = kal_create_text_from(text, &rc);
  return rc;
}

// Dotted decimal without leading zeros.
int print_ipv4(const uint8_t o[4], IKalText** ppOut) {
  char printed[16];
  std::snprintf(printed, sizeof printed, "%d.%d.%d.%d", o[0], o[1], o[2], o[3]);
  return new_text(printed, ppOut);
}

// Shared by both implementations: is_address and compare are built on
// get_protocol and to_numeric.
class CKalAddressServiceBase : public IKalAddressService {
 public:
  void release() override { delete this; }

  int is_address(const char* text, bool* pIs) const override {
    if (!pIs) return kKalErrInvalidArg;
    *pIs = false;
    EProtocol protocol = IKalNetworkAddress::Unknown;
    const int rc = get_protocol(text, &protocol);
    if (rc != kKalOk) return rc;
    *pIs = protocol != IKalNetworkAddress::Unknown;
    return kKalOk;
  }

  int compare(const char* a, const char* b, bool* pEqual) const override {
    if (!pEqual) return kKalErrInvalidArg;
    *pEqual = false;
    IKalText* raw = nullptr;
    int rc = to_numeric(a, &raw);
    KalOwned<IKalText> na(raw);
    if (rc != kKalOk) return rc;
    raw = nullptr;
    rc = to_numeric(b, &raw);
    KalOwned<IKalText> nb(raw);
    if (rc != kKalOk) return rc;
    *pEqual = na->equals(nb.get());
    return kKalOk;
  }

  int transport_available(int protocol, bool* pAvailable) const override {
    return shared_transport_available(protocol, pAvailable);
  }
};

// getaddrinfo/getnameinfo with numeric-only flags.
class CKalResolverAddressService final : public CKalAddressServiceBase {
 public:
  int get_protocol(const char* text, EProtocol* pProtocol) const override {
    if (!text || !pProtocol) return kKalErrInvalidArg;
    *pProtocol = IKalNetworkAddress::Unknown;
    if (kal_read_ipx_text(text, nullptr, nullptr)) {
      *pProtocol = IKalNetworkAddress::IPX;
      return kKalOk;
    }
    if (kal_read_ipv4_decimal(text, nullptr)) {
      *pProtocol = IKalNetworkAddress::IPv4;
      return kKalOk;
    }
    LibraryScope library;
    if (library.status() != kKalOk) return library.status();
    return NKalSocketAPI::numeric_protocol(text, pProtocol);
  }

  int to_numeric(const char* text, IKalText** ppOut) const override {
    if (!text || !ppOut) return kKalErrInvalidArg;
    *ppOut = nullptr;
    EProtocol protocol = IKalNetworkAddress::Unknown;
    if (int rc = get_protocol(text, &protocol); rc != kKalOk) return rc;
    if (protocol == IKalNetworkAddress::IPX) return new_text(text, ppOut);
    // Four decimal numbers are read as decimal, as the legacy service and the
    // datagram socket read them; the resolver would take 010 as octal and
    // send to another host than the one the text names.
    if (uint8_t o[4]; kal_read_ipv4_decimal(text, o)) return print_ipv4(o, ppOut);
    LibraryScope library;
    if (library.status() != kKalOk) return library.status();
    char host[1025];
    if (int rc = NKalSocketAPI::numeric_host(text, host, sizeof host); rc != kKalOk) return rc;
    return new_text(host, ppOut);
  }
};

// IPv4 dotted decimal and IPX only, read without any socket call.
class CKalLegacyAddressService final : public CKalAddressServiceBase {
 public:
  int get_protocol(const char* text, EProtocol* pProtocol) const override {
    if (!text || !pProtocol) return kKalErrInvalidArg;
    *pProtocol = IKalNetworkAddress::Unknown;
    if (kal_read_ipv4_decimal(text, nullptr)) {
      *pProtocol = IKalNetworkAddress::IPv4;
    } else if (kal_read_ipx_text(text, nullptr, nullptr)) {
      *pProtocol = IKalNetworkAddress::IPX;
    } else {
      return kKalErrNoData;
    }
    return kKalOk;
  }

  int to_numeric(const char* text, IKalText** ppOut) const override {
    if (!text || !ppOut) return kKalErrInvalidArg;
    *ppOut = nullptr;
    if (uint8_t o[4]; kal_read_ipv4_decimal(text, o)) return print_ipv4(o, ppOut);
    if (kal_read_ipx_text(text, nullptr, nullptr)) return new_text(text, ppOut);
    return kKalErrNoData;
  }
};

std::mutex g_service_lock;
IKalAddressService* g_service = nullptr;

// The process-wide service, made on first use. *pStatus: 0 or kKalErrNoMemory.
IKalAddressService* service(int* pStatus) {
  std::lock_guard<std::mutex> hold(g_service_lock);
  if (!g_service) {
    const EKalAddressServiceKind kind = NKalSocketAPI::has_resolver()
                                            ? EKalAddressServiceKind::kResolver
                                            : EKalAddressServiceKind::kLegacy;
    g_service = kal_create_address_service(kind, nullptr);
    if (!g_service) return kal_fail<IKalAddressService>(pStatus, kKalErrNoMemory);
  }
  kal_set_status(pStatus, kKalOk);
  return g_service;
}

}  // namespace

IKalAddressService* kal_create_address_service(EKalAddressServiceKind kind, int* pStatus) {
  IKalAddressService* made = nullptr;
  switch (kind) {
    case EKalAddressServiceKind::kResolver:
      made = kal_new<CKalResolverAddressService>();
      break;
    case EKalAddressServiceKind::kLegacy:
      made = kal_new<CKalLegacyAddressService>();
      break;
    default:
      return kal_fail<IKalAddressService>(pStatus, kKalErrInvalidArg);
  }
  if (!made) return kal_fail<IKalAddressService>(pStatus, kKalErrNoMemory);
  kal_set_status(pStatus, kKalOk);
  return made;
}

int kal_address_to_numeric(const char* text, IKalText** ppOut) {
  int rc = kKalOk;
  IKalAddressService* s = service(&rc);
  return s ? s->to_numeric(text, ppOut) : rc;
}

int kal_address_is_address(const char* text, bool* pIs) {
  int rc = kKalOk;
  IKalAddressService* s = service(&rc);
  return s ? s->is_address(text, pIs) : rc;
}

int kal_address_get_protocol(const char* text, IKalNetworkAddress::EProtocol* pProtocol) {
  int rc = kKalOk;
  IKalAddressService* s = service(&rc);
  return s ? s->get_protocol(text, pProtocol) : rc;
}

int kal_address_compare(const char* a, const char* b, bool* pEqual) {
  int rc = kKalOk;
  IKalAddressService* s = service(&rc);
  return s ? s->compare(a, b, pEqual) : rc;
}

int kal_address_transport_available(int protocol, bool* pAvailable) {
  int rc = kKalOk;
  IKalAddressService* s = service(&rc);
  return s ? s->transport_available(protocol, pAvailable) : rc;
}

int kal_address_service_force_for_testing(EKalAddressServiceKind kind) {
  IKalAddressService* made = kal_create_address_service(kind, nullptr);
  if (!made) return kKalErrNoMemory;
  std::lock_guard<std::mutex> hold(g_service_lock);
  if (g_service) g_service->release();
  g_service = made;
  return kKalOk;
}

void kal_address_service_reset_for_testing() {
  std::lock_guard<std::mutex> hold(g_service_lock);
  if (g_service) g_service->release();
  g_service = nullptr;
}
