// Variable bindings (an object identifier with a value) and the ordered list
// of bindings a PDU carries. Containers own what is placed in them: setters
// take over the object they are given (also when they refuse it: a refused
// object is released), getters lend, detach hands over, clone deep-copies.
// No locks; one thread at a time.
#ifndef SNMP_BINDING_H_
#define SNMP_BINDING_H_

#include <cstddef>
#include <cstdint>

#include "snmp/value.h"

// Per-binding status given to every binding but the failing one of a
// response whose error-status is not 0.
inline constexpr int kKasBindingOtherFailed = 100;

class IKasVarBind {
 public:
  // Releases name and value, then the binding.
  virtual void release() = 0;
  // Clones name and value. *pStatus: 0, -3.
  virtual IKasVarBind* clone(int* pStatus = nullptr) const = 0;
  // False for null; names equal or both absent, values equal or both absent,
  // equal status.
  virtual bool equals(const IKasVarBind* other) const = 0;
  // Releases what the binding holds, then takes both. A null value becomes a
  // new NULL value, so the binding always has one afterwards. -2 when the
  // name is not an object identifier, -3 when the NULL value cannot be made;
  // on failure both given parts are released and the binding is unchanged.
  virtual int set(IKasSnmpValue* name, IKasSnmpValue* value) = 0;
  // Hands out name and value (an out pointer that is null releases that
  // part instead) and leaves the binding empty.
  virtual void detach(IKasSnmpValue** ppName, IKasSnmpValue** ppValue) = 0;
  // Take over one part, releasing the old one. set_name: -2 (and released)
  // for a value that is not an object identifier; null clears.
  virtual int set_name(IKasSnmpValue* name) = 0;
  virtual int set_value(IKasSnmpValue* value) = 0;
  // Lent; null when absent.
  virtual IKasSnmpValue* get_name() const = 0;
  virtual IKasSnmpValue* get_value() const = 0;
  // The name's IKasOid interface (lent), null when absent.
  virtual IKasOid* get_oid() const = 0;
  // 0; after a decoded response the error-status of the failing binding or
  // kKasBindingOtherFailed for the others.
  virtual int get_status() const = 0;
  virtual void set_status(int status) = 0;
  virtual void destroy() = 0;  // as release()

 protected:
  virtual ~IKasVarBind() = default;
};

class IKasVarBindList {
 public:
  // Releases every binding, then the list.
  virtual void release() = 0;
  // Clones of all bindings in order. *pStatus: 0, -3.
  virtual IKasVarBindList* clone(int* pStatus = nullptr) const = 0;
  // Same count and pairwise equal bindings.
  virtual bool equals(const IKasVarBindList* other) const = 0;
  virtual size_t count() const = 0;
  // New binding set(name, value) appended. Both are always taken over: on
  // -2 (null or non-identifier name) and -3 they are released.
  virtual int append_pair(IKasSnmpValue* name, IKasSnmpValue* value) = 0;
  // Takes the binding: -2 for null, -3 (the binding is released).
  virtual int append(IKasVarBind* binding) = 0;
  virtual int prepend_pair(IKasSnmpValue* name, IKasSnmpValue* value) = 0;
  virtual int prepend(IKasVarBind* binding) = 0;
  // Removes the binding at `index`, hands it out through *ppBinding or
  // releases it when ppBinding is null. -2 when index is not below count.
  virtual int remove_at(size_t index, IKasVarBind** ppBinding = nullptr) = 0;
  // Removes the first binding, hands out (or releases, for a null out
  // pointer) its name and value and releases the binding. -7 when empty.
  virtual int pop_front_parts(IKasSnmpValue** ppName, IKasSnmpValue** ppValue) = 0;
  // Removes the first binding and hands it out; null when empty.
  virtual IKasVarBind* pop_front() = 0;
  // Lent; null when index is not below count.
  virtual IKasVarBind* at(size_t index) const = 0;
  // New list with clones of bindings [start, start + n) cut at the end.
  // *pStatus: 0, -2 when start is not below count, -3.
  virtual IKasVarBindList* copy_range(size_t start, size_t n, int* pStatus = nullptr) const = 0;
  // New list receiving the first n bindings, moved (fewer when shorter).
  virtual IKasVarBindList* split_front(size_t n, int* pStatus = nullptr) = 0;
  // The binding at 1-based `error_index` gets `error_status`, every other
  // one kKasBindingOtherFailed (all of them when the index is 0 or beyond).
  virtual void mark_error(int error_status, int error_index) = 0;
  virtual void mark_all(int status) = 0;
  virtual void destroy() = 0;  // as release()

  // Releases the bindings from position n on (a decoder reusing a list).
  virtual void truncate(size_t n) = 0;
  // Makes room for n bindings without growing later. -3.
  virtual int reserve(size_t n) = 0;

 protected:
  virtual ~IKasVarBindList() = default;
};

// An empty binding (no name, no value, status 0). Caller owns; *pStatus 0, -3.
IKasVarBind* kas_create_varbind(int* pStatus = nullptr);
// An empty binding list. Caller owns; *pStatus 0, -3.
IKasVarBindList* kas_create_varbind_list(int* pStatus = nullptr);

#endif  // SNMP_BINDING_H_
