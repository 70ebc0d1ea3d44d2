#include "options/sorrel5_option.h"

#include <cstring>

#include "common/owned.h"
#include "common/status.h"
#include "common/text_copy.h"
#include "facade/get_data.h"
#include "log/log.h"
#include "options/option_text.h"

namespace {

const char kSysObjectId[] = "1.3.6.1.2.1.1.2";

}  // namespace

CZelSorrel5Option::CZelSorrel5Option() : m_szModelId{} {}
CZelSorrel5Option::CZelSorrel5Option(const CZelSorrel5Option& other) = default;
CZelSorrel5Option& CZelSorrel5Option::operator=(const CZelSorrel5Option& other) = default;
CZelSorrel5Option::~CZelSorrel5Option() = default;

int CZelSorrel5Option::Init(IKalNetworkAddress::EProtocol protocol, const char* address,
                            IZelPluginUSM* usm, uint32_t timeout_ms, uint32_t retries,
                            uint32_t max_message_size) {
  const int rc =
      CZelDevCommOption::Init(protocol, address, usm, timeout_ms, retries, max_message_size);
  if (rc != kKalOk) return rc;
  return is_supported_device();
}

int CZelSorrel5Option::is_supported_device() {
  int rc = kKalOk;
  KalOwned<IKalGetData> request(create_request(&rc));
  if (!request) return rc;
  // The address text must be of the protocol the caller named: a request
  // built from a mismatched pair would go nowhere sensible.
  // A text that is no numeric address at all ("localhost", "", "[fd77::11]",
  // "10.77.0.11:161") is as wrong an argument as one of another protocol:
  // the resolver refuses it with kKalErrGeneral, the legacy service with
  // kKalErrNoData, and the caller hears -2 for both.
  IKalNetworkAddress::EProtocol classified = IKalNetworkAddress::Unknown;
  rc = request->get_protocol(m_szAddress, &classified);
  if (rc == kKalErrGeneral || rc == kKalErrNoData) return kKalErrInvalidArg;
  if (rc != kKalOk) return rc;
  if (classified != m_eProtocol) return kKalErrInvalidArg;
  rc = init_request(request.get());
  if (rc != kKalOk) {
    zel_log(kKalLogError, "%s: %d", "pGetData->init()", rc);
    return rc;
  }
  rc = request->add_oid_string(kSysObjectId, true);
  if (rc != kKalOk) {
    zel_log(kKalLogError, "%s: %d", "pGetData->add_oid_string()", rc);
    return rc;
  }
  char object_id[kModelIdSize] = "";
  rc = request->get_data(object_id, sizeof(object_id));
  if (rc != kKalOk) {
    zel_log(kKalLogError, "%s: %d", "pGetData->get_data()", rc);
    return rc;
  }
  kal_copy_text(m_szModelId, object_id);
  return zel_is_family_object_id(object_id) ? kKalOk : kKalErrInvalidArg;
}

bool CZelSorrel5Option::is_supported_OID(const char* oid) {
  if (!oid) return true;
  return std::strncmp(m_szModelId, oid, std::strlen(oid)) == 0;
}

int CZelSorrel5Option::get_option(const char* key, const char** out, int index) {
  if (!key || !out) return kKalErrInvalidArg;
  return CZelDevCommOption::get_option(key, out, index);
}

int CZelSorrel5Option::get_option(const char* key, long* out, int index) {
  if (!key || !out) return kKalErrInvalidArg;
  return CZelDevCommOption::get_option(key, out, index);
}

int CZelSorrel5Option::get_option(const char* key, bool* out, int index) {
  if (!key || !out) return kKalErrInvalidArg;
  return CZelDevCommOption::get_option(key, out, index);
}
