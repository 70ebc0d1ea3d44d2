// A countdown on standard error while a blocking call waits out its time
// budget (a discovery always waits the whole budget): a bar and the seconds
// left, redrawn by a thread of its own about ten times a second and erased
// when the call returns. Silent when standard error is not a terminal.
#ifndef TOOLS_ZELCTL_PROGRESS_H_
#define TOOLS_ZELCTL_PROGRESS_H_

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace zelctl {

class Countdown {
 public:
  // Starts drawing `label` with a budget of `budget`, if `enabled` and
  // standard error is a terminal.
  Countdown(std::string label, std::chrono::milliseconds budget, bool enabled);
  ~Countdown() { stop(); }
  Countdown(const Countdown&) = delete;
  Countdown& operator=(const Countdown&) = delete;
  void stop();

 private:
  void run();
  std::string label_;
  std::chrono::milliseconds budget_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread thread_;
};

// One frame of the countdown: "LABEL [#####.....] 1.2 s left", for tests.
std::string countdown_frame(const std::string& label, std::chrono::milliseconds elapsed,
                            std::chrono::milliseconds budget, int width);

}  // namespace zelctl

#endif  // TOOLS_ZELCTL_PROGRESS_H_
