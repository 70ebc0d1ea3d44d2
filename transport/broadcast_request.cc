// Broadcast requests: BroadcastRequest collects the answers; the session's
// send_broad_cast_sync opens the socket, encodes once and hands out the list.
#include "transport/broadcast_request.h"

#include <cstring>

#include "common/network_address.h"
#include "common/owned.h"
#include "log/log.h"
#include "snmp/codec_buffer.h"
#include "snmp/codec_service.h"
#include "snmp/packet.h"
#include "snmp/pdu.h"
#include "snmp/target.h"
#include "transport/datagram_socket.h"
#include "transport/request_id.h"
#include "transport/request_session.h"
#include "transport/socket_api.h"

namespace {

const char* printable(const char* text) { return text ? text : ""; }

// The IPX network number is the first 8 hexadecimal digits of the address
// text ("nnnnnnnn:hhhhhhhhhhhh").
constexpr size_t kIpxNetworkDigits = 8;

// Logs "[%s] exit." on every way out of the session's broadcast.
class ExitLine {
 public:
  explicit ExitLine(const char* name) : name_(name) {
    kal_log(kKalModuleSnmp, kKalLogTrace, "[%s] enter.", name_);
  }
  ~ExitLine() { kal_log(kKalModuleSnmp, kKalLogTrace, "[%s] exit.", name_); }
  ExitLine(const ExitLine&) = delete;
  ExitLine& operator=(const ExitLine&) = delete;

 private:
  const char* name_;
};

// Reads the header of the datagram `raw` from `source` (which has text) and,
// when it carries the request's ID, the whole message, which is appended to
// `list` when it is the expected answer. 0 when appended; kKalErrNoMemory;
// otherwise the reason it was dropped (logged at Debug).
int read_answer(IKasSnmpPacketList* list, IKasMessageBuffer* raw,
                const IKalNetworkAddress* source,
                const KasBroadcastExpectation& expected) {
  const char* host = source->text();
  // The header alone first: a datagram that answers another request (or
  // none) costs no decoding of its bindings.
  int32_t error_status = 0;
  int32_t request_id = 0;
  int rc = kas_codec_service()->peek(raw, &error_status, &request_id,
                                     kKasTargetCommunity);
  if (rc == kKalOk && request_id != expected.request_id) {
    kal_log(kKalModuleSnmp, kKalLogDebug,
            "broad cast: drop answer to another request from %s.", host);
    return kKasErrOtherRequest;
  }
  if (rc == kKalOk) {
    kal_log(kKalModuleSnmp, kKalLogDebug,
            "broad cast: receive from new address:%s", host);
    rc = add_broadcast_answer(list, raw, source, &expected);
  }
  if (rc == kKalOk || rc == kKalErrNoMemory) return rc;
  if (rc == kKasErrOtherRequest) {
    kal_log(kKalModuleSnmp, kKalLogDebug,
            "broad cast: drop message that is no response of this version "
            "from %s.",
            host);
  } else {
    kal_log(kKalModuleSnmp, kKalLogDebug,
            "broad cast: drop undecodable answer from %s. error=%d.", host, rc);
  }
  return rc;
}

}  // namespace

bool kas_broadcast_source_passes(const IKalNetworkAddress* destination,
                                 const IKalNetworkAddress* source) {
  if (!destination || !source) return false;
  if (destination->get_protocol() != IKalNetworkAddress::IPX) return true;
  const char* to = destination->text();
  const char* from = source->text();
  if (!to || !from) return false;
  if (std::strncmp(to, "00000000", kIpxNetworkDigits) == 0) return true;
  return std::strlen(to) >= kIpxNetworkDigits &&
         std::strlen(from) >= kIpxNetworkDigits &&
         std::strncmp(to, from, kIpxNetworkDigits) == 0;
}

int search_new_packet(IKasSnmpPacketList* list,
                      const IKalNetworkAddress* source,
                      IKasSnmpPacket** ppFound) {
  if (ppFound) *ppFound = nullptr;
  if (!list || !source || !ppFound) return kKalErrInvalidArg;
  int rc = kKalOk;
  KalOwned<IKasListCursor> cursor(list->new_cursor(&rc));
  if (!cursor) return rc;
  for (IKasSnmpPacket* packet = list->current(cursor.get()); packet;
       list->next(cursor.get()), packet = list->current(cursor.get())) {
    const IKasSnmpTarget* target = packet->get_target();
    const IKalNetworkAddress* address =
        target ? target->get_address() : nullptr;
    if (address && address->equals(source)) {
      *ppFound = packet;
      return kKalOk;
    }
  }
  return kKalOk;
}

int add_broadcast_answer(IKasSnmpPacketList* list, IKasMessageBuffer* raw,
                         const IKalNetworkAddress* source,
                         const KasBroadcastExpectation* expected) {
  if (!list || !raw || !source) return kKalErrInvalidArg;
  int rc = kKalOk;
  KalOwned<IKasSnmpPacket> packet(kas_create_packet(&rc));
  if (!packet) return rc;
  IKasCommunityTarget* target = kas_create_community_target(&rc);
  if (!target) return rc;
  packet->set_target(target);
  IKasPdu* pdu = kas_create_pdu(&rc);
  if (!pdu) return rc;
  packet->set_pdu(pdu);
  rc = kas_codec_service()->decode(raw, pdu, target, kKasTargetCommunity);
  if (rc != kKalOk) return rc;
  if (expected &&
      (pdu->get_type() != kKasPduResponse ||
       pdu->get_request_id() != expected->request_id ||
       target->get_version() != expected->version))
    return kKasErrOtherRequest;
  rc = target->set_address(source);
  if (rc != kKalOk) return rc;
  return list->push_back(packet.detach());
}

int BroadcastRequest::prepare() {
  const size_t length = static_cast<size_t>(
      request_->base() + request_->size() - request_->data());
  CKasMessageView sent(request_->data(), length);
  int32_t error_status = 0;
  int rc = kas_codec_service()->peek(&sent, &error_status,
                                     &expected_.request_id,
                                     kKasTargetCommunity);
  if (rc != kKalOk) return rc;
  expected_.version = target_->get_version();
  cap_logged_ = false;
  return sources_.prepare(target_->get_address());
}

int BroadcastRequest::run() {
  int rc = prepare();
  if (rc != kKalOk) return rc;
  const int32_t retries = target_->get_retries();
  for (int64_t attempt = 0; attempt <= int64_t{retries}; ++attempt) {
    rc = try_once(static_cast<int>(attempt));
    if (rc != kKalOk && rc != kKasErrTimeout) return rc;
  }
  return kKalOk;
}

int BroadcastRequest::try_once(int attempt) {
  kal_log(kKalModuleSnmp, kKalLogDebug, "broad cast: try %d.", attempt);
  const size_t length = static_cast<size_t>(
      request_->base() + request_->size() - request_->data());
  // The window opens with the try, not when the send returns: handing a
  // broadcast to a crowded LAN can take the kernel a good part of a second,
  // and the caller's budget is the time-out per try.
  const uint32_t opened = NKalSocketAPI::tick_count();
  const int rc =
      socket_->send(request_->data(), length, target_->get_address());
  if (rc != kKalOk) return rc;
  return collect_window(opened);
}

int BroadcastRequest::collect_window(uint32_t opened) {
  // A time-out of 0 or less leaves no time to wait: the window is a single
  // poll of what has already arrived. Every wait is what is left of the
  // window after the send and the datagrams before, so that neither a slow
  // send nor a flood stretches the caller's budget. Unsigned tick arithmetic
  // keeps the difference right when the counter wraps.
  const int32_t timeout = target_->get_timeout();
  const uint32_t length = timeout > 0 ? static_cast<uint32_t>(timeout) : 0;
  uint32_t elapsed = NKalSocketAPI::tick_count() - opened;
  for (;;) {
    const int32_t remaining =
        elapsed >= length ? 0 : static_cast<int32_t>(length - elapsed);
    size_t got = 0;
    IKalNetworkAddress* raw_from = nullptr;
    int rc = socket_->receive(receive_buffer_, capacity_, remaining, &got,
                              &raw_from);
    KalOwned<IKalNetworkAddress> source(raw_from);
    if (rc != kKalOk) return rc;  // kKasErrTimeout closes the window normally
    CKasMessageView raw(receive_buffer_, got);
    rc = take_datagram(&raw, source.get());
    if (rc != kKalOk) return rc;
    elapsed = NKalSocketAPI::tick_count() - opened;
    if (elapsed >= length) return kKalOk;
  }
}

int BroadcastRequest::take_datagram(IKasMessageBuffer* raw,
                                    const IKalNetworkAddress* source) {
  // Cheapest checks first: a flood costs a string compare and a hash look-up
  // per datagram until one reads like the answer to this request.
  const char* host = source ? source->text() : nullptr;
  if (!host || !sources_.passes(source)) return kKalOk;
  bool answered = false;
  int rc = sources_.answered(host, &answered);
  if (rc != kKalOk) {
    kal_log(kKalModuleSnmp, kKalLogError,
            "[RequestSession::send_broad_cast_sync] fail search_new_packet().");
    return rc;
  }
  // A host already answered keeps its first answer (a retry's answer repeats
  // it; another source port of the same host is the same device).
  if (answered) return kKalOk;
  if (sources_.full()) {
    if (!cap_logged_) {
      kal_log(kKalModuleSnmp, kKalLogWarn,
              "broad cast: %zu addresses answered; answers from further "
              "addresses are dropped.",
              sources_.count());
      cap_logged_ = true;
    }
    return kKalOk;
  }
  rc = read_answer(list_, raw, source, expected_);
  if (rc == kKalOk) return sources_.add(host);
  return rc == kKalErrNoMemory ? rc : kKalOk;
}

int RequestSession::send_broad_cast_sync(IKasSnmpPacket* packet,
                                         IKasSnmpPacketList** ppList) {
  if (!packet) {
    if (ppList) *ppList = nullptr;
    return kKalErrInvalidArg;
  }
  return send_broad_cast_sync(packet->get_pdu(), packet->get_target(), ppList);
}

int RequestSession::send_broad_cast_sync(IKasPdu* pdu, IKasSnmpTarget* target,
                                         IKasSnmpPacketList** ppList) {
  ExitLine exit_line("RequestSession::send_broad_cast_sync");
  if (ppList) *ppList = nullptr;
  if (!pdu || !target || !ppList || !target->get_address())
    return kKalErrInvalidArg;
  // The answers get community targets; a request of another kind has no
  // answers of that kind to collect.
  if (target->get_kind() != kKasTargetCommunity) return kKalErrInvalidArg;
  int rc = open_socket(target);
  if (rc != kKalOk) return rc;
  rc = socket()->set_broadcast(true);
  if (rc != kKalOk) return rc;

  KalOwned<IKasMessageBuffer> request(kas_create_message_buffer(&rc));
  if (!request) return rc;
  pdu->set_request_id(static_cast<int32_t>(kas_draw_request_id()));
  rc = kas_codec_service()->encode(pdu, target, request.get());
  if (rc != kKalOk) return rc;
  KalOwned<IKasSnmpPacketList, KalCallDestroy> list(
      kas_create_packet_list(&rc));
  if (!list) return rc;

  const IKalNetworkAddress* destination = target->get_address();
  kal_log(kKalModuleSnmp, kKalLogInfo,
          "broad cast: timeout= %d, retries=%d, destination=%s",
          target->get_timeout(), target->get_retries(),
          printable(destination->text()));
  BroadcastRequest broadcast(socket(), request.get(), target, list.get(),
                             receive_buffer_, sizeof receive_buffer_);
  rc = broadcast.run();
  if (rc != kKalOk) {
    kal_log(kKalModuleSnmp, kKalLogError, "broad cast: error=%d.", rc);
    return rc;
  }
  *ppList = list.detach();
  return kKalOk;
}
