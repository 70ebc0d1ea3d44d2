#include "facade/walk_limits.h"

#include "snmp/binding.h"
#include "snmp/pdu.h"
#include "snmp/value.h"

size_t kal_walk_row_octets(const IKasPdu* answer) {
  const IKasVarBindList* bindings = answer ? answer->get_bindings() : nullptr;
  if (!answer) return 0;
  const size_t n = bindings ? bindings->count() : 0;
  size_t octets = kKalWalkRowOctets;
  for (size_t i = 0; i < n; ++i) {
    const IKasVarBind* binding = bindings->at(i);
    if (!binding) continue;
    octets += kKalWalkBindingOctets;
    if (const IKasOid* name = binding->get_oid()) octets += name->text_length();
    const IKasSnmpValue* value = binding->get_value();
    if (!value) continue;
    const IKasOid* oid = value->as_oid();
    octets += oid ? oid->text_length() : value->size();
  }
  return octets;
}
