// Variable bindings and the binding list. The list is an array of owned
// binding pointers that grows by doubling; a decoder that reuses a list
// keeps its bindings and their values, so steady-state decoding allocates
// nothing here.
#include "snmp/binding.h"

#include <cstdlib>
#include <cstring>

#include "common/owned.h"

namespace {

bool same_value(const IKasSnmpValue* a, const IKasSnmpValue* b) {
  return a ? a->equals(b) : b == nullptr;
}

class CKasVarBind final : public IKasVarBind {
 public:
  void release() override { delete this; }
  IKasVarBind* clone(int* pStatus) const override {
    KalOwned<CKasVarBind> copy(kal_new<CKasVarBind>());
    if (!copy) return kal_fail<IKasVarBind>(pStatus, kKalErrNoMemory);
    int rc = kKalOk;
    if (name_ && !(copy->name_ = name_->clone(&rc))) return kal_fail<IKasVarBind>(pStatus, rc);
    if (value_ && !(copy->value_ = value_->clone(&rc))) {
      return kal_fail<IKasVarBind>(pStatus, rc);
    }
    copy->status_ = status_;
    kal_set_status(pStatus, kKalOk);
    return copy.detach();
  }
  bool equals(const IKasVarBind* other) const override {
    return other && same_value(name_, other->get_name()) &&
           same_value(value_, other->get_value()) && status_ == other->get_status();
  }
  int set(IKasSnmpValue* name, IKasSnmpValue* value) override {
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
    return kKalOk;
  }
  void detach(IKasSnmpValue** ppName, IKasSnmpValue** ppValue) override {
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
  int set_name(IKasSnmpValue* name) override {
    if (name && name->tag() != kKasTagOid) {
      name->release();
      return kKalErrInvalidArg;
    }
    if (name_) name_->release();
    name_ = name;
    return kKalOk;
  }
  int set_value(IKasSnmpValue* value) override {
    if (value_) value_->release();
    value_ = value;
    return kKalOk;
  }
  IKasSnmpValue* get_name() const override { return name_; }
  IKasSnmpValue* get_value() const override { return value_; }
  IKasOid* get_oid() const override { return name_ ? name_->as_oid() : nullptr; }
  int get_status() const override { return status_; }
  void set_status(int status) override { status_ = status; }
  void destroy() override { release(); }

 private:
  ~CKasVarBind() override { reset_parts(); }
  void reset_parts() {
    if (name_) name_->release();
    if (value_) value_->release();
    name_ = value_ = nullptr;
  }

  IKasSnmpValue* name_ = nullptr;
  IKasSnmpValue* value_ = nullptr;
  int status_ = 0;
};

class CKasVarBindList final : public IKasVarBindList {
 public:
  void release() override { delete this; }
  IKasVarBindList* clone(int* pStatus) const override {
    return copy_of(0, count_, pStatus);
  }
  bool equals(const IKasVarBindList* other) const override {
    if (!other || other->count() != count_) return false;
    for (size_t i = 0; i < count_; ++i) {
      if (!items_[i]->equals(other->at(i))) return false;
    }
    return true;
  }
  size_t count() const override { return count_; }
  int append_pair(IKasSnmpValue* name, IKasSnmpValue* value) override {
    return insert_pair(count_, name, value);
  }
  int append(IKasVarBind* binding) override { return insert(count_, binding); }
  int prepend_pair(IKasSnmpValue* name, IKasSnmpValue* value) override {
    return insert_pair(0, name, value);
  }
  int prepend(IKasVarBind* binding) override { return insert(0, binding); }
  int remove_at(size_t index, IKasVarBind** ppBinding) override {
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
  int pop_front_parts(IKasSnmpValue** ppName, IKasSnmpValue** ppValue) override {
    IKasVarBind* b = pop_front();
    if (!b) return kKalErrNoData;
    b->detach(ppName, ppValue);
    b->release();
    return kKalOk;
  }
  IKasVarBind* pop_front() override {
    IKasVarBind* b = nullptr;
    return remove_at(0, &b) == kKalOk ? b : nullptr;
  }
  IKasVarBind* at(size_t index) const override {
    return index < count_ ? items_[index] : nullptr;
  }
  IKasVarBindList* copy_range(size_t start, size_t n, int* pStatus) const override {
    if (start >= count_) return kal_fail<IKasVarBindList>(pStatus, kKalErrInvalidArg);
    return copy_of(start, n < count_ - start ? n : count_ - start, pStatus);
  }
  IKasVarBindList* split_front(size_t n, int* pStatus) override {
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
  void mark_error(int error_status, int error_index) override {
    for (size_t i = 0; i < count_; ++i) {
      const bool failing = error_index > 0 && i + 1 == static_cast<size_t>(error_index);
      items_[i]->set_status(failing ? error_status : kKasBindingOtherFailed);
    }
  }
  void mark_all(int status) override {
    for (size_t i = 0; i < count_; ++i) items_[i]->set_status(status);
  }
  void destroy() override { release(); }
  void truncate(size_t n) override {
    while (count_ > n) items_[--count_]->release();
  }
  int reserve(size_t n) override {
    if (n <= capacity_) return kKalOk;
    if (n > (static_cast<size_t>(-1) / sizeof(*items_)) / 2) return kKalErrNoMemory;
    if (kal_alloc_hook::should_fail()) return kKalErrNoMemory;
    void* p = std::realloc(items_, n * sizeof(*items_));
    if (!p) return kKalErrNoMemory;
    items_ = static_cast<IKasVarBind**>(p);
    capacity_ = n;
    return kKalOk;
  }

 private:
  ~CKasVarBindList() override {
    truncate(0);
    std::free(items_);
  }
  int insert(size_t pos, IKasVarBind* binding) {
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
  int insert_pair(size_t pos, IKasSnmpValue* name, IKasSnmpValue* value) {
    KalOwned<IKasSnmpValue> n(name);
    KalOwned<IKasSnmpValue> v(value);
    if (!name) return kKalErrInvalidArg;
    int rc = kKalOk;
    KalOwned<IKasVarBind> b(kas_create_varbind(&rc));
    if (!b) return rc;
    if ((rc = b->set(n.detach(), v.detach())) != kKalOk) return rc;
    return insert(pos, b.detach());
  }
  IKasVarBindList* copy_of(size_t start, size_t n, int* pStatus) const {
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

  IKasVarBind** items_ = nullptr;
  size_t count_ = 0;
  size_t capacity_ = 0;
};

}  // namespace

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
