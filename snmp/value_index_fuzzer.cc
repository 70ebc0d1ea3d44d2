// set_from_index of every kind from any identifier text. The first octet
// picks the kind, the second the implied flag and an implied length, the
// rest is the identifier's text. Invariant: an index that parses writes an
// index form of index_length sub-identifiers that parses back to an equal
// value; a failure is kKasErrBadIndex or kKalErrNotSupported and leaves the
// value unchanged.
#include <cstdint>
#include <cstdlib>

#include "common/owned.h"
#include "snmp/value.h"

namespace {

const int kTags[] = {kKasTagInteger,    kKasTagOctetString, kKasTagNull,
                     kKasTagOid,        kKasTagIpAddress,   kKasTagCounter32,
                     kKasTagGauge32,    kKasTagTimeTicks,   kKasTagOpaque,
                     kKasTagCounter64,  kKasTagIpv6Address, kKasTagNoSuchObject,
                     kKasTagUdpAddress, kKasTagIpxAddress};

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int tag = kTags[data[0] % (sizeof(kTags) / sizeof(kTags[0]))];
  const bool implied = data[1] & 1;
  const size_t length = (data[1] >> 1) == 127 ? kKasAll : (data[1] >> 1);
  KalOwned<IKasSnmpValue> index(kas_create_oid());
  KalOwned<IKasSnmpValue> v(kas_create_value(tag));
  if (!index || !v) return 0;
  check(index->as_oid()->set_text_bytes(reinterpret_cast<const char*>(data + 2), size - 2) ==
        kKalOk);
  KalOwned<IKasSnmpValue> before(v->clone());
  const int rc = v->set_from_index(index->as_oid(), implied, length);
  if (rc != kKalOk) {
    check(rc == kKasErrBadIndex || rc == kKalErrNotSupported);
    check(v->equals(before.get()));
    return 0;
  }
  KalOwned<IKasSnmpValue> written(kas_create_oid());
  check(v->set_oid_to_index(written->as_oid(), implied) == kKalOk);
  check(written->size() == v->index_length(implied));
  KalOwned<IKasSnmpValue> back(kas_create_value(tag));
  check(back->set_from_index(written->as_oid(), implied, kKasAll) == kKalOk);
  check(back->equals(v.get()));
  // Taking the value from a copy consumes exactly index_length.
  KalOwned<IKasSnmpValue> copy(index->clone());
  const size_t count = copy->size();
  check(copy->as_oid()->take_value_from_index(back.get(), implied, length) == kKalOk);
  check(copy->size() == count - back->index_length(implied));
  return 0;
}
