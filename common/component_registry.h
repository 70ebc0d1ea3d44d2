// The name-keyed component registry: components that make a pair of objects
// (for the codec: its encoder and its decoder), kept in registration order,
// one of them current. The codec registers "VedivUzirav" while the module
// loads, through a static object of its own:
//
//   void* make_encoder(int* pStatus);   // returns the new object or null
//   void* make_decoder(int* pStatus);
//   const KalComponentEntry kVedivUzirav = {"VedivUzirav", make_encoder,
//                                           make_decoder};
//   const int kRegistered = kal_component_registry().register_component(kVedivUzirav);
//
// Note: an object file of a static library whose only job is such a static
// registration is dropped by the linker unless something references it; keep
// the registration in a file the codec service itself lives in.
//
// The registry is filled while the module loads and read afterwards. The
// changes (register, select) take an internal lock; the reads (current name,
// creation, size) take none: they load the current entry through one atomic
// pointer, so the codec can ask for it on every call at no cost. Every
// operation is safe on any thread.
#ifndef COMMON_COMPONENT_REGISTRY_H_
#define COMMON_COMPONENT_REGISTRY_H_

#include <atomic>
#include <cstddef>
#include <mutex>

// Makes one object of a component. Returns the new object (the caller owns
// it and frees it through the object's own release or destroy), or null with
// the reason in *pStatus (optional): 0, kKalErrNoMemory, kKalErrInvalidArg.
using KalComponentCreate = void* (*)(int* pStatus);

// A fixed component entry. `name` must stay valid for the life of the
// registry (use a string literal); the functions must not be null.
struct KalComponentEntry {
  const char* name;
  KalComponentCreate create_first;   // the codec's encoder
  KalComponentCreate create_second;  // the codec's decoder
};

class KalComponentRegistry {
 public:
  KalComponentRegistry() = default;
  KalComponentRegistry(const KalComponentRegistry&) = delete;
  KalComponentRegistry& operator=(const KalComponentRegistry&) = delete;

  // Appends a copy of the entry and makes it current.
  // Answers 0; kKalErrInvalidArg for a null name or function;
  // kKalErrNoMemory when the table is full (the current component is then
  // unchanged).
  int register_component(const KalComponentEntry& entry) noexcept;

  // Makes the first component whose name is exactly `name` current, answer 0;
  // no such component: kKalErrInvalidArg and the current one stays. A null
  // name answers 0 and leaves no component current.
  int select(const char* name) noexcept;

  // The current component's name (lent, static), or null when none is current.
  const char* current_name() const noexcept {
    const KalComponentEntry* e = current_.load(std::memory_order_acquire);
    return e ? e->name : nullptr;
  }

  // Call the current component's creation functions. With no current
  // component: null and kKalErrNotReady in *pStatus (optional).
  void* create_first(int* pStatus = nullptr) const noexcept;
  void* create_second(int* pStatus = nullptr) const noexcept;

  // Number of registered components.
  size_t size() const noexcept { return count_.load(std::memory_order_acquire); }

 private:
  // A fixed table: the registry holds no heap memory, so a host that loads
  // and unloads the library repeatedly leaks nothing.
  static constexpr size_t kCapacity = 16;

  // Serialises register and select. An entry is written once, under the
  // lock, before count_ or current_ can point at it, and never changes
  // afterwards: a reader that loads either sees it whole.
  std::mutex lock_;
  KalComponentEntry entries_[kCapacity] = {};
  std::atomic<size_t> count_{0};
  // The current entry (one of entries_), or null.
  std::atomic<const KalComponentEntry*> current_{nullptr};
};

// The process-wide registry. It is constant-initialised, so it exists before
// any static registration of another file runs, and owns no heap memory.
KalComponentRegistry& kal_component_registry() noexcept;

#endif  // COMMON_COMPONENT_REGISTRY_H_
