// TODO: this stand-in goes when the SNMPv3 session lands and defines
// kas_create_v3_request_session itself. Until then an SNMPv3 target reaches
// a session that cannot be made, and the dispatcher answers kKalErrNoMemory.
#include "common/owned.h"
#include "transport/request_session_base.h"

IKasRequestSession* kas_create_v3_request_session(int* pStatus) {
  return kal_fail<IKasRequestSession>(pStatus, kKalErrNoMemory);
}
