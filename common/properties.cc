#include "common/properties.h"

#include <new>

#include "common/status.h"

int KalProperties::set(const char* key, const char* value) noexcept {
  if (!key || !value) return kKalErrInvalidArg;
  try {
    for (auto& item : items_) {
      if (item.first == key) {
        item.second = value;
        return kKalOk;
      }
    }
    items_.emplace_back(key, value);
  } catch (const std::bad_alloc&) {
    return kKalErrNoMemory;
  }
  return kKalOk;
}

const char* KalProperties::get(const char* key) const noexcept {
  if (!key) return nullptr;
  for (const auto& item : items_) {
    if (item.first == key) return item.second.c_str();
  }
  return nullptr;
}
