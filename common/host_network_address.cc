#include "common/host_network_address.h"

#include "common/host_network.h"
#include "common/owned.h"
#include "common/status.h"

int kal_local_address_towards(const IKalNetworkAddress* pDestination,
                              IKalNetworkAddress** ppLocal) {
  if (!pDestination || !ppLocal) return kKalErrInvalidArg;
  if (pDestination->get_protocol() != IKalNetworkAddress::IPv4) return kKalErrNotSupported;
  char local[16];
  const int rc = kal_local_address_text(IKalNetworkAddress::IPv4, pDestination->text(), local,
                                        sizeof local);
  if (rc != kKalOk) return rc;
  int status = kKalOk;
  IKalNetworkAddress* out = kal_create_network_address(local, pDestination->get_protocol(),
                                                       pDestination->get_port(), &status);
  if (!out) return status;
  *ppLocal = out;
  return kKalOk;
}
