#include "common/component_registry.h"

#include <cstring>
#include <new>

#include "common/owned.h"
#include "common/status.h"

int KalComponentRegistry::register_component(const KalComponentEntry& entry) noexcept {
  if (!entry.name || !entry.create_first || !entry.create_second) return kKalErrInvalidArg;
  std::lock_guard<std::mutex> hold(lock_);
  try {
    entries_.push_back(entry);
  } catch (const std::bad_alloc&) {
    return kKalErrNoMemory;
  }
  current_ = entries_.size() - 1;
  return kKalOk;
}

int KalComponentRegistry::select(const char* name) noexcept {
  std::lock_guard<std::mutex> hold(lock_);
  if (!name) {
    current_ = kNone;
    return kKalOk;
  }
  for (size_t i = 0; i < entries_.size(); ++i) {
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
  return entries_.size();
}

KalComponentRegistry& kal_component_registry() noexcept {
  // Never destroyed: static registrations of other files may still look it up
  // while the module is being torn down.
  static KalComponentRegistry* const registry = new KalComponentRegistry();
  return *registry;
}
