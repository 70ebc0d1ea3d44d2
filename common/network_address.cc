// CKalNetworkAddress: text object, protocol and port. Classification,
// comparison and normalisation go to the process-wide address service.
#include "common/network_address.h"

#include <cstring>

#include "common/address_service.h"
#include "common/owned.h"
#include "common/status.h"

namespace {

class CKalNetworkAddress final : public IKalNetworkAddress {
 public:
  CKalNetworkAddress() = default;
  CKalNetworkAddress(const CKalNetworkAddress&) = delete;
  CKalNetworkAddress& operator=(const CKalNetworkAddress&) = delete;
  ~CKalNetworkAddress() override {
    if (text_) text_->release();
  }

  void release() override { delete this; }

  int set_address(const char* text) override {
    if (!text) return kKalErrInvalidArg;
    EProtocol classified = Unknown;
    if (int rc = kal_address_get_protocol(text, &classified); rc != kKalOk) return rc;
    if (protocol_ != Unknown && classified != protocol_) return kKalErrInvalidArg;
    if (int rc = store_text(text); rc != kKalOk) return rc;
    if (protocol_ == Unknown) protocol_ = classified;
    return kKalOk;
  }

  int set(const char* text, EProtocol protocol, uint16_t port) override {
    if (!text) return kKalErrInvalidArg;
    if (int rc = store_text(text); rc != kKalOk) return rc;
    if (protocol != Unknown) protocol_ = protocol;
    if (port != 0) port_ = port;
    return kKalOk;
  }

  const IKalText* get_text_object() const override { return text_; }

  int get(IKalText** ppText, EProtocol* pProtocol, uint16_t* pPort) const override {
    if (!ppText) return kKalErrInvalidArg;
    *ppText = nullptr;
    if (!text_) return kKalErrInvalidArg;
    int rc = kKalOk;
    *ppText = text_->clone(&rc);
    if (rc != kKalOk) return rc;
    if (pProtocol) *pProtocol = protocol_;
    if (pPort) *pPort = port_;
    return kKalOk;
  }

  int set_protocol(EProtocol protocol) override {
    protocol_ = protocol;
    return kKalOk;
  }
  int set_port(uint16_t port) override {
    port_ = port;
    return kKalOk;
  }
  EProtocol get_protocol() const override { return protocol_; }
  uint16_t get_port() const override { return port_; }

  bool equals(const IKalNetworkAddress* other) const override {
    if (!other) return false;
    bool same = false;
    if (kal_address_compare(text(), other->text(), &same) != kKalOk || !same) return false;
    if (protocol_ != other->get_protocol()) return false;
    return other->get_port() == 0 || other->get_port() == port_;
  }

  int clone(IKalNetworkAddress** ppOut) const override {
    if (!ppOut) return kKalErrInvalidArg;
    *ppOut = nullptr;
    if (!text_) return kKalErrInvalidArg;
    KalOwned<CKalNetworkAddress> copy(kal_new<CKalNetworkAddress>());
    if (!copy) return kKalErrNoMemory;
    // The stored text may hold bytes after a NUL; copy all of them.
    if (int rc = copy->store_bytes(text_->text(), text_->length()); rc != kKalOk) return rc;
    copy->protocol_ = protocol_;
    copy->port_ = port_;
    *ppOut = copy.detach();
    return kKalOk;
  }

  bool is_valid() const override {
    bool is = false;
    return kal_address_is_address(text(), &is) == kKalOk && is;
  }

  int normalize() override {
    IKalText* raw = nullptr;
    const int rc = kal_address_to_numeric(text(), &raw);
    KalOwned<IKalText> numeric(raw);
    if (rc != kKalOk) return rc;
    return store_bytes(numeric->text(), numeric->length());
  }

  const char* text() const override { return text_ ? text_->text() : nullptr; }

 private:
  int store_text(const char* text) { return store_bytes(text, std::strlen(text)); }

  // Stores a lower-cased copy ('A'..'F' only) and swaps it in, so that a
  // failure leaves the old text in place.
  int store_bytes(const char* bytes, size_t length) {
    // A text no longer than the one held (an address object written again
    // for every datagram, mostly by the same agent) is written in place: it
    // needs no room, so it cannot fail half-way.
    char lowered[64];
    if (text_ && length <= text_->length() && length <= sizeof lowered) {
      for (size_t i = 0; i < length; ++i) {
        const char c = bytes[i];
        lowered[i] = (c >= 'A' && c <= 'F') ? static_cast<char>(c - 'A' + 'a') : c;
      }
      return text_->assign(lowered, length);
    }
    int rc = kKalOk;
    KalOwned<IKalText> fresh(kal_create_text(&rc));
    if (!fresh) return rc;
    if (rc = fresh->assign(bytes, length); rc != kKalOk) return rc;
    char* p = const_cast<char*>(fresh->text());  // our own, freshly made buffer
    for (size_t i = 0; i < length; ++i) {
      if (p[i] >= 'A' && p[i] <= 'F') p[i] = static_cast<char>(p[i] - 'A' + 'a');
    }
    if (text_) text_->release();
    text_ = fresh.detach();
    return kKalOk;
  }

  IKalText* text_ = nullptr;
  EProtocol protocol_ = Unknown;
  uint16_t port_ = 0;
};

}  // namespace

IKalNetworkAddress* kal_create_network_address(int* pStatus) {
  IKalNetworkAddress* address = kal_new<CKalNetworkAddress>();
  if (!address) return kal_fail<IKalNetworkAddress>(pStatus, kKalErrNoMemory);
  kal_set_status(pStatus, kKalOk);
  return address;
}

IKalNetworkAddress* kal_create_network_address(const char* text,
                                               IKalNetworkAddress::EProtocol protocol,
                                               uint16_t port, int* pStatus) {
  if (!text) return kal_fail<IKalNetworkAddress>(pStatus, kKalErrInvalidArg);
  KalOwned<IKalNetworkAddress> address(kal_create_network_address(pStatus));
  if (!address) return nullptr;
  if (int rc = address->set(text, protocol, port); rc != kKalOk) {
    return kal_fail<IKalNetworkAddress>(pStatus, rc);
  }
  kal_set_status(pStatus, kKalOk);
  return address.detach();
}
