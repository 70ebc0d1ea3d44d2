// The process-wide address service: classifies, normalises and compares
// numeric address texts, and answers whether this host can use a protocol.
// Address texts are always numeric: no entry point ever resolves a host name.
//
// Two implementations exist. The resolver one (IPv4, IPv6, IPX) uses
// getaddrinfo/getnameinfo with numeric-only flags through the socket function
// table; the legacy one (IPv4 and IPX only) reads the texts itself. The
// service is made on first use, once, under a process-wide lock: the
// resolver one when the socket table has the resolver functions, else the
// legacy one. It keeps no mutable state, so every entry point may run on any
// thread at once. A failed creation answers kKalErrNoMemory and the next call
// tries again.
#ifndef COMMON_ADDRESS_SERVICE_H_
#define COMMON_ADDRESS_SERVICE_H_

#include "common/network_address.h"
#include "common/text.h"

class IKalAddressService {
 public:
  virtual void release() = 0;
  // *ppOut receives a new text object (caller owns) with the numeric form:
  // IPv4 in plain dotted decimal, IPv6 in the canonical compressed form, IPX
  // copied unchanged. Answers 0; kKalErrInvalidArg for null arguments; the
  // get_protocol error; kKalErrGeneral when the resolver fails;
  // kKalErrNoData (legacy) for a text it does not know; kKalErrNoMemory.
  virtual int to_numeric(const char* text, IKalText** ppOut) const = 0;
  // *pIs: whether get_protocol gives a non-zero protocol; a classification
  // failure is answered as the status.
  virtual int is_address(const char* text, bool* pIs) const = 0;
  // *pProtocol: the protocol of the text (Unknown on failure). Answers 0;
  // kKalErrInvalidArg for null arguments; kKalErrGeneral when the resolver
  // rejects the text; kKalErrNoData (legacy) when the text is not an address.
  virtual int get_protocol(const char* text, IKalNetworkAddress::EProtocol* pProtocol) const = 0;
  // *pEqual: whether both numeric forms are byte-equal; the first to_numeric
  // failure is answered.
  virtual int compare(const char* a, const char* b, bool* pEqual) const = 0;
  // *pAvailable: whether this host can use the protocol. Answers 0,
  // kKalErrInvalidArg (null out), kKalErrNoMemory.
  virtual int transport_available(int protocol, bool* pAvailable) const = 0;
  virtual ~IKalAddressService() = default;
};

enum class EKalAddressServiceKind : int { kResolver = 0, kLegacy = 1 };

// A new, private service of the given kind (tests run both through the same
// cases). *pStatus (optional): 0, kKalErrInvalidArg, kKalErrNoMemory.
IKalAddressService* kal_create_address_service(EKalAddressServiceKind kind, int* pStatus = nullptr);

// Entry points on the process-wide service; each answers kKalErrNoMemory when
// the service cannot be made.
int kal_address_to_numeric(const char* text, IKalText** ppOut);
int kal_address_is_address(const char* text, bool* pIs);
int kal_address_get_protocol(const char* text, IKalNetworkAddress::EProtocol* pProtocol);
int kal_address_compare(const char* a, const char* b, bool* pEqual);
int kal_address_transport_available(int protocol, bool* pAvailable);

// Tests only: replaces the process-wide service with a new one of `kind`
// (answers 0 or kKalErrNoMemory), or with reset_for_testing drops it so the
// next call chooses again. No other thread may use the service meanwhile.
int kal_address_service_force_for_testing(EKalAddressServiceKind kind);
void kal_address_service_reset_for_testing();

#endif  // COMMON_ADDRESS_SERVICE_H_
