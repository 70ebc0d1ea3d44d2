#include "options/walk_rows.h"

#include "common/status.h"
#include "snmp/value.h"

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
  kas_copy_value_text(value_at(column), out, size);
}
