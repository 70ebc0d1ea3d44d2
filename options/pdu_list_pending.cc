// TODO: this stand-in goes when the PDU list lands in snmp/. It is weak, so
// the real kas_create_pdu_list replaces it wherever both are linked; until
// then every walk of the refresh fails as if memory had run out.
#include "common/owned.h"
#include "snmp/packet.h"

__attribute__((weak)) IKasPduList* kas_create_pdu_list(int* pStatus) {
  return kal_fail<IKasPduList>(pStatus, kKalErrNoMemory);
}
