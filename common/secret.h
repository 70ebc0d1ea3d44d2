// Wiping secrets (communities, pass phrases, keys made from them) before the
// memory that held them is freed, reused or left behind on the stack. A freed
// block keeps its bytes until the allocator hands it out again, so a secret
// that is merely freed can still be read from the host's heap long after
// ZelUnInit. kal_wipe cannot be optimised away (explicit_bzero).
//
//   char phrase[64];
//   KalWipeOnExit wipe(phrase);        // wiped on every path out
//
// KalSecretBuffer is the growable form for texts of any length (target
// fields, received communities): it wipes what it held before it frees or
// moves it. Header-only; no lock.
#ifndef COMMON_SECRET_H_
#define COMMON_SECRET_H_

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "common/owned.h"
#include "common/status.h"
#include "common/text_copy.h"

// Zeroes n bytes at p (p may be null when n is 0).
inline void kal_wipe(void* p, size_t n) noexcept {
  if (p && n) explicit_bzero(p, n);
}

// Zeroes the whole buffer of `s` (its capacity, not only its length), then
// empties it. The buffer stays allocated: wipe before the string is freed.
inline void kal_wipe(std::string* s) noexcept {
  if (!s) return;
  kal_wipe(s->data(), s->capacity());
  s->clear();
}

// Wipes the whole field, then copies `src` into it as kal_copy_text does, so
// that no tail of a longer earlier secret stays behind the new NUL.
template <size_t N>
size_t kal_copy_secret(char (&dst)[N], const char* src) noexcept {
  kal_wipe(dst, N);
  return kal_copy_text(dst, src);
}

// Wipes a region, an array or a string when the scope ends.
class KalWipeOnExit {
 public:
  KalWipeOnExit(void* p, size_t n) noexcept : p_(p), n_(n) {}
  template <class T, size_t N>
  explicit KalWipeOnExit(T (&array)[N]) noexcept : p_(array), n_(sizeof array) {}
  explicit KalWipeOnExit(std::string* s) noexcept : s_(s) {}
  ~KalWipeOnExit() {
    kal_wipe(p_, n_);
    kal_wipe(s_);
  }
  KalWipeOnExit(const KalWipeOnExit&) = delete;
  KalWipeOnExit& operator=(const KalWipeOnExit&) = delete;

 private:
  void* p_ = nullptr;
  size_t n_ = 0;
  std::string* s_ = nullptr;
};

// An owned text that never leaves a copy behind: growth copies into a new
// block and wipes the old one (no realloc), and the destructor and clear()
// wipe. Keeps a NUL after the content. Growth goes through the allocation
// hook, as KalBuffer's does.
class KalSecretBuffer {
 public:
  KalSecretBuffer() = default;
  ~KalSecretBuffer() { release_block(); }
  KalSecretBuffer(const KalSecretBuffer&) = delete;
  KalSecretBuffer& operator=(const KalSecretBuffer&) = delete;

  const char* c_str() const { return data_ ? data_ : ""; }
  const uint8_t* bytes() const { return reinterpret_cast<const uint8_t*>(c_str()); }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  // Replaces the content with n octets at p (which may lie in this buffer).
  // 0 or kKalErrNoMemory (content kept).
  int assign(const void* p, size_t n) {
    const char* src = static_cast<const char*>(p);
    if (n >= capacity_) {
      if (n > (static_cast<size_t>(-1) >> 1)) return kKalErrNoMemory;
      const size_t cap = ((n / 64) + 1) * 64;
      if (kal_alloc_hook::should_fail()) return kKalErrNoMemory;
      char* block = static_cast<char*>(std::malloc(cap));
      if (!block) return kKalErrNoMemory;
      if (n) std::memcpy(block, src, n);  // before the old block goes
      release_block();
      data_ = block;
      capacity_ = cap;
    } else {
      if (n) std::memmove(data_, src, n);
      kal_wipe(data_ + n, capacity_ - n);  // the tail of a longer secret
    }
    size_ = n;
    data_[n] = '\0';
    return kKalOk;
  }
  void clear() {
    kal_wipe(data_, capacity_);
    size_ = 0;
  }
  void swap(KalSecretBuffer& other) {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
  }

 private:
  void release_block() {
    kal_wipe(data_, capacity_);
    std::free(data_);
    data_ = nullptr;
    size_ = capacity_ = 0;
  }

  char* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

#endif  // COMMON_SECRET_H_
