#include "facade/walk_step.h"

#include <algorithm>

#include "snmp/binding.h"
#include "snmp/pdu.h"
#include "snmp/value.h"

int kal_oid_relation(std::string_view a, std::string_view b) {
  if (a.empty() || b.empty())
    return kas_oid_compare_numeric(a.data(), a.size(), b.data(), b.size());
  const size_t common = std::min(a.size(), b.size());
  size_t i = 0;
  while (i < common && a[i] == b[i]) ++i;
  if (i == a.size() && i == b.size()) return kKasOidEqual;
  if (i == a.size() && b[i] == '.') return kKasOidAncestor;
  if (i == b.size() && a[i] == '.') return kKasOidDescendant;
  // The texts part inside one sub-identifier, which starts at the same
  // place in both; with no leading zeros the one with fewer digits is the
  // smaller, and among as many digits the first differing digit decides.
  size_t start = i;
  while (start > 0 && a[start - 1] != '.') --start;
  size_t end_a = i;
  while (end_a < a.size() && a[end_a] != '.') ++end_a;
  size_t end_b = i;
  while (end_b < b.size() && b[end_b] != '.') ++end_b;
  const size_t digits_a = end_a - start;
  const size_t digits_b = end_b - start;
  if ((digits_a > 1 && a[start] == '0') || (digits_b > 1 && b[start] == '0'))
    return kas_oid_compare_numeric(a.data(), a.size(), b.data(), b.size());
  if (digits_a != digits_b)
    return digits_a < digits_b ? kKasOidBefore : kKasOidAfter;
  return a[i] < b[i] ? kKasOidBefore : kKasOidAfter;
}

namespace {

std::string_view text_of(const IKasOid* oid) {
  return std::string_view(oid->text(), oid->text_length());
}

}  // namespace

KalWalkStep kal_walk_step(const IKasOid* root, const IKasOid* previous,
                          const IKasPdu* answer) {
  const IKasVarBindList* bindings = answer ? answer->get_bindings() : nullptr;
  const IKasVarBind* first = bindings ? bindings->at(0) : nullptr;
  const IKasOid* oid = first ? first->get_oid() : nullptr;
  if (!oid || !root) return KalWalkStep::kNoBinding;
  if (answer->get_error_status() != kKasSnmpNoError) return KalWalkStep::kEnd;
  const std::string_view text = text_of(oid);
  if (previous) {
    // "After" includes lying below the previous identifier (a descendant).
    const int order = kal_oid_relation(text, text_of(previous));
    if (order != kKasOidAfter && order != kKasOidDescendant)
      return KalWalkStep::kEnd;
  }
  const int relation = kal_oid_relation(text, text_of(root));
  if (relation == kKasOidDescendant || relation == kKasOidAncestor)
    return KalWalkStep::kRow;
  return KalWalkStep::kEnd;
}
