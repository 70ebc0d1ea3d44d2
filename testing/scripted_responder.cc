#include "testing/scripted_responder.h"

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "common/owned.h"
#include "snmp/codec_buffer.h"
#include "snmp/codec_service.h"
#include "snmp/pdu.h"
#include "snmp/target.h"
#include "snmp/value.h"

namespace zeltest {
namespace {

constexpr int kPollMs = 10;

// Binds a datagram socket on text:port; answers the fd or -1 with *error.
int bind_socket(const std::string& text, uint16_t port, uint16_t* bound,
                std::string* error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  hints.ai_flags = AI_NUMERICHOST | AI_PASSIVE;
  addrinfo* list = nullptr;
  const std::string service = std::to_string(port);
  if (getaddrinfo(text.c_str(), service.c_str(), &hints, &list) != 0 || !list) {
    if (error) *error = "not an address: " + text;
    return -1;
  }
  const int fd = socket(list->ai_family, SOCK_DGRAM, 0);
  if (fd < 0 || bind(fd, list->ai_addr, list->ai_addrlen) != 0) {
    if (error)
      *error =
          "cannot bind " + text + ":" + service + ": " + std::strerror(errno);
    if (fd >= 0) close(fd);
    freeaddrinfo(list);
    return -1;
  }
  freeaddrinfo(list);
  sockaddr_storage local{};
  socklen_t length = sizeof local;
  getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
  *bound = local.ss_family == AF_INET6
               ? ntohs(reinterpret_cast<sockaddr_in6*>(&local)->sin6_port)
               : ntohs(reinterpret_cast<sockaddr_in*>(&local)->sin_port);
  return fd;
}

void release_pdu(IKasPdu* pdu) {
  if (pdu) pdu->release();
}

// Encodes `pdu` as a Response for the request's version and community.
std::vector<uint8_t> encode_for(const ScriptedRequest& request,
                                const IKasPdu* pdu) {
  KalOwned<IKasCommunityTarget> target(kas_create_community_target());
  KalOwned<IKasMessageBuffer> buffer(kas_create_message_buffer());
  if (!target || !buffer) return {};
  target->set_version(request.version < 0 ? kKasVersion2c : request.version);
  target->set_community(request.community.c_str());
  target->set_max_message_size(65507);
  if (kas_codec_service()->encode(pdu, target.get(), buffer.get()) != kKalOk)
    return {};
  return std::vector<uint8_t>(buffer->data(), buffer->base() + buffer->size());
}

}  // namespace

bool ScriptedResponder::start(const std::string& address, uint16_t port,
                              ResponderScript script, std::string* error,
                              const std::string& alternate) {
  stop();
  fd_ = bind_socket(address, port, &port_, error);
  if (fd_ < 0) return false;
  if (!alternate.empty()) {
    alternate_fd_ = bind_socket(alternate, 0, &alternate_port_, error);
    if (alternate_fd_ < 0) {
      stop();
      return false;
    }
  }
  script_ = std::move(script);
  stopping_ = false;
  thread_ = std::thread([this] { serve(); });
  return true;
}

void ScriptedResponder::stop() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  if (fd_ >= 0) close(fd_);
  if (alternate_fd_ >= 0) close(alternate_fd_);
  fd_ = alternate_fd_ = -1;
}

std::vector<ScriptedRequest> ScriptedResponder::requests() const {
  std::lock_guard<std::mutex> hold(lock_);
  return requests_;
}

size_t ScriptedResponder::request_count() const {
  std::lock_guard<std::mutex> hold(lock_);
  return requests_.size();
}

void ScriptedResponder::clear_requests() {
  std::lock_guard<std::mutex> hold(lock_);
  requests_.clear();
}

bool ScriptedResponder::wait_for_requests(size_t n, int timeout_ms) const {
  const auto end =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (request_count() < n) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

void ScriptedResponder::serve() {
  while (!stopping_) {
    pollfd fds[2] = {{fd_, POLLIN, 0}, {alternate_fd_, POLLIN, 0}};
    const int n = poll(fds, alternate_fd_ >= 0 ? 2 : 1, kPollMs);
    if (n <= 0) continue;
    if (fds[0].revents & POLLIN) handle(fd_);
    // The second socket only sends; drain whatever reaches it.
    if (alternate_fd_ >= 0 && (fds[1].revents & POLLIN)) {
      uint8_t sink[64];
      recv(alternate_fd_, sink, sizeof sink, 0);
    }
  }
}

void ScriptedResponder::handle(int fd) {
  uint8_t buffer[65536];
  sockaddr_storage from{};
  socklen_t from_length = sizeof from;
  const ssize_t got =
      recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from),
               &from_length);
  if (got < 0) return;
  ScriptedRequest request;
  request.bytes.assign(buffer, buffer + got);
  char host[NI_MAXHOST] = "";
  char service[NI_MAXSERV] = "";
  getnameinfo(reinterpret_cast<sockaddr*>(&from), from_length, host,
              sizeof host, service, sizeof service,
              NI_NUMERICHOST | NI_NUMERICSERV);
  request.from = host;
  request.from_port = static_cast<uint16_t>(std::atoi(service));

  KalOwned<IKasCommunityTarget> target(kas_create_community_target());
  std::shared_ptr<IKasPdu> pdu(kas_create_pdu(), release_pdu);
  CKasMessageView view(request.bytes.data(), request.bytes.size());
  request.decode_status = kas_codec_service()->decode(
      &view, pdu.get(), target.get(), kKasTargetCommunity);
  if (request.decode_status == kKalOk) {
    request.version = target->get_version();
    request.community = target->get_community() ? target->get_community() : "";
    request.type = pdu->get_type();
    request.request_id = pdu->get_request_id();
    request.error_status = pdu->get_error_status();
    request.error_index = pdu->get_error_index();
    const IKasVarBindList* list = pdu->get_bindings();
    for (size_t i = 0; list && i < list->count(); ++i) {
      const IKasOid* oid = list->at(i)->get_oid();
      request.oids.emplace_back(oid && oid->text() ? oid->text() : "");
    }
    request.pdu = pdu;
  }
  {
    std::lock_guard<std::mutex> hold(lock_);
    request.index = static_cast<int>(requests_.size());
    requests_.push_back(request);
  }
  for (const ScriptedReply& answer : script_(request)) {
    reply(request, answer, &from, from_length);
  }
}

void ScriptedResponder::reply(const ScriptedRequest&,
                              const ScriptedReply& answer, const void* to,
                              uint32_t to_length) {
  const auto end = std::chrono::steady_clock::now() +
                   std::chrono::milliseconds(answer.delay_ms);
  while (!stopping_ && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (stopping_) return;
  const int fd =
      answer.from_alternate && alternate_fd_ >= 0 ? alternate_fd_ : fd_;
  sendto(fd, answer.bytes.data(), answer.bytes.size(), 0,
         static_cast<const sockaddr*>(to), to_length);
}

std::vector<uint8_t> echo_response(const ScriptedRequest& request,
                                   int32_t id_delta, int32_t error_status,
                                   int32_t error_index) {
  KalOwned<IKasPdu> pdu(kas_create_pdu());
  if (!pdu) return {};
  pdu->set_type(kKasPduResponse);
  pdu->set_request_id(
      static_cast<int32_t>(static_cast<uint32_t>(request.request_id) +
                           static_cast<uint32_t>(id_delta)));
  pdu->set_error_status(error_status);
  pdu->set_error_index(error_index);
  for (const std::string& name : request.oids) {
    IKasSnmpValue* value = kas_create_value(kKasTagOctetString);
    if (value)
      value->set_bytes(reinterpret_cast<const uint8_t*>(name.data()),
                       name.size());
    pdu->append_pair(kas_create_oid_from_text(name.c_str()), value);
  }
  return encode_for(request, pdu.get());
}

std::vector<uint8_t> too_big_response(const ScriptedRequest& request) {
  KalOwned<IKasPdu> pdu(kas_create_pdu());
  if (!pdu) return {};
  pdu->set_type(kKasPduResponse);
  pdu->set_request_id(request.request_id);
  pdu->set_error_status(kKasSnmpTooBig);
  return encode_for(request, pdu.get());
}

std::vector<uint8_t> response_with(const ScriptedRequest& request,
                                   const IKasPdu* answer) {
  KalOwned<IKasPdu> pdu(answer->clone());
  if (!pdu) return {};
  pdu->set_type(kKasPduResponse);
  pdu->set_request_id(request.request_id);
  return encode_for(request, pdu.get());
}

std::vector<uint8_t> garbage_datagram() {
  return {0xde, 0xad, 0xbe, 0xef, 0x00, 0x01, 0x02, 0x03};
}

std::vector<uint8_t> undecodable_response(const ScriptedRequest& request) {
  KalOwned<IKasPdu> pdu(kas_create_pdu());
  if (!pdu) return {};
  pdu->set_type(kKasPduResponse);
  pdu->set_request_id(request.request_id);
  // The message ends with this binding's NULL value (05 00); 0x47 is no
  // value tag of SNMP.
  pdu->append_pair(kas_create_oid_from_text("1.3.6.1.2.1.1.1.0"),
                   kas_create_value(kKasTagNull));
  std::vector<uint8_t> bytes = encode_for(request, pdu.get());
  if (bytes.size() >= 2) bytes[bytes.size() - 2] = 0x47;
  return bytes;
}

}  // namespace zeltest
