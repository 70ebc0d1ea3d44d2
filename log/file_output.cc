// FileOutput ("file"): appends lines to a file of limited size. When the next
// line would pass the limit the file is moved to "<path>.bak" (replacing an
// older backup) and a new file is begun, so at most one backup exists.
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "common/owned.h"
#include "common/properties.h"
#include "common/status.h"
#include "log/log_output.h"

namespace {

std::unique_ptr<char[]> copy_text(const char* s, const char* suffix = "") {
  const size_t n = std::strlen(s);
  const size_t m = std::strlen(suffix);
  std::unique_ptr<char[]> out(new (std::nothrow) char[n + m + 1]);
  if (out) {
    std::memcpy(out.get(), s, n);
    std::memcpy(out.get() + n, suffix, m + 1);
  }
  return out;
}

class FileOutput final : public FileLogOutput {
 public:
  ~FileOutput() override { close(); }

  int init(const char* instance) noexcept {
    if (!instance || !*instance) return kKalErrInvalidArg;
    name_ = copy_text(instance);
    return name_ ? kKalOk : kKalErrNoMemory;
  }

  int query_interface(const char* iid, void** ppInterface) override {
    return kal_query_answer(iid, ppInterface,
                            {{kKalIidRoot, static_cast<IKalRoot*>(this)},
                             {kKalIidLogOutput, static_cast<LogOutput*>(this)},
                             {kKalIidFileLogOutput, static_cast<FileLogOutput*>(this)}});
  }
  int add_reference() override { return kKalOk; }
  int release() override { return kKalErrNotSupported; }
  int destroy() override {
    delete this;
    return kKalOk;
  }
  const char* kind_name() override { return "file"; }
  const char* instance_name() override { return name_.get(); }

  int set_size_limit(uint32_t limit) override {
    std::lock_guard<std::mutex> hold(lock_);
    limit_ = limit;
    return kKalOk;
  }
  uint32_t get_size_limit(int* pStatus) override {
    std::lock_guard<std::mutex> hold(lock_);
    kal_set_status(pStatus, kKalOk);
    return limit_;
  }
  int set_file_path(const char* path) override {
    if (!path) return kKalErrInvalidArg;
    std::unique_ptr<char[]> copy = copy_text(path);
    if (!copy) return kKalErrNoMemory;
    std::lock_guard<std::mutex> hold(lock_);
    close();
    path_ = std::move(copy);
    return kKalOk;
  }

  int write(const char* line) override {
    if (!line) return kKalErrInvalidArg;
    std::lock_guard<std::mutex> hold(lock_);
    if (!file_) {
      if (!path_ || !(file_ = std::fopen(path_.get(), "a"))) return kKalErrPlatform;
      // Append mode leaves the position unspecified until the first write.
      std::fseek(file_, 0, SEEK_END);
      const long length = std::ftell(file_);
      size_ = length > 0 ? static_cast<uint64_t>(length) : 0;
    }
    // Every line counts two bytes of line end, whatever the platform writes,
    // so the file never passes the limit.
    const uint64_t n = static_cast<uint64_t>(std::strlen(line)) + 2;
    if (limit_ < n) return kKalErrNoData;
    if (limit_ < n + size_) {
      close();
      rotate();
      if (!(file_ = std::fopen(path_.get(), "w"))) return kKalErrPlatform;
      size_ = 0;
    }
    const bool ok = std::fputs(line, file_) >= 0 && std::fputc('\n', file_) != EOF &&
                    std::fflush(file_) == 0;
    size_ += n;
    return ok ? kKalOk : kKalErrGeneral;
  }

 private:
  void close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
  }
  // Moves the file to the backup name. Failures leave the file in place; it
  // is then begun anew by the caller's truncating open.
  void rotate() {
    std::FILE* probe = std::fopen(path_.get(), "r");
    if (!probe) return;
    std::fclose(probe);
    std::unique_ptr<char[]> backup = copy_text(path_.get(), kKalLogFileBackupSuffix);
    if (!backup) return;
    std::remove(backup.get());
    std::rename(path_.get(), backup.get());
  }

  std::mutex lock_;
  std::unique_ptr<char[]> name_;
  std::unique_ptr<char[]> path_;
  std::FILE* file_ = nullptr;
  uint32_t limit_ = kKalLogFileSizeLimitDefault;
  uint64_t size_ = 0;
};

class FileOutputFactory final : public LogOutputFactory {
 public:
  const char* kind_name() override { return "file"; }
  LogOutput* create(const char* instance, const KalProperties* properties) override {
    KalOwned<FileLogOutput, KalCallDestroy> output(kal_create_file_output(instance));
    if (!output) return kal_null_file_output();
    const char* path = properties ? properties->get(kKalLogFilePathKey) : nullptr;
    if (path && output->set_file_path(path) != kKalOk) return kal_null_file_output();
    return output.detach();
  }
};

FileOutputFactory g_file_factory;

}  // namespace

FileLogOutput* kal_create_file_output(const char* instance, int* pStatus) noexcept {
  if (!instance || !*instance) return kal_fail<FileLogOutput>(pStatus, kKalErrInvalidArg);
  std::unique_ptr<FileOutput> output(kal_new<FileOutput>());
  if (!output) return kal_fail<FileLogOutput>(pStatus, kKalErrNoMemory);
  const int rc = output->init(instance);
  if (rc != kKalOk) return kal_fail<FileLogOutput>(pStatus, rc);
  kal_set_status(pStatus, kKalOk);
  return output.release();
}

LogOutputFactory* kal_file_output_factory() noexcept { return &g_file_factory; }
