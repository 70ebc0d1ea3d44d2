// Session choice by target kind and version, making each session once, and
// the SNMPv3 seam before the SNMPv3 session exists.
#include "transport/session_dispatcher.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "common/owned.h"
#include "log/capture_output.h"
#include "snmp/packet.h"
#include "transport/request_session_test_util.h"

namespace {

using sessiontest::make_pdu;
using sessiontest::make_target;

// A session that records which operation reached it and answers `kAnswer`.
constexpr int kAnswer = 4242;
struct Calls {
  std::atomic<int> made_community{0};
  std::atomic<int> made_usm{0};
  std::atomic<int> released{0};
  std::vector<std::string> seen;  // "<kind>:<operation>"
};
Calls g_calls;

class RecordingSession : public IKasRequestSession {
 public:
  explicit RecordingSession(const char* kind) : kind_(kind) {}
  void release() override {
    ++g_calls.released;
    delete this;
  }
  int send_sync(IKasPdu*, IKasSnmpTarget*) override { return note("send_sync"); }
  int send_sync(IKasSnmpPacket*) override { return note("send_sync(packet)"); }
  int send_broad_cast_sync(IKasSnmpPacket*, IKasSnmpPacketList**) override {
    return note("broadcast(packet)");
  }
  int send_broad_cast_sync(IKasPdu*, IKasSnmpTarget*, IKasSnmpPacketList**) override {
    return note("broadcast");
  }

 private:
  int note(const char* operation) {
    g_calls.seen.push_back(std::string(kind_) + ":" + operation);
    return kAnswer;
  }
  const char* kind_;
};

IKasRequestSession* make_recording_community(int*) {
  ++g_calls.made_community;
  return new RecordingSession("community");
}
IKasRequestSession* make_recording_usm(int*) {
  ++g_calls.made_usm;
  return new RecordingSession("usm");
}
IKasRequestSession* make_nothing(int* pStatus) {
  if (pStatus) *pStatus = kKalErrNoMemory;
  return nullptr;
}

const KasSessionFactories kRecording{&make_recording_community, &make_recording_usm};

IKasSnmpTarget* usm_target(int version) {
  IKasUsmTarget* t = kas_create_usm_target();
  t->set_version(version);
  return t;
}

// A dispatcher over recording sessions, a v2c and an SNMPv3 target, and a
// GetRequest of one name.
class Dispatcher : public ::testing::Test {
 protected:
  void SetUp() override {
    g_calls.made_community = 0;
    g_calls.made_usm = 0;
    g_calls.released = 0;
    g_calls.seen.clear();
  }
  KalOwned<SessionDispatcher> d_{kas_create_session_dispatcher(kRecording)};
  KalOwned<IKasSnmpTarget> v2c_{make_target("127.0.0.1", 161, 10, 0)};
  KalOwned<IKasSnmpTarget> v3_{usm_target(kKasVersion3)};
  KalOwned<IKasPdu> pdu_{make_pdu(kKasPduGet, 1)};
  IKasSnmpPacketList* list_ = nullptr;
};

TEST_F(Dispatcher, ChoosesBySessionKindAndVersion) {
  const struct {
    const char* name;
    int kind, version;
    int expected;  // kAnswer when a session was reached
    const char* session;
  } rows[] = {
      {"community v1", kKasTargetCommunity, kKasVersion1, kAnswer, "community:send_sync"},
      {"community v2c", kKasTargetCommunity, kKasVersion2c, kAnswer, "community:send_sync"},
      {"community with version 2", kKasTargetCommunity, kKasVersion3, kKalErrInvalidArg, ""},
      {"community without version", kKasTargetCommunity, kKasVersionNone, kKalErrInvalidArg, ""},
      {"SNMPv3 v3", kKasTargetUsm, kKasVersion3, kAnswer, "usm:send_sync"},
      {"SNMPv3 with version 1", kKasTargetUsm, kKasVersion2c, kKalErrInvalidArg, ""},
      {"SNMPv3 with version 0", kKasTargetUsm, kKasVersion1, kKalErrInvalidArg, ""},
  };
  for (const auto& row : rows) {
    g_calls.seen.clear();
    KalOwned<IKasSnmpTarget> target(row.kind == kKasTargetUsm
                                        ? usm_target(row.version)
                                        : make_target("127.0.0.1", 161, 10, 0, row.version));
    EXPECT_EQ(d_->send_sync(pdu_.get(), target.get()), row.expected) << row.name;
    EXPECT_EQ(g_calls.seen, row.session[0] ? std::vector<std::string>{row.session}
                                           : std::vector<std::string>{})
        << row.name;
  }
}

TEST_F(Dispatcher, MakesEachSessionOnceAndReleasesItWithItself) {
  EXPECT_EQ(g_calls.made_community, 0) << "nothing is made before it is needed";
  EXPECT_EQ(d_->send_sync(pdu_.get(), v2c_.get()), kAnswer);
  EXPECT_EQ(d_->send_sync(pdu_.get(), v2c_.get()), kAnswer);
  EXPECT_EQ(d_->send_broad_cast_sync(pdu_.get(), v2c_.get(), &list_), kAnswer);
  EXPECT_EQ(d_->send_sync(pdu_.get(), v3_.get()), kAnswer);
  EXPECT_EQ(d_->send_broad_cast_sync(pdu_.get(), v3_.get(), &list_), kAnswer);
  // The packet forms forward to the packet forms.
  KalOwned<IKasSnmpPacket> packet(kas_create_packet());
  packet->set_pdu(make_pdu(kKasPduGet, 1));
  packet->set_target(make_target("127.0.0.1", 161, 10, 0));
  EXPECT_EQ(d_->send_sync(packet.get()), kAnswer);
  EXPECT_EQ(d_->send_broad_cast_sync(packet.get(), &list_), kAnswer);
  EXPECT_EQ(g_calls.seen, (std::vector<std::string>{
                              "community:send_sync", "community:send_sync", "community:broadcast",
                              "usm:send_sync", "usm:broadcast", "community:send_sync(packet)",
                              "community:broadcast(packet)"}));
  EXPECT_EQ(g_calls.made_community, 1);
  EXPECT_EQ(g_calls.made_usm, 1);
  EXPECT_EQ(g_calls.released, 0);
  d_.reset();
  EXPECT_EQ(g_calls.released, 2);
}

TEST_F(Dispatcher, MissingArgumentsReachNoSession) {
  KalOwned<IKasSnmpPacket> empty(kas_create_packet());
  list_ = reinterpret_cast<IKasSnmpPacketList*>(1);
  EXPECT_EQ(d_->send_sync(nullptr, v2c_.get()), kKalErrInvalidArg);
  EXPECT_EQ(d_->send_sync(pdu_.get(), nullptr), kKalErrInvalidArg);
  EXPECT_EQ(d_->send_sync(static_cast<IKasSnmpPacket*>(nullptr)), kKalErrInvalidArg);
  EXPECT_EQ(d_->send_sync(empty.get()), kKalErrInvalidArg);
  EXPECT_EQ(d_->send_broad_cast_sync(pdu_.get(), v2c_.get(), nullptr), kKalErrInvalidArg);
  EXPECT_EQ(d_->send_broad_cast_sync(nullptr, v2c_.get(), &list_), kKalErrInvalidArg);
  EXPECT_EQ(list_, nullptr);
  EXPECT_EQ(d_->send_broad_cast_sync(empty.get(), &list_), kKalErrInvalidArg);
  EXPECT_TRUE(g_calls.seen.empty());
  EXPECT_EQ(g_calls.made_community, 0);
}

TEST_F(Dispatcher, SessionThatCannotBeMadeAnswersNoMemory) {
  KalOwned<SessionDispatcher> d(kas_create_session_dispatcher({&make_nothing, nullptr}));
  EXPECT_EQ(d->send_sync(pdu_.get(), v2c_.get()), kKalErrNoMemory);
  EXPECT_EQ(d->send_sync(pdu_.get(), v3_.get()), kKalErrNoMemory);
}

TEST_F(Dispatcher, DefaultFactoriesMakeTwoDistinctSessions) {
  KalOwned<SessionDispatcher> d(kas_create_session_dispatcher());
  IKasRequestSession* community = nullptr;
  IKasRequestSession* usm = nullptr;
  ASSERT_EQ(d->choose_session(v2c_.get(), &community), kKalOk);
  ASSERT_EQ(d->choose_session(v3_.get(), &usm), kKalOk);
  EXPECT_NE(community, nullptr);
  EXPECT_NE(usm, nullptr);
  EXPECT_NE(community, usm);
}

TEST_F(Dispatcher, EightThreadsAskingAtOnceGetOneSession) {
  std::vector<IKasRequestSession*> got(8, nullptr);
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (size_t i = 0; i < got.size(); ++i) {
    threads.emplace_back([&, i] {
      while (!go) std::this_thread::yield();
      d_->choose_session(v2c_.get(), &got[i]);
    });
  }
  go = true;
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(g_calls.made_community, 1);
  for (IKasRequestSession* s : got) EXPECT_EQ(s, got[0]);
  EXPECT_NE(got[0], nullptr);
}

TEST_F(Dispatcher, BroadcastLogsEnterAndExit) {
  std::vector<std::string> ours;
  {
    KalScopedLogCapture log;
    d_->send_broad_cast_sync(pdu_.get(), v2c_.get(), &list_);
    for (const std::string& line : log.lines()) {
      if (line.find("SessionDispatcher::send_broad_cast_sync") != std::string::npos) {
        ours.push_back(line);
      }
    }
  }
  ASSERT_EQ(ours.size(), 2u);
  EXPECT_THAT(ours[0], ::testing::HasSubstr("[SessionDispatcher::send_broad_cast_sync] enter."));
  EXPECT_THAT(ours[1], ::testing::HasSubstr("[SessionDispatcher::send_broad_cast_sync] exit."));
}

}  // namespace
