#include "common/component_registry.h"

#include <cstring>
#include <new>

#include "common/owned.h"
#include "common/status.h"

int KalComponentRegistry::register_component(const KalComponentEntry& entry) noexcept {
  if (!entry.name || !entry.create_first || !entry.create_second) return kKalErrInvalidArg;
  std::lock_guard<std::mutex> hold(lock_);
  if (count_ == kCapacity) return kKalErrNoMemory;
  entries_[count_] = entry;
  current_ = count_++;
  return kKalOk;
}

int KalComponentRegistry::select(const char* name) noexcept {
  std::lock_guard<std::mutex> hold(lock_);
  if (!name) {
    current_ = kNone;
    return kKalOk;
  }
  for (size_t i = 0; i < count_; ++i) {
    if (std::strcmp(entries_[i].name, name) == 0) {
      current_ = i;
      return kKalOk;
    }
  }
  return kKalErrInvalidArg;
}

const char* KalComponentRegistry::current_name() const noexcept {
  KalComponentEntry e;
  return current_entry(&e) ? e.name : nullptr;
}

bool KalComponentRegistry::current_entry(KalComponentEntry* out) const noexcept {
  std::lock_guard<std::mutex> hold(lock_);
  if (current_ == kNone) return false;
  *out = entries_[current_];
  return true;
}

void* KalComponentRegistry::create_first(int* pStatus) const noexcept {
  KalComponentEntry e;
  // The creation function runs outside the lock: it may take locks of its own.
  if (!current_entry(&e)) return kal_fail<void>(pStatus, kKalErrNotReady);
  return e.create_first(pStatus);
}

void* KalComponentRegistry::create_second(int* pStatus) const noexcept {
  KalComponentEntry e;
  if (!current_entry(&e)) return kal_fail<void>(pStatus, kKalErrNotReady);
  return e.create_second(pStatus);
}

size_t KalComponentRegistry::size() const noexcept {
  std::lock_guard<std::mutex> hold(lock_);
  return count_;
}

KalComponentRegistry& kal_component_registry() noexcept {
  // Constant-initialised (no guard, no heap) and trivially torn down, so late
  // look-ups during unload still find valid memory.
  static constinit KalComponentRegistry registry;
  return registry;
}
