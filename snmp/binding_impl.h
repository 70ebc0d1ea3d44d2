// The binding and the binding list of this layer, named here so that the
// codec reads them inline: a binding of this layer keeps its name and value
// also as CKasValueBase (set when they are given to it), so that the codec
// reaches their content with one virtual call each instead of a getter, a
// query and a view. Bindings and lists made elsewhere are reached through
// their interfaces only. Internal to the snmp layer.
#ifndef SNMP_BINDING_IMPL_H_
#define SNMP_BINDING_IMPL_H_

#include <cstddef>
#include <typeinfo>

#include "snmp/binding.h"
#include "snmp/value_base.h"

class CKasVarBind final : public IKasVarBind {
 public:
  CKasVarBind() = default;

  void release() override;
  IKasVarBind* clone(int* pStatus) const override;
  bool equals(const IKasVarBind* other) const override;
  int set(IKasSnmpValue* name, IKasSnmpValue* value) override;
  void detach(IKasSnmpValue** ppName, IKasSnmpValue** ppValue) override;
  int set_name(IKasSnmpValue* name) override;
  int set_value(IKasSnmpValue* value) override;
  IKasSnmpValue* get_name() const override { return name_; }
  IKasSnmpValue* get_value() const override { return value_; }
  IKasOid* get_oid() const override { return name_ ? name_->as_oid() : nullptr; }
  int get_status() const override { return status_; }
  void set_status(int status) override { status_ = status; }
  void destroy() override;

  // The name and value when they are values of this layer, else null (also
  // when absent). The name's kind is then kKasTagOid.
  CKasValueBase* name_base() const { return name_base_; }
  CKasValueBase* value_base() const { return value_base_; }

 private:
  ~CKasVarBind() override;
  void reset_parts();

  IKasSnmpValue* name_ = nullptr;
  IKasSnmpValue* value_ = nullptr;
  // The same objects as name_ and value_ when they are of this layer.
  CKasValueBase* name_base_ = nullptr;
  CKasValueBase* value_base_ = nullptr;
  int status_ = 0;
};

class CKasVarBindList final : public IKasVarBindList {
 public:
  CKasVarBindList() = default;

  void release() override;
  IKasVarBindList* clone(int* pStatus) const override;
  bool equals(const IKasVarBindList* other) const override;
  size_t count() const override { return count_; }
  int append_pair(IKasSnmpValue* name, IKasSnmpValue* value) override;
  int append(IKasVarBind* binding) override;
  int prepend_pair(IKasSnmpValue* name, IKasSnmpValue* value) override;
  int prepend(IKasVarBind* binding) override;
  int remove_at(size_t index, IKasVarBind** ppBinding) override;
  int pop_front_parts(IKasSnmpValue** ppName, IKasSnmpValue** ppValue) override;
  IKasVarBind* pop_front() override;
  IKasVarBind* at(size_t index) const override {
    return index < count_ ? items_[index] : nullptr;
  }
  IKasVarBindList* copy_range(size_t start, size_t n, int* pStatus) const override;
  IKasVarBindList* split_front(size_t n, int* pStatus) override;
  void mark_error(int error_status, int error_index) override;
  void mark_all(int status) override;
  void destroy() override;
  void truncate(size_t n) override;
  int reserve(size_t n) override;

  // The bindings in order (lent); count() of them.
  IKasVarBind* const* items() const { return items_; }

 private:
  ~CKasVarBindList() override;
  int insert(size_t pos, IKasVarBind* binding);
  int insert_pair(size_t pos, IKasSnmpValue* name, IKasSnmpValue* value);
  IKasVarBindList* copy_of(size_t start, size_t n, int* pStatus) const;

  IKasVarBind** items_ = nullptr;
  size_t count_ = 0;
  size_t capacity_ = 0;
};

// The binding as one of this layer, or null for one made elsewhere (or
// null). Compares the dynamic type: no virtual call.
inline CKasVarBind* kas_varbind_of(IKasVarBind* binding) {
  return binding && typeid(*binding) == typeid(CKasVarBind) ? static_cast<CKasVarBind*>(binding)
                                                            : nullptr;
}
inline CKasVarBindList* kas_varbind_list_of(IKasVarBindList* list) {
  return list && typeid(*list) == typeid(CKasVarBindList) ? static_cast<CKasVarBindList*>(list)
                                                          : nullptr;
}
inline const CKasVarBindList* kas_varbind_list_of(const IKasVarBindList* list) {
  return kas_varbind_list_of(const_cast<IKasVarBindList*>(list));
}

#endif  // SNMP_BINDING_IMPL_H_
