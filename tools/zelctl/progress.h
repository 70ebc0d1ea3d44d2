// Progress lines on standard error while zelctl waits on the plug-in: a
// countdown for a call that waits out its whole budget (discovery), and a
// "reading input trays... 3/9" line for a status read or a cancel that takes
// longer than half a second. Each draws from a thread of its own about ten
// times a second and erases its line when done; both are silent when standard
// error is not a terminal. While a line may be on screen, Ctrl-C (SIGINT)
// erases it and ends the program with exit code 130, as a shell expects.
#ifndef TOOLS_ZELCTL_PROGRESS_H_
#define TOOLS_ZELCTL_PROGRESS_H_

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace zelctl {

// The thread a progress line draws from, and how it is told to stop: the
// part both lines share. The body runs with `mutex` held (it waits on
// `wake`, which releases it) until `stopping` is set.
class ProgressThread {
 public:
  ProgressThread() = default;
  ~ProgressThread() { stop(); }
  ProgressThread(const ProgressThread&) = delete;
  ProgressThread& operator=(const ProgressThread&) = delete;
  // Runs `body` on a thread of its own if `enabled` and standard error is a
  // terminal, with Ctrl-C handled while it runs.
  void start(bool enabled, std::function<void(std::unique_lock<std::mutex>&)> body);
  bool running() const { return thread_.joinable(); }
  void stop();

  std::mutex mutex;
  std::condition_variable wake;
  bool stopping = false;

 private:
  std::thread thread_;
};

class Countdown {
 public:
  // Starts drawing `label` with a budget of `budget`, if `enabled` and
  // standard error is a terminal.
  Countdown(std::string label, std::chrono::milliseconds budget, bool enabled);
  ~Countdown() { stop(); }
  Countdown(const Countdown&) = delete;
  Countdown& operator=(const Countdown&) = delete;
  void stop() { thread_.stop(); }

 private:
  void run(std::unique_lock<std::mutex>& lock);
  std::string label_;
  std::chrono::milliseconds budget_;
  ProgressThread thread_;  // last: stopped before the fields it reads go
};

// What is being read, shown once the wait is longer than `delay`.
class ReadingProgress {
 public:
  explicit ReadingProgress(bool enabled,
                           std::chrono::milliseconds delay = std::chrono::milliseconds(500));
  ~ReadingProgress() { stop(); }
  ReadingProgress(const ReadingProgress&) = delete;
  ReadingProgress& operator=(const ReadingProgress&) = delete;
  // May be called from any thread; cheap when the progress is silent.
  void update(const char* what, int done, int total);
  // Shows `frame` as it is ("cancelling job 12...").
  void show(std::string frame);
  void stop() { thread_.stop(); }

 private:
  void run(std::unique_lock<std::mutex>& lock);
  std::chrono::milliseconds delay_;
  std::string text_;
  ProgressThread thread_;  // last: stopped before the fields it reads go
};

// One frame of the countdown: "LABEL [#####.....] 1.2 s left", for tests.
std::string countdown_frame(const std::string& label, std::chrono::milliseconds elapsed,
                            std::chrono::milliseconds budget, int width);

// One frame of the reading progress: "reading input trays... 3/9", or
// "reading input trays..." before the count is known.
std::string reading_frame(const std::string& what, int done, int total);

}  // namespace zelctl

#endif  // TOOLS_ZELCTL_PROGRESS_H_
