// The two do-nothing outputs, NullStandardOutput ("null_standard") and
// NullFileOutput ("null_file"): one static instance each, never destroyed, so
// a logger may still hold one while the process shuts down.
#include <new>

#include "common/owned.h"
#include "common/status.h"
#include "log/log_output.h"

namespace {

class NullStandardOutput final : public LogOutput {
 public:
  int query_interface(const char* iid, void** ppInterface) override {
    return kal_query_answer(iid, ppInterface,
                            {{kKalIidRoot, static_cast<IKalRoot*>(this)},
                             {kKalIidLogOutput, static_cast<LogOutput*>(this)}});
  }
  int add_reference() override { return kKalOk; }
  int release() override { return kKalErrNotSupported; }
  int destroy() override { return kKalOk; }
  const char* kind_name() override { return "null_standard"; }
  const char* instance_name() override { return "null_standard"; }
  int write(const char*) override { return kKalOk; }
};

class NullFileOutput final : public FileLogOutput {
 public:
  int query_interface(const char* iid, void** ppInterface) override {
    return kal_query_answer(iid, ppInterface,
                            {{kKalIidRoot, static_cast<IKalRoot*>(this)},
                             {kKalIidLogOutput, static_cast<LogOutput*>(this)},
                             {kKalIidFileLogOutput, static_cast<FileLogOutput*>(this)}});
  }
  int add_reference() override { return kKalOk; }
  int release() override { return kKalErrNotSupported; }
  int destroy() override { return kKalOk; }
  const char* kind_name() override { return "null_file"; }
  const char* instance_name() override { return "null_file"; }
  int write(const char*) override { return kKalOk; }
  int set_size_limit(uint32_t) override { return kKalOk; }
  uint32_t get_size_limit(int* pStatus) override {
    kal_set_status(pStatus, kKalOk);
    return 0;
  }
  int set_file_path(const char*) override { return kKalOk; }
};

// Storage whose object is built once and never destroyed.
template <class T>
class NoDestroy {
 public:
  NoDestroy() { new (storage_) T(); }
  T* get() { return std::launder(reinterpret_cast<T*>(storage_)); }

 private:
  alignas(T) unsigned char storage_[sizeof(T)];
};

}  // namespace

LogOutput* kal_null_standard_output() noexcept {
  static NoDestroy<NullStandardOutput> instance;
  return instance.get();
}

FileLogOutput* kal_null_file_output() noexcept {
  static NoDestroy<NullFileOutput> instance;
  return instance.get();
}
