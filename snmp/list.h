// A doubly linked list over owned elements, with cursors: the shape shared by
// the PDU list and the packet list. The list owns its elements: push takes
// the element over, pop and clear release, current() lends, take_current()
// hands over. No lock; one thread at a time.
#ifndef SNMP_LIST_H_
#define SNMP_LIST_H_

#include <cstddef>

#include "common/status.h"

// A position in one list. Made by new_cursor(); the caller releases it, before
// or after the list. A cursor stays good while the element under it stays in
// the list (take_current through the same cursor moves it on); removing that
// element otherwise (pop, clear) leaves the cursor dangling: rewind it first.
class IKasListCursor {
 public:
  virtual void release() = 0;

 protected:
  virtual ~IKasListCursor() = default;
};

template <class T>
class IKasList {
 public:
  // Take the element over. -2 for null, -3 when no node can be made (the
  // element is then released).
  virtual int push_front(T* element) = 0;
  virtual int push_back(T* element) = 0;
  // Remove and release the first / last element (nothing when empty).
  virtual void pop_front() = 0;
  virtual void pop_back() = 0;
  // Releases every element.
  virtual void clear() = 0;
  virtual size_t count() const = 0;
  // A new cursor on the first element. Caller releases it. *pStatus 0, -3.
  virtual IKasListCursor* new_cursor(int* pStatus = nullptr) const = 0;
  virtual void rewind(IKasListCursor* cursor) const = 0;
  // Releases an element that is not in the list (the list's element policy).
  virtual void release_element(T* element) const = 0;
  // The element under the cursor (lent); null at the end.
  virtual T* current(const IKasListCursor* cursor) const = 0;
  // Moves to the next element; no move at the end.
  virtual void next(IKasListCursor* cursor) const = 0;
  // Unlinks the element under the cursor without releasing it, hands it to
  // the caller and moves the cursor on; null at the end or when empty.
  virtual T* take_current(IKasListCursor* cursor) = 0;
  // The list's own interface.
  virtual IKasList<T>* interface() = 0;
  // Releases every element and the list.
  virtual void destroy() = 0;
  virtual void release() = 0;  // as destroy()
  // First / last element, lent; null when empty.
  virtual T* front() const = 0;
  virtual T* back() const = 0;
  // Unlinks the first element and hands it over; null when empty.
  virtual T* take_front() = 0;

 protected:
  virtual ~IKasList() = default;
};

#endif  // SNMP_LIST_H_
