// The codec's side door to the object identifiers this layer makes: their
// BER content octets (X.690 8.19), kept beside the dotted text so that an
// identifier sent again, or sent after it was received, is not converted
// again. The text stays the identifier's value; the octets are a cache that
// every change of the text drops, filled on the first encode or by the
// decoder. Identifiers implemented elsewhere are reached through IKasOid
// only: these functions then answer "not cached". Internal to the snmp
// layer; one thread at a time, as every value.
#ifndef SNMP_OID_BER_H_
#define SNMP_OID_BER_H_

#include <cstddef>
#include <cstdint>

#include "snmp/value.h"

class BerReader;
class CKasValueBase;
enum class BerOidResult;

// Content octets longer than this are not kept; the encoder then writes
// them from the text each time.
inline constexpr size_t kKasOidBerCache = 40;

enum class KasOidBer {
  kCached,     // *ppContent and *pLength hold the content octets
  kUncached,   // too long to keep, or not one of ours: encode the text
  kOneArc,     // the text has a single sub-identifier: no encoding
  kMalformed,  // the text is not dotted numbers of 32 bits (or x * 40 + y is not)
};

// What an identifier of this layer lends through query(kKasOidBerQuery):
// the verdict on its text and, for kCached, its content octets. Computed
// from the text on first use; lent until the identifier changes or is
// released.
struct KasOidBerCache {
  KasOidBer verdict = KasOidBer::kUncached;
  uint8_t length = 0;
  uint8_t octets[kKasOidBerCache] = {};
};
// The query() tag for it (no kind has a negative tag; see also
// kKasValueBaseQuery in snmp/value_base.h).
inline constexpr int kKasOidBerQuery = -2;

// The cache of `oid`, or null for a value that is not an identifier of this
// layer. One virtual call; the encoder reads the rest inline.
inline const KasOidBerCache* kas_oid_ber_cache(const IKasSnmpValue* oid) {
  const void* p = nullptr;
  if (!oid || oid->query(kKasOidBerQuery, &p) != kKalOk) return nullptr;
  return static_cast<const KasOidBerCache*>(p);
}

// The content octets of `oid` (an object identifier value), computed from
// its text on first use. *ppContent is lent: good until the identifier
// changes or is released.
KasOidBer kas_oid_ber_content(const IKasSnmpValue* oid, const uint8_t** ppContent,
                              size_t* pLength);

// Reads the n content octets at the reader's position into `oid` in one
// step: the text is written straight into the identifier, with its count
// of sub-identifiers and, when they are minimal (what the encoder would
// write for the text), the content octets. *pOurs false: `oid` is not an
// identifier of this layer (or null) and nothing was read; the caller reads
// the text itself. Else 0; -3 (the identifier is unchanged);
// kKasErrUndecodable with *pResult telling why (the reader is then failed
// and the identifier empty).
int kas_oid_read_ber(IKasSnmpValue* oid, BerReader* reader, size_t n, BerOidResult* pResult,
                     bool* pOurs);

// kas_oid_read_ber for an identifier known to be of this layer: a
// CKasValueBase whose kind() is kKasTagOid (only identifiers have that
// kind). Answers as kas_oid_read_ber does when *pOurs is true.
int kas_oid_read_ber_known(CKasValueBase* oid, BerReader* reader, size_t n,
                           BerOidResult* pResult);

// The cache of an identifier known to be of this layer (a CKasValueBase
// whose kind() is kKasTagOid), filled on first use: kas_oid_ber_cache
// without the query.
const KasOidBerCache* kas_oid_ber_known(const CKasValueBase* oid);

#endif  // SNMP_OID_BER_H_
