// The per-module logger and the group logger "All".
#include "log/logger.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "common/owned.h"
#include "common/status.h"
#include "log/log_line.h"
#include "log/log_output.h"
#include "log/log_platform.h"

namespace {

bool same_name(const char* a, const char* b) {
  return std::strcmp(a ? a : "", b ? b : "") == 0;
}

class ModuleLogger : public LoggerExtension {
 public:
  ModuleLogger() = default;
  int init(const char* module) noexcept {
    if (!module) return kKalErrInvalidArg;
    const size_t n = std::strlen(module);
    module_.reset(new (std::nothrow) char[n + 1]);
    if (!module_) return kKalErrNoMemory;
    std::memcpy(module_.get(), module, n + 1);
    return kKalOk;
  }

  int query_interface(const char* iid, void** ppInterface) override {
    return kal_query_answer(iid, ppInterface,
                            {{kKalIidRoot, static_cast<IKalRoot*>(this)},
                             {kKalIidLogger, static_cast<Logger*>(this)},
                             {kKalIidLoggerExtension, static_cast<LoggerExtension*>(this)}});
  }
  int add_reference() override { return kKalOk; }
  int release() override { return kKalErrNotSupported; }
  int destroy() override { return kKalErrNotSupported; }

  const char* module_name() override { return module_.get(); }

  int attach_output(LogOutput* output) override {
    std::lock_guard<std::mutex> hold(lock_);
    return attach_locked(output);
  }
  int detach_output(LogOutput* output) override {
    std::lock_guard<std::mutex> hold(lock_);
    return detach_locked(output);
  }
  size_t output_count() override {
    std::lock_guard<std::mutex> hold(lock_);
    return outputs_.size();
  }
  LogOutput* output_at(size_t index) override {
    std::lock_guard<std::mutex> hold(lock_);
    return index < outputs_.size() ? outputs_[index] : nullptr;
  }

  int set_level_mask(uint32_t mask) override {
    std::lock_guard<std::mutex> hold(lock_);
    mask_.store(mask, std::memory_order_relaxed);
    return kKalOk;
  }
  uint32_t get_level_mask(int* pStatus) override {
    kal_set_status(pStatus, kKalOk);
    return mask_.load(std::memory_order_relaxed);
  }
  int set_indent(uint32_t count) override {
    std::lock_guard<std::mutex> hold(lock_);
    indent_ = count;
    return kKalOk;
  }
  uint32_t get_indent(int* pStatus) override {
    std::lock_guard<std::mutex> hold(lock_);
    kal_set_status(pStatus, kKalOk);
    return indent_;
  }
  int set_column_flags(uint32_t flags) override {
    std::lock_guard<std::mutex> hold(lock_);
    columns_ = flags;
    return kKalOk;
  }
  uint32_t get_column_flags(int* pStatus) override {
    std::lock_guard<std::mutex> hold(lock_);
    kal_set_status(pStatus, kKalOk);
    return columns_;
  }
  int set_radix(uint32_t radix) override {
    if (radix != 10 && radix != 16) return kKalErrInvalidArg;
    std::lock_guard<std::mutex> hold(lock_);
    radix_ = radix;
    return kKalOk;
  }
  uint32_t get_radix(int* pStatus) override {
    std::lock_guard<std::mutex> hold(lock_);
    kal_set_status(pStatus, kKalOk);
    return radix_;
  }
  int unsupported() override { return kKalErrNotFound; }

  int log(uint32_t level, const char* format, ...) override {
    va_list args;
    va_start(args, format);
    const int rc = vlog(level, format, args);
    va_end(args);
    return rc;
  }

  int vlog(uint32_t level, const char* format, va_list args) override {
    // Checked once without the lock so that a filtered call (the usual case:
    // nothing is configured) costs one atomic read, and again under it.
    if ((level & mask_.load(std::memory_order_relaxed)) == 0) return kKalOk;
    std::lock_guard<std::mutex> hold(lock_);
    if ((level & mask_.load(std::memory_order_relaxed)) == 0) return kKalOk;
    KalLogLineHead head{};
    head.columns = columns_;
    if (columns_ & kKalLogColumnTime) kal_log_local_time(&head.stamp);
    head.process_id = kal_log_process_id();
    head.thread_id = kal_log_thread_id();
    head.radix = radix_;
    head.module = module_.get();
    head.indent = indent_;
    char line[kKalLogLineMax + 1];
    kal_format_log_line(line, head, level, format, args);
    int result = kKalOk;
    for (LogOutput* output : outputs_) {
      const int rc = output->write(line);
      if (rc != kKalOk) result = rc;
    }
    return result;
  }

 protected:
  int attach_locked(LogOutput* output) noexcept {
    if (!output) return kKalErrInvalidArg;
    for (LogOutput* o : outputs_) {
      if (o == output || same_name(o->instance_name(), output->instance_name())) return kKalOk;
    }
    try {
      outputs_.push_back(output);
    } catch (const std::bad_alloc&) {
      return kKalErrNoMemory;
    }
    return kKalOk;
  }
  int detach_locked(LogOutput* output) noexcept {
    if (!output) return kKalErrInvalidArg;
    for (auto it = outputs_.begin(); it != outputs_.end(); ++it) {
      if (*it == output) {
        outputs_.erase(it);
        return kKalOk;
      }
    }
    return kKalErrNotFound;
  }

  std::unique_ptr<char[]> module_;
  std::mutex lock_;
  std::vector<LogOutput*> outputs_;
  std::atomic<uint32_t> mask_{0};
  uint32_t indent_ = 0;
  uint32_t columns_ = kKalLogColumnsDefault;
  uint32_t radix_ = 10;
};

// The group "All". Its own outputs are the group's output list. Lock order:
// the group's lock, then a member's.
class GroupLogger final : public ModuleLogger, public ManagedLogger, public LogGroup {
 public:
  int query_interface(const char* iid, void** ppInterface) override {
    return kal_query_answer(iid, ppInterface,
                            {{kKalIidRoot, static_cast<IKalRoot*>(static_cast<Logger*>(this))},
                             {kKalIidLogger, static_cast<Logger*>(this)},
                             {kKalIidLoggerExtension, static_cast<LoggerExtension*>(this)},
                             {kKalIidManagedLogger, static_cast<ManagedLogger*>(this)},
                             {kKalIidLogGroup, static_cast<LogGroup*>(this)}});
  }
  int add_reference() override { return kKalOk; }
  int release() override { return kKalErrNotSupported; }
  int destroy() override { return kKalErrNotSupported; }

  int attach_output(LogOutput* output) override {
    if (!output) return kKalErrInvalidArg;
    std::lock_guard<std::mutex> hold(lock_);
    const size_t before = outputs_.size();
    const int rc = attach_locked(output);
    // A second attachment of the same name changes nothing anywhere.
    if (rc != kKalOk || outputs_.size() == before) return rc;
    return for_members([output](Logger* m) { return m->attach_output(output); });
  }
  int detach_output(LogOutput* output) override {
    std::lock_guard<std::mutex> hold(lock_);
    const int rc = detach_locked(output);
    if (rc == kKalErrInvalidArg) return rc;
    for (Logger* m : members_) {
      void* ext = nullptr;
      if (m->query_interface(kKalIidLoggerExtension, &ext) == kKalOk) {
        static_cast<LoggerExtension*>(ext)->detach_output(output);
      }
    }
    return rc;
  }

  int set_level_mask(uint32_t mask) override {
    std::lock_guard<std::mutex> hold(lock_);
    mask_.store(mask, std::memory_order_relaxed);
    return for_members([mask](Logger* m) { return m->set_level_mask(mask); });
  }
  int set_indent(uint32_t count) override {
    std::lock_guard<std::mutex> hold(lock_);
    indent_ = count;
    return for_members([count](Logger* m) { return m->set_indent(count); });
  }
  int set_column_flags(uint32_t flags) override {
    std::lock_guard<std::mutex> hold(lock_);
    columns_ = flags;
    return for_members([flags](Logger* m) { return m->set_column_flags(flags); });
  }
  int set_radix(uint32_t radix) override {
    if (radix != 10 && radix != 16) return kKalErrInvalidArg;
    std::lock_guard<std::mutex> hold(lock_);
    radix_ = radix;
    return for_members([radix](Logger* m) { return m->set_radix(radix); });
  }

  int add_member(Logger* member) override {
    if (!member || member == static_cast<Logger*>(this)) return kKalErrInvalidArg;
    std::lock_guard<std::mutex> hold(lock_);
    member->set_level_mask(mask_.load(std::memory_order_relaxed));
    member->set_column_flags(columns_);
    member->set_radix(radix_);
    member->set_indent(indent_);
    for (LogOutput* output : outputs_) {
      const int rc = member->attach_output(output);
      if (rc != kKalOk) return rc;
    }
    try {
      members_.push_back(member);
    } catch (const std::bad_alloc&) {
      return kKalErrNoMemory;
    }
    return kKalOk;
  }

  size_t member_count() override {
    std::lock_guard<std::mutex> hold(lock_);
    return members_.size();
  }
  Logger* member_at(size_t index) override {
    std::lock_guard<std::mutex> hold(lock_);
    return index < members_.size() ? members_[index] : nullptr;
  }
  int remove_member(Logger* member) override {
    std::lock_guard<std::mutex> hold(lock_);
    for (auto it = members_.begin(); it != members_.end(); ++it) {
      if (*it == member) {
        members_.erase(it);
        return kKalOk;
      }
    }
    return kKalErrNotFound;
  }

 private:
  // Runs `op` on every member; answers the last non-zero result, else 0.
  template <class Op>
  int for_members(Op op) {
    int result = kKalOk;
    for (Logger* m : members_) {
      const int rc = op(m);
      if (rc != kKalOk) result = rc;
    }
    return result;
  }

  std::vector<Logger*> members_;
};

}  // namespace

LoggerExtension* kal_create_logger(const char* module, int* pStatus) noexcept {
  if (!module) return kal_fail<LoggerExtension>(pStatus, kKalErrInvalidArg);
  std::unique_ptr<ModuleLogger> logger(kal_new<ModuleLogger>());
  if (!logger) return kal_fail<LoggerExtension>(pStatus, kKalErrNoMemory);
  const int rc = logger->init(module);
  if (rc != kKalOk) return kal_fail<LoggerExtension>(pStatus, rc);
  kal_set_status(pStatus, kKalOk);
  return logger.release();
}

LoggerExtension* kal_create_log_group(int* pStatus) noexcept {
  std::unique_ptr<GroupLogger> group(kal_new<GroupLogger>());
  if (!group) return kal_fail<LoggerExtension>(pStatus, kKalErrNoMemory);
  const int rc = group->init(kKalLogGroupName);
  if (rc != kKalOk) return kal_fail<LoggerExtension>(pStatus, rc);
  kal_set_status(pStatus, kKalOk);
  return group.release();
}
