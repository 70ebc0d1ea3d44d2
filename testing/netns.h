// Test harness for private network namespaces. A test body runs in a forked
// child that owns a fresh network namespace (inside a fresh user namespace
// when not root, so it needs no privileges), where it may add veth pairs,
// bridges, addresses and routes and send broadcasts without touching the
// machine's own network. Further namespaces ("nodes": one simulated device
// each) join a bridge through veth pairs and run commands of their own.
// Everything ends with the child: a namespace dies with its last process and
// last open handle, and every process started here is killed with its parent.
//
//   TEST(Discovery, TwoAgents) {
//     ZEL_RUN_IN_PRIVATE_NETNS([&] {
//       ASSERT_EQ(zeltest::add_bridge("br0", "10.9.0.1/24"), "");
//       zeltest::NetNsNode a;
//       ASSERT_EQ(a.create(), "");
//       ASSERT_EQ(a.attach("br0", "veth-a", "eth0", "10.9.0.2/24"), "");
//       zeltest::SnmpsimAgent agent;  // its snmpsimd is forked inside node a
//       {
//         zeltest::ScopedNetNsEnter enter(a);
//         ASSERT_TRUE(agent.start("10.9.0.2", dir, "public", &error)) << error;
//       }
//       ... broadcast to 10.9.0.255 from here; the agent hears it ...
//     });
//   }
//
// snmpsimd started as root drops to nobody: that works as real root (a plain
// network namespace, or a user namespace mapping ids 0..65535), not in a
// rootless user namespace, which maps one id only.
#ifndef TESTING_NETNS_H_
#define TESTING_NETNS_H_

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace zeltest {

enum class NetNsRun { kPassed, kFailed, kUnavailable };

// Runs body() in a forked child inside a new network namespace with lo up;
// body's answer is the child's exit status (0 passed). As root a plain
// network namespace is made; otherwise a user namespace maps the caller to
// root inside it (the environment variable ZEL_NETNS_USERNS=1 forces that
// form as root too, then mapping ids 0..65535). The child is killed after `timeout_seconds`.
// kUnavailable when the machine refuses namespaces or has no `ip` command;
// *message (optional) says why, or how the child ended.
NetNsRun run_in_private_netns(const std::function<int()>& body, std::string* message,
                              int timeout_seconds = 120);

// Whether run_in_private_netns can make a namespace here (tries once, in a
// child). *why (optional) gets the reason when not.
bool private_netns_available(std::string* why = nullptr);

// Runs argv to completion in the calling thread's network namespace, killing
// it after `timeout_seconds`. Answers the exit status (-1 when it could not
// run or was killed); stdout and stderr go to *output (optional).
int run_command(const std::vector<std::string>& argv, std::string* output = nullptr,
                int timeout_seconds = 30);

// Runs `ip ARGS` (ARGS split at blanks) in the calling thread's namespace.
// Answers "" on success, else the command line and what it printed, so that
// ASSERT_EQ(ip("..."), "") shows the reason.
std::string ip(const std::string& args);

// Makes a bridge here, sets it up and, with a non-empty cidr ("10.9.0.1/24"),
// gives it that address. "" or the failure.
std::string add_bridge(const std::string& name, const std::string& cidr);

// Makes a veth pair with both ends here and sets both up. "" or the failure.
std::string add_veth(const std::string& a, const std::string& b);

// Another network namespace, with lo up, kept by a small anchor process.
// Created in the calling thread's namespace's user namespace. Destroying the
// object stops every process spawned in it and ends the namespace.
class NetNsNode {
 public:
  NetNsNode() = default;
  ~NetNsNode() { destroy(); }
  NetNsNode(const NetNsNode&) = delete;
  NetNsNode& operator=(const NetNsNode&) = delete;

  // "" on success, else why the namespace could not be made.
  std::string create();
  void destroy();

  // A handle on the namespace (for setns), and the anchor's pid (for
  // `ip link set DEV netns PID` or `nsenter -t PID -n`).
  int ns_fd() const { return ns_fd_; }
  pid_t pid() const { return anchor_; }

  // Like the free functions, but inside this namespace.
  int run(const std::vector<std::string>& argv, std::string* output = nullptr,
          int timeout_seconds = 30);
  std::string ip(const std::string& args);

  // Joins this namespace to the calling thread's namespace: a veth pair whose
  // end `outer_if` stays here (enslaved to `bridge` unless it is empty) and
  // whose end `inner_if` moves into the node with address `cidr` (may be
  // empty). Both ends are up. "" or the failure.
  std::string attach(const std::string& bridge, const std::string& outer_if,
                     const std::string& inner_if, const std::string& cidr);

  // Starts argv in the background inside this namespace, stdout and stderr
  // to `log_path` (/dev/null when empty). Answers its pid, or -1. The process
  // is killed when the calling thread ends, and stopped by destroy().
  pid_t spawn(const std::vector<std::string>& argv, const std::string& log_path = "");

  // Stops one spawned process: SIGTERM, a bounded wait, then SIGKILL.
  void stop(pid_t pid);

 private:
  pid_t anchor_ = -1;
  int ns_fd_ = -1;
  int control_fd_ = -1;  // the anchor lives until this closes
  std::vector<pid_t> spawned_;
};

// Moves the calling thread into a node's namespace until the scope ends.
// Sockets made meanwhile stay in that namespace for their whole life, and
// processes forked meanwhile start there.
class ScopedNetNsEnter {
 public:
  explicit ScopedNetNsEnter(const NetNsNode& node);
  ~ScopedNetNsEnter();
  ScopedNetNsEnter(const ScopedNetNsEnter&) = delete;
  ScopedNetNsEnter& operator=(const ScopedNetNsEnter&) = delete;
  bool ok() const { return ok_; }

 private:
  int saved_fd_ = -1;
  bool ok_ = false;
};

}  // namespace zeltest

// In a GoogleTest body: runs the callable (no arguments, returning void) in a
// private network namespace; its assertion failures fail the test, and the
// test is skipped when namespaces are not permitted.
#define ZEL_RUN_IN_PRIVATE_NETNS(...)                                                     \
  do {                                                                                   \
    std::string zel_netns_message_;                                                      \
    const ::zeltest::NetNsRun zel_netns_run_ = ::zeltest::run_in_private_netns(          \
        [&]() -> int {                                                                   \
          (__VA_ARGS__)();                                                                  \
          return ::testing::Test::HasFailure() ? 1 : 0;                                  \
        },                                                                               \
        &zel_netns_message_);                                                            \
    if (zel_netns_run_ == ::zeltest::NetNsRun::kUnavailable) {                           \
      GTEST_SKIP() << "private network namespace unavailable: " << zel_netns_message_;   \
    }                                                                                    \
    ASSERT_EQ(zel_netns_run_, ::zeltest::NetNsRun::kPassed) << zel_netns_message_;       \
  } while (0)

#endif  // TESTING_NETNS_H_
