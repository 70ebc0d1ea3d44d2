// SNMPv3 discovery under a flood of forged answers. A discovery (time-out
// 500 ms, no retry) by broadcast to 127.255.255.255 while a rogue answers
// every probe it hears with 20 datagrams from 20 addresses (127.0.23.10 to
// 127.0.23.29): ten of two octets and ten well-formed Reports under a wrong
// message ID. Meanwhile another thread gets sysDescr from snmpd on
// 127.0.23.2 through an SNMPv3 session of its own, again and again. Prints
// the discovery's wall time, the agents it noted and the longest get.
//
// It binds port 161 and broadcasts: run it in a private network namespace,
//   testing/netns_run.sh build/benchmarks/v3_discovery_rogue
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "common/owned.h"
#include "snmp/packet.h"
#include "testing/snmpd_agent.h"
#include "transport/netsnmp_library.h"
#include "transport/v3_request_session.h"
#include "transport/v3_test_util.h"

namespace {

using Clock = std::chrono::steady_clock;

int udp_socket(const char* address, uint16_t port) {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  inet_pton(AF_INET, address, &a.sin_addr);
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    if (fd >= 0) close(fd);
    return -1;
  }
  return fd;
}

// Hears probes on 127.255.255.255:161 and floods each prober, until `stop`.
void rogue(int listener, const std::atomic<bool>* stop, std::atomic<int>* heard) {
  std::vector<int> senders;
  for (int i = 0; i < 20; ++i) {
    senders.push_back(udp_socket(("127.0.23." + std::to_string(10 + i)).c_str(), 0));
  }
  while (!stop->load()) {
    pollfd p{listener, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    uint8_t buffer[2048];
    sockaddr_in from{};
    socklen_t length = sizeof from;
    if (recvfrom(listener, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from),
                 &length) <= 0) {
      continue;
    }
    heard->fetch_add(1);
    for (int i = 0; i < 20; ++i) {
      const std::vector<uint8_t> datagram =
          i % 2 == 0 ? std::vector<uint8_t>{0x30, 0x00}
                     : zeltest::engine_id_report(0x5eed0000u + i, 1, "\x80rogue");
      sendto(senders[i], datagram.data(), datagram.size(), 0,
             reinterpret_cast<sockaddr*>(&from), length);
    }
  }
  for (int fd : senders) {
    if (fd >= 0) close(fd);
  }
}

}  // namespace

int main() {
  const zeltest::UsmSettings user{"shauser", 1, 2, 0, "shapassphrase", ""};
  zeltest::SnmpdAgent agent;
  std::string error;
  if (!agent.start("127.0.23.2", {{"shauser", "SHA", "shapassphrase", "", "", false}}, &error)) {
    fprintf(stderr, "snmpd: %s\n", error.c_str());
    return 1;
  }
  const int listener = udp_socket("127.255.255.255", 161);
  if (listener < 0) {
    fprintf(stderr, "cannot bind 127.255.255.255:161 (run in a private namespace)\n");
    return 1;
  }
  std::atomic<bool> stop{false};
  std::atomic<int> heard{0};
  std::thread flood(rogue, listener, &stop, &heard);

  // The other context: one get after another until the discovery is over.
  std::atomic<bool> discovering{true};
  std::atomic<int64_t> longest_get_ms{0};
  std::atomic<int> gets{0};
  std::thread other([&] {
    KalOwned<IKasRequestSession> session(kas_create_v3_request_session());
    KalOwned<IKasUsmTarget> target(zeltest::make_usm_target(user, "127.0.23.2", 161, 1000, 0));
    while (discovering.load()) {
      KalOwned<IKasPdu> pdu(zeltest::make_request(0, {"1.3.6.1.2.1.1.1.0"}));
      const auto start = Clock::now();
      const int rc = session->send_sync(pdu.get(), target.get());
      const int64_t ms =
          std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
      if (rc != kKalOk) fprintf(stderr, "get: %d\n", rc);
      gets.fetch_add(1);
      if (ms > longest_get_ms.load()) longest_get_ms.store(ms);
    }
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));

  KalOwned<IKasUsmTarget> target(
      zeltest::make_usm_target(user, "127.255.255.255", 161, 500, 0));
  KalOwned<IKasSnmpPacketList> collector(kas_create_packet_list());
  const auto start = Clock::now();
  int rc = 0;
  {
    NetSnmpLibraryScope library;
    rc = kas_v3::get_engine_id_broad_cast(target.get(), collector.get());
  }
  const int64_t discovery_ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  discovering.store(false);
  other.join();
  stop.store(true);
  flood.join();
  close(listener);
  printf("discovery: status %d, %lld ms, %zu agents noted, rogue heard %d probes\n", rc,
         static_cast<long long>(discovery_ms), collector->count(), heard.load());
  printf("other thread: %d gets, longest %lld ms\n", gets.load(),
         static_cast<long long>(longest_get_ms.load()));
  return 0;
}
