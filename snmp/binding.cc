// Variable bindings and the binding list. The list is an array of owned
// binding pointers that grows by doubling; a decoder that reuses a list
// keeps its bindings and their values, so steady-state decoding allocates
// nothing here.
#include "snmp/binding.h"

#include <cstdlib>
#include <cstring>

#include "common/owned.h"
#include "snmp/binding_impl.h"

namespace {

bool same_value(const IKasSnmpValue* a, const IKasSnmpValue* b) {
  return a ? a->equals(b) : b == nullptr;
}

// The value as CKasValueBase when it is of this layer (one query, made when
// a part is given to a binding, not when it is read).
CKasValueBase* base_of(IKasSnmpValue* value) {
  const void* p = nullptr;
  if (!value || value->query(kKasValueBaseQuery, &p) != kKalOk || !p) return nullptr;
  // The value lent itself through its const query; the binding owns it.
  return const_cast<CKasValueBase*>(static_cast<const CKasValueBase*>(p));
}

}  // namespace

// --- CKasVarBind

void CKasVarBind::release() { delete this; }
void CKasVarBind::destroy() { release(); }
CKasVarBind::~CKasVarBind() { reset_parts(); }

IKasVarBind* CKasVarBind::clone(int* pStatus) const {
  KalOwned<CKasVarBind> copy(kal_new<CKasVarBind>());
  if (!copy) return kal_fail<IKasVarBind>(pStatus, kKalErrNoMemory);
  int rc = kKalOk;
  if (name_) {
    if (!(copy->name_ = name_->clone(&rc))) return kal_fail<IKasVarBind>(pStatus, rc);
    copy->name_base_ = base_of(copy->name_);
  }
  if (value_) {
    if (!(copy->value_ = value_->clone(&rc))) return kal_fail<IKasVarBind>(pStatus, rc);
    copy->value_base_ = base_of(copy->value_);
  }
  copy->status_ = status_;
  kal_set_status(pStatus, kKalOk);
  return copy.detach();
}

bool CKasVarBind::equals(const IKasVarBind* other) const {
  return other && same_value(name_, other->get_name()) &&
         same_value(value_, other->get_value()) && status_ == other->get_status();
}

int CKasVarBind::set(IKasSnmpValue* name, IKasSnmpValue* value) {
  KalOwned<IKasSnmpValue> n(name);
  KalOwned<IKasSnmpValue> v(value);
  if (name && name->tag() != kKasTagOid) return kKalErrInvalidArg;
  if (!v) {
    int rc = kKalOk;
    v.reset(kas_create_value(kKasTagNull, &rc));
    if (!v) return rc;
  }
  reset_parts();
  name_ = n.detach();
  value_ = v.detach();
  name_base_ = base_of(name_);
  value_base_ = base_of(value_);
  return kKalOk;
}

void CKasVarBind::detach(IKasSnmpValue** ppName, IKasSnmpValue** ppValue) {
  if (ppName) {
    *ppName = name_;
    name_ = nullptr;
  }
  if (ppValue) {
    *ppValue = value_;
    value_ = nullptr;
  }
  reset_parts();
}

int CKasVarBind::set_name(IKasSnmpValue* name) {
  if (name && name->tag() != kKasTagOid) {
    name->release();
    return kKalErrInvalidArg;
  }
  if (name_) name_->release();
  name_ = name;
  name_base_ = base_of(name);
  return kKalOk;
}

int CKasVarBind::set_value(IKasSnmpValue* value) {
  if (value_) value_->release();
  value_ = value;
  value_base_ = base_of(value);
  return kKalOk;
}

void CKasVarBind::reset_parts() {
  if (name_) name_->release();
  if (value_) value_->release();
  name_ = value_ = nullptr;
  name_base_ = value_base_ = nullptr;
}

// --- CKasVarBindList

void CKasVarBindList::release() { delete this; }
void CKasVarBindList::destroy() { release(); }

CKasVarBindList::~CKasVarBindList() {
  truncate(0);
  std::free(items_);
}

IKasVarBindList* CKasVarBindList::clone(int* pStatus) const { return copy_of(0, count_, pStatus); }

bool CKasVarBindList::equals(const IKasVarBindList* other) const {
  if (!other || other->count() != count_) return false;
  for (size_t i = 0; i < count_; ++i) {
    if (!items_[i]->equals(other->at(i))) return false;
  }
  return true;
}

int CKasVarBindList::append_pair(IKasSnmpValue* name, IKasSnmpValue* value) {
  return insert_pair(count_, name, value);
}
int CKasVarBindList::append(IKasVarBind* binding) { return insert(count_, binding); }
int CKasVarBindList::prepend_pair(IKasSnmpValue* name, IKasSnmpValue* value) {
  return insert_pair(0, name, value);
}
int CKasVarBindList::prepend(IKasVarBind* binding) { return insert(0, binding); }

int CKasVarBindList::remove_at(size_t index, IKasVarBind** ppBinding) {
  if (index >= count_) return kKalErrInvalidArg;
  IKasVarBind* b = items_[index];
  std::memmove(items_ + index, items_ + index + 1, (count_ - index - 1) * sizeof(*items_));
  --count_;
  if (ppBinding) {
    *ppBinding = b;
  } else {
    b->release();
  }
  return kKalOk;
}

int CKasVarBindList::pop_front_parts(IKasSnmpValue** ppName, IKasSnmpValue** ppValue) {
  IKasVarBind* b = pop_front();
  if (!b) return kKalErrNoData;
  b->detach(ppName, ppValue);
  b->release();
  return kKalOk;
}

IKasVarBind* CKasVarBindList::pop_front() {
  IKasVarBind* b = nullptr;
  return remove_at(0, &b) == kKalOk ? b : nullptr;
}

IKasVarBindList* CKasVarBindList::copy_range(size_t start, size_t n, int* pStatus) const {
  if (start >= count_) return kal_fail<IKasVarBindList>(pStatus, kKalErrInvalidArg);
  return copy_of(start, n < count_ - start ? n : count_ - start, pStatus);
}

IKasVarBindList* CKasVarBindList::split_front(size_t n, int* pStatus) {
  if (n > count_) n = count_;
  KalOwned<CKasVarBindList> front(kal_new<CKasVarBindList>());
  if (!front) return kal_fail<IKasVarBindList>(pStatus, kKalErrNoMemory);
  if (int rc = front->reserve(n)) return kal_fail<IKasVarBindList>(pStatus, rc);
  if (n) std::memcpy(front->items_, items_, n * sizeof(*items_));
  front->count_ = n;
  if (count_ > n) std::memmove(items_, items_ + n, (count_ - n) * sizeof(*items_));
  count_ -= n;
  kal_set_status(pStatus, kKalOk);
  return front.detach();
}

void CKasVarBindList::mark_error(int error_status, int error_index) {
  for (size_t i = 0; i < count_; ++i) {
    const bool failing = error_index > 0 && i + 1 == static_cast<size_t>(error_index);
    items_[i]->set_status(failing ? error_status : kKasBindingOtherFailed);
  }
}

void CKasVarBindList::mark_all(int status) {
  for (size_t i = 0; i < count_; ++i) {
    // Bindings of this layer without the virtual call.
    if (CKasVarBind* b = kas_varbind_of(items_[i])) {
      b->set_status(status);
    } else {
      items_[i]->set_status(status);
    }
  }
}

void CKasVarBindList::truncate(size_t n) {
  while (count_ > n) items_[--count_]->release();
}

int CKasVarBindList::reserve(size_t n) {
  if (n <= capacity_) return kKalOk;
  if (n > (static_cast<size_t>(-1) / sizeof(*items_)) / 2) return kKalErrNoMemory;
  if (kal_alloc_hook::should_fail()) return kKalErrNoMemory;
  void* p = std::realloc(items_, n * sizeof(*items_));
  if (!p) return kKalErrNoMemory;
  items_ = static_cast<IKasVarBind**>(p);
  capacity_ = n;
  return kKalOk;
}

int CKasVarBindList::insert(size_t pos, IKasVarBind* binding) {
  if (!binding) return kKalErrInvalidArg;
  if (count_ == capacity_) {
    if (int rc = reserve(capacity_ ? capacity_ * 2 : 8)) {
      binding->release();
      return rc;
    }
  }
  std::memmove(items_ + pos + 1, items_ + pos, (count_ - pos) * sizeof(*items_));
  items_[pos] = binding;
  ++count_;
  return kKalOk;
}

int CKasVarBindList::insert_pair(size_t pos, IKasSnmpValue* name, IKasSnmpValue* value) {
  KalOwned<IKasSnmpValue> n(name);
  KalOwned<IKasSnmpValue> v(value);
  if (!name) return kKalErrInvalidArg;
  int rc = kKalOk;
  KalOwned<IKasVarBind> b(kas_create_varbind(&rc));
  if (!b) return rc;
  if ((rc = b->set(n.detach(), v.detach())) != kKalOk) return rc;
  return insert(pos, b.detach());
}

IKasVarBindList* CKasVarBindList::copy_of(size_t start, size_t n, int* pStatus) const {
  KalOwned<CKasVarBindList> copy(kal_new<CKasVarBindList>());
  if (!copy) return kal_fail<IKasVarBindList>(pStatus, kKalErrNoMemory);
  if (int rc = copy->reserve(n)) return kal_fail<IKasVarBindList>(pStatus, rc);
  for (size_t i = 0; i < n; ++i) {
    int rc = kKalOk;
    IKasVarBind* b = items_[start + i]->clone(&rc);
    if (!b) return kal_fail<IKasVarBindList>(pStatus, rc);
    copy->items_[copy->count_++] = b;
  }
  kal_set_status(pStatus, kKalOk);
  return copy.detach();
}

IKasVarBind* kas_create_varbind(int* pStatus) {
  IKasVarBind* b = kal_new<CKasVarBind>();
  if (!b) return kal_fail<IKasVarBind>(pStatus, kKalErrNoMemory);
  kal_set_status(pStatus, kKalOk);
  return b;
}

IKasVarBindList* kas_create_varbind_list(int* pStatus) {
  IKasVarBindList* list = kal_new<CKasVarBindList>();
  if (!list) return kal_fail<IKasVarBindList>(pStatus, kKalErrNoMemory);
  kal_set_status(pStatus, kKalOk);
  return list;
}
