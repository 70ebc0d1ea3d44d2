#include "facade/walk_step.h"

#include "snmp/binding.h"
#include "snmp/pdu.h"
#include "snmp/value.h"

KalWalkStep kal_walk_step(const IKasOid* root, const IKasOid* previous,
                          const IKasPdu* answer) {
  const IKasVarBindList* bindings = answer ? answer->get_bindings() : nullptr;
  const IKasVarBind* first = bindings ? bindings->at(0) : nullptr;
  const IKasOid* oid = first ? first->get_oid() : nullptr;
  if (!oid || !root) return KalWalkStep::kNoBinding;
  if (answer->get_error_status() != kKasSnmpNoError) return KalWalkStep::kEnd;
  if (previous) {
    // "After" includes lying below the previous identifier (a descendant).
    const int order = oid->compare_numeric(previous);
    if (order != kKasOidAfter && order != kKasOidDescendant)
      return KalWalkStep::kEnd;
  }
  const int relation = oid->compare_numeric(root);
  if (relation == kKasOidDescendant || relation == kKasOidAncestor)
    return KalWalkStep::kRow;
  return KalWalkStep::kEnd;
}
