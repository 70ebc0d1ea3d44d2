// Copies a text into a fixed-size field without ever overrunning it: the text
// is cut to size - 1 bytes and the field is always NUL-terminated.
#ifndef COMMON_TEXT_COPY_H_
#define COMMON_TEXT_COPY_H_

#include <cstddef>
#include <cstring>
#include <string_view>

// Copies `src` (null counts as empty) into dst[size]; answers the length
// written. size 0 writes nothing.
inline size_t kal_copy_text(char* dst, size_t size, const char* src) noexcept {
  if (size == 0) return 0;
  size_t n = src ? strnlen(src, size - 1) : 0;
  if (n) std::memcpy(dst, src, n);
  dst[n] = '\0';
  return n;
}

inline size_t kal_copy_text(char* dst, size_t size, std::string_view src) noexcept {
  if (size == 0) return 0;
  size_t n = src.size() < size - 1 ? src.size() : size - 1;
  if (n) std::memcpy(dst, src.data(), n);
  dst[n] = '\0';
  return n;
}

template <size_t N>
size_t kal_copy_text(char (&dst)[N], const char* src) noexcept {
  return kal_copy_text(dst, N, src);
}
template <size_t N>
size_t kal_copy_text(char (&dst)[N], std::string_view src) noexcept {
  return kal_copy_text(dst, N, src);
}

#endif  // COMMON_TEXT_COPY_H_
