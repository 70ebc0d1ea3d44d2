// The message buffer the codec works in. The encoder sizes it to the
// target's maximum message size and writes the message so that it ends
// exactly at base() + size(), then points data() at its first octet; the
// sender sends [data(), base() + size()). A receiver reads a datagram to
// base(), sets data() to base() and received() to the datagram's length; the
// decoder then reads [data(), data() + received()).
//
// One buffer serves one exchange at a time; no lock.
#ifndef SNMP_CODEC_BUFFER_H_
#define SNMP_CODEC_BUFFER_H_

#include <cstddef>
#include <cstdint>

#include "common/status.h"

class IKasMessageBuffer {
 public:
  // Destroys a buffer made by kas_create_message_buffer (no-op for a view).
  virtual void release() = 0;
  virtual uint8_t* base() = 0;
  virtual size_t size() const = 0;
  // Makes the size exactly n octets. The content is not kept. data() moves
  // to base() and received() to 0. 0 or kKalErrNoMemory (the buffer is then
  // unchanged).
  virtual int set_size(size_t n) = 0;
  // Where the message starts: set by the encoder, by a receiver, or by
  // set_size. Always within [base(), base() + size()].
  virtual uint8_t* data() = 0;
  // -2 when p lies outside [base(), base() + size()].
  virtual int set_data(uint8_t* p) = 0;
  // Octets of the message from data() on (the encoder sets it to the
  // message length; a receiver to the datagram length).
  virtual size_t received() const = 0;
  virtual void set_received(size_t n) = 0;

 protected:
  virtual ~IKasMessageBuffer() = default;
};

// A heap buffer, empty at first. Caller owns; release() frees it.
// *pStatus: 0, kKalErrNoMemory.
IKasMessageBuffer* kas_create_message_buffer(int* pStatus = nullptr);

// A buffer over memory the caller keeps live while the view is in use (a
// stack array, a received datagram). set_size answers kKalErrNoMemory above
// the capacity. A view over received octets starts with data() at the first
// octet and received() = the capacity.
class CKasMessageView final : public IKasMessageBuffer {
 public:
  CKasMessageView(uint8_t* memory, size_t capacity)
      : memory_(memory), capacity_(capacity), size_(capacity), data_(memory),
        received_(capacity) {}
  // For decoding only: the codec never writes through a buffer it decodes.
  CKasMessageView(const uint8_t* message, size_t length)
      : CKasMessageView(const_cast<uint8_t*>(message), length) {}

  void release() override {}
  uint8_t* base() override { return memory_; }
  size_t size() const override { return size_; }
  int set_size(size_t n) override;
  uint8_t* data() override { return data_; }
  int set_data(uint8_t* p) override;
  size_t received() const override { return received_; }
  void set_received(size_t n) override { received_ = n; }

 private:
  uint8_t* const memory_;
  const size_t capacity_;
  size_t size_;
  uint8_t* data_;
  size_t received_;
};

#endif  // SNMP_CODEC_BUFFER_H_
