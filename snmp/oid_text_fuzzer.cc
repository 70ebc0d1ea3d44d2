// Object-identifier texts of any bytes: the syntax check, storing the text,
// and every reading and editing operation on it. Invariants: a valid text
// counts dots + 1 sub-identifiers and reads back unchanged; an identifier is
// equal to itself in both orders; the two orders agree on subtree relations
// and are antisymmetric; edits never read outside the text (AddressSanitizer).
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "common/owned.h"
#include "common/text.h"
#include "snmp/value.h"

namespace {

int mirror(int rel) {
  switch (rel) {
    case kKasOidAncestor: return kKasOidDescendant;
    case kKasOidDescendant: return kKasOidAncestor;
    case kKasOidBefore: return kKasOidAfter;
    case kKasOidAfter: return kKasOidBefore;
    default: return rel;
  }
}

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Split the input at the first 0xFF: two texts to relate.
  const char* a = size ? reinterpret_cast<const char*>(data) : "";
  const void* cut = size ? std::memchr(data, 0xFF, size) : nullptr;
  const size_t an = cut ? static_cast<size_t>(static_cast<const uint8_t*>(cut) - data) : size;
  const char* b = cut ? a + an + 1 : "1.3.6.1";
  const size_t bn = cut ? size - an - 1 : 7;

  KalOwned<IKasSnmpValue> va(kas_create_oid());
  KalOwned<IKasSnmpValue> vb(kas_create_oid());
  if (!va || !vb) return 0;
  IKasOid* oa = va->as_oid();
  IKasOid* ob = vb->as_oid();
  check(oa->set_text_bytes(a, an) == kKalOk && ob->set_text_bytes(b, bn) == kKalOk);

  const bool valid = kas_oid_text_is_valid(a, an);
  check(va->is_valid() == valid || (an && std::memchr(a, 0, an) != nullptr));
  if (valid) {
    size_t dots = 0;
    for (size_t i = 0; i < an; ++i) dots += a[i] == '.';
    check(oa->count() == (an ? dots + 1 : 0));
    KalOwned<IKalText> text(va->to_text());
    check(text && text->equals(a, an));
  }

  check(oa->compare(oa) == kKasOidEqual && oa->compare_numeric(oa) == kKasOidEqual);
  const int text_rel = oa->compare(ob);
  const int num_rel = oa->compare_numeric(ob);
  check(ob->compare(oa) == mirror(text_rel));
  check(ob->compare_numeric(oa) == mirror(num_rel));
  if (kas_oid_text_is_valid(a, an) && kas_oid_text_is_valid(b, bn) && an && bn) {
    // Subtree tests agree between the two orders for well-formed texts.
    check((text_rel <= kKasOidDescendant) == (num_rel <= kKasOidDescendant));
  }

  // Edits on copies: none may fail for lack of arguments or read outside.
  const size_t count = oa->count();
  for (size_t i = 0; i <= count && i < 64; ++i) {
    int rc = 0;
    (void)va->element_at(i, &rc);
  }
  KalOwned<IKasSnmpValue> copy(oa->clone());
  if (copy) {
    IKasOid* c = copy->as_oid();
    (void)c->remove_prefix(ob);
    (void)c->erase(count / 3, count / 2 + 1);
    KalOwned<IKasSnmpValue> prefix(c->new_prefix(2));
    (void)c->pop_first();
    (void)c->append_oid(ob);
    (void)c->append_oid(c);
    KalOwned<IKasSnmpValue> v(c->new_value_from_index(kKasTagOctetString, false, kKasAll));
    KalOwned<IKasSnmpValue> w(c->new_value_reading_index(kKasTagOid, true, 3));
    KalOwned<IKasSnmpValue> x(c->new_value_from_index(kKasTagIpxAddress, false, kKasAll));
    (void)c->is_within(ob);
    (void)c->count();
  }
  return 0;
}
