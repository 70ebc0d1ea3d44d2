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
#include "log/log.h"
#include "log/log_config.h"
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
  // True when some line contains `text`.
  bool has(const std::string& text) const {
    std::lock_guard<std::mutex> hold(lock_);
    for (const std::string& line : lines_) {
      if (line.find(text) != std::string::npos) return true;
    }
    return false;
  }

 private:
  std::string name_;
  int answer_;
  mutable std::mutex lock_;
  std::vector<std::string> lines_;
};

// A capture that sees every module's lines while it lives.
class KalScopedLogCapture {
 public:
  KalScopedLogCapture() { kal_log_configure_output(&output_, kKalLogAll); }
  ~KalScopedLogCapture() {
    kal_log_configure_output(&output_, 0);
    kal_log_detach_output(&output_);
  }
  KalScopedLogCapture(const KalScopedLogCapture&) = delete;
  KalScopedLogCapture& operator=(const KalScopedLogCapture&) = delete;
  bool has(const std::string& text) const { return output_.has(text); }
  std::vector<std::string> lines() const { return output_.lines(); }

 private:
  KalCaptureOutput output_;
};

#endif  // LOG_CAPTURE_OUTPUT_H_
