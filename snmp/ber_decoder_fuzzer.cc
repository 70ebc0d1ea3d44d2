// Decodes arbitrary bytes. Every input must give a documented status without
// reading outside the input (AddressSanitizer); a decoded message must
// encode again, and that encoding must decode to the same PDU and encode to
// the same octets.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "snmp/codec_test_util.h"

namespace {

bool documented(int rc) {
  return rc == kKalOk || rc == kKalErrInvalidArg || rc == kKalErrNoMemory ||
         rc == kKalErrNotSupported || rc == kKasErrUndecodable;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace codectest;  // NOLINT
  IKasCodecService* codec = kas_codec_service();
  KalOwned<IKasPdu> pdu(kas_create_pdu());
  KalOwned<IKasSnmpTarget> target(kas_create_target(kKasTargetCommunity));
  CKasMessageView view(data, size);
  const int rc = codec->decode(&view, pdu.get(), target.get(), kKasTargetCommunity);
  if (!documented(rc)) std::abort();
  if (rc != kKalOk) return 0;

  target->set_max_message_size(65536);
  KalOwned<IKasMessageBuffer> buffer(kas_create_message_buffer());
  const int enc = codec->encode(pdu.get(), target.get(), buffer.get());
  // What was decoded is encodable, except an object identifier with a single
  // arc, which the decoder cannot give (the first octet always yields two).
  if (enc != kKalOk) std::abort();
  const Bytes first(buffer->data(), buffer->base() + buffer->size());

  KalOwned<IKasPdu> again(kas_create_pdu());
  KalOwned<IKasSnmpTarget> target2(kas_create_target(kKasTargetCommunity));
  if (decode(first, again.get(), target2.get()) != kKalOk) std::abort();
  if (dump(again.get(), target2.get()) != dump(pdu.get(), target.get())) std::abort();
  target2->set_max_message_size(65536);
  int rc2 = 0;
  if (encode(again.get(), target2.get(), &rc2) != first) std::abort();
  return 0;
}
