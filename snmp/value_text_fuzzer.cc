// set_text of every kind with any text. The first octet picks the kind, the
// rest (up to a NUL) is the text. Invariant: a text that parses prints a
// text that parses back to an equal value.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/owned.h"
#include "common/text.h"
#include "snmp/value.h"

namespace {

const int kTags[] = {kKasTagInteger,       kKasTagOctetString,  kKasTagNull,
                     kKasTagOid,           kKasTagIpAddress,    kKasTagCounter32,
                     kKasTagGauge32,       kKasTagTimeTicks,    kKasTagOpaque,
                     kKasTagCounter64,     kKasTagIpv6Address,  kKasTagNoSuchObject,
                     kKasTagNoSuchInstance, kKasTagEndOfMibView, kKasTagUdpAddress,
                     kKasTagIpxAddress};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int tag = kTags[data[0] % (sizeof(kTags) / sizeof(kTags[0]))];
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  KalOwned<IKasSnmpValue> v(kas_create_value(tag));
  if (!v) return 0;
  const int rc = v->set_text(text.c_str());
  if (rc != kKalOk && rc != kKalErrInvalidArg && rc != kKalErrNotSupported) std::abort();
  if (rc != kKalOk) return 0;
  KalOwned<IKalText> printed(v->to_text());
  if (!printed) std::abort();
  KalOwned<IKasSnmpValue> back(kas_create_value(tag));
  if (back->set_text(printed->data()) != kKalOk) std::abort();
  if (!back->equals(v.get())) std::abort();
  (void)v->is_valid();
  return 0;
}
