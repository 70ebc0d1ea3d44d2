#include "tools/zelctl/progress.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "tools/zelctl/names.h"

namespace zelctl {
namespace {

// Erases the current terminal line ("\r" and erase-to-end), then ends with
// 130 (128 + SIGINT). Only async-signal-safe calls.
void erase_line_and_exit(int) {
  static const char kErase[] = "\r\033[K";
  ssize_t ignored = write(STDERR_FILENO, kErase, sizeof kErase - 1);
  (void)ignored;
  _exit(130);
}

// The SIGINT handler is in place while any progress line may be drawn.
std::mutex g_sigint_mutex;
int g_sigint_holders = 0;
struct sigaction g_old_sigint;

void hold_sigint() {
  std::lock_guard<std::mutex> lock(g_sigint_mutex);
  if (g_sigint_holders++ > 0) return;
  struct sigaction sa {};
  sa.sa_handler = erase_line_and_exit;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, &g_old_sigint);
}

void release_sigint() {
  std::lock_guard<std::mutex> lock(g_sigint_mutex);
  if (--g_sigint_holders == 0) sigaction(SIGINT, &g_old_sigint, nullptr);
}

// Draws `text` over the line drawn before; answers the widest drawn so far.
size_t draw(const std::string& text, size_t drawn) {
  const size_t width = std::max(drawn, text.size());
  std::fprintf(stderr, "\r%s%s", text.c_str(), std::string(width - text.size(), ' ').c_str());
  std::fflush(stderr);
  return width;
}

void erase(size_t drawn) {
  if (drawn == 0) return;
  std::fprintf(stderr, "\r%s\r", std::string(drawn, ' ').c_str());
  std::fflush(stderr);
}

}  // namespace

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

std::string reading_frame(const std::string& what, int done, int total) {
  std::string frame = "reading " + what + "...";
  if (total > 0) frame += " " + std::to_string(done) + "/" + std::to_string(total);
  return frame;
}

void ProgressThread::start(bool enabled,
                           std::function<void(std::unique_lock<std::mutex>&)> body) {
  if (!enabled || !isatty(STDERR_FILENO)) return;
  hold_sigint();
  thread_ = std::thread([this, body = std::move(body)] {
    std::unique_lock<std::mutex> lock(mutex);
    body(lock);
  });
}

void ProgressThread::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex);
    stopping = true;
  }
  wake.notify_all();
  if (thread_.joinable()) {
    thread_.join();
    release_sigint();
  }
}

Countdown::Countdown(std::string label, std::chrono::milliseconds budget, bool enabled)
    : label_(std::move(label)), budget_(budget) {
  thread_.start(enabled, [this](std::unique_lock<std::mutex>& lock) { run(lock); });
}

void Countdown::run(std::unique_lock<std::mutex>& lock) {
  const auto start = std::chrono::steady_clock::now();
  size_t drawn = 0;
  while (!thread_.stopping) {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    drawn = draw(countdown_frame(label_, elapsed, budget_, 30), drawn);
    thread_.wake.wait_for(lock, std::chrono::milliseconds(100));
  }
  erase(drawn);
}

ReadingProgress::ReadingProgress(bool enabled, std::chrono::milliseconds delay)
    : delay_(delay) {
  thread_.start(enabled, [this](std::unique_lock<std::mutex>& lock) { run(lock); });
}

void ReadingProgress::update(const char* what, int done, int total) {
  if (!thread_.running()) return;
  std::lock_guard<std::mutex> lock(thread_.mutex);
  text_ = reading_frame(what, done, total);
}

void ReadingProgress::show(std::string frame) {
  if (!thread_.running()) return;
  std::lock_guard<std::mutex> lock(thread_.mutex);
  text_ = std::move(frame);
}

void ReadingProgress::run(std::unique_lock<std::mutex>& lock) {
  size_t drawn = 0;
  std::string shown;
  // Nothing for a short wait.
  if (thread_.wake.wait_for(lock, delay_, [this] { return thread_.stopping; })) return;
  while (!thread_.stopping) {
    if (text_ != shown) {
      shown = text_;
      drawn = draw(shown, drawn);
    }
    thread_.wake.wait_for(lock, std::chrono::milliseconds(100));
  }
  erase(drawn);
}

}  // namespace zelctl
