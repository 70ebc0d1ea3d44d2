#include "tools/zelctl/progress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "tools/zelctl/names.h"

namespace zelctl {

std::string countdown_frame(const std::string& label, std::chrono::milliseconds elapsed,
                            std::chrono::milliseconds budget, int width) {
  const long long total = std::max<long long>(budget.count(), 1);
  const long long done = std::clamp<long long>(elapsed.count(), 0, total);
  const int percent = static_cast<int>(done * 100 / total);
  const long long left_tenths = (total - done + 99) / 100;
  char tail[48];
  std::snprintf(tail, sizeof tail, " %lld.%lld s left", left_tenths / 10, left_tenths % 10);
  return label + " " + level_bar(percent, width) + tail;
}

Countdown::Countdown(std::string label, std::chrono::milliseconds budget, bool enabled)
    : label_(std::move(label)), budget_(budget) {
  if (enabled && isatty(STDERR_FILENO)) thread_ = std::thread([this] { run(); });
}

void Countdown::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void Countdown::run() {
  const auto start = std::chrono::steady_clock::now();
  size_t drawn = 0;
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    const std::string frame = countdown_frame(label_, elapsed, budget_, 30);
    drawn = std::max(drawn, frame.size());
    std::fprintf(stderr, "\r%s", frame.c_str());
    std::fflush(stderr);
    wake_.wait_for(lock, std::chrono::milliseconds(100));
  }
  std::fprintf(stderr, "\r%s\r", std::string(drawn, ' ').c_str());
  std::fflush(stderr);
}

}  // namespace zelctl
