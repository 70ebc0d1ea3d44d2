// The exchange of the SNMPv1/v2c session: encoding, tries, the waiting
// window and the checks of received datagrams. The split and merge of
// oversized requests are in request_session_fragment.cc, broadcasts in
// broadcast_request.cc.
#include "transport/request_session.h"

#include <cstdint>
#include <cstring>

#include "common/network_address.h"
#include "common/owned.h"
#include "common/secret.h"
#include "log/log.h"
#include "snmp/codec_buffer.h"
#include "snmp/codec_service.h"
#include "snmp/packet.h"
#include "snmp/pdu.h"
#include "snmp/target.h"
#include "transport/datagram_socket.h"
#include "transport/group_address.h"
#include "transport/request_id.h"
#include "transport/socket_api.h"

namespace {

const char* printable(const char* text) { return text ? text : ""; }

size_t message_length(IKasMessageBuffer* buffer) {
  return static_cast<size_t>(buffer->base() + buffer->size() - buffer->data());
}

// The length the message of `pdu` would have without the target's size
// limit, or 0 when it cannot be measured. The target's limit is lifted for
// this one encoding and put back.
size_t measure_message(const IKasPdu* pdu, IKasSnmpTarget* target) {
  KalOwned<IKasMessageBuffer> scratch(kas_create_message_buffer());
  if (!scratch) return 0;
  const size_t limit = target->get_max_message_size();
  target->set_max_message_size(kKasLargestDatagram);
  const int rc = kas_codec_service()->encode(pdu, target, scratch.get());
  target->set_max_message_size(limit);
  return rc == kKalOk ? message_length(scratch.get()) : 0;
}

// As IKalNetworkAddress::equals, but the usual case (the answer comes from
// the destination as written) is settled without the address service, which
// makes two texts per comparison.
bool same_address(const IKalNetworkAddress* source,
                  const IKalNetworkAddress* destination) {
  const char* a = source->text();
  const char* b = destination->text();
  if (a && b && std::strcmp(a, b) == 0 &&
      source->get_protocol() == destination->get_protocol() &&
      (destination->get_port() == 0 ||
       destination->get_port() == source->get_port())) {
    return true;
  }
  return source->equals(destination);
}

size_t ceil_div(size_t a, size_t b) { return a / b + (a % b != 0 ? 1 : 0); }

int clamp_count(size_t n) {
  return n > INT32_MAX ? INT32_MAX : static_cast<int>(n);
}

}  // namespace

RequestSession* kas_create_request_session(int* pStatus) {
  RequestSession* session = kal_new<RequestSession>();
  if (!session) return kal_fail<RequestSession>(pStatus, kKalErrNoMemory);
  kal_set_status(pStatus, kKalOk);
  return session;
}

RequestSession::~RequestSession() {
  if (socket_) socket_->release();
  if (request_buffer_) request_buffer_->release();
  if (answer_target_) answer_target_->release();
  if (answer_scratch_) answer_scratch_->release();
  if (source_) source_->release();
  // Answers echo the community: none may outlive the session in freed memory.
  kal_wipe(receive_buffer_, sizeof receive_buffer_);
}

void RequestSession::release() { delete this; }

int RequestSession::not_supported() { return kKalErrNotSupported; }

int RequestSession::send_sync(IKasSnmpPacket* packet) {
  if (!packet) return kKalErrInvalidArg;
  return send_sync(packet->get_pdu(), packet->get_target());
}

int RequestSession::send_sync(IKasPdu* pdu, IKasSnmpTarget* target) {
  if (!pdu || !target || !target->get_address()) return kKalErrInvalidArg;
  int rc = reuse_or_open_socket(target);
  if (rc != kKalOk) return rc;
  int fragments = 0;
  rc = _send_and_receive(pdu, target, &fragments);
  if (fragments != 0) rc = fragment_process(pdu, target, fragments);
  // After a failure the next request starts on a fresh socket: nothing a
  // silent or broken exchange left behind can reach it.
  if (rc != kKalOk) reusable_ = false;
  return rc;
}

int RequestSession::send_sync_into(IKasPdu* request, IKasSnmpTarget* target,
                                   IKasPdu* answer) {
  if (!request || !answer || request == answer || !target ||
      !target->get_address()) {
    return kKalErrInvalidArg;
  }
  int rc = reuse_or_open_socket(target);
  if (rc != kKalOk) return rc;
  int fragments = 0;
  answer_into_ = answer;
  rc = _send_and_receive(request, target, &fragments);
  answer_into_ = nullptr;
  if (fragments != 0) {
    // The split and merge work on one PDU, as send_sync's do: the request
    // as it was sent, copied into `answer`.
    rc = answer->assign(request);
    if (rc == kKalOk) rc = fragment_process(answer, target, fragments);
  }
  if (rc != kKalOk) reusable_ = false;
  return rc;
}

int RequestSession::reuse_or_open_socket(const IKasSnmpTarget* target) {
  if (!target || !target->get_address()) return kKalErrInvalidArg;
  const int protocol = target->get_address()->get_protocol();
  const uint16_t port = target->get_local_port();
  if (socket_ && reusable_ && protocol == socket_protocol_ &&
      port == socket_port_) {
    return kKalOk;
  }
  const int rc = open_socket(target);
  if (rc != kKalOk) return rc;
  reusable_ = true;
  socket_protocol_ = protocol;
  socket_port_ = port;
  return kKalOk;
}

int RequestSession::open_socket(const IKasSnmpTarget* target) {
  reusable_ = false;
  if (socket_) {
    socket_->release();
    socket_ = nullptr;
  }
  if (!target || !target->get_address()) return kKalErrInvalidArg;
  const int protocol = target->get_address()->get_protocol();
  const uint16_t port = target->get_local_port();
  return port == 0 ? DataGramSocket::create(protocol, &socket_)
                   : DataGramSocket::create(protocol, port, &socket_);
}

int RequestSession::fragments_for(size_t n, size_t k, size_t length,
                                  size_t max_size) {
  // With nothing that fits, or nothing to split, no number of pieces helps;
  // and a target without a size limit cannot divide a message at all.
  if (k == 0 || n == 0 || max_size == 0) return 0;
  if (length > max_size) return clamp_count(ceil_div(length, max_size));
  if (k == n) return 2;
  return clamp_count(ceil_div(n, k));
}

int RequestSession::encode_request(IKasPdu* pdu, IKasSnmpTarget* target,
                                   IKasMessageBuffer* request,
                                   int* pFragments) {
  *pFragments = 0;
  if (!pdu || !target || !request) return kKalErrInvalidArg;
  pdu->set_request_id(static_cast<int32_t>(kas_draw_request_id()));
  size_t written = 0;
  const int rc = kas_codec_service()->encode(pdu, target, request, &written);
  const size_t max_size = target->get_max_message_size();
  if (rc == kKasErrTooLarge) {
    // The encoder writes into a buffer of exactly the target's maximum size,
    // so it cannot say how long the whole message is. Measure it once
    // without the limit: the split then follows the real size and is made
    // before anything is sent.
    const size_t length =
        max_size != 0 && written != 0 ? measure_message(pdu, target) : 0;
    *pFragments =
        fragments_for(pdu->binding_count(), written, length, max_size);
    return rc;
  }
  if (rc != kKalOk) return rc;
  const size_t length = message_length(request);
  if (length > max_size) {
    *pFragments = fragments_for(pdu->binding_count(), pdu->binding_count(),
                                length, max_size);
    return kKasErrTooLarge;
  }
  return kKalOk;
}

int RequestSession::_send_and_receive(IKasPdu* pdu, IKasSnmpTarget* target,
                                      int* pFragments) {
  *pFragments = 0;
  if (!pdu || !target || !target->get_address() || !socket_)
    return kKalErrInvalidArg;
  int rc = kKalOk;
  // One buffer for every request of the session: it grows to the largest
  // message size asked for and is never shrunk.
  if (!request_buffer_) {
    request_buffer_ = kas_create_message_buffer(&rc);
    if (!request_buffer_) return rc;
  }
  if (!answer_target_) {
    answer_target_ = kas_create_target(kKasTargetCommunity, &rc);
    if (!answer_target_) return rc;
  }
  if (!answer_scratch_) {
    answer_scratch_ = kas_create_pdu(&rc);
    if (!answer_scratch_) return rc;
  }
  if (!source_) {
    source_ = kal_create_network_address(&rc);
    if (!source_) return rc;
  }
  IKasMessageBuffer* request = request_buffer_;
  rc = encode_request(pdu, target, request, pFragments);
  if (rc != kKalOk) return rc;

  const int32_t timeout = target->get_timeout();
  const int32_t retries = target->get_retries();
  kal_log(kKalModuleSnmp, kKalLogInfo,
          "_send_and_receive(): timeout= %d, retries=%d", timeout, retries);
  // A negative retry count allows no try at all: nothing answers.
  int status = kKasErrTimeout;
  const IKalNetworkAddress* from = nullptr;
  for (int64_t attempt = 0; attempt < int64_t{retries} + 1; ++attempt) {
    status = try_once(static_cast<int>(attempt), request, target, pdu, &from);
    if (status != kKasErrTimeout && status != kKasErrOtherRequest &&
        status != kKasErrUndecodable) {
      break;
    }
  }
  if (status == kKalOk) settle_destination(target, from);
  if (status == kKasErrTooBig) *pFragments = 2;
  return status;
}

void RequestSession::settle_destination(IKasSnmpTarget* target,
                                        const IKalNetworkAddress* source) {
  const IKalNetworkAddress* destination = target->get_address();
  if (!source || same_address(source, destination)) return;
  // A multi-homed agent may answer from another interface: the answer is
  // taken, but it must not steer later requests (and their community) to
  // whoever answered. Only a request to a group address learns its agent
  // from the answer.
  const bool group = kas_is_group_address(destination);
  kal_log(kKalModuleSnmp, kKalLogWarn,
          "_send_and_receive(): answer from %s, request sent to %s%s.",
          printable(source->text()), printable(destination->text()),
          group ? "" : " (destination kept)");
  if (!group) return;
  IKalNetworkAddress* copy = nullptr;
  if (source->clone(&copy) == kKalOk && copy) target->adopt_address(copy);
}

int RequestSession::try_once(int attempt, IKasMessageBuffer* request,
                             const IKasSnmpTarget* target, IKasPdu* pdu,
                             const IKalNetworkAddress** ppFrom) {
  const IKalNetworkAddress* destination = target->get_address();
  kal_log(kKalModuleSnmp, kKalLogDebug,
          "_send_and_receive(): try %d, destination=%s", attempt,
          printable(destination ? destination->text() : nullptr));
  // Every try resends the same octets, and so the same request ID.
  const int rc =
      socket_->send(request->data(), message_length(request), destination);
  if (rc != kKalOk) return rc;
  return wait_for_response(pdu, target->get_version(), target->get_timeout(),
                           ppFrom);
}

int RequestSession::wait_for_response(IKasPdu* pdu, int32_t version,
                                      int32_t timeout_ms,
                                      const IKalNetworkAddress** ppFrom) {
  *ppFrom = nullptr;
  // A time-out of 0 or less leaves no time to wait: the window is a single
  // poll of what has already arrived.
  int32_t remaining = timeout_ms > 0 ? timeout_ms : 0;
  uint32_t noted = NKalSocketAPI::tick_count();
  for (;;) {
    size_t got = 0;
    int rc = socket_->receive_into(receive_buffer_, sizeof receive_buffer_,
                                   remaining, &got, source_);
    if (rc == kKasErrTimeout) {
      kal_log(kKalModuleSnmp, kKalLogError,
              "_send_and_receive(): receive timeout.");
      return rc;
    }
    if (rc != kKalOk) {
      kal_log(kKalModuleSnmp, kKalLogError, "_send_and_receive(): error=%d.",
              rc);
      return rc;
    }
    kal_log(kKalModuleSnmp, kKalLogDebug,
            "_send_and_receive(): receive from %s", printable(source_->text()));
    CKasMessageView raw(receive_buffer_, got);
    rc = check_and_decode(&raw, pdu, version, answer_target_, answer_scratch_,
                          answer_into_ ? answer_into_ : pdu);
    if (rc == kKasErrTooBig) {
      kal_log(kKalModuleSnmp, kKalLogDebug,
              "_send_and_receive(): receive packet is too big.");
      return rc;
    }
    if (rc != kKasErrOtherRequest && rc != kKasErrUndecodable) {
      if (rc == kKalOk) *ppFrom = source_;
      return rc;
    }
    // Dropped: wait for what is left of the window. Unsigned tick
    // arithmetic keeps the difference right when the counter wraps.
    const uint32_t now = NKalSocketAPI::tick_count();
    const uint32_t elapsed = now - noted;
    noted = now;
    remaining = elapsed >= static_cast<uint32_t>(remaining)
                    ? 0
                    : remaining - static_cast<int32_t>(elapsed);
    if (remaining <= 0) return rc;
  }
}

namespace {

// The check of an answer's header against the request: 0, kKasErrTooBig, or
// kKasErrOtherRequest (logged).
int match_answer(const IKasPdu* pdu, int32_t request_id, int32_t error_status) {
  const uint32_t sent = static_cast<uint32_t>(pdu->get_request_id());
  const uint32_t received = static_cast<uint32_t>(request_id);
  if (sent == received)
    return error_status == kKasSnmpTooBig ? kKasErrTooBig : kKalOk;
  kal_log(kKalModuleSnmp, kKalLogDebug,
          "[RequestSession::check_received_raw_packet] request id not match. "
          "sended "
          "packet[%ud]:received packet[%ud].",
          sent, received);
  return kKasErrOtherRequest;
}

}  // namespace

namespace {

// Decodes `raw` into a PDU of its own (*answer; null when none could be
// made): a datagram that fails half-way must not leave half an answer in the
// caller's request. `target` (null: a temporary) receives the message's
// version and community.
int decode_alone(IKasMessageBuffer* raw, IKasSnmpTarget* target,
                 KalOwned<IKasPdu>* answer) {
  int rc = kKalOk;
  answer->reset(kas_create_pdu(&rc));
  if (!*answer) return rc;
  return kas_codec_service()->decode(raw, answer->get(), target,
                                     kKasTargetCommunity);
}

// decode_alone into a PDU kept for it: its header is set as a new PDU's
// (so that a decode that fails early leaves no earlier answer's type or
// request ID behind); its bindings are decoded into again.
int decode_into_scratch(IKasMessageBuffer* raw, IKasSnmpTarget* target,
                        IKasPdu* scratch) {
  scratch->set_type(kKasPduNone);
  scratch->set_request_id(0);
  scratch->set_error_status(0);
  scratch->set_error_index(0);
  return kas_codec_service()->decode(raw, scratch, target, kKasTargetCommunity);
}

// True when the decoder got as far as the PDU type (the version is read
// before it) and the datagram is no Response in a message of `version`:
// whatever its request ID, it answers nothing we sent (a request echoed
// back, a Report, a Trap, or an answer in another version).
bool other_kind_of_message(const IKasPdu* answer, const IKasSnmpTarget* target,
                           int32_t version) {
  const int type = answer->get_type();
  if (type == kKasPduNone || type < 0) return false;
  if (type == kKasPduResponse && target->get_version() == version) return false;
  kal_log(kKalModuleSnmp, kKalLogDebug,
          "[RequestSession::check_received_raw_packet] not an answer: pdu "
          "type %d, version %d (request id %d).",
          type, static_cast<int>(target->get_version()),
          static_cast<int>(answer->get_request_id()));
  return true;
}

}  // namespace

int RequestSession::check_received_raw_packet(const IKasPdu* pdu,
                                              IKasMessageBuffer* raw) {
  if (!pdu || !raw) return kKalErrInvalidArg;
  int32_t error_status = 0;
  int32_t request_id = 0;
  const int rc = kas_codec_service()->peek(raw, &error_status, &request_id,
                                           kKasTargetCommunity);
  if (rc != kKalOk) return rc;
  return match_answer(pdu, request_id, error_status);
}

int RequestSession::check_and_decode(IKasMessageBuffer* raw, IKasPdu* pdu,
                                     int32_t version,
                                     IKasSnmpTarget* answer_target) {
  if (!raw || !pdu) return kKalErrInvalidArg;
  int rc = kKalOk;
  KalOwned<IKasPdu> scratch(kas_create_pdu(&rc));
  if (!scratch) return rc;
  return check_and_decode(raw, pdu, version, answer_target, scratch.get(), pdu);
}

int RequestSession::check_and_decode(IKasMessageBuffer* raw, IKasPdu* pdu,
                                     int32_t version,
                                     IKasSnmpTarget* answer_target,
                                     IKasPdu* scratch, IKasPdu* into) {
  if (!raw || !pdu || !scratch || !into) return kKalErrInvalidArg;
  int rc = kKalOk;
  KalOwned<IKasSnmpTarget> temporary;
  if (!answer_target) {
    temporary.reset(kas_create_target(kKasTargetCommunity, &rc));
    if (!temporary) return rc;
    answer_target = temporary.get();
  }
  answer_target->set_version(kKasVersionNone);
  // The answer is read once: decoded whole, then its header is checked. Only
  // a datagram that does not decode is read again, header alone, so that it
  // is judged as check_received_raw_packet judges it (another request, a
  // tooBig answer, or no SNMP message at all). The PDU type and the version
  // are judged first, from what the decoder read, also when it failed later.
  rc = decode_into_scratch(raw, answer_target, scratch);
  if (other_kind_of_message(scratch, answer_target, version))
    return kKasErrOtherRequest;
  if (rc != kKalOk) {
    raw->set_data(raw->base());
    const int header = check_received_raw_packet(pdu, raw);
    return header != kKalOk ? header : rc;
  }
  rc = match_answer(pdu, scratch->get_request_id(), scratch->get_error_status());
  if (rc != kKalOk) return rc;
  // The bindings `into` held go to the scratch PDU: the next datagram is
  // decoded into them.
  IKasVarBindList* previous = into->detach_bindings();
  take_answer(scratch, into);
  scratch->set_bindings(previous);
  return kKalOk;
}

void RequestSession::take_answer(IKasPdu* answer, IKasPdu* pdu) {
  pdu->set_type(answer->get_type());
  pdu->set_request_id(answer->get_request_id());
  pdu->set_error_status(answer->get_error_status());
  pdu->set_error_index(answer->get_error_index());
  pdu->set_bindings(answer->detach_bindings());
}

int RequestSession::decode_response(IKasMessageBuffer* raw, IKasPdu* pdu) {
  if (!raw || !pdu) return kKalErrInvalidArg;
  KalOwned<IKasPdu> answer;
  const int rc = decode_alone(raw, nullptr, &answer);
  if (rc != kKalOk) return rc;
  take_answer(answer.get(), pdu);
  return kKalOk;
}
