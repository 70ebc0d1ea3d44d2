// The network address value: an address text, the protocol family it belongs
// to and a UDP port. Every SNMP target, datagram sender and discovered device
// is named by one. Single owner, no reference counting; copies are made with
// clone(). No lock: one thread uses a value at a time.
//
// Case rule: whenever text is stored (set_address, set), 'A'..'F' become
// 'a'..'f' and every other byte is kept, so hexadecimal IPv6 and IPX texts are
// always held in lower case.
#ifndef COMMON_NETWORK_ADDRESS_H_
#define COMMON_NETWORK_ADDRESS_H_

#include <cstdint>

#include "common/text.h"

class IKalNetworkAddress {
 public:
  // The numbers are stored and passed through the exported interface: fixed.
  // There is no 3.
  enum EProtocol : int32_t {
    Unknown = 0,
    IPv4 = 1,  // AF_INET
    IPX = 2,   // AF_IPX
    IPv6 = 4,  // AF_INET6
  };

  // Destroys the text object and the address.
  virtual void release() = 0;
  // Classifies `text` with the address service; stores it when its protocol
  // agrees with a non-zero protocol already set (a zero protocol takes the
  // classified one). The port is kept. Answers 0; kKalErrInvalidArg for null
  // text or a protocol conflict; the classification error (kKalErrGeneral,
  // kKalErrNoData, kKalErrNoMemory). On failure nothing changes.
  virtual int set_address(const char* text) = 0;
  // Stores `text` without classifying it; a protocol or port of 0 keeps the
  // current one. Answers 0, kKalErrInvalidArg (null text), kKalErrNoMemory.
  virtual int set(const char* text, EProtocol protocol, uint16_t port) = 0;
  // The address's text object, lent (null while no text was stored).
  virtual const IKalText* get_text_object() const = 0;
  // *ppText receives a new copy of the text that the caller owns; protocol
  // and port outs are optional. Answers 0; kKalErrInvalidArg when ppText is
  // null or the address has no text; kKalErrNoMemory.
  virtual int get(IKalText** ppText, EProtocol* pProtocol, uint16_t* pPort) const = 0;
  virtual int set_protocol(EProtocol protocol) = 0;  // answers 0
  virtual int set_port(uint16_t port) = 0;           // answers 0
  virtual EProtocol get_protocol() const = 0;
  virtual uint16_t get_port() const = 0;
  // True when the service compares both texts equal, the protocols are equal
  // and other's port is 0 or equal to this port. One-sided: a port of 0 on
  // `other` matches any port here; a port of 0 here matches only port 0.
  // False for null, or when the texts cannot be compared.
  virtual bool equals(const IKalNetworkAddress* other) const = 0;
  // *ppOut receives a deep copy the caller owns. Answers 0; kKalErrInvalidArg
  // for a null ppOut or an address without text; kKalErrNoMemory.
  virtual int clone(IKalNetworkAddress** ppOut) const = 0;
  // Whether the service classifies the text as an address of some protocol.
  virtual bool is_valid() const = 0;
  // Replaces the text with the service's numeric form; protocol and port are
  // kept. Answers 0 or the to_numeric error (text unchanged).
  virtual int normalize() = 0;
  // The stored text, lent like get_text_object(); null when absent or empty.
  virtual const char* text() const = 0;
  virtual ~IKalNetworkAddress() = default;
};

// A new address with no text, protocol Unknown and port 0; the caller owns it
// (free with release()). *pStatus (optional): 0 or kKalErrNoMemory.
IKalNetworkAddress* kal_create_network_address(int* pStatus = nullptr);

// A new address built with set(text, protocol, port) (no classification).
// *pStatus (optional): 0, kKalErrInvalidArg for null text, kKalErrNoMemory.
IKalNetworkAddress* kal_create_network_address(const char* text,
                                               IKalNetworkAddress::EProtocol protocol,
                                               uint16_t port, int* pStatus = nullptr);

#endif  // COMMON_NETWORK_ADDRESS_H_
