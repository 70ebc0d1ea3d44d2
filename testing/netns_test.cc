// The namespace harness itself: isolation, a bridge LAN of nodes that hears
// a broadcast, processes that end with their node.
#include "testing/netns.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "testing/snmpsim_agent.h"

namespace {

class Udp {
 public:
  Udp() : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}
  ~Udp() {
    if (fd_ >= 0) close(fd_);
  }
  bool bind_any(uint16_t port) {
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    return bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  }
  bool send_to(const char* address, uint16_t port, const std::string& text) {
    const int on = 1;
    setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    inet_pton(AF_INET, address, &a.sin_addr);
    return sendto(fd_, text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a) ==
           static_cast<ssize_t>(text.size());
  }
  // One datagram, waiting at most `wait_ms`; "" when none came.
  std::string receive(int wait_ms, std::string* from = nullptr) {
    pollfd p = {fd_, POLLIN, 0};
    if (poll(&p, 1, wait_ms) != 1) return "";
    char buf[256];
    sockaddr_in a = {};
    socklen_t len = sizeof a;
    const ssize_t n = recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&a), &len);
    if (n <= 0) return "";
    if (from) {
      char text[INET_ADDRSTRLEN];
      *from = inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
    }
    return std::string(buf, static_cast<size_t>(n));
  }
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_;
};

TEST(NetNs, BodyRunsInAFreshNamespace) {
  ZEL_RUN_IN_PRIVATE_NETNS([] {
    std::string out;
    ASSERT_EQ(zeltest::run_command({"ip", "-o", "link", "show"}, &out), 0);
    EXPECT_NE(out.find(": lo:"), std::string::npos) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << "only lo: " << out;
    EXPECT_NE(out.find("UP"), std::string::npos) << "lo is up: " << out;
  });
}

TEST(NetNs, FailuresInTheBodyFailTheTest) {
  std::string message;
  const zeltest::NetNsRun run =
      zeltest::run_in_private_netns([] { return 3; }, &message);
  if (run == zeltest::NetNsRun::kUnavailable) GTEST_SKIP() << message;
  EXPECT_EQ(run, zeltest::NetNsRun::kFailed);
  EXPECT_NE(message.find("status 1"), std::string::npos) << message;
}

TEST(NetNs, CommandsReportStatusOutputAndTimeOut) {
  std::string out;
  EXPECT_EQ(zeltest::run_command({"sh", "-c", "echo hi; exit 3"}, &out), 3);
  EXPECT_EQ(out, "hi\n");
  EXPECT_EQ(zeltest::run_command({"sleep", "20"}, nullptr, 1), -1);
  EXPECT_EQ(zeltest::run_command({"/nonexistent/command"}), 127);
}

// Two nodes on a bridge: unicast between them, and one broadcast from the
// test's namespace heard by both.
TEST(NetNs, BridgeLanCarriesUnicastAndBroadcast) {
  ZEL_RUN_IN_PRIVATE_NETNS([] {
    ASSERT_EQ(zeltest::add_bridge("br0", "10.9.0.1/24"), "");
    zeltest::NetNsNode a, b;
    ASSERT_EQ(a.create(), "");
    ASSERT_EQ(b.create(), "");
    ASSERT_EQ(a.attach("br0", "veth-a", "eth0", "10.9.0.2/24"), "");
    ASSERT_EQ(b.attach("br0", "veth-b", "eth0", "10.9.0.3/24"), "");

    // A socket belongs to the namespace its maker was in when it was made.
    std::optional<Udp> in_a, in_b, out_a;
    {
      zeltest::ScopedNetNsEnter enter(a);
      ASSERT_TRUE(enter.ok());
      in_a.emplace();
      out_a.emplace();
      ASSERT_TRUE(in_a->bind_any(9161));
    }
    {
      zeltest::ScopedNetNsEnter enter(b);
      ASSERT_TRUE(enter.ok());
      in_b.emplace();
      ASSERT_TRUE(in_b->bind_any(9161));
    }
    // Sockets keep their namespace after the scope: out_a sends from node a.
    ASSERT_TRUE(out_a->send_to("10.9.0.3", 9161, "unicast"));
    std::string from;
    EXPECT_EQ(in_b->receive(5000, &from), "unicast");
    EXPECT_EQ(from, "10.9.0.2");

    Udp here;
    ASSERT_TRUE(here.send_to("10.9.0.255", 9161, "hello all"));
    EXPECT_EQ(in_a->receive(5000, &from), "hello all");
    EXPECT_EQ(from, "10.9.0.1");
    EXPECT_EQ(in_b->receive(5000), "hello all");

    std::string out;
    ASSERT_EQ(a.run({"ip", "-o", "-4", "addr", "show", "dev", "eth0"}, &out), 0);
    EXPECT_NE(out.find("10.9.0.2/24"), std::string::npos) << out;
  });
}

TEST(NetNs, SpawnedProcessesEndWithTheirNode) {
  ZEL_RUN_IN_PRIVATE_NETNS([] {
    zeltest::NetNsNode node;
    ASSERT_EQ(node.create(), "");
    const pid_t anchor = node.pid();
    const pid_t sleeper = node.spawn({"sleep", "60"});
    ASSERT_GT(sleeper, 0);
    EXPECT_EQ(kill(sleeper, 0), 0);
    const pid_t stopped = node.spawn({"sleep", "60"});
    node.stop(stopped);
    EXPECT_EQ(kill(stopped, 0), -1);
    node.destroy();
    // Reaped, so the pids are gone (unless reused, which a fresh namespace
    // child cannot have done within this test).
    EXPECT_EQ(kill(sleeper, 0), -1);
    EXPECT_EQ(kill(anchor, 0), -1);
    EXPECT_EQ(node.ns_fd(), -1);
  });
}

// The case later discovery tests build on: a simulated agent inside a node,
// reached over the bridge from the test's namespace.
TEST(NetNs, SimulatedAgentInANodeAnswersOverTheBridge) {
  if (!zeltest::have_snmpsimd()) GTEST_SKIP() << "snmpsimd is not installed";
  const std::string recording = zeltest::shared_recording("printer-01.snmprec");
  if (recording.empty()) GTEST_SKIP() << "no shared recordings";
  // Started as root, snmpsimd drops to nobody, an account that a rootless
  // user namespace (one mapped id) does not have.
  if (getuid() != 0) GTEST_SKIP() << "snmpsimd in a namespace needs real root";
  ZEL_RUN_IN_PRIVATE_NETNS([&] {
    ASSERT_EQ(zeltest::add_bridge("br0", "10.9.0.1/24"), "");
    zeltest::NetNsNode node;
    ASSERT_EQ(node.create(), "");
    ASSERT_EQ(node.attach("br0", "veth-p", "eth0", "10.9.0.2/24"), "");
    const std::string dir = zeltest::make_temp_dir("netns-agent");
    ASSERT_TRUE(zeltest::write_recording(recording, dir, "public"));
    zeltest::SnmpsimAgent agent;
    std::string error;
    {
      zeltest::ScopedNetNsEnter enter(node);
      ASSERT_TRUE(enter.ok());
      ASSERT_TRUE(agent.start("10.9.0.2", dir, "public", &error)) << error;
    }
    EXPECT_TRUE(zeltest::wait_for_agent("10.9.0.2", "public", 5000));
    agent.stop();
    zeltest::run_command({"rm", "-rf", dir});
  });
}

}  // namespace
