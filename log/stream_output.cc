// The console outputs: "stdout" (StdoutOutput) and "stderr" (StderrOutput).
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "common/owned.h"
#include "common/status.h"
#include "log/log_output.h"

namespace {

class StreamOutput : public LogOutput {
 public:
  int init(const char* instance) noexcept {
    if (!instance || !*instance) return kKalErrInvalidArg;
    const size_t n = std::strlen(instance);
    name_.reset(new (std::nothrow) char[n + 1]);
    if (!name_) return kKalErrNoMemory;
    std::memcpy(name_.get(), instance, n + 1);
    return kKalOk;
  }

  int query_interface(const char* iid, void** ppInterface) override {
    return kal_query_answer(iid, ppInterface,
                            {{kKalIidRoot, static_cast<IKalRoot*>(this)},
                             {kKalIidLogOutput, static_cast<LogOutput*>(this)}});
  }
  int add_reference() override { return kKalOk; }
  int release() override { return kKalErrNotSupported; }
  int destroy() override {
    delete this;
    return kKalOk;
  }
  const char* instance_name() override { return name_.get(); }

 protected:
  int write_to(std::FILE* stream, const char* line) {
    if (!line) return kKalErrInvalidArg;
    // One stdio call holds the stream's lock for the whole line, so lines of
    // different loggers sharing the console are never mixed.
    std::fprintf(stream, "%s\n", line);
    std::fflush(stream);
    return kKalOk;
  }

 private:
  std::unique_ptr<char[]> name_;
};

class StdoutOutput final : public StreamOutput {
 public:
  const char* kind_name() override { return "stdout"; }
  int write(const char* line) override { return write_to(stdout, line); }
};

class StderrOutput final : public StreamOutput {
 public:
  const char* kind_name() override { return "stderr"; }
  int write(const char* line) override { return write_to(stderr, line); }
};

template <class T>
LogOutput* create_stream_output(const char* instance, int* pStatus) noexcept {
  if (!instance || !*instance) return kal_fail<LogOutput>(pStatus, kKalErrInvalidArg);
  std::unique_ptr<T> output(kal_new<T>());
  if (!output) return kal_fail<LogOutput>(pStatus, kKalErrNoMemory);
  const int rc = output->init(instance);
  if (rc != kKalOk) return kal_fail<LogOutput>(pStatus, rc);
  kal_set_status(pStatus, kKalOk);
  return output.release();
}

template <class T>
class StreamOutputFactory final : public LogOutputFactory {
 public:
  explicit constexpr StreamOutputFactory(const char* kind) : kind_(kind) {}
  const char* kind_name() override { return kind_; }
  LogOutput* create(const char* instance, const KalProperties*) override {
    LogOutput* output = create_stream_output<T>(instance, nullptr);
    return output ? output : kal_null_standard_output();
  }

 private:
  const char* kind_;
};

StreamOutputFactory<StdoutOutput> g_stdout_factory("stdout");
StreamOutputFactory<StderrOutput> g_stderr_factory("stderr");

}  // namespace

LogOutput* kal_create_stdout_output(const char* instance, int* pStatus) noexcept {
  return create_stream_output<StdoutOutput>(instance, pStatus);
}

LogOutput* kal_create_stderr_output(const char* instance, int* pStatus) noexcept {
  return create_stream_output<StderrOutput>(instance, pStatus);
}

LogOutputFactory* kal_stdout_output_factory() noexcept { return &g_stdout_factory; }
LogOutputFactory* kal_stderr_output_factory() noexcept { return &g_stderr_factory; }
