#include "options/walk_rows.h"

#include "common/status.h"
#include "common/text.h"
#include "common/text_copy.h"
#include "snmp/value.h"

bool ZelWalkRows::next() {
  row_.reset(list_ ? list_->take_front() : nullptr);
  return static_cast<bool>(row_);
}

const IKasSnmpValue* ZelWalkRow::value_at(size_t column) const {
  if (!row_) return nullptr;
  const IKasVarBindList* bindings = row_->get_bindings();
  if (!bindings) return nullptr;
  const IKasVarBind* binding = bindings->at(column);
  return binding ? binding->get_value() : nullptr;
}

int32_t ZelWalkRow::get_int(size_t column) const {
  const IKasSnmpValue* value = value_at(column);
  if (!value) return 0;
  int status = kKalOk;
  const int32_t number = value->get_int(&status);
  return status == kKalOk ? number : 0;
}

void ZelWalkRow::get_text(size_t column, char* out, size_t size) const {
  if (!out || size == 0) return;
  out[0] = '\0';
  const IKasSnmpValue* value = value_at(column);
  if (!value) return;
  // An OCTET STRING's text is its octets and an identifier's its dotted
  // text, both lent by get_bytes: no text object to make for them.
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
  if (!text || !text->text()) return;
  kal_copy_text(out, size, std::string_view(text->text(), text->length()));
}
