// TODO: this stand-in goes when the request object lands in
// facade/get_data.cc. Until then no exchange can be made: every caller sees
// a failed creation and logs "kal_create_get_data()".
#include "common/owned.h"
#include "facade/get_data.h"

IKalGetData* kal_create_get_data(int* pStatus) {
  return kal_fail<IKalGetData>(pStatus, kKalErrNotSupported);
}
