// Message buffers: the heap buffer the sessions use and the view over
// caller memory.
#include "snmp/codec_buffer.h"

#include <cstdlib>

#include "common/owned.h"
#include "common/secret.h"

namespace {

class CKasMessageBuffer final : public IKasMessageBuffer {
 public:
  CKasMessageBuffer() = default;
  // A message carries the community in clear, so the buffer is wiped before
  // it is freed.
  ~CKasMessageBuffer() override {
    kal_wipe(memory_, capacity_);
    std::free(memory_);
  }
  CKasMessageBuffer(const CKasMessageBuffer&) = delete;
  CKasMessageBuffer& operator=(const CKasMessageBuffer&) = delete;

  void release() override { delete this; }
  uint8_t* base() override { return memory_; }
  size_t size() const override { return size_; }
  int set_size(size_t n) override {
    if (n > capacity_) {
      // Grown, never shrunk: a session reuses one buffer for every try.
      void* p = kal_alloc_hook::should_fail() ? nullptr : std::malloc(n);
      if (!p) return kKalErrNoMemory;
      kal_wipe(memory_, capacity_);
      std::free(memory_);
      memory_ = static_cast<uint8_t*>(p);
      capacity_ = n;
    }
    size_ = n;
    data_ = memory_;
    received_ = 0;
    return kKalOk;
  }
  uint8_t* data() override { return data_; }
  int set_data(uint8_t* p) override {
    if (p < memory_ || p > memory_ + size_) return kKalErrInvalidArg;
    data_ = p;
    return kKalOk;
  }
  size_t received() const override { return received_; }
  void set_received(size_t n) override { received_ = n; }

 private:
  uint8_t* memory_ = nullptr;
  size_t capacity_ = 0;
  size_t size_ = 0;
  uint8_t* data_ = nullptr;
  size_t received_ = 0;
};

}  // namespace

IKasMessageBuffer* kas_create_message_buffer(int* pStatus) {
  IKasMessageBuffer* buffer = kal_new<CKasMessageBuffer>();
  if (!buffer) return kal_fail<IKasMessageBuffer>(pStatus, kKalErrNoMemory);
  kal_set_status(pStatus, kKalOk);
  return buffer;
}

int CKasMessageView::set_size(size_t n) {
  if (n > capacity_) return kKalErrNoMemory;
  size_ = n;
  data_ = memory_;
  received_ = 0;
  return kKalOk;
}

int CKasMessageView::set_data(uint8_t* p) {
  if (p < memory_ || p > memory_ + size_) return kKalErrInvalidArg;
  data_ = p;
  return kKalOk;
}
