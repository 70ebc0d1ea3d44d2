// DataGramSocket and its protocol variants. The base class is the variant
// for IPv6 (and any family, through the resolver); IPv4 and IPX override the
// library version, the "any" address and the socket-address conversions.
#include "transport/datagram_socket.h"

#include <cstring>

#include "common/network_address_forms.h"
#include "common/owned.h"
#include "common/status.h"
#include "log/log.h"

namespace {

constexpr char kAnyIpv4[] = "0.0.0.0";
constexpr char kAnyIpx[] = "00000000:000000000000";
constexpr char kAnyIpv6[] = "0000:0000:0000:0000:0000:0000:0000:0000";

const char* printable(const char* text) { return text ? text : ""; }

int last_error() { return NKalSocketAPI::table().WSAGetLastError(); }

class DataGramSocketV4 final : public DataGramSocket {
 public:
  explicit DataGramSocketV4(IKalNetworkAddress* local) : DataGramSocket(local) {}

 protected:
  int start_library() override { return NKalSocketAPI::bind_and_start_v11(); }
  int set_local_any() override { return local_->set(kAnyIpv4, IKalNetworkAddress::IPv4, 0); }
  int from_platform(const KalSockAddr& in, IKalNetworkAddress* address) override {
    return NKalSocketAPI::ipv4_from_sockaddr(in, address);
  }
  int to_platform(const IKalNetworkAddress* address, KalSockAddr* out) override {
    return NKalSocketAPI::ipv4_to_sockaddr(address->text(), address->get_port(), out);
  }
};

class DataGramSocketIpx final : public DataGramSocket {
 public:
  explicit DataGramSocketIpx(IKalNetworkAddress* local) : DataGramSocket(local) {}

 protected:
  int start_library() override { return NKalSocketAPI::bind_and_start_v11(); }
  int set_local_any() override { return local_->set(kAnyIpx, IKalNetworkAddress::IPX, 0); }
  int from_platform(const KalSockAddr& in, IKalNetworkAddress* address) override {
    return NKalSocketAPI::ipx_from_sockaddr(in, address);
  }
  int to_platform(const IKalNetworkAddress* address, KalSockAddr* out) override {
    return NKalSocketAPI::ipx_to_sockaddr(address->text(), address->get_port(), out);
  }
};

// The plain variant serves IPv6.
class DataGramSocketV6 final : public DataGramSocket {
 public:
  explicit DataGramSocketV6(IKalNetworkAddress* local) : DataGramSocket(local) {}
};

}  // namespace

DataGramSocket::DataGramSocket(IKalNetworkAddress* local) : local_(local) {}

DataGramSocket::~DataGramSocket() {
  if (socket_ >= 0) NKalSocketAPI::table().closesocket(socket_);
  if (local_) local_->release();
  if (started_) NKalSocketAPI::stop();
}

void DataGramSocket::release() { delete this; }

int DataGramSocket::protocol() const { return local_->get_protocol(); }

int DataGramSocket::create(int protocol, DataGramSocket** ppOut) {
  return create(protocol, 0, ppOut);
}

int DataGramSocket::create(int protocol, uint16_t port, DataGramSocket** ppOut) {
  if (!ppOut) return kKalErrInvalidArg;
  *ppOut = nullptr;
  const auto p = static_cast<IKalNetworkAddress::EProtocol>(protocol);
  if (p != IKalNetworkAddress::IPv4 && p != IKalNetworkAddress::IPX &&
      p != IKalNetworkAddress::IPv6) {
    return kKalErrInvalidArg;
  }
  KalOwned<IKalNetworkAddress> local(kal_create_network_address());
  if (!local) return kKalErrNoMemory;
  local->set_protocol(p);
  local->set_port(port);
  DataGramSocket* made = nullptr;
  switch (p) {
    case IKalNetworkAddress::IPv4: made = kal_new<DataGramSocketV4>(local.get()); break;
    case IKalNetworkAddress::IPX: made = kal_new<DataGramSocketIpx>(local.get()); break;
    default: made = kal_new<DataGramSocketV6>(local.get()); break;
  }
  if (!made) return kKalErrNoMemory;
  local.detach();  // the socket owns it now
  KalOwned<DataGramSocket> socket(made);
  if (int rc = socket->open(port); rc != kKalOk) return rc;  // closed and freed
  *ppOut = socket.detach();
  return kKalOk;
}

int DataGramSocket::open(uint16_t port) {
  if (int rc = set_local_any(); rc != kKalOk) return rc;
  if (port != 0) local_->set_port(port);
  if (int rc = start_library(); rc != kKalOk) return rc;
  started_ = true;
  if (int rc = open_socket(); rc != kKalOk) return rc;
  KalSockAddr address{};
  if (to_platform(local_, &address) != kKalOk) return kKasErrBind;
  const NKalSocketAPI::FunctionTable& t = NKalSocketAPI::table();
  if (t.bind(socket_, reinterpret_cast<const sockaddr*>(address.bytes), address.length) != 0) {
    kal_log(kKalModuleSocket, kKalLogError, "fail bind(). WSAGetLastError()=%d", last_error());
    return kKasErrBind;
  }
  KalSockAddr bound{};
  bound.length = sizeof bound.bytes;
  if (t.getsockname(socket_, reinterpret_cast<sockaddr*>(bound.bytes), &bound.length) != 0) {
    return kKalErrGeneral;
  }
  if (from_platform(bound, local_) != kKalOk) return kKalErrGeneral;
  kal_log(kKalModuleSocket, kKalLogDebug, "create socket. id:0x%x port:%d(0x%x)",
          static_cast<unsigned>(socket_), local_->get_port(), local_->get_port());
  return kKalOk;
}

int DataGramSocket::start_library() { return NKalSocketAPI::bind_and_start_v22(); }

int DataGramSocket::set_local_any() {
  switch (protocol()) {
    case IKalNetworkAddress::IPv4: return local_->set(kAnyIpv4, IKalNetworkAddress::Unknown, 0);
    case IKalNetworkAddress::IPX: return local_->set(kAnyIpx, IKalNetworkAddress::Unknown, 0);
    case IKalNetworkAddress::IPv6: return local_->set(kAnyIpv6, IKalNetworkAddress::Unknown, 0);
    default: return kKalErrNoData;
  }
}

int DataGramSocket::from_platform(const KalSockAddr& in, IKalNetworkAddress* address) {
  return NKalSocketAPI::any_from_sockaddr(in, protocol(), address);
}

int DataGramSocket::to_platform(const IKalNetworkAddress* address, KalSockAddr* out) {
  return NKalSocketAPI::any_to_sockaddr(address->text(), address->get_port(), out);
}

int DataGramSocket::open_socket() {
  const NKalSocketAPI::FunctionTable& t = NKalSocketAPI::table();
  socket_ = t.socket(NKalSocketAPI::family_of(protocol()), NKalSocketAPI::datagram_type(),
                     NKalSocketAPI::datagram_protocol(protocol()));
  if (socket_ < 0) {
    socket_ = -1;
    kal_log(kKalModuleSocket, kKalLogError, "fail socket(). WSAGetLastError()=%d", last_error());
    return kKasErrSocketOpen;
  }
  return kKalOk;
}

const IKalNetworkAddress* DataGramSocket::local_address() const { return local_; }

int DataGramSocket::send(const void* buffer, size_t length,
                         const IKalNetworkAddress* destination) {
  if (!buffer || !destination) return kKalErrInvalidArg;
  const uint16_t local_port = local_->get_port();
  const uint16_t port = destination->get_port();
  kal_log(kKalModuleSocket, kKalLogDebug,
          "[DataGramSocket::send] send packet. port:%d(0x%x) -> %s:%d(0x%x).", local_port,
          local_port, printable(destination->text()), port, port);
  KalSockAddr to{};
  if (to_platform(destination, &to) != kKalOk) return kKalErrInvalidArg;
  const long sent = NKalSocketAPI::table().sendto(
      socket_, buffer, length, 0, reinterpret_cast<const sockaddr*>(to.bytes), to.length);
  if (sent < 0) {
    kal_log(kKalModuleSocket, kKalLogError, "fail send(). WSAGetLastError()=%d", last_error());
    return kKasErrSend;
  }
  if (static_cast<size_t>(sent) != length) {
    kal_log(kKalModuleSocket, kKalLogWarn,
            "send(). size of sended bytes is not same that of buffer.");
  }
  return kKalOk;
}

int DataGramSocket::wait_and_read(void* buffer, size_t capacity, int timeout_ms,
                                  size_t* pReceived, KalSockAddr* from) {
  const NKalSocketAPI::FunctionTable& t = NKalSocketAPI::table();
  const int ready = t.select(socket_, timeout_ms);
  if (ready < 0) {
    kal_log(kKalModuleSocket, kKalLogError, "fail select(). WSAGetLastError()=%d", last_error());
    return kKasErrReceive;
  }
  if (ready == 0) {
    kal_log(kKalModuleSocket, kKalLogTrace, "select API timeout.");
    return kKasErrTimeout;
  }
  from->length = sizeof from->bytes;
  const long got = t.recvfrom(socket_, buffer, capacity, 0,
                              reinterpret_cast<sockaddr*>(from->bytes), &from->length);
  if (got < 0) {
    kal_log(kKalModuleSocket, kKalLogError, "fail recvfrom(). WSAGetLastError()=%d",
            last_error());
    return kKasErrReceive;
  }
  // A replaced recvfrom must not make us claim more than the buffer holds.
  *pReceived = static_cast<size_t>(got) < capacity ? static_cast<size_t>(got) : capacity;
  return kKalOk;
}

void DataGramSocket::log_received(const IKalNetworkAddress* source) const {
  const uint16_t local_port = local_->get_port();
  kal_log(kKalModuleSocket, kKalLogDebug,
          "[DataGramSocket::receive] receive packet port:%d(0x%x) <- %s:%d(0x%x).", local_port,
          local_port, printable(source->text()), source->get_port(), source->get_port());
}

int DataGramSocket::receive(void* buffer, size_t capacity, int timeout_ms, size_t* pReceived,
                            IKalNetworkAddress** ppFrom) {
  if (!buffer || !pReceived || !ppFrom) return kKalErrInvalidArg;
  *ppFrom = nullptr;
  if (timeout_ms < -1) return kKalErrInvalidArg;
  KalSockAddr from{};
  const int rc = wait_and_read(buffer, capacity, timeout_ms, pReceived, &from);
  if (rc != kKalOk) return rc;
  KalOwned<IKalNetworkAddress> source(kal_create_network_address());
  if (!source) return kKalErrNoMemory;
  if (from_platform(from, source.get()) != kKalOk) {
    kal_log(kKalModuleSocket, kKalLogError,
            "[DataGramSocket::receive] fail create CKalNetworkAddress ( success recvfrom() ).");
    return kKalErrGeneral;
  }
  log_received(source.get());
  *ppFrom = source.detach();
  return kKalOk;
}

int DataGramSocket::receive_into(void* buffer, size_t capacity, int timeout_ms,
                                 size_t* pReceived, IKalNetworkAddress* source) {
  if (!buffer || !pReceived || !source) return kKalErrInvalidArg;
  if (timeout_ms < -1) return kKalErrInvalidArg;
  KalSockAddr from{};
  const int rc = wait_and_read(buffer, capacity, timeout_ms, pReceived, &from);
  if (rc != kKalOk) return rc;
  // As a new address would be: a source port 0 must not keep the last one.
  source->set_port(0);
  if (from_platform(from, source) != kKalOk) {
    kal_log(kKalModuleSocket, kKalLogError,
            "[DataGramSocket::receive] fail create CKalNetworkAddress ( success recvfrom() ).");
    return kKalErrGeneral;
  }
  log_received(source);
  return kKalOk;
}

int DataGramSocket::set_broadcast(bool on) {
  const int p = protocol();
  if (p != IKalNetworkAddress::IPv4 && p != IKalNetworkAddress::IPX) return kKalOk;
  if (NKalSocketAPI::set_broadcast_option(socket_, on) != 0) {
    kal_log(kKalModuleSocket, kKalLogError,
            "fail setsockopt(). can't set broadcast flag. WSAGetLastError()=%d", last_error());
    return kKalErrGeneral;
  }
  return kKalOk;
}

int DataGramSocket::join_multicast_group(const char* group) {
  if (!group) return kKalErrInvalidArg;
  int rc = 0;
  switch (protocol()) {
    case IKalNetworkAddress::IPv4: {
      uint8_t octets[4];
      if (!kal_read_ipv4_decimal(group, octets)) {
        kal_log(kKalModuleSocket, kKalLogError, "fail inet_addr(). WSAGetLastError()=%d",
                last_error());
        return kKalErrGeneral;
      }
      rc = NKalSocketAPI::join_group_v4(socket_, octets);
      break;
    }
    case IKalNetworkAddress::IPv6: {
      uint8_t octets[16];
      if (int parsed = kal_read_ipv6_groups(group, octets); parsed != kKalOk) return parsed;
      rc = NKalSocketAPI::join_group_v6(socket_, octets);
      break;
    }
    default:
      return kKalErrInvalidArg;
  }
  if (rc != 0) {
    kal_log(kKalModuleSocket, kKalLogError,
            "fail setsockopt(). can't set multicast flag. WSAGetLastError()=%d", last_error());
    return kKalErrGeneral;
  }
  return kKalOk;
}
