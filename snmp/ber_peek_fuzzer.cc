// Peeks at arbitrary bytes: a documented status, no read outside the input,
// and agreement with a full decode on request-id and error-status whenever
// both succeed.
#include <cstdint>
#include <cstdlib>

#include "snmp/codec_test_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  IKasCodecService* codec = kas_codec_service();
  CKasMessageView view(data, size);
  int32_t error_status = 0, request_id = 0;
  const int rc = codec->peek(&view, &error_status, &request_id, kKasTargetCommunity);
  if (rc != kKalOk && rc != kKalErrInvalidArg && rc != kKalErrNoMemory &&
      rc != kKalErrNotSupported && rc != kKasErrUndecodable) {
    std::abort();
  }
  KalOwned<IKasPdu> pdu(kas_create_pdu());
  CKasMessageView again(data, size);
  if (codec->decode(&again, pdu.get(), nullptr, kKasTargetCommunity) == kKalOk) {
    if (rc != kKalOk) std::abort();
    if (pdu->get_type() != kKasPduTrap &&
        (pdu->get_request_id() != request_id || pdu->get_error_status() != error_status)) {
      std::abort();
    }
  }
  return 0;
}
