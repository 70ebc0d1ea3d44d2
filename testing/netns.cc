#include "testing/netns.h"

#include <errno.h>
#include <fcntl.h>
#include <net/if.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>

namespace zeltest {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSkipStatus = 77;
constexpr size_t kMaxOutput = 64 * 1024;

std::string errno_text(const char* step) {
  return std::string(step) + ": " + strerror(errno);
}

const char* find_ip() {
  static const char* const kPlaces[] = {"/usr/sbin/ip", "/sbin/ip", "/usr/bin/ip", "/bin/ip"};
  for (const char* p : kPlaces) {
    if (access(p, X_OK) == 0) return p;
  }
  return nullptr;
}

bool write_file(const char* path, const std::string& text) {
  const int fd = open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  close(fd);
  return ok;
}

// Brings lo up with one ioctl, so a fresh namespace needs no command for it.
bool loopback_up() {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  ifreq req = {};
  std::snprintf(req.ifr_name, sizeof req.ifr_name, "lo");
  bool ok = ioctl(fd, SIOCGIFFLAGS, &req) == 0;
  if (ok) {
    req.ifr_flags |= IFF_UP;
    ok = ioctl(fd, SIOCSIFFLAGS, &req) == 0;
  }
  close(fd);
  return ok;
}

// Real root: a new user and network namespace whose id maps cover 0..65535,
// so that programs which drop to nobody (snmpsimd) find that account. Only
// a process still in the parent namespace may write such maps, so a helper
// child writes them.
bool unshare_with_full_maps(std::string* why) {
  int go[2], done[2];
  if (pipe2(go, O_CLOEXEC) != 0) {
    *why = errno_text("pipe2");
    return false;
  }
  if (pipe2(done, O_CLOEXEC) != 0) {
    close(go[0]);
    close(go[1]);
    *why = errno_text("pipe2");
    return false;
  }
  const pid_t target = getpid();
  const pid_t helper = fork();
  if (helper == 0) {
    char c = 0;
    bool ok = read(go[0], &c, 1) == 1 && c == '1';
    const std::string dir = "/proc/" + std::to_string(target);
    ok = ok && write_file((dir + "/uid_map").c_str(), "0 0 65536") &&
         write_file((dir + "/gid_map").c_str(), "0 0 65536");
    c = ok ? '1' : '0';
    (void)!write(done[1], &c, 1);
    _exit(0);
  }
  close(go[0]);
  close(done[1]);
  bool ok = helper > 0;
  if (ok && unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) {
    *why = errno_text("unshare(CLONE_NEWUSER|CLONE_NEWNET)");
    ok = false;
  }
  char c = ok ? '1' : '0';
  if (helper > 0) (void)!write(go[1], &c, 1);
  close(go[1]);
  if (ok && !(read(done[0], &c, 1) == 1 && c == '1')) {
    *why = "writing the user namespace's id maps failed";
    ok = false;
  }
  close(done[0]);
  if (helper > 0) waitpid(helper, nullptr, 0);
  // The maps exist now: become root inside.
  if (ok && (setresgid(0, 0, 0) != 0 || setresuid(0, 0, 0) != 0)) {
    *why = errno_text("setresuid");
    ok = false;
  }
  if (!ok && why->empty()) *why = errno_text("fork");
  return ok;
}

// Puts the calling (single-threaded) process into a new network namespace.
// Never answers true unless the namespace is really new: a body that goes
// on in the machine's own namespace would change its routes.
bool enter_private_netns(std::string* why) {
  const uid_t uid = getuid();
  const gid_t gid = getgid();
  const char* force = getenv("ZEL_NETNS_USERNS");
  const bool want_userns = geteuid() != 0 || (force && strcmp(force, "1") == 0);
  if (!want_userns) {
    if (unshare(CLONE_NEWNET) != 0) {
      *why = errno_text("unshare(CLONE_NEWNET)");
      return false;
    }
  } else {
    if (uid == 0) {
      if (!unshare_with_full_maps(why)) return false;
    } else {
      if (unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) {
        *why = errno_text("unshare(CLONE_NEWUSER|CLONE_NEWNET)");
        return false;
      }
      // Without "deny" an unprivileged process may not write gid_map; and
      // it may map its own ids only.
      write_file("/proc/self/setgroups", "deny");
      if (!write_file("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
          !write_file("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1")) {
        *why = errno_text("writing the user namespace's id maps");
        return false;
      }
    }
  }
  if (!loopback_up()) {
    *why = errno_text("bringing lo up");
    return false;
  }
  return true;
}

// Waits for `pid` until `deadline`; answers true with *status when it ended.
bool wait_until(pid_t pid, Clock::time_point deadline, int* status) {
  for (;;) {
    const pid_t got = waitpid(pid, status, WNOHANG);
    if (got == pid) return true;
    if (got < 0 && errno != EINTR) return true;  // not ours any more
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void stop_process(pid_t pid, int grace_ms) {
  if (pid <= 0) return;
  int status;
  kill(pid, SIGTERM);
  if (wait_until(pid, Clock::now() + std::chrono::milliseconds(grace_ms), &status)) return;
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
}

std::vector<std::string> split_blanks(const std::string& args) {
  std::istringstream in(args);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

std::string joined(const std::vector<std::string>& argv) {
  std::string s;
  for (const std::string& a : argv) s += (s.empty() ? "" : " ") + a;
  return s;
}

// In a forked child: joins the namespace `ns_fd` (when >= 0), dies with its
// parent thread, and execs argv. Never returns.
[[noreturn]] void exec_child(const std::vector<std::string>& argv, int ns_fd, int out_fd) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (ns_fd >= 0 && setns(ns_fd, CLONE_NEWNET) != 0) _exit(126);
  if (out_fd >= 0) {
    dup2(out_fd, STDOUT_FILENO);
    dup2(out_fd, STDERR_FILENO);
  }
  const int null_fd = open("/dev/null", O_RDONLY);
  if (null_fd >= 0) dup2(null_fd, STDIN_FILENO);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  // ip lives in sbin, which an ordinary user's PATH may lack.
  const char* ip_path = find_ip();
  if (argv[0] == "ip" && ip_path) args[0] = const_cast<char*>(ip_path);
  args.push_back(nullptr);
  execvp(args[0], args.data());
  _exit(127);
}

int run_in(int ns_fd, const std::vector<std::string>& argv, std::string* output,
           int timeout_seconds) {
  if (argv.empty()) return -1;
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) return -1;
  const pid_t pid = fork();
  if (pid < 0) {
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    return -1;
  }
  if (pid == 0) exec_child(argv, ns_fd, pipe_fds[1]);
  close(pipe_fds[1]);
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(timeout_seconds);
  std::string text;
  bool killed = false;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      kill(pid, SIGKILL);
      killed = true;
      break;
    }
    pollfd p = {pipe_fds[0], POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) continue;
    char buf[4096];
    const ssize_t n = read(pipe_fds[0], buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // every writer is gone
    if (text.size() < kMaxOutput) text.append(buf, static_cast<size_t>(n));
  }
  close(pipe_fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (output) *output = text;
  if (killed || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

std::string ip_in(int ns_fd, const std::string& args) {
  const char* ip_path = find_ip();
  if (!ip_path) return "ip: not installed";
  std::vector<std::string> argv = split_blanks(args);
  argv.insert(argv.begin(), ip_path);
  std::string output;
  const int rc = run_in(ns_fd, argv, &output, 30);
  if (rc == 0) return std::string();
  return joined(argv) + " -> status " + std::to_string(rc) + ": " + output;
}

}  // namespace

NetNsRun run_in_private_netns(const std::function<int()>& body, std::string* message,
                              int timeout_seconds) {
  std::string ignored;
  std::string& msg = message ? *message : ignored;
  if (!find_ip()) {
    msg = "the ip command (iproute2) is not installed";
    return NetNsRun::kUnavailable;
  }
  int why_pipe[2];
  if (pipe2(why_pipe, O_CLOEXEC) != 0) {
    msg = errno_text("pipe2");
    return NetNsRun::kFailed;
  }
  fflush(stdout);
  fflush(stderr);
  const pid_t pid = fork();
  if (pid < 0) {
    msg = errno_text("fork");
    close(why_pipe[0]);
    close(why_pipe[1]);
    return NetNsRun::kFailed;
  }
  if (pid == 0) {
    close(why_pipe[0]);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    std::string why;
    if (!enter_private_netns(&why)) {
      (void)!write(why_pipe[1], why.data(), why.size());
      _exit(kSkipStatus);
    }
    close(why_pipe[1]);
    alarm(static_cast<unsigned>(timeout_seconds));
    const int rc = body();
    fflush(stdout);
    fflush(stderr);
    // _exit: the child must not run the rest of the test program, nor its
    // static destructors.
    _exit(rc == 0 ? 0 : 1);
  }
  close(why_pipe[1]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  char buf[512];
  const ssize_t n = read(why_pipe[0], buf, sizeof buf);
  close(why_pipe[0]);
  if (WIFEXITED(status) && WEXITSTATUS(status) == kSkipStatus && n > 0) {
    msg.assign(buf, static_cast<size_t>(n));
    return NetNsRun::kUnavailable;
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return NetNsRun::kPassed;
  if (WIFSIGNALED(status)) {
    msg = "the namespace child was killed by signal " + std::to_string(WTERMSIG(status)) +
          (WTERMSIG(status) == SIGALRM ? " (timed out)" : "");
  } else {
    msg = "the namespace child failed (status " + std::to_string(WEXITSTATUS(status)) +
          "); see its output above";
  }
  return NetNsRun::kFailed;
}

bool private_netns_available(std::string* why) {
  std::string msg;
  const NetNsRun run = run_in_private_netns([] { return 0; }, &msg, 10);
  if (why) *why = msg;
  return run == NetNsRun::kPassed;
}

int run_command(const std::vector<std::string>& argv, std::string* output, int timeout_seconds) {
  return run_in(-1, argv, output, timeout_seconds);
}

std::string ip(const std::string& args) { return ip_in(-1, args); }

std::string add_bridge(const std::string& name, const std::string& cidr) {
  std::string err = ip("link add " + name + " type bridge");
  if (err.empty()) err = ip("link set " + name + " up");
  if (err.empty() && !cidr.empty()) err = ip("addr add " + cidr + " dev " + name);
  return err;
}

std::string add_veth(const std::string& a, const std::string& b) {
  std::string err = ip("link add " + a + " type veth peer name " + b);
  if (err.empty()) err = ip("link set " + a + " up");
  if (err.empty()) err = ip("link set " + b + " up");
  return err;
}

std::string NetNsNode::create() {
  if (anchor_ > 0) return "the node exists already";
  int ready[2], control[2];
  if (pipe2(ready, O_CLOEXEC) != 0) return errno_text("pipe2");
  if (pipe2(control, O_CLOEXEC) != 0) {
    close(ready[0]);
    close(ready[1]);
    return errno_text("pipe2");
  }
  const pid_t pid = fork();
  if (pid < 0) {
    for (int fd : {ready[0], ready[1], control[0], control[1]}) close(fd);
    return errno_text("fork");
  }
  if (pid == 0) {
    // The anchor: owns the namespace until the node closes the control pipe
    // or the thread that made it ends.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    close(ready[0]);
    close(control[1]);
    char ok = (unshare(CLONE_NEWNET) == 0 && loopback_up()) ? '1' : '0';
    (void)!write(ready[1], &ok, 1);
    close(ready[1]);
    char c;
    while (read(control[0], &c, 1) < 0 && errno == EINTR) {
    }
    _exit(0);
  }
  close(ready[1]);
  close(control[0]);
  anchor_ = pid;
  control_fd_ = control[1];
  pollfd p = {ready[0], POLLIN, 0};
  char ok = '0';
  const bool answered = poll(&p, 1, 10000) == 1 && read(ready[0], &ok, 1) == 1;
  close(ready[0]);
  if (!answered || ok != '1') {
    destroy();
    return answered ? "the anchor could not make its namespace" : "the anchor did not start";
  }
  const std::string path = "/proc/" + std::to_string(pid) + "/ns/net";
  ns_fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (ns_fd_ < 0) {
    const std::string err = errno_text(path.c_str());
    destroy();
    return err;
  }
  return std::string();
}

void NetNsNode::destroy() {
  for (pid_t pid : spawned_) stop_process(pid, 2000);
  spawned_.clear();
  if (control_fd_ >= 0) close(control_fd_);
  control_fd_ = -1;
  if (anchor_ > 0) {
    int status;
    if (!wait_until(anchor_, Clock::now() + std::chrono::seconds(2), &status)) {
      kill(anchor_, SIGKILL);
      waitpid(anchor_, &status, 0);
    }
  }
  anchor_ = -1;
  if (ns_fd_ >= 0) close(ns_fd_);
  ns_fd_ = -1;
}

int NetNsNode::run(const std::vector<std::string>& argv, std::string* output,
                   int timeout_seconds) {
  if (ns_fd_ < 0) return -1;
  return run_in(ns_fd_, argv, output, timeout_seconds);
}

std::string NetNsNode::ip(const std::string& args) {
  if (ns_fd_ < 0) return "the node has no namespace";
  return ip_in(ns_fd_, args);
}

namespace {

// A veth's carrier, and a bridge port's forwarding state, come up a moment
// after "link set up": datagrams sent before then are dropped. Waits (bounded)
// until the outer end reports both, so that a test's first broadcast arrives.
void wait_until_forwarding(const std::string& outer_if, bool bridged) {
  for (int i = 0; i < 60; ++i) {
    std::string out;
    run_command({"ip", "-d", "-o", "link", "show", "dev", outer_if}, &out, 5);
    const bool up = out.find("LOWER_UP") != std::string::npos;
    const bool forwarding = !bridged || out.find("state forwarding") != std::string::npos;
    if (up && forwarding) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace

std::string NetNsNode::attach(const std::string& bridge, const std::string& outer_if,
                              const std::string& inner_if, const std::string& cidr) {
  if (anchor_ <= 0) return "the node has no namespace";
  std::string err = zeltest::ip("link add " + outer_if + " type veth peer name " + inner_if +
                                " netns " + std::to_string(anchor_));
  if (err.empty() && !bridge.empty()) err = zeltest::ip("link set " + outer_if + " master " + bridge);
  if (err.empty()) err = zeltest::ip("link set " + outer_if + " up");
  if (err.empty() && !cidr.empty()) err = ip("addr add " + cidr + " dev " + inner_if);
  if (err.empty()) err = ip("link set " + inner_if + " up");
  if (err.empty()) wait_until_forwarding(outer_if, !bridge.empty());
  return err;
}

pid_t NetNsNode::spawn(const std::vector<std::string>& argv, const std::string& log_path) {
  if (ns_fd_ < 0 || argv.empty()) return -1;
  const int out_fd = open(log_path.empty() ? "/dev/null" : log_path.c_str(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out_fd < 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) exec_child(argv, ns_fd_, out_fd);
  close(out_fd);
  if (pid > 0) spawned_.push_back(pid);
  return pid;
}

void NetNsNode::stop(pid_t pid) {
  for (size_t i = 0; i < spawned_.size(); ++i) {
    if (spawned_[i] == pid) {
      spawned_.erase(spawned_.begin() + static_cast<long>(i));
      stop_process(pid, 2000);
      return;
    }
  }
}

ScopedNetNsEnter::ScopedNetNsEnter(const NetNsNode& node) {
  saved_fd_ = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
  if (saved_fd_ < 0) return;
  ok_ = node.ns_fd() >= 0 && setns(node.ns_fd(), CLONE_NEWNET) == 0;
}

ScopedNetNsEnter::~ScopedNetNsEnter() {
  if (saved_fd_ < 0) return;
  if (ok_) setns(saved_fd_, CLONE_NEWNET);
  close(saved_fd_);
}

}  // namespace zeltest
