// Round trips through the session against a real agent: Debian's snmpsimd
// serving a copy of a printer recording (read from the shared test data, not
// kept here) on 127.0.4.1 and 127.0.4.2, port 161. Writes go to a small
// writable recording served beside it (snmpsimd's writecache variation).
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "common/owned.h"
#include "testing/snmpsim_agent.h"
#include "transport/request_session.h"
#include "transport/request_session_test_util.h"

namespace {

using sessiontest::make_pdu;
using sessiontest::make_target;

constexpr char kSysDescr[] = "1.3.6.1.2.1.1.1.0";
constexpr char kSysObjectId[] = "1.3.6.1.2.1.1.2.0";
constexpr char kSysName[] = "1.3.6.1.2.1.1.5.0";
constexpr char kDescr[] =
    "Dell S5830dn version NH62.YS.N636 kernel 3.0.0 All-N-1";

// Starts snmpsimd on `address` with printer-02 as community "public" and a
// writable sysName.0 as community "rw"; skips when that is not possible.
void start_agent(zeltest::SnmpsimAgent* agent, const std::string& address) {
  if (!zeltest::have_snmpsimd()) GTEST_SKIP() << "snmpsimd is not installed";
  const std::string recording = zeltest::shared_recording("printer-02.snmprec");
  if (recording.empty())
    GTEST_SKIP() << "shared recording printer-02.snmprec is absent";
  const std::string dir = zeltest::make_temp_dir("session-agent");
  ASSERT_TRUE(zeltest::write_recording(recording, dir, "public"));
  std::ofstream(dir + "/rw.snmprec")
      << kSysName << "|4:writecache|value=initial\n";
  std::string error;
  ASSERT_TRUE(agent->start(address, dir, "public", &error)) << error;
}

std::string text_value(const IKasPdu* pdu, size_t index) {
  const IKasSnmpValue* v = pdu->get_bindings()->at(index)->get_value();
  size_t n = 0;
  const uint8_t* p = v->get_bytes(&n);
  return p ? std::string(reinterpret_cast<const char*>(p), n) : std::string();
}

TEST(RequestSessionAgent, GetAndGetNextRoundTrips) {
  zeltest::SnmpsimAgent agent;
  ASSERT_NO_FATAL_FAILURE(start_agent(&agent, "127.0.4.1"));
  if (IsSkipped()) return;  // the skip in start_agent ends only start_agent
  KalOwned<RequestSession> session(kas_create_request_session());
  KalOwned<IKasSnmpTarget> target(make_target("127.0.4.1", 161, 2000, 1));

  KalOwned<IKasPdu> get(
      make_pdu(kKasPduGet, {kSysDescr, "1.3.6.1.2.1.1.99.0"}));
  ASSERT_EQ(session->send_sync(get.get(), target.get()), kKalOk);
  EXPECT_EQ(get->get_type(), kKasPduResponse);
  EXPECT_EQ(get->get_error_status(), 0);
  EXPECT_EQ(text_value(get.get(), 0), kDescr);
  const int missing = get->get_bindings()->at(1)->get_value()->tag();
  EXPECT_TRUE(missing == kKasTagNoSuchObject ||
              missing == kKasTagNoSuchInstance)
      << missing;

  KalOwned<IKasPdu> next(make_pdu(kKasPduGetNext, {kSysDescr}));
  ASSERT_EQ(session->send_sync(next.get(), target.get()), kKalOk);
  EXPECT_STREQ(next->get_bindings()->at(0)->get_oid()->text(), kSysObjectId);
  EXPECT_EQ(next->get_bindings()->at(0)->get_value()->tag(), kKasTagOid);

  // SNMPv1 reports a missing object as noSuchName on its binding.
  target->set_version(kKasVersion1);
  KalOwned<IKasPdu> v1(make_pdu(kKasPduGet, {kSysDescr, "1.3.6.1.2.1.1.99.0"}));
  ASSERT_EQ(session->send_sync(v1.get(), target.get()), kKalOk);
  EXPECT_EQ(v1->get_error_status(), kKasSnmpNoSuchName);
  EXPECT_EQ(v1->get_error_index(), 2);
  EXPECT_EQ(v1->get_bindings()->at(1)->get_status(), kKasSnmpNoSuchName);
}

TEST(RequestSessionAgent, SetRoundTrip) {
  zeltest::SnmpsimAgent agent;
  ASSERT_NO_FATAL_FAILURE(start_agent(&agent, "127.0.4.2"));
  if (IsSkipped()) return;  // the skip in start_agent ends only start_agent
  KalOwned<RequestSession> session(kas_create_request_session());
  KalOwned<IKasSnmpTarget> target(
      make_target("127.0.4.2", 161, 2000, 1, kKasVersion2c, "rw"));

  KalOwned<IKasPdu> set(kas_create_pdu());
  set->set_type(kKasPduSet);
  IKasSnmpValue* value = kas_create_value(kKasTagOctetString);
  value->set_bytes("printer-7", 9);
  set->append_pair(kas_create_oid_from_text(kSysName), value);
  ASSERT_EQ(session->send_sync(set.get(), target.get()), kKalOk);
  EXPECT_EQ(set->get_type(), kKasPduResponse);
  EXPECT_EQ(set->get_error_status(), 0);
  EXPECT_EQ(text_value(set.get(), 0), "printer-7");

  KalOwned<IKasPdu> get(make_pdu(kKasPduGet, {kSysName}));
  ASSERT_EQ(session->send_sync(get.get(), target.get()), kKalOk);
  EXPECT_EQ(text_value(get.get(), 0), "printer-7");
}

}  // namespace
