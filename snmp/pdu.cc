// The PDU: header fields, the optional SNMPv1 trap fields and a binding list
// made on first use.
#include "snmp/pdu.h"

#include "common/owned.h"

namespace {

bool same_value(const IKasSnmpValue* a, const IKasSnmpValue* b) {
  return a ? a->equals(b) : b == nullptr;
}

// A clone of `v` into *pOut, or null when v is null.
int clone_or_null(const IKasSnmpValue* v, KalOwned<IKasSnmpValue>* pOut) {
  if (!v) return kKalOk;
  int rc = kKalOk;
  pOut->reset(v->clone(&rc));
  return *pOut ? kKalOk : rc;
}

class CKasPdu final : public IKasPdu {
 public:
  void release() override { delete this; }
  void clear() override {
    drop_fields();
    type_ = kKasPduNone;
    error_status_ = -1;
    error_index_ = 0;
  }
  IKasPdu* clone(int* pStatus) const override {
    KalOwned<CKasPdu> copy(kal_new<CKasPdu>());
    if (!copy) return kal_fail<IKasPdu>(pStatus, kKalErrNoMemory);
    if (int rc = copy->assign(this)) return kal_fail<IKasPdu>(pStatus, rc);
    kal_set_status(pStatus, kKalOk);
    return copy.detach();
  }
  int assign(const IKasPdu* other) override {
    if (!other) return kKalErrInvalidArg;
    if (other == this) return kKalOk;
    KalOwned<IKasVarBindList> list;
    if (const IKasVarBindList* src = other->get_bindings()) {
      int rc = kKalOk;
      list.reset(src->clone(&rc));
      if (!list) return rc;
    }
    if (int rc = assign_header(other)) return rc;
    set_bindings(list.detach());
    return kKalOk;
  }
  int assign_header(const IKasPdu* other) override {
    if (!other) return kKalErrInvalidArg;
    if (other == this) return kKalOk;
    KalOwned<IKasSnmpValue> stamp;
    KalOwned<IKasSnmpValue> trap;
    if (int rc = clone_or_null(other->get_trap_timestamp(), &stamp)) return rc;
    if (int rc = clone_or_null(other->get_trap_oid(), &trap)) return rc;
    type_ = other->get_type();
    request_id_ = other->get_request_id();
    error_status_ = other->get_error_status();
    error_index_ = other->get_error_index();
    replace(&timestamp_, stamp.detach());
    replace(&trap_oid_, trap.detach());
    return kKalOk;
  }
  bool equals(const IKasPdu* other) const override {
    if (!other || type_ == kKasPduNone || other->get_type() != type_) return false;
    if (type_ == kKasPduTrap) {
      if (!same_value(timestamp_, other->get_trap_timestamp()) ||
          !same_value(trap_oid_, other->get_trap_oid())) {
        return false;
      }
    } else if (request_id_ != other->get_request_id() ||
               error_status_ != other->get_error_status() ||
               error_index_ != other->get_error_index()) {
      return false;
    }
    const IKasVarBindList* theirs = other->get_bindings();
    return bindings_ ? bindings_->equals(theirs) : theirs == nullptr;
  }
  int get_type() const override { return type_; }
  void set_type(int type) override { type_ = type; }
  IKasVarBindList* get_bindings() const override { return bindings_; }
  void set_bindings(IKasVarBindList* list) override {
    if (list == bindings_) return;
    if (bindings_) bindings_->release();
    bindings_ = list;
  }
  IKasVarBindList* detach_bindings() override {
    IKasVarBindList* list = bindings_;
    bindings_ = nullptr;
    return list;
  }
  int append_pair(IKasSnmpValue* name, IKasSnmpValue* value) override {
    KalOwned<IKasSnmpValue> n(name);
    KalOwned<IKasSnmpValue> v(value);
    if (int rc = ensure_list()) return rc;
    return bindings_->append_pair(n.detach(), v.detach());
  }
  int append(IKasVarBind* binding) override {
    KalOwned<IKasVarBind> b(binding);
    if (int rc = ensure_list()) return rc;
    return bindings_->append(b.detach());
  }
  int prepend_pair(IKasSnmpValue* name, IKasSnmpValue* value) override {
    KalOwned<IKasSnmpValue> n(name);
    KalOwned<IKasSnmpValue> v(value);
    if (int rc = ensure_list()) return rc;
    return bindings_->prepend_pair(n.detach(), v.detach());
  }
  int prepend(IKasVarBind* binding) override {
    KalOwned<IKasVarBind> b(binding);
    if (int rc = ensure_list()) return rc;
    return bindings_->prepend(b.detach());
  }
  int pop_front_parts(IKasSnmpValue** ppName, IKasSnmpValue** ppValue) override {
    return bindings_ ? bindings_->pop_front_parts(ppName, ppValue) : kKalErrNoData;
  }
  IKasVarBind* pop_front() override { return bindings_ ? bindings_->pop_front() : nullptr; }
  int32_t get_request_id() const override { return request_id_; }
  int32_t get_error_status() const override { return error_status_; }
  int32_t get_error_index() const override { return error_index_; }
  void set_request_id(int32_t id) override { request_id_ = id; }
  void set_error_status(int32_t status) override { error_status_ = status; }
  void set_error_index(int32_t index) override { error_index_ = index; }
  IKasSnmpValue* get_trap_timestamp() const override { return timestamp_; }
  IKasSnmpValue* get_trap_oid() const override { return trap_oid_; }
  IKasSnmpValue* detach_trap_timestamp() override {
    IKasSnmpValue* v = timestamp_;
    timestamp_ = nullptr;
    return v;
  }
  IKasSnmpValue* detach_trap_oid() override {
    IKasSnmpValue* v = trap_oid_;
    trap_oid_ = nullptr;
    return v;
  }
  int set_trap_timestamp(IKasSnmpValue* value) override {
    return set_field(&timestamp_, value, kKasTagTimeTicks);
  }
  int set_trap_oid(IKasSnmpValue* value) override {
    return set_field(&trap_oid_, value, kKasTagOid);
  }
  void destroy() override { release(); }
  size_t binding_count() const override { return bindings_ ? bindings_->count() : 0; }

 private:
  ~CKasPdu() override { drop_fields(); }
  static void replace(IKasSnmpValue** field, IKasSnmpValue* value) {
    if (*field == value) return;
    if (*field) (*field)->release();
    *field = value;
  }
  static int set_field(IKasSnmpValue** field, IKasSnmpValue* value, int tag) {
    if (!value) return kKalErrInvalidArg;
    if (value->tag() != tag) {
      if (value != *field) value->release();
      return kKalErrInvalidArg;
    }
    replace(field, value);
    return kKalOk;
  }
  int ensure_list() {
    if (bindings_) return kKalOk;
    int rc = kKalOk;
    bindings_ = kas_create_varbind_list(&rc);
    return rc;
  }
  void drop_fields() {
    set_bindings(nullptr);
    replace(&timestamp_, nullptr);
    replace(&trap_oid_, nullptr);
  }

  int type_ = kKasPduNone;
  int32_t request_id_ = 0;
  int32_t error_status_ = 0;
  int32_t error_index_ = 0;
  IKasVarBindList* bindings_ = nullptr;
  IKasSnmpValue* timestamp_ = nullptr;
  IKasSnmpValue* trap_oid_ = nullptr;
};

}  // namespace

IKasPdu* kas_create_pdu(int* pStatus) {
  IKasPdu* pdu = kal_new<CKasPdu>();
  if (!pdu) return kal_fail<IKasPdu>(pStatus, kKalErrNoMemory);
  kal_set_status(pStatus, kKalOk);
  return pdu;
}
