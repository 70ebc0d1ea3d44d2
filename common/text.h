// The owned byte-string value in which addresses and SNMP values hand out
// text. It keeps a length, so it may hold NUL bytes, and always keeps a NUL
// after the last byte so that text() can be passed to C string functions.
// One owner; copies are made with clone(). Not thread-safe: one thread uses a
// value at a time.
#ifndef COMMON_TEXT_H_
#define COMMON_TEXT_H_

#include <cstddef>

#include "common/status.h"

class IKalText {
 public:
  // Destroys and frees the value.
  virtual void release() = 0;
  virtual size_t length() const = 0;
  // The NUL-terminated bytes, or nullptr when the value is empty. Lent: good
  // until the next change of this value or its release.
  virtual const char* text() const = 0;
  // Replace the content. Answer 0, kKalErrInvalidArg for a null pointer with a
  // non-zero length, kKalErrNoMemory (the value is then unchanged).
  virtual int assign(const void* bytes, size_t length) = 0;
  virtual int assign(const char* text) = 0;  // null assigns the empty value
  // Append to the content; same answers as assign.
  virtual int append(const void* bytes, size_t length) = 0;
  virtual int append(const char* text) = 0;
  virtual int append(const IKalText* other) = 0;  // null appends nothing
  // A deep copy the caller owns. *pStatus (optional): 0 or kKalErrNoMemory.
  virtual IKalText* clone(int* pStatus = nullptr) const = 0;
  // Exact, case-sensitive, byte by byte; two empty values are equal.
  virtual bool equals(const void* bytes, size_t length) const = 0;
  virtual bool equals(const char* text) const = 0;  // null counts as empty
  virtual bool equals(const IKalText* other) const = 0;  // null: false
  // Empties the value.
  virtual void clear() = 0;
  // The bytes, never null (an empty value lends ""). Lent like text().
  virtual const char* data() const = 0;
  virtual ~IKalText() = default;
};

// A new empty text value the caller owns (free with release()).
// *pStatus (optional): 0 or kKalErrNoMemory.
IKalText* kal_create_text(int* pStatus = nullptr);
// A new text value holding a copy of `text` (null gives the empty value).
// *pStatus (optional): 0 or kKalErrNoMemory.
IKalText* kal_create_text_from(const char* text, int* pStatus = nullptr);

#endif  // COMMON_TEXT_H_
