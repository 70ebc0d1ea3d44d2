// SNMPv3 discovery on a private namespace LAN: agents on 10.9.0.2..4 (each
// in a namespace of its own, listening on 0.0.0.0:161 so that they hear
// broadcasts), one of them knowing the user with another pass phrase, and a
// rogue on the prober's own host (10.9.0.1) that answers the probe with
// two-byte datagrams and Reports under a wrong message ID. The engine-ID
// probe to 10.9.0.255 finds the three agents and probes nobody else; the
// broadcast query answers the two that accept the user and leaves the third
// out.
//
// The agents are snmpsimd's SNMPv3 mode (context "public" = the recording's
// name): Debian's snmpd 5.9.3 answers a broadcast request from the broadcast
// address itself, which the kernel refuses to send (ENETUNREACH).
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "common/owned.h"
#include "gtest/gtest.h"
#include "snmp/packet.h"
#include "testing/netns.h"
#include "testing/scripted_responder.h"
#include "testing/snmpsim_agent.h"
#include "transport/netsnmp_library.h"
#include "transport/v3_request_session.h"
#include "transport/v3_test_util.h"

namespace {

const zeltest::UsmSettings kUser{"lanuser", 2, 2, 2, "lanauthpass", "lanprivpass"};

struct SnmpsimLan {
  std::vector<std::unique_ptr<zeltest::NetNsNode>> nodes;
  std::vector<std::string> dirs;

  // Agents 10.9.0.2.. with the user; the agent at index `odd_one` knows it
  // with another authentication pass phrase.
  void start(size_t count, size_t odd_one) {
    ASSERT_EQ(zeltest::add_bridge("br0", "10.9.0.1/24"), "");
    for (size_t i = 0; i < count; ++i) {
      const std::string n = std::to_string(i + 2);
      nodes.push_back(std::make_unique<zeltest::NetNsNode>());
      ASSERT_EQ(nodes.back()->create(), "");
      ASSERT_EQ(nodes.back()->attach("br0", "veth" + n, "eth0", "10.9.0." + n + "/24"), "");
      const std::string dir = zeltest::make_temp_dir("snmpsim-v3-lan");
      dirs.push_back(dir);
      std::ofstream(dir + "/public.snmprec")
          << "1.3.6.1.2.1.1.1.0|4|agent " << n << "\n"
          << "1.3.6.1.2.1.1.2.0|6|1.3.6.1.4.1.8072.3.2.10\n";
      const std::string cache = dir + "/cache";
      mkdir(cache.c_str(), 0777);
      chmod(cache.c_str(), 0777);
      const std::string auth = i == odd_one ? "otherauthpass" : kUser.auth_pass;
      ASSERT_GT(nodes.back()->spawn({"snmpsimd", "--data-dir=" + dir,
                                     "--agent-udpv4-endpoint=0.0.0.0:161",
                                     "--v3-user=" + kUser.name, "--v3-auth-key=" + auth,
                                     "--v3-auth-proto=SHA", "--v3-priv-key=" + kUser.priv_pass,
                                     "--v3-priv-proto=AES", "--cache-dir=" + cache,
                                     "--process-user=nobody", "--process-group=nogroup"},
                                    dir + "/snmpsimd.log"),
                0);
    }
    for (size_t i = 0; i < count; ++i) {
      const std::string address = "10.9.0." + std::to_string(i + 2);
      ASSERT_TRUE(zeltest::wait_for_agent(address, "public", 30000))
          << "snmpsimd on " << address << " did not come up";
    }
  }
  ~SnmpsimLan() { nodes.clear(); }
};

TEST(V3BroadcastNetns, ProbeFindsEveryAgentAndTheQueryLeavesOutTheOddPassPhrase) {
  if (!zeltest::have_snmpsimd()) GTEST_SKIP() << "snmpsimd is not installed";
  // snmpsimd started as root drops to nobody, which a rootless user
  // namespace (one mapped id) does not have.
  if (getuid() != 0) GTEST_SKIP() << "snmpsimd in a namespace needs real root";
  ZEL_RUN_IN_PRIVATE_NETNS([] {
    SnmpsimLan lan;
    ASSERT_NO_FATAL_FAILURE(lan.start(3, 2));
    KalOwned<IKasUsmTarget> target(zeltest::make_usm_target(kUser, "10.9.0.255", 161, 500, 0));
    target->set_context_name("public");
    zeltest::ScriptedResponder rogue;
    std::string error;
    ASSERT_TRUE(rogue.start(
        "0.0.0.0", 161,
        [](const zeltest::ScriptedRequest& r) {
          std::vector<zeltest::ScriptedReply> replies;
          kas_v3::MessageIds ids;
          if (!kas_v3::read_message_ids(r.bytes.data(), r.bytes.size(), &ids)) return replies;
          for (uint32_t i = 1; i <= 10; ++i) {
            replies.push_back({{0x30, 0x00}});
            replies.push_back(
                {zeltest::engine_id_report(ids.message_id + i, ids.request_id, "\x80rogue")});
          }
          return replies;
        },
        &error))
        << error;

    KalOwned<IKasSnmpPacketList> collector(kas_create_packet_list());
    {
      NetSnmpLibraryScope library;
      ASSERT_EQ(library.status(), kKalOk);
      ASSERT_EQ(kas_v3::get_engine_id_broad_cast(target.get(), collector.get()), kKalOk);
    }
    // The rogue heard the broadcast probe and was not probed itself.
    EXPECT_EQ(rogue.request_count(), 1u);
    // Each agent once, with its own engine ID.
    std::vector<std::string> probed;
    std::vector<std::string> engines;
    for (IKasSnmpPacket* p = collector->take_front(); p; p = collector->take_front()) {
      KalOwned<IKasSnmpPacket> packet(p);
      probed.push_back(packet->get_target()->get_address()->text());
      size_t length = 0;
      const uint8_t* engine = packet->get_target()->as_usm()->get_security_engine_id(&length);
      engines.emplace_back(engine ? reinterpret_cast<const char*>(engine) : "", length);
    }
    std::sort(probed.begin(), probed.end());
    EXPECT_EQ(probed, (std::vector<std::string>{"10.9.0.2", "10.9.0.3", "10.9.0.4"}));
    std::sort(engines.begin(), engines.end());
    EXPECT_EQ(std::unique(engines.begin(), engines.end()), engines.end());
    EXPECT_EQ(engines.size(), 3u);

    KalOwned<IKasRequestSession> session(kas_create_v3_request_session());
    KalOwned<IKasPdu> pdu(zeltest::make_request(0, {"1.3.6.1.2.1.1.2.0"}));
    IKasSnmpPacketList* raw = nullptr;
    ASSERT_EQ(session->send_broad_cast_sync(pdu.get(), target.get(), &raw), kKalOk);
    KalOwned<IKasSnmpPacketList> list(raw);
    std::vector<std::string> found;
    for (IKasSnmpPacket* p = list->take_front(); p; p = list->take_front()) {
      KalOwned<IKasSnmpPacket> packet(p);
      found.push_back(packet->get_target()->get_address()->text());
      EXPECT_EQ(zeltest::text_at(packet->get_pdu(), 0), "1.3.6.1.4.1.8072.3.2.10");
    }
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{"10.9.0.2", "10.9.0.3"}));
  });
}

}  // namespace
