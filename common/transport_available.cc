// The transport-availability query in the exported interface's form.
#include "common/transport_available.h"

#include "common/address_service.h"
#include "common/owned.h"
#include "common/status.h"

bool kal_transport_available(int internal_protocol, int* pStatus) {
  bool available = false;
  const int rc = kal_address_transport_available(internal_protocol, &available);
  kal_set_status(pStatus, rc);
  return rc == kKalOk && available;
}
