// Full device reads through the built library, loaded with dlopen as a host
// loads it, over a network that misbehaves: the fault relay between the
// plug-in and snmpsimd loses, doubles, holds back and delays datagrams, an
// agent dies in the middle of a walk, an agent answers garbage, an agent
// answers from another address. Reads must give the records of a clean read
// or a clear status, never hang beyond (retries + 1) x time-out per exchange
// and never crash. The session-level rules (one datagram at a time) are the
// transport tests' business; these cases look at what the host sees.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "common/owned.h"
#include "facade/walk_limits.h"
#include "plugin/zel_api.h"
#include "snmp/binding.h"
#include "snmp/pdu.h"
#include "snmp/value.h"
#include "testing/fault_relay.h"
#include "testing/scripted_responder.h"
#include "testing/snmpsim_agent.h"
#include "tools/zelctl/device_report.h"
#include "tools/zelctl/plugin_library.h"
#include "tools/zelctl/report_json.h"

namespace {

using Clock = std::chrono::steady_clock;
using zeltest::FaultRelayConfig;

constexpr char kSupportedModel[] = "1.3.6.1.4.1.61802.1.11.93.1.37.22.4.5.1";
constexpr char kCommunity[] = "supported";
constexpr char kSysObjectId[] = "1.3.6.1.2.1.1.2.0";
constexpr char kStorageType[] = "1.3.6.1.2.1.25.2.3.1.2";

// Generous room for a loaded machine on top of the (retries + 1) x time-out
// an exchange may last; this bounds a hang, it does not time anything.
constexpr int kSlackMs = 3000;

int64_t ms_since(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() -
                                                               start)
      .count();
}

const zelctl::ZelApi* api() {
  static zelctl::PluginLibrary* library = [] {
    auto* l = new zelctl::PluginLibrary;
    std::string error;
    if (!l->open(ZEL_LIBRARY_PATH, &error)) {
      std::fprintf(stderr, "cannot load the library: %s\n", error.c_str());
      delete l;
      return static_cast<zelctl::PluginLibrary*>(nullptr);
    }
    return l;
  }();
  return library ? &library->api() : nullptr;
}

// One context with the read community set, released with the object.
class Host {
 public:
  Host() {
    if (api() && api()->ZelInit(&context_) == 0) {
      api()->ZelCommandString(context_, "CmdSetCommunityGetOption", kCommunity);
    }
  }
  ~Host() {
    if (context_) api()->ZelUnInit(context_);
  }
  ZelContext* get() const { return context_; }
  // SNMPv1 with the community above, as zelctl opens a device.
  int open(const std::string& address, int timeout_ms, int retries) {
    const ZelSnmpV3Settings none{};
    return api()->ZelInitDeviceEx(context_, address.c_str(), 1, 0, &none,
                                  timeout_ms, retries);
  }

 private:
  ZelContext* context_ = nullptr;
};

// Opens the device at `address` and reads all of it as zelctl's "status"
// does (options, every table, jobs, character sets); answers the report as
// JSON text without the request part (address, time-out and retries differ
// between the runs compared).
std::string full_read(const std::string& address, int timeout_ms, int retries) {
  Host host;
  zelctl::DeviceReport report;
  report.open_status = host.open(address, timeout_ms, retries);
  if (report.open_status == 0) {
    zelctl::read_device_report(*api(), host.get(), 0, &report);
  }
  zelctl::Json doc = zelctl::status_report_json(zelctl::Options{}, "", report);
  doc.erase("request");
  return zelctl::dump_json(doc);
}

class DeviceFaults : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(nullptr, api()) << "the built library did not load";
  }

  // snmpsimd serving the supported-device recording on address:161. False
  // when the case is to end here (skipped without snmpsimd, or failed).
  bool start_agent(const std::string& address) {
    if (!zeltest::have_snmpsimd()) {
      [] { GTEST_SKIP() << "snmpsimd is not installed"; }();
      return false;
    }
    const std::string dir = zeltest::make_temp_dir("device-faults");
    if (!zeltest::write_recording(
            zeltest::repo_file("options/testdata/supported-device.snmprec"),
            dir, kCommunity)) {
      ADD_FAILURE() << "cannot copy the supported-device recording";
      return false;
    }
    std::string error;
    if (!agent_.start(address, dir, kCommunity, &error)) {
      ADD_FAILURE() << error;
      return false;
    }
    agent_address_ = address;
    return true;
  }

  FaultRelayConfig relay_config(const std::string& listen) const {
    FaultRelayConfig config;
    config.listen = listen;
    config.listen_port = 161;
    config.agent = agent_address_;
    config.agent_port = 161;
    return config;
  }

  zeltest::SnmpsimAgent agent_;
  std::string agent_address_;
};

TEST_F(DeviceFaults, LossDuplicationReorderingAndDelayGiveTheCleanRecords) {
  if (!start_agent("127.0.16.2")) return;
  const std::string clean = full_read("127.0.16.2", 2000, 1);
  ASSERT_NE(std::string::npos, clean.find("\"failures\": []"))
      << "the clean read failed:\n"
      << clean;

  FaultRelayConfig config = relay_config("127.0.16.3");
  config.faults.request_loss = config.faults.answer_loss = 0.2;
  config.faults.duplicate = 0.2;
  config.faults.reorder = 0.2;
  config.faults.delay_ms = 5;
  config.faults.jitter_ms = 5;
  config.faults.seed = 12;
  zeltest::FaultRelay relay;
  std::string error;
  ASSERT_TRUE(relay.start(config, &error)) << error;
  // A try fails when its request or its answer is lost: 1 - 0.8 x 0.8 = 0.36.
  // Twenty retries leave 0.36^21 = 5e-10 per exchange for the read's 110 or
  // so exchanges (and the seed fixes which datagrams are lost). A round trip
  // takes 10 to 20 ms plus the agent's own time, 40 ms more when held back;
  // the 60 ms time-out keeps the lost tries short, and an answer that comes
  // later still answers the next try, which resends the same request ID.
  // Retries cost nothing until needed; so many also give a slow agent on a
  // loaded machine 1.26 s per exchange.
  const auto start = Clock::now();
  const std::string spoiled = full_read("127.0.16.3", 60, 20);
  const int64_t elapsed = ms_since(start);
  relay.stop();
  EXPECT_EQ(clean, spoiled);
  const zeltest::FaultCounters c = relay.counters();
  std::printf("spoiled read: %lld ms; relay %s\n",
              static_cast<long long>(elapsed),
              zeltest::fault_counters_json(c).c_str());
  EXPECT_GT(c.requests_dropped, 0u);
  EXPECT_GT(c.answers_dropped, 0u);
  EXPECT_GT(c.duplicated, 0u);
  EXPECT_GT(c.held, 0u);
}

TEST_F(DeviceFaults, GarbageBeforeEveryAnswerIsDroppedAndTheReadCompletes) {
  if (!start_agent("127.0.16.10")) return;
  const std::string clean = full_read("127.0.16.10", 2000, 1);
  FaultRelayConfig config = relay_config("127.0.16.11");
  config.faults.garbage = 1;
  zeltest::FaultRelay relay;
  std::string error;
  ASSERT_TRUE(relay.start(config, &error)) << error;
  EXPECT_EQ(clean, full_read("127.0.16.11", 2000, 0));
  relay.stop();
  EXPECT_EQ(relay.counters().answers, relay.counters().garbage);
  EXPECT_EQ(relay.counters().requests, relay.counters().answers)
      << "no retries: every garbage datagram was skipped within its window";
}

TEST_F(DeviceFaults, AnAgentKilledInTheMiddleOfAWalkEndsInATimeOut) {
  if (!start_agent("127.0.16.4")) return;
  std::atomic<uint64_t> kill_at{UINT64_MAX};
  FaultRelayConfig config = relay_config("127.0.16.5");
  zeltest::SnmpsimAgent* agent = &agent_;
  // Runs on the relay's thread: the agent is gone before the request that
  // would reach it is forwarded, and stays gone.
  config.request_hook = [&kill_at, agent](uint64_t index) {
    if (index == kill_at) agent->stop();
    return index < kill_at;
  };
  zeltest::FaultRelay relay;
  std::string error;
  ASSERT_TRUE(relay.start(config, &error)) << error;

  constexpr int kTimeoutMs = 200;
  constexpr int kRetries = 2;
  constexpr int kExchangeMs = (kRetries + 1) * kTimeoutMs;
  Host host;
  ASSERT_EQ(0, host.open("127.0.16.5", kTimeoutMs, kRetries));
  // The storage walk has five GetNext steps; the agent dies at the third.
  const uint64_t before = relay.counters().requests;
  kill_at = before + 2;
  int32_t count = -99;
  auto start = Clock::now();
  EXPECT_EQ(-203, api()->ZelGetNumberOfStorageInfo(host.get(), &count));
  EXPECT_LE(ms_since(start), kExchangeMs + kSlackMs);
  EXPECT_EQ(-99, count) << "a failed count call writes no count";
  // The relay counts a request once the hook is done with it, and stopping
  // the agent may outlast the call.
  const uint64_t expected = before + 2 + kRetries + 1;
  relay.wait_for_requests(expected, kSlackMs);
  EXPECT_EQ(expected, relay.counters().requests)
      << "the step that met the dead agent was tried retries + 1 times";

  // Every later call meets the dead agent at its first exchange.
  struct Call {
    const char* name;
    std::function<int()> run;
  };
  ZelPrinterInfo printer{};
  int32_t charset = 0;
  const Call calls[] = {
      {"printer",
       [&] { return api()->ZelGetPrinterInfo(host.get(), &printer); }},
      {"jobs",
       [&] { return api()->ZelGetNumberOfJobInfo(host.get(), 0, &count); }},
      {"character set",
       [&] { return api()->ZelGetCharSet(host.get(), 0, &charset); }},
      {"refresh options", [&] { return api()->ZelRefreshOptions(host.get()); }},
  };
  for (const Call& call : calls) {
    SCOPED_TRACE(call.name);
    const uint64_t sent = relay.counters().requests;
    start = Clock::now();
    EXPECT_EQ(-203, call.run());
    EXPECT_LE(ms_since(start), kExchangeMs + kSlackMs);
    EXPECT_EQ(sent + kRetries + 1, relay.counters().requests);
  }
  ZelStorageInfo storage;
  EXPECT_EQ(-11, api()->ZelGetStorageInfo(host.get(), 0, &storage));
}

// A responder that answers the model check of the device open properly and
// everything after it with `junk`.
zeltest::ResponderScript model_check_then(
    std::vector<uint8_t> (*junk)(const zeltest::ScriptedRequest&)) {
  return [junk](const zeltest::ScriptedRequest& request)
             -> std::vector<zeltest::ScriptedReply> {
    if (request.decode_status != 0) return {};
    if (request.type == kKasPduGet && request.oids.size() == 1 &&
        request.oids[0] == kSysObjectId) {
      KalOwned<IKasPdu> pdu(kas_create_pdu());
      pdu->append_pair(kas_create_oid_from_text(kSysObjectId),
                       kas_create_oid_from_text(kSupportedModel));
      return {{zeltest::response_with(request, pdu.get())}};
    }
    return {{junk(request)}};
  };
}

std::vector<uint8_t> garbage(const zeltest::ScriptedRequest&) {
  return zeltest::garbage_datagram();
}

struct GarbageRow {
  const char* name;
  std::vector<uint8_t> (*junk)(const zeltest::ScriptedRequest&);
};

TEST_F(DeviceFaults, AnAgentThatAnswersGarbageEndsInATimeOut) {
  const GarbageRow rows[] = {
      {"octets that are no SNMP message", garbage},
      {"the right request ID with an undecodable value",
       zeltest::undecodable_response},
  };
  constexpr int kTimeoutMs = 150;
  constexpr int kRetries = 1;
  for (const GarbageRow& row : rows) {
    SCOPED_TRACE(row.name);
    zeltest::ScriptedResponder responder;
    std::string error;
    ASSERT_TRUE(
        responder.start("127.0.16.6", 161, model_check_then(row.junk), &error))
        << error;
    Host host;
    ASSERT_EQ(0, host.open("127.0.16.6", kTimeoutMs, kRetries));
    responder.clear_requests();
    int32_t count = -99;
    const auto start = Clock::now();
    EXPECT_EQ(-203, api()->ZelGetNumberOfStorageInfo(host.get(), &count));
    EXPECT_LE(ms_since(start), (kRetries + 1) * kTimeoutMs + kSlackMs);
    EXPECT_EQ(-99, count);
    EXPECT_EQ(static_cast<size_t>(kRetries + 1), responder.request_count());
  }
  // Garbage to the open's own model check: the open fails, no device.
  zeltest::ScriptedResponder responder;
  std::string error;
  ASSERT_TRUE(responder.start(
      "127.0.16.6", 161,
      [](const zeltest::ScriptedRequest&) {
        return std::vector<zeltest::ScriptedReply>{
            {zeltest::garbage_datagram()}};
      },
      &error))
      << error;
  Host host;
  const auto start = Clock::now();
  EXPECT_EQ(-203, host.open("127.0.16.6", kTimeoutMs, kRetries));
  EXPECT_LE(ms_since(start), (kRetries + 1) * kTimeoutMs + kSlackMs);
  int32_t count = 0;
  EXPECT_EQ(-8, api()->ZelGetNumberOfStorageInfo(host.get(), &count));
}

TEST_F(DeviceFaults, AStreamOfGarbageDoesNotHoldTheWindowOpen) {
  // Every request after the open is answered by four seconds of garbage, a
  // datagram every 20 ms: each dropped datagram must shorten what is left
  // of the try's window, not start it again.
  zeltest::ScriptedResponder responder;
  std::string error;
  const auto script = model_check_then(garbage);
  ASSERT_TRUE(responder.start(
      "127.0.16.14", 161,
      [script](const zeltest::ScriptedRequest& request) {
        std::vector<zeltest::ScriptedReply> replies = script(request);
        if (request.type == kKasPduGet) return replies;
        return std::vector<zeltest::ScriptedReply>(
            200, zeltest::ScriptedReply{zeltest::garbage_datagram(), 20});
      },
      &error))
      << error;
  constexpr int kTimeoutMs = 100;
  constexpr int kRetries = 1;
  Host host;
  ASSERT_EQ(0, host.open("127.0.16.14", kTimeoutMs, kRetries));
  int32_t count = -99;
  const auto start = Clock::now();
  const int rc = api()->ZelGetNumberOfStorageInfo(host.get(), &count);
  EXPECT_LE(ms_since(start), (kRetries + 1) * kTimeoutMs + kSlackMs);
  // A time-out, or the undecodable status when the last window closed just
  // after a dropped datagram.
  EXPECT_TRUE(rc == -203 || rc == -250) << rc;
  EXPECT_EQ(-99, count);
}

TEST_F(DeviceFaults, AnAgentAnsweringFromItsOtherAddressIsReadInFull) {
  if (!start_agent("127.0.16.7")) return;
  const std::string clean = full_read("127.0.16.7", 2000, 1);
  // Every answer leaves from a second address that takes requests as well,
  // as a host with two addresses may answer.
  FaultRelayConfig config = relay_config("127.0.16.8");
  config.alternate = "127.0.16.9";
  zeltest::FaultRelay relay;
  std::string error;
  ASSERT_TRUE(relay.start(config, &error)) << error;
  EXPECT_EQ(clean, full_read("127.0.16.8", 2000, 0));
  relay.stop();
  const zeltest::FaultCounters c = relay.counters();
  // The answers are taken, but every request goes to the address the host
  // gave: an answer from elsewhere does not move the walk.
  EXPECT_GT(c.requests, 0u);
  EXPECT_EQ(c.alternate_requests, 0u);
}

TEST_F(DeviceFaults, AnAnswerFromAnAddressThatTakesNoRequestsDoesNotMoveTheWalk) {
  // The storage walk's steps are answered from a second address that never
  // answers itself; every step still goes to the device's own address.
  zeltest::ScriptedResponder responder;
  std::string error;
  const auto script = model_check_then(garbage);
  ASSERT_TRUE(responder.start(
      "127.0.16.12", 161,
      [script](const zeltest::ScriptedRequest& request)
          -> std::vector<zeltest::ScriptedReply> {
        if (request.type != kKasPduGetNext) return script(request);
        KalOwned<IKasPdu> pdu(kas_create_pdu());
        std::string row = std::string(kStorageType) + ".1";
        pdu->append_pair(kas_create_oid_from_text(row.c_str()),
                         kas_create_oid_from_text("1.3.6.1.2.1.25.2.1.4"));
        for (const char* column : {".4.1", ".5.1", ".3.1"}) {
          row = std::string("1.3.6.1.2.1.25.2.3.1") + column;
          pdu->append_pair(kas_create_oid_from_text(row.c_str()),
                           kas_create_value_from_int(1, kKasTagInteger));
        }
        return {{zeltest::response_with(request, pdu.get()), 0, true}};
      },
      &error, "127.0.16.13"))
      << error;
  constexpr int kTimeoutMs = 150;
  constexpr int kRetries = 1;
  Host host;
  ASSERT_EQ(0, host.open("127.0.16.12", kTimeoutMs, kRetries));
  responder.clear_requests();
  int32_t count = -99;
  const auto start = Clock::now();
  EXPECT_EQ(0, api()->ZelGetNumberOfStorageInfo(host.get(), &count));
  EXPECT_LE(ms_since(start), 2 * (kRetries + 1) * kTimeoutMs + kSlackMs);
  EXPECT_EQ(1, count);
  EXPECT_EQ(2u, responder.request_count())
      << "both steps reached the first address (the second answer repeats the "
         "row and ends the walk)";
}

// A storage table that never ends: every GetNext is answered with the next
// row, whose description is a value of kEndlessValueOctets octets.
constexpr size_t kEndlessValueOctets = 60000;

std::vector<uint8_t> endless_storage_table(const zeltest::ScriptedRequest& request) {
  if (request.type != kKasPduGetNext || request.oids.empty()) return {};
  // The first request asks for the bare columns, every later one for the
  // row just answered.
  const std::string& first = request.oids[0];
  const size_t dot = first.rfind('.');
  const unsigned long row =
      first == kStorageType ? 0 : std::stoul(first.substr(dot + 1));
  const std::string index = "." + std::to_string(row + 1);
  static const std::string descr(kEndlessValueOctets, 'x');
  KalOwned<IKasPdu> pdu(kas_create_pdu());
  pdu->append_pair(kas_create_oid_from_text((std::string(kStorageType) + index).c_str()),
                   kas_create_oid_from_text("1.3.6.1.2.1.25.2.1.4"));
  for (const char* column : {"1.3.6.1.2.1.25.2.3.1.4", "1.3.6.1.2.1.25.2.3.1.5"}) {
    pdu->append_pair(kas_create_oid_from_text((column + index).c_str()),
                     kas_create_value_from_int(1, kKasTagInteger));
  }
  pdu->append_pair(kas_create_oid_from_text(("1.3.6.1.2.1.25.2.3.1.3" + index).c_str()),
                   kas_create_value_from_text(descr.c_str(), kKasTagOctetString));
  return zeltest::response_with(request, pdu.get());
}

TEST_F(DeviceFaults, ATableThatNeverEndsIsTooMuchData) {
  zeltest::ScriptedResponder responder;
  std::string error;
  ASSERT_TRUE(responder.start("127.0.21.1", 161, model_check_then(endless_storage_table),
                              &error))
      << error;
  Host host;
  ASSERT_EQ(0, host.open("127.0.21.1", 2000, 1));
  responder.clear_requests();
  int32_t count = -99;
  EXPECT_EQ(-12, api()->ZelGetNumberOfStorageInfo(host.get(), &count));
  EXPECT_EQ(-99, count);
  ZelStorageInfo storage;
  EXPECT_EQ(-11, api()->ZelGetStorageInfo(host.get(), 0, &storage))
      << "no row of the cut table is cached";
  // The octet limit ended it: one step per kept row, and one more.
  const size_t steps = responder.request_count();
  EXPECT_LE(steps, kKalWalkMaxOctets / kEndlessValueOctets + 1);
  EXPECT_GE(steps, kKalWalkMaxOctets / (kEndlessValueOctets + 4096));
}

}  // namespace
