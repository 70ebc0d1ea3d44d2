// The stop rule of a table walk, apart from the network: given the walk's
// root, the first identifier of the request just sent and the agent's
// answer, decide whether the answer is a row to keep or the end of the walk.
#ifndef FACADE_WALK_STEP_H_
#define FACADE_WALK_STEP_H_

#include <string_view>

class IKasOid;
class IKasPdu;

enum class KalWalkStep {
  kRow,        // keep the answer and ask for the next row
  kEnd,        // the walk is over; the answer is not kept
  kNoBinding,  // the answer carries no identifier to go on from
};

// The answer ends the walk when
//   - it carries a non-zero error-status (an SNMPv1 agent answers the end of
//     its MIB with noSuchName and echoes the request);
//   - its first identifier is not after `previous` in SNMP's order
//     (sub-identifiers compared as numbers, RFC 3416 section 4.2.2): an
//     agent that echoes or loops would otherwise keep the walk going forever;
//   - its first identifier leaves the subtree of `root` (it is neither below
//     `root` nor a proper prefix of it).
// Only the first binding decides; callers put the column that defines the
// rows first. `previous` may be null (no order check). All arguments lent.
KalWalkStep kal_walk_step(const IKasOid* root, const IKasOid* previous,
                          const IKasPdu* answer);

// The relation of the dotted identifier `a` to `b` in SNMP's numeric order,
// with the codes of IKasOid::compare_numeric (kKasOidEqual, kKasOidAncestor,
// kKasOidDescendant, kKasOidBefore, kKasOidAfter). One pass over the common
// prefix and the one sub-identifier where the texts part: a walk compares
// every answer twice, and the texts of neighbouring rows share all but
// their last few characters. Texts with a leading zero in the deciding
// sub-identifier, and empty texts, go to kas_oid_compare_numeric.
int kal_oid_relation(std::string_view a, std::string_view b);

#endif  // FACADE_WALK_STEP_H_
