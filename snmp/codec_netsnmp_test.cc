// Interoperability with Net-SNMP's library: messages our encoder writes are
// parsed by Net-SNMP (snmp_parse) to the same contents, and messages Net-SNMP
// builds (snmp_build) are decoded by ours to the same contents and the same
// octets.
#include <gtest/gtest.h>

#include <string>

#include "snmp/codec_golden_vectors.h"
#include "snmp/codec_netsnmp_util.h"

namespace {

using namespace codecbridge;  // NOLINT
using codectest::dump;

std::string repeated(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += static_cast<char>(i % 251);
  return s;
}

struct Row {
  const char* name;
  Message message;
};

std::vector<Row> rows() {
  std::vector<Row> r;
  r.push_back({"GetRequestV1", {0, "public", kKasPduGet, 1, 0, 0,
                                {{"1.3.6.1.2.1.1.1.0", kKasTagNull}, {"1.3.6.1.2.1.1.2.0", kKasTagNull}}}});
  r.push_back({"GetNextRequestV2c", {1, "public", kKasPduGetNext, 0x7fffffff, 0, 0,
                                     {{"1.3.6.1.2.1.43.11.1.1", kKasTagNull}}}});
  r.push_back({"GetBulkV2c", {1, "public", kKasPduGetBulk, 99, 1, 25,
                              {{"1.3.6.1.2.1.1.3.0", kKasTagNull}, {"1.3.6.1.2.1.2.2.1.2", kKasTagNull}}}});
  r.push_back({"SetRequestV1", {0, "private", kKasPduSet, -5, 0, 0,
                                {{"1.3.6.1.2.1.1.5.0", kKasTagOctetString, 0, "printer-1"},
                                 {"1.3.6.1.4.1.61801.2.1.0", kKasTagInteger, static_cast<uint64_t>(INT32_MIN)},
                                 {"1.3.6.1.4.1.61801.2.2.0", kKasTagIpAddress, 0, std::string("\xc0\xa8\x00\x01", 4)}}}});
  Message every{1, "public", kKasPduResponse, 123456, 0, 0, {}};
  every.vars = {
      {"1.3.6.1.2.1.1.1.0", kKasTagOctetString, 0, "Zel printer"},
      {"1.3.6.1.2.1.1.2.0", kKasTagOid, 0, "", "1.3.6.1.4.1.61801.4294967295.16384.128.127"},
      {"1.3.6.1.2.1.1.3.0", kKasTagTimeTicks, 0xffffffffu},
      {"1.3.6.1.2.1.1.7.0", kKasTagInteger, 72},
      {"1.3.6.1.2.1.1.8.0", kKasTagInteger, static_cast<uint64_t>(-129)},
      {"1.3.6.1.2.1.2.2.1.10.1", kKasTagCounter32, 0x80000000u},
      {"1.3.6.1.2.1.2.2.1.5.1", kKasTagGauge32, 0x7fffffff},
      {"1.3.6.1.2.1.31.1.1.1.6.1", kKasTagCounter64, 0x8000000000000000ull},
      {"1.3.6.1.2.1.31.1.1.1.10.1", kKasTagCounter64, 0},
      {"1.3.6.1.2.1.4.20.1.1.10.0.0.1", kKasTagIpAddress, 0, std::string("\x0a\x00\x00\x01", 4)},
      {"1.3.6.1.4.1.61801.3.0", kKasTagOpaque, 0, std::string("\x04\x02hi", 4)},
      {"1.3.6.1.4.1.61801.4.0", kKasTagNoSuchObject},
      {"1.3.6.1.4.1.61801.5.0", kKasTagNoSuchInstance},
      {"1.3.6.1.4.1.61801.6.0", kKasTagEndOfMibView},
      {"1.3.6.1.4.1.61801.7.0", kKasTagNull},
      {"2.999.3", kKasTagOctetString, 0, ""},
  };
  r.push_back({"ResponseEveryKindV2c", every});
  Message every_v1 = every;
  every_v1.version = 0;
  every_v1.vars.resize(10);  // SNMPv1 has no Counter64 and no exceptions
  every_v1.vars.erase(every_v1.vars.begin() + 7, every_v1.vars.begin() + 9);
  r.push_back({"ResponseEveryKindV1", every_v1});
  r.push_back({"ResponseErrorV2c", {1, "public", kKasPduResponse, 7, 17, 2,
                                    {{"1.3.6.1.2.1.1.5.0", kKasTagOctetString, 0, "x"},
                                     {"1.3.6.1.2.1.1.6.0", kKasTagOctetString, 0, "y"}}}});
  r.push_back({"LongLengths", {1, "public", kKasPduResponse, 1, 0, 0,
                               {{"1.3.6.1.2.1.1.1.0", kKasTagOctetString, 0, repeated(127)},
                                {"1.3.6.1.2.1.1.4.0", kKasTagOctetString, 0, repeated(128)},
                                {"1.3.6.1.2.1.1.5.0", kKasTagOctetString, 0, repeated(255)},
                                {"1.3.6.1.2.1.1.6.0", kKasTagOctetString, 0, repeated(256)},
                                {"1.3.6.1.2.1.1.9.0", kKasTagOctetString, 0, repeated(3000)}}}});
  r.push_back({"EmptyCommunityNoBindings", {1, "", kKasPduGet, 0, 0, 0, {}}});
  r.push_back({"InformV2c", {1, "public", kKasPduInform, 3, 0, 0, {{"1.3.6.1.2.1.1.3.0", kKasTagTimeTicks, 5}}}});
  r.push_back({"ReportV2c", {1, "public", kKasPduReport, 4, 0, 0, {{"1.3.6.1.6.3.15.1.1.4.0", kKasTagCounter32, 1}}}});
  Message cold{0, "public", kKasPduTrap, 0, 0, 0, {{"1.3.6.1.2.1.1.5.0", kKasTagOctetString, 0, "p"}}};
  cold.enterprise = "1.3.6.1.6.3.1.1.5";
  cold.generic = 0;
  cold.time_stamp = 12345;
  r.push_back({"TrapV1ColdStart", cold});
  Message spec{0, "public", kKasPduTrap, 0, 0, 0, {}};
  spec.enterprise = "1.3.6.1.4.1.61801";
  spec.generic = 6;
  spec.specific = 5;
  spec.time_stamp = 0xfffffffe;
  r.push_back({"TrapV1EnterpriseSpecific", spec});
  return r;
}

class NetSnmpInterop : public ::testing::TestWithParam<Row> {
 protected:
  static void SetUpTestSuite() { netsnmp_bridge_init(); }
};

TEST_P(NetSnmpInterop, NetSnmpParsesWhatWeEncode) {
  const Message& m = GetParam().message;
  KalOwned<IKasPdu> pdu(our_pdu(m));
  KalOwned<IKasSnmpTarget> target(our_target(m));
  int rc = -99;
  const Bytes msg = codectest::encode(pdu.get(), target.get(), &rc);
  ASSERT_EQ(rc, kKalOk);
  Session session(m);
  netsnmp_pdu* theirs = netsnmp_parse(&session.s, msg);
  ASSERT_NE(theirs, nullptr) << "Net-SNMP refused " << codectest::hex(msg.data(), msg.size());
  EXPECT_EQ(dump_netsnmp(theirs), dump(pdu.get(), target.get()));
  snmp_free_pdu(theirs);
}

TEST_P(NetSnmpInterop, WeDecodeWhatNetSnmpBuilds) {
  const Message& m = GetParam().message;
  if (m.type == kKasPduReport) GTEST_SKIP() << "Net-SNMP builds Report PDUs for SNMPv3 only";
  Session session(m);
  netsnmp_pdu* theirs = netsnmp_pdu_of(m);
  const Bytes msg = netsnmp_build(&session.s, theirs);
  snmp_free_pdu(theirs);
  ASSERT_FALSE(msg.empty());
  KalOwned<IKasPdu> pdu(kas_create_pdu());
  KalOwned<IKasSnmpTarget> target(kas_create_target(kKasTargetCommunity));
  ASSERT_EQ(codectest::decode(msg, pdu.get(), target.get()), kKalOk);
  KalOwned<IKasPdu> expected(our_pdu(m));
  KalOwned<IKasSnmpTarget> expected_target(our_target(m));
  EXPECT_EQ(dump(pdu.get(), target.get()), dump(expected.get(), expected_target.get()));
  // Both libraries write minimal definite lengths from back to front: the
  // octets agree too.
  int rc = -99;
  const Bytes ours = codectest::encode(expected.get(), expected_target.get(), &rc);
  ASSERT_EQ(rc, kKalOk);
  EXPECT_EQ(codectest::hex(ours.data(), ours.size()), codectest::hex(msg.data(), msg.size()));
}

INSTANTIATE_TEST_SUITE_P(Codec, NetSnmpInterop, ::testing::ValuesIn(rows()),
                         [](const auto& info) { return std::string(info.param.name); });

// The golden vectors as Net-SNMP reads them.
TEST(NetSnmpGolden, ParsesEveryGoldenVector) {
  netsnmp_bridge_init();
  using namespace codecgolden;  // NOLINT
  const std::pair<const uint8_t*, size_t> vectors[] = {
      {kGetV2c, sizeof kGetV2c},         {kGetNextV1, sizeof kGetNextV1},
      {kSetV2c, sizeof kSetV2c},         {kResponseAllKinds, sizeof kResponseAllKinds},
      {kResponseError, sizeof kResponseError}, {kTrapColdStart, sizeof kTrapColdStart},
      {kTrapSpecific, sizeof kTrapSpecific},   {kGetBulk, sizeof kGetBulk},
      {kEmpty, sizeof kEmpty},           {kLongLengths, sizeof kLongLengths},
      {kInform, sizeof kInform},         {kReport, sizeof kReport},
  };
  for (const auto& [data, size] : vectors) {
    const Bytes msg(data, data + size);
    KalOwned<IKasPdu> pdu(kas_create_pdu());
    KalOwned<IKasSnmpTarget> target(kas_create_target(kKasTargetCommunity));
    ASSERT_EQ(codectest::decode(msg, pdu.get(), target.get()), kKalOk);
    Message m{target->get_version(), target->as_community()->get_community(), 0, 0, 0, 0, {}};
    Session session(m);
    netsnmp_pdu* theirs = netsnmp_parse(&session.s, msg);
    ASSERT_NE(theirs, nullptr) << codectest::hex(data, size);
    EXPECT_EQ(dump_netsnmp(theirs), dump(pdu.get(), target.get()));
    snmp_free_pdu(theirs);
  }
}

}  // namespace
