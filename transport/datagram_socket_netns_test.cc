// Broadcast and multicast through the datagram socket. These send to
// broadcast and multicast addresses, so they run only inside a private
// network namespace: the test re-executes this binary under `unshare -rn`,
// where it sets up loopback and a veth pair of its own. Outside, nothing is
// ever broadcast; without unshare the test skips.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "common/owned.h"
#include "common/status.h"
#include "transport/datagram_socket.h"

namespace {

using P = IKalNetworkAddress::EProtocol;
using Socket = KalOwned<DataGramSocket>;
using Address = KalOwned<IKalNetworkAddress>;

constexpr char kChildVariable[] = "ZEL_NETNS_CHILD";

bool inside_namespace() { return std::getenv(kChildVariable) != nullptr; }

int run(const std::string& command) {
  const int rc = std::system(command.c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

Socket open_socket(int protocol) {
  DataGramSocket* raw = nullptr;
  DataGramSocket::create(protocol, 0, &raw);
  return Socket(raw);
}

// Receives one datagram within two seconds; answers its text or "".
std::string receive_one(DataGramSocket* s) {
  char buf[64] = {};
  size_t got = 0;
  IKalNetworkAddress* from = nullptr;
  if (s->receive(buf, sizeof buf - 1, 2000, &got, &from) != kKalOk) return "";
  from->release();
  return std::string(buf, got);
}

// Parent side: re-executes the named test inside a new user and network
// namespace and reports its exit code.
void run_in_namespace(const char* test_name) {
  if (run("unshare -rn true >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "unshare -rn is not permitted here; broadcast and multicast tests need a "
                    "private network namespace";
  }
  char self[4096] = {};
  ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
  const std::string command = std::string(kChildVariable) + "=1 unshare -rn '" + self +
                              "' --gtest_filter=" + test_name;
  ASSERT_EQ(run(command), 0) << "the namespace run failed: " << command;
}

// Inside: loopback up and a veth pair zv0/zv1 on 10.77.0.0/24, with the
// multicast range routed through zv0.
void set_up_links() {
  static bool done = false;  // once per namespace, which is once per process
  if (done) return;
  done = true;
  ASSERT_EQ(run("PATH=$PATH:/usr/sbin:/sbin; ip link set lo up && "
                "ip link add zv0 type veth peer name zv1 && "
                "ip addr add 10.77.0.1/24 dev zv0 && ip addr add 10.77.0.2/24 dev zv1 && "
                "ip link set zv0 up && ip link set zv1 up && "
                "ip route add 224.0.0.0/4 dev zv0"),
            0);
}

TEST(NamespaceBroadcast, OptionGatesBroadcastSends) {
  if (!inside_namespace()) return run_in_namespace("NamespaceBroadcast.*");
  set_up_links();
  Socket rx = open_socket(P::IPv4);
  Socket tx = open_socket(P::IPv4);
  ASSERT_TRUE(rx && tx);
  Address to(kal_create_network_address("10.77.0.255", P::IPv4, rx->local_address()->get_port()));
  EXPECT_EQ(tx->send("off", 3, to.get()), kKasErrSend) << "the kernel refuses without the option";
  ASSERT_EQ(tx->set_broadcast(true), 0);
  ASSERT_EQ(tx->send("on", 2, to.get()), 0);
  EXPECT_EQ(receive_one(rx.get()), "on");
  ASSERT_EQ(tx->set_broadcast(false), 0);
  EXPECT_EQ(tx->send("off", 3, to.get()), kKasErrSend);
}

TEST(NamespaceMulticast, JoinedGroupReceives) {
  if (!inside_namespace()) return run_in_namespace("NamespaceMulticast.*");
  set_up_links();
  Socket rx = open_socket(P::IPv4);
  Socket tx = open_socket(P::IPv4);
  ASSERT_TRUE(rx && tx);
  ASSERT_EQ(rx->join_multicast_group("239.1.2.3"), 0);
  Address group(kal_create_network_address("239.1.2.3", P::IPv4, rx->local_address()->get_port()));
  ASSERT_EQ(tx->send("group", 5, group.get()), 0);
  EXPECT_EQ(receive_one(rx.get()), "group");

  Socket rx6 = open_socket(P::IPv6);
  ASSERT_TRUE(rx6);
  EXPECT_EQ(rx6->join_multicast_group("ff05::1:3"), 0);
  EXPECT_EQ(rx6->join_multicast_group("ff05::1:3"), kKalErrGeneral) << "already a member";
}

}  // namespace
