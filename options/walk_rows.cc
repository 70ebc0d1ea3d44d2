#include "options/walk_rows.h"

#include "common/status.h"
#include "common/text.h"
#include "common/text_copy.h"

bool ZelWalkRows::next() {
  row_.reset(list_ ? list_->take_front() : nullptr);
  return static_cast<bool>(row_);
}

const IKasSnmpValue* ZelWalkRows::value_at(size_t column) const {
  if (!row_) return nullptr;
  const IKasVarBindList* bindings = row_->get_bindings();
  if (!bindings) return nullptr;
  const IKasVarBind* binding = bindings->at(column);
  return binding ? binding->get_value() : nullptr;
}

int32_t ZelWalkRows::get_int(size_t column) const {
  const IKasSnmpValue* value = value_at(column);
  if (!value) return 0;
  int status = kKalOk;
  const int32_t number = value->get_int(&status);
  return status == kKalOk ? number : 0;
}

void ZelWalkRows::get_text(size_t column, char* out, size_t size) const {
  if (!out || size == 0) return;
  out[0] = '\0';
  const IKasSnmpValue* value = value_at(column);
  if (!value) return;
  KalOwned<IKalText> text(value->to_text());
  if (!text || !text->text()) return;
  kal_copy_text(out, size, std::string_view(text->text(), text->length()));
}
