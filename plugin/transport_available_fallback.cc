// TODO: temporary stand-in for the address service's transport query. It goes
// (with its line in plugin/CMakeLists.txt) as soon as common/ defines
// kal_transport_available; it is weak so that the real one wins meanwhile.
#include "common/status.h"
#include "common/transport_available.h"

__attribute__((weak)) bool kal_transport_available(int internal_protocol, int* pStatus) {
  (void)internal_protocol;
  if (pStatus) *pStatus = kKalErrNotSupported;
  return false;
}
