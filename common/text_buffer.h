// The owned, growable byte buffer behind octet-string values, object
// identifier texts, target texts and the text object. It keeps a NUL after
// the content so that texts can be lent as C strings, grows in steps of 128
// octets ((needed / 128) + 1) * 128 and never shrinks, so a value reused for
// every answer of a walk stops allocating after the first ones. Contents
// shorter than kInline octets (most identifiers of a request or an answer,
// short octet strings) live in the object itself: no allocation at all.
// Growth beyond that goes through the allocation hook, so failure runs
// reach it.
#ifndef COMMON_TEXT_BUFFER_H_
#define COMMON_TEXT_BUFFER_H_

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "common/owned.h"
#include "common/status.h"

class KalBuffer {
 public:
  // Room kept inside the object, NUL included.
  static constexpr size_t kInline = 64;

  KalBuffer() = default;
  ~KalBuffer() {
    if (!is_inline()) std::free(data_);
  }
  KalBuffer(const KalBuffer&) = delete;
  KalBuffer& operator=(const KalBuffer&) = delete;

  // Never null: an empty buffer lends a static NUL.
  const char* c_str() const { return data_ ? data_ : ""; }
  const uint8_t* bytes() const { return reinterpret_cast<const uint8_t*>(c_str()); }
  char* data() { return data_; }  // null until the first growth
  size_t size() const { return size_; }
  size_t capacity() const { return capacity_; }
  bool empty() const { return size_ == 0; }

  // Room for n octets plus the NUL. 0 or kKalErrNoMemory (content kept).
  int reserve(size_t n);
  // Replace / extend the content. 0 or kKalErrNoMemory (content kept).
  // `p` may point into this buffer's own content.
  int assign(const void* p, size_t n);
  int append(const void* p, size_t n);
  int append_char(char c) { return append(&c, 1); }
  // Sets the size to n (n <= size()).
  void truncate(size_t n);
  // Removes n octets at `pos` (cut to the end).
  void erase(size_t pos, size_t n);
  void clear() { truncate(0); }
  // Writes n zero octets as the content.
  int assign_zero(size_t n);
  void swap(KalBuffer& other) {
    if (!is_inline() && !other.is_inline()) {
      char* d = data_;
      data_ = other.data_;
      other.data_ = d;
      size_t s = size_;
      size_ = other.size_;
      other.size_ = s;
      s = capacity_;
      capacity_ = other.capacity_;
      other.capacity_ = s;
      return;
    }
    KalBuffer aside;
    aside.take(*this);
    take(other);
    other.take(aside);
  }

 private:
  bool is_inline() const { return data_ == inline_; }
  // Moves the content of `from` (left empty) into this buffer, which holds
  // no block of its own. What stayed in `from`'s own room is wiped.
  void take(KalBuffer& from) {
    if (from.is_inline()) {
      std::memcpy(inline_, from.inline_, from.size_ + 1);
      std::memset(from.inline_, 0, sizeof from.inline_);
      data_ = inline_;
    } else {
      data_ = from.data_;
    }
    size_ = from.size_;
    capacity_ = from.capacity_;
    from.data_ = nullptr;
    from.size_ = 0;
    from.capacity_ = 0;
  }

  char* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
  char inline_[kInline];
};

// Header-only: every layer that keeps bytes includes it.

inline int KalBuffer::reserve(size_t n) {
  if (n < capacity_) return kKalOk;  // n octets and the NUL fit
  if (!data_ && n < kInline) {
    data_ = inline_;
    data_[0] = '\0';
    capacity_ = kInline;
    return kKalOk;
  }
  if (n > (static_cast<size_t>(-1) >> 1)) return kKalErrNoMemory;
  const size_t cap = ((n / 128) + 1) * 128;
  if (kal_alloc_hook::should_fail()) return kKalErrNoMemory;
  if (is_inline()) {
    char* p = static_cast<char*>(std::malloc(cap));
    if (!p) return kKalErrNoMemory;  // the content stays where it was
    std::memcpy(p, inline_, kInline);
    data_ = p;
  } else {
    char* p = static_cast<char*>(std::realloc(data_, cap));
    if (!p) return kKalErrNoMemory;  // the old block and content stay
    data_ = p;
  }
  capacity_ = cap;
  return kKalOk;
}

inline int KalBuffer::assign(const void* p, size_t n) {
  if (n >= capacity_) {
    // The source may live in our own block, which reserve() may move.
    if (p && data_ && static_cast<const char*>(p) >= data_ &&
        static_cast<const char*>(p) < data_ + capacity_) {
      const size_t off = static_cast<const char*>(p) - data_;
      if (int rc = reserve(n)) return rc;
      p = data_ + off;
    } else if (int rc = reserve(n)) {
      return rc;
    }
  }
  if (n) std::memmove(data_, p, n);
  size_ = n;
  if (data_) data_[n] = '\0';
  return kKalOk;
}

inline int KalBuffer::append(const void* p, size_t n) {
  if (n == 0) return kKalOk;
  if (size_ + n >= capacity_) {
    if (p && data_ && static_cast<const char*>(p) >= data_ &&
        static_cast<const char*>(p) < data_ + capacity_) {
      const size_t off = static_cast<const char*>(p) - data_;
      if (int rc = reserve(size_ + n)) return rc;
      p = data_ + off;
    } else if (int rc = reserve(size_ + n)) {
      return rc;
    }
  }
  std::memmove(data_ + size_, p, n);
  size_ += n;
  data_[size_] = '\0';
  return kKalOk;
}

inline void KalBuffer::truncate(size_t n) {
  if (n > size_) return;
  size_ = n;
  if (data_) data_[n] = '\0';
}

inline void KalBuffer::erase(size_t pos, size_t n) {
  if (pos >= size_) return;
  if (n > size_ - pos) n = size_ - pos;
  std::memmove(data_ + pos, data_ + pos + n, size_ - pos - n);
  size_ -= n;
  data_[size_] = '\0';
}

inline int KalBuffer::assign_zero(size_t n) {
  if (int rc = reserve(n)) return rc;
  std::memset(data_, 0, n + 1);
  size_ = n;
  return kKalOk;
}

#endif  // COMMON_TEXT_BUFFER_H_
