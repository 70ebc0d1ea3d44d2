#include "log/log_manager.h"

#include <cstring>
#include <memory>
#include <new>

#include "common/owned.h"
#include "common/status.h"
#include "log/log_output.h"

namespace {

bool same_text(const char* a, const char* b) {
  return a && b && std::strcmp(a, b) == 0;
}

bool is_null_output(LogOutput* output) {
  return output == kal_null_standard_output() ||
         output == static_cast<LogOutput*>(kal_null_file_output());
}

}  // namespace

LogManager* LogManager::create(int* pStatus) noexcept {
  LogManager* manager = kal_new<LogManager>();
  if (!manager) return kal_fail<LogManager>(pStatus, kKalErrNoMemory);
  const int rc = manager->init();
  if (rc != kKalOk) {
    delete manager;
    return kal_fail<LogManager>(pStatus, rc);
  }
  kal_set_status(pStatus, kKalOk);
  return manager;
}

int LogManager::destroy() noexcept {
  delete this;
  return kKalOk;
}

int LogManager::init() noexcept {
  try {
    factories_.reserve(4);
    loggers_.reserve(8);
  } catch (const std::bad_alloc&) {
    return kKalErrNoMemory;
  }
  register_output_factory(kal_stdout_output_factory());
  register_output_factory(kal_file_output_factory());
  register_output_factory(kal_stderr_output_factory());
  int rc = kKalOk;
  group_ = kal_create_log_group(&rc);
  if (!group_) return rc;
  loggers_.push_back(group_);  // room reserved above
  return kKalOk;
}

LogManager::~LogManager() {
  // Loggers first: they hold outputs.
  for (Logger* logger : loggers_) delete logger;
  for (LogOutput* output : outputs_) output->destroy();
}

Logger* LogManager::find_locked(const char* name) noexcept {
  for (Logger* logger : loggers_) {
    if (same_text(logger->module_name(), name)) return logger;
  }
  return nullptr;
}

Logger* LogManager::get_or_create_logger(const char* name, LogOutput* output,
                                         int* pStatus) noexcept {
  if (!name) {
    kal_set_status(pStatus, kKalErrInvalidArg);
    return &null_logger_;
  }
  std::lock_guard<std::mutex> hold(lock_);
  if (Logger* found = find_locked(name)) {
    kal_set_status(pStatus, kKalOk);
    return found;
  }
  int rc = kKalOk;
  std::unique_ptr<LoggerExtension> logger(kal_create_logger(name, &rc));
  if (!logger) {
    kal_set_status(pStatus, rc);
    return &null_logger_;
  }
  void* itf = nullptr;
  group_->query_interface(kKalIidManagedLogger, &itf);
  ManagedLogger* group = static_cast<ManagedLogger*>(itf);
  rc = group->add_member(logger.get());
  if (rc == kKalOk && output) rc = logger->attach_output(output);
  if (rc == kKalOk) {
    try {
      loggers_.push_back(logger.get());
    } catch (const std::bad_alloc&) {
      rc = kKalErrNoMemory;
    }
  }
  if (rc != kKalOk) {
    // Not kept: make sure the group forgets it before it is freed.
    group_->query_interface(kKalIidLogGroup, &itf);
    static_cast<LogGroup*>(itf)->remove_member(logger.get());
    kal_set_status(pStatus, rc);
    return &null_logger_;
  }
  kal_set_status(pStatus, kKalOk);
  return logger.release();
}

Logger* LogManager::find_logger(const char* name, int* pStatus) noexcept {
  if (!name) {
    kal_set_status(pStatus, kKalErrInvalidArg);
    return &null_logger_;
  }
  std::lock_guard<std::mutex> hold(lock_);
  Logger* found = find_locked(name);
  kal_set_status(pStatus, found ? kKalOk : kKalErrNotFound);
  return found;
}

Logger* LogManager::get_logger(const char* name, int* pStatus) noexcept {
  return get_or_create_logger(name, nullptr, pStatus);
}

LogOutputFactory* LogManager::factory_locked(const char* kind) noexcept {
  for (LogOutputFactory* factory : factories_) {
    if (same_text(factory->kind_name(), kind)) return factory;
  }
  return nullptr;
}

LogOutput* LogManager::get_or_create_output(const char* kind, const char* instance) noexcept {
  std::lock_guard<std::mutex> hold(lock_);
  LogOutputFactory* factory = kind ? factory_locked(kind) : nullptr;
  if (!kind || !instance) {
    if (!factory) factory = factory_locked("stdout");
    return factory ? factory->create(nullptr, nullptr) : nullptr;
  }
  for (LogOutput* output : outputs_) {
    if (!same_text(output->instance_name(), instance)) continue;
    if (same_text(output->kind_name(), kind)) return output;
    return factory ? factory->create(nullptr, nullptr) : nullptr;
  }
  if (!factory) return nullptr;
  LogOutput* output = factory->create(instance, nullptr);
  if (!output || is_null_output(output)) return output;
  try {
    outputs_.push_back(output);
  } catch (const std::bad_alloc&) {
    output->destroy();
    return factory->create(nullptr, nullptr);
  }
  return output;
}

LogOutput* LogManager::find_output(const char* instance) noexcept {
  std::lock_guard<std::mutex> hold(lock_);
  for (LogOutput* output : outputs_) {
    if (same_text(output->instance_name(), instance)) return output;
  }
  return kal_null_standard_output();
}

int LogManager::register_output_factory(LogOutputFactory* factory) noexcept {
  if (!factory || !factory->kind_name()) return kKalErrInvalidArg;
  std::lock_guard<std::mutex> hold(lock_);
  try {
    factories_.push_back(factory);
  } catch (const std::bad_alloc&) {
    return kKalErrNoMemory;
  }
  return kKalOk;
}

int LogManager::set_level_mask(const char* module, uint32_t mask) noexcept {
  int rc = kKalOk;
  Logger* logger = get_logger(module, &rc);
  return rc != kKalOk ? rc : logger->set_level_mask(mask);
}

int LogManager::set_column_flags(const char* module, uint32_t flags) noexcept {
  int rc = kKalOk;
  Logger* logger = get_logger(module, &rc);
  return rc != kKalOk ? rc : logger->set_column_flags(flags);
}
