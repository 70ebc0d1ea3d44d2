// The value factory: one maker per family, chosen by tag, and the creation
// functions built on it.
#include "snmp/value.h"

#include <string_view>

#include "common/owned.h"
#include "common/text.h"
#include "common/text_copy.h"
#include "snmp/value_base.h"

IKasSnmpValue* kas_create_value(int tag, int* pStatus) {
  CKasValueBase* value = nullptr;
  switch (tag) {
    case kKasTagInteger: value = kas_new_integer_value(); break;
    case kKasTagOctetString:
    case kKasTagOpaque: value = kas_new_octet_value(tag); break;
    case kKasTagNull:
    case kKasTagNoSuchObject:
    case kKasTagNoSuchInstance:
    case kKasTagEndOfMibView: value = kas_new_marker_value(tag); break;
    case kKasTagOid: value = kas_new_oid_value(); break;
    case kKasTagIpAddress:
    case kKasTagIpv6Address:
    case kKasTagUdpAddress:
    case kKasTagIpxAddress: value = kas_new_address_value(tag); break;
    case kKasTagCounter32:
    case kKasTagGauge32:
    case kKasTagTimeTicks: value = kas_new_unsigned_value(tag); break;
    case kKasTagCounter64: value = kas_new_counter64_value(); break;
    default: return kal_fail<IKasSnmpValue>(pStatus, kKalErrInvalidArg);
  }
  if (!value) return kal_fail<IKasSnmpValue>(pStatus, kKalErrNoMemory);
  kal_set_status(pStatus, kKalOk);
  return value;
}

IKasSnmpValue* kas_create_value_from_int(int32_t v, int tag, int* pStatus) {
  KalOwned<IKasSnmpValue> value(kas_create_value(tag, pStatus));
  if (!value) return nullptr;
  if (int rc = value->set_int(v)) return kal_fail<IKasSnmpValue>(pStatus, rc);
  return value.detach();
}

IKasSnmpValue* kas_create_value_from_uint(uint32_t v, int tag, int* pStatus) {
  KalOwned<IKasSnmpValue> value(kas_create_value(tag, pStatus));
  if (!value) return nullptr;
  if (int rc = value->set_uint(v)) return kal_fail<IKasSnmpValue>(pStatus, rc);
  return value.detach();
}

IKasSnmpValue* kas_create_value_from_text(const char* text, int tag, int* pStatus) {
  if (!text) return kal_fail<IKasSnmpValue>(pStatus, kKalErrInvalidArg);
  KalOwned<IKasSnmpValue> value(kas_create_value(tag, pStatus));
  if (!value) return nullptr;
  if (int rc = value->set_text(text)) return kal_fail<IKasSnmpValue>(pStatus, rc);
  if (!value->is_valid()) return kal_fail<IKasSnmpValue>(pStatus, kKalErrInvalidArg);
  return value.detach();
}

IKasSnmpValue* kas_create_oid(int* pStatus) { return kas_create_value(kKasTagOid, pStatus); }

IKasSnmpValue* kas_create_oid_from_text(const char* text, int* pStatus) {
  KalOwned<IKasSnmpValue> oid(kas_create_value(kKasTagOid, pStatus));
  if (!oid) return nullptr;
  if (int rc = oid->set_text(text)) return kal_fail<IKasSnmpValue>(pStatus, rc);
  if (!oid->is_valid()) return kal_fail<IKasSnmpValue>(pStatus, kKalErrInvalidArg);
  return oid.detach();
}

void kas_copy_value_text(const IKasSnmpValue* value, char* out, size_t size) {
  if (!out || size == 0) return;
  out[0] = '\0';
  if (!value) return;
  const int tag = value->tag();
  if (tag == kKasTagOctetString || tag == kKasTagOid) {
    size_t length = 0;
    int rc = kKalOk;
    const uint8_t* bytes = value->get_bytes(&length, &rc);
    if (rc == kKalOk) {
      if (bytes && length != 0)
        kal_copy_text(out, size, std::string_view(reinterpret_cast<const char*>(bytes), length));
      return;
    }
  }
  KalOwned<IKalText> text(value->to_text());
  if (!text || !text->data()) return;
  kal_copy_text(out, size, std::string_view(text->data(), text->length()));
}
