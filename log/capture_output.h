// A log output that keeps every line in memory, for tests that check what a
// layer logs: attach it with kal_log_configure_output(&capture, mask) and
// detach it with kal_log_detach_output(&capture) before it goes away.
// Thread-safe.
#ifndef LOG_CAPTURE_OUTPUT_H_
#define LOG_CAPTURE_OUTPUT_H_

#include <mutex>
#include <string>
#include <vector>

#include "common/status.h"
#include "log/log_output.h"

class KalCaptureOutput final : public LogOutput {
 public:
  explicit KalCaptureOutput(std::string name = "capture", int answer = kKalOk)
      : name_(std::move(name)), answer_(answer) {}

  int query_interface(const char* iid, void** ppInterface) override {
    return kal_query_answer(iid, ppInterface,
                            {{kKalIidRoot, static_cast<IKalRoot*>(this)},
                             {kKalIidLogOutput, static_cast<LogOutput*>(this)}});
  }
  int add_reference() override { return kKalOk; }
  int release() override { return kKalErrNotSupported; }
  int destroy() override { return kKalOk; }  // owned by the test
  const char* kind_name() override { return "capture"; }
  const char* instance_name() override { return name_.c_str(); }
  int write(const char* line) override {
    std::lock_guard<std::mutex> hold(lock_);
    lines_.emplace_back(line);
    return answer_;
  }

  std::vector<std::string> lines() const {
    std::lock_guard<std::mutex> hold(lock_);
    return lines_;
  }
  void clear() {
    std::lock_guard<std::mutex> hold(lock_);
    lines_.clear();
  }

 private:
  std::string name_;
  int answer_;
  mutable std::mutex lock_;
  std::vector<std::string> lines_;
};

#endif  // LOG_CAPTURE_OUTPUT_H_
