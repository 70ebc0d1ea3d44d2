#include "common/component_registry.h"

#include <cstring>
#include <new>

#include "common/owned.h"
#include "common/status.h"

int KalComponentRegistry::register_component(const KalComponentEntry& entry) noexcept {
  if (!entry.name || !entry.create_first || !entry.create_second) return kKalErrInvalidArg;
  std::lock_guard<std::mutex> hold(lock_);
  const size_t n = count_.load(std::memory_order_relaxed);
  if (n == kCapacity) return kKalErrNoMemory;
  entries_[n] = entry;
  // Publish the entry only once it is written.
  count_.store(n + 1, std::memory_order_release);
  current_.store(&entries_[n], std::memory_order_release);
  return kKalOk;
}

int KalComponentRegistry::select(const char* name) noexcept {
  std::lock_guard<std::mutex> hold(lock_);
  if (!name) {
    current_.store(nullptr, std::memory_order_release);
    return kKalOk;
  }
  const size_t n = count_.load(std::memory_order_relaxed);
  for (size_t i = 0; i < n; ++i) {
    if (std::strcmp(entries_[i].name, name) == 0) {
      current_.store(&entries_[i], std::memory_order_release);
      return kKalOk;
    }
  }
  return kKalErrInvalidArg;
}

void* KalComponentRegistry::create_first(int* pStatus) const noexcept {
  // The creation function runs outside any lock: it may take locks of its own.
  const KalComponentEntry* e = current_.load(std::memory_order_acquire);
  if (!e) return kal_fail<void>(pStatus, kKalErrNotReady);
  return e->create_first(pStatus);
}

void* KalComponentRegistry::create_second(int* pStatus) const noexcept {
  const KalComponentEntry* e = current_.load(std::memory_order_acquire);
  if (!e) return kal_fail<void>(pStatus, kKalErrNotReady);
  return e->create_second(pStatus);
}

KalComponentRegistry& kal_component_registry() noexcept {
  // Constant-initialised (no guard, no heap) and trivially torn down, so late
  // look-ups during unload still find valid memory.
  static constinit KalComponentRegistry registry;
  return registry;
}
