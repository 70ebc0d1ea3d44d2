// The PDU: type, request-id, error fields, the SNMPv1 trap fields and the
// binding list. It owns its list and trap fields: setters take over (a
// refused object is released), getters lend, detach hands over, clone
// deep-copies. No lock; one thread at a time.
#ifndef SNMP_PDU_H_
#define SNMP_PDU_H_

#include <cstdint>

#include "snmp/binding.h"
#include "snmp/value.h"

// PDU types: the low bits of the context tag 0xA0 + type. Type 4 is the
// SNMPv1 Trap in a version-0 message and the SNMPv2-Trap in a version-1
// message. There is no type 7.
enum : int {
  kKasPduNone = -1,
  kKasPduGet = 0,
  kKasPduGetNext = 1,
  kKasPduResponse = 2,
  kKasPduSet = 3,
  kKasPduTrap = 4,
  kKasPduGetBulk = 5,
  kKasPduInform = 6,
  kKasPduReport = 8,
};

// Error-status values of a response (RFC 3416 section 3), 0 to 18.
enum : int {
  kKasSnmpNoError = 0,
  kKasSnmpTooBig = 1,
  kKasSnmpNoSuchName = 2,
  kKasSnmpBadValue = 3,
  kKasSnmpReadOnly = 4,
  kKasSnmpGenErr = 5,
  kKasSnmpNoAccess = 6,
  kKasSnmpNotWritable = 17,
  kKasSnmpInconsistentName = 18,
};

class IKasPdu {
 public:
  // Releases the bindings and trap fields, then the PDU.
  virtual void release() = 0;
  // Releases the binding list and trap fields; type -1, error-status -1,
  // error-index 0.
  virtual void clear() = 0;
  // A new PDU assigned from this one. *pStatus: 0, -3.
  virtual IKasPdu* clone(int* pStatus = nullptr) const = 0;
  // assign_header, then this PDU's bindings become a clone of other's (or
  // none). -2 for null, -3 (this PDU is then unchanged).
  virtual int assign(const IKasPdu* other) = 0;
  // Copies type, request-id, error-status, error-index and clones of the
  // trap fields (or none). -2 for null, -3 (unchanged).
  virtual int assign_header(const IKasPdu* other) = 0;
  // False when this type is -1 or the types differ; type 4 compares the trap
  // fields, others request-id, error-status and error-index; then the
  // binding lists (or both absent).
  virtual bool equals(const IKasPdu* other) const = 0;
  virtual int get_type() const = 0;
  virtual void set_type(int type) = 0;
  // Lent; null until a binding operation creates the list.
  virtual IKasVarBindList* get_bindings() const = 0;
  // Takes the list (null: none), releasing the old one.
  virtual void set_bindings(IKasVarBindList* list) = 0;
  // Hands the list to the caller; the PDU has none afterwards.
  virtual IKasVarBindList* detach_bindings() = 0;
  // Forward to the list's operations, creating the list when absent (-3
  // when that fails; what was given is then released).
  virtual int append_pair(IKasSnmpValue* name, IKasSnmpValue* value) = 0;
  virtual int append(IKasVarBind* binding) = 0;
  virtual int prepend_pair(IKasSnmpValue* name, IKasSnmpValue* value) = 0;
  virtual int prepend(IKasVarBind* binding) = 0;
  // The list's pop_front_parts / pop_front; -7 / null without a list.
  virtual int pop_front_parts(IKasSnmpValue** ppName, IKasSnmpValue** ppValue) = 0;
  virtual IKasVarBind* pop_front() = 0;
  virtual int32_t get_request_id() const = 0;
  // In a GetBulk request error-status carries non-repeaters and error-index
  // max-repetitions.
  virtual int32_t get_error_status() const = 0;
  virtual int32_t get_error_index() const = 0;
  virtual void set_request_id(int32_t id) = 0;
  virtual void set_error_status(int32_t status) = 0;
  virtual void set_error_index(int32_t index) = 0;
  // SNMPv1 trap time-stamp (TimeTicks) and trap identifier (object
  // identifier, SNMPv2 form); lent, null when absent.
  virtual IKasSnmpValue* get_trap_timestamp() const = 0;
  virtual IKasSnmpValue* get_trap_oid() const = 0;
  virtual IKasSnmpValue* detach_trap_timestamp() = 0;
  virtual IKasSnmpValue* detach_trap_oid() = 0;
  // Take over the value, releasing the old one. -2 unless it is non-null and
  // of tag 67 (TimeTicks) / 6 (object identifier); a refused value is
  // released and the old one kept.
  virtual int set_trap_timestamp(IKasSnmpValue* value) = 0;
  virtual int set_trap_oid(IKasSnmpValue* value) = 0;
  virtual void destroy() = 0;  // as release()

  // Number of bindings (0 without a list).
  virtual size_t binding_count() const = 0;

 protected:
  virtual ~IKasPdu() = default;
};

// A new PDU: type -1, no bindings list, request-id 0, error-status 0,
// error-index 0, no trap fields. Caller owns; *pStatus 0, -3.
IKasPdu* kas_create_pdu(int* pStatus = nullptr);

#endif  // SNMP_PDU_H_
