// Golden messages, each tested three ways: encoding the PDU gives these
// bytes, decoding the bytes gives these fields, and decoding then encoding
// again gives the same bytes.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "snmp/codec_golden_vectors.h"
#include "snmp/codec_test_util.h"

namespace {

using namespace codectest;  // NOLINT
using namespace codecgolden;  // NOLINT

struct Golden {
  const char* name;
  const uint8_t* bytes;
  size_t size;
  int version;
  const char* community;
  std::function<IKasPdu*()> build;
  const char* fields;  // dump() of the decoded PDU and target
};

#define GOLDEN(v) v, sizeof v

std::string all_kinds_fields() {
  return "v1 community=public type=2 id=2147483647 es=0 ei=0"
         " | 6:1.3.6.1.2.1.1.1.0 = 4:616263"
         " | 6:1.3.6.1.2.1.1.2.0 = 6:1.3.6.1.4.1.61801.4294967295"
         " | 6:1.3.6.1.2.1.1.3.0 = 67:16384"
         " | 6:1.3.6.1.2.1.1.4.0 = 2:128"
         " | 6:1.3.6.1.2.1.1.5.0 = 2:-2147483648"
         " | 6:1.3.6.1.2.1.2.2.1.10.1 = 65:0"
         " | 6:1.3.6.1.2.1.2.2.1.5.1 = 66:4294967295"
         " | 6:1.3.6.1.2.1.31.1.1.1.6.1 = 70:4294967296"
         " | 6:1.3.6.1.2.1.31.1.1.1.10.1 = 70:9223372036854775808"
         " | 6:1.3.6.1.2.1.4.20.1.1.127.0.0.1 = 64:7f000001"
         " | 6:1.3.6.1.4.1.61801.2.0 = 68:04026869"
         " | 6:1.3.6.1.4.1.61801.3.0 = 128:"
         " | 6:1.3.6.1.4.1.61801.4.0 = 129:"
         " | 6:1.3.6.1.4.1.61801.5.0 = 130:"
         " | 6:1.3.6.1.4.1.61801.6.0 = 5:";
}

std::string long_string() {
  std::string s;
  for (int i = 0; i < 300; ++i) s += static_cast<char>('A' + i % 26);
  return s;
}

const std::string kAllKinds = all_kinds_fields();

const Golden kVectors[] = {
    {"GetRequestV2c", GOLDEN(kGetV2c), 1, "public",
     [] { return make_pdu(kKasPduGet, 1, {{"1.3.6.1.2.1.1.1.0", marker(kKasTagNull)}}); },
     "v1 community=public type=0 id=1 es=0 ei=0 | 6:1.3.6.1.2.1.1.1.0 = 5:"},
    {"GetNextRequestV1", GOLDEN(kGetNextV1), 0, "public",
     [] {
       return make_pdu(kKasPduGetNext, 0x1234,
                       {{"1.3.6.1.2.1.1.1", marker(kKasTagNull)},
                        {"1.3.6.1.2.1.25.3.2.1.3", marker(kKasTagNull)}});
     },
     "v0 community=public type=1 id=4660 es=0 ei=0 | 6:1.3.6.1.2.1.1.1 = 5:"
     " | 6:1.3.6.1.2.1.25.3.2.1.3 = 5:"},
    {"SetRequestV2c", GOLDEN(kSetV2c), 1, "private",
     [] {
       return make_pdu(kKasPduSet, -1,
                       {{"1.3.6.1.2.1.1.5.0", text("printer-1")},
                        {"1.3.6.1.4.1.61801.1.1", integer(-129)},
                        {"1.3.6.1.4.1.61801.1.2", unsigned32(kKasTagIpAddress, 0xc0a80001)},
                        {"1.3.6.1.4.1.61801.1.3", unsigned32(kKasTagTimeTicks, 0x80000000u)}});
     },
     "v1 community=private type=3 id=-1 es=0 ei=0 | 6:1.3.6.1.2.1.1.5.0 = 4:7072696e7465722d31"
     " | 6:1.3.6.1.4.1.61801.1.1 = 2:-129 | 6:1.3.6.1.4.1.61801.1.2 = 64:c0a80001"
     " | 6:1.3.6.1.4.1.61801.1.3 = 67:2147483648"},
    {"ResponseEveryKind", GOLDEN(kResponseAllKinds), 1, "public",
     [] {
       return make_pdu(
           kKasPduResponse, 0x7fffffff,
           {{"1.3.6.1.2.1.1.1.0", text("abc")},
            {"1.3.6.1.2.1.1.2.0", oid("1.3.6.1.4.1.61801.4294967295")},
            {"1.3.6.1.2.1.1.3.0", unsigned32(kKasTagTimeTicks, 16384)},
            {"1.3.6.1.2.1.1.4.0", integer(128)},
            {"1.3.6.1.2.1.1.5.0", integer(INT32_MIN)},
            {"1.3.6.1.2.1.2.2.1.10.1", unsigned32(kKasTagCounter32, 0)},
            {"1.3.6.1.2.1.2.2.1.5.1", unsigned32(kKasTagGauge32, 0xffffffffu)},
            {"1.3.6.1.2.1.31.1.1.1.6.1", counter64(1, 0)},
            {"1.3.6.1.2.1.31.1.1.1.10.1", counter64(0x80000000u, 0)},
            {"1.3.6.1.2.1.4.20.1.1.127.0.0.1", unsigned32(kKasTagIpAddress, 0x7f000001)},
            {"1.3.6.1.4.1.61801.2.0", octets(kKasTagOpaque, {0x04, 0x02, 'h', 'i'})},
            {"1.3.6.1.4.1.61801.3.0", marker(kKasTagNoSuchObject)},
            {"1.3.6.1.4.1.61801.4.0", marker(kKasTagNoSuchInstance)},
            {"1.3.6.1.4.1.61801.5.0", marker(kKasTagEndOfMibView)},
            {"1.3.6.1.4.1.61801.6.0", marker(kKasTagNull)}});
     },
     kAllKinds.c_str()},
    {"ResponseWithErrorV1", GOLDEN(kResponseError), 0, "public",
     [] {
       return make_pdu(kKasPduResponse, 77,
                       {{"1.3.6.1.4.1.61801.9.0", marker(kKasTagNull)},
                        {"1.3.6.1.2.1.1.1.0", marker(kKasTagNull)}},
                       2, 1);
     },
     "v0 community=public type=2 id=77 es=2 ei=1 | 6:1.3.6.1.4.1.61801.9.0 = 5:"
     " | 6:1.3.6.1.2.1.1.1.0 = 5:"},
    {"TrapV1Generic", GOLDEN(kTrapColdStart), 0, "public",
     [] {
       return make_trap("1.3.6.1.6.3.1.1.5.0.1", 12345,
                        {{"1.3.6.1.2.1.1.5.0", text("printer-1")}});
     },
     "v0 community=public type=4 trap=6:1.3.6.1.6.3.1.1.5.0.1 time=67:12345"
     " | 6:1.3.6.1.2.1.1.5.0 = 4:7072696e7465722d31"},
    {"TrapV1EnterpriseSpecific", GOLDEN(kTrapSpecific), 0, "public",
     [] { return make_trap("1.3.6.1.4.1.61801.0.5", 0, {}); },
     "v0 community=public type=4 trap=6:1.3.6.1.4.1.61801.0.5 time=67:0"},
    {"GetBulkV2c", GOLDEN(kGetBulk), 1, "public",
     [] { return make_pdu(kKasPduGetBulk, 9, {{"1.3.6.1.2.1.2.2.1.2", marker(kKasTagNull)}}, 0, 10); },
     "v1 community=public type=5 id=9 es=0 ei=10 | 6:1.3.6.1.2.1.2.2.1.2 = 5:"},
    {"EmptyCommunityNoBindings", GOLDEN(kEmpty), 1, "",
     [] { return make_pdu(kKasPduGet, 0, {}); }, "v1 community= type=0 id=0 es=0 ei=0"},
    {"InformV2c", GOLDEN(kInform), 1, "public",
     [] { return make_pdu(kKasPduInform, 3, {{"1.3.6.1.2.1.1.3.0", unsigned32(kKasTagTimeTicks, 1)}}); },
     "v1 community=public type=6 id=3 es=0 ei=0 | 6:1.3.6.1.2.1.1.3.0 = 67:1"},
    {"ReportV2c", GOLDEN(kReport), 1, "public", [] { return make_pdu(kKasPduReport, 4, {}); },
     "v1 community=public type=8 id=4 es=0 ei=0"},
};

class GoldenTest : public ::testing::TestWithParam<Golden> {};

// Names the first differing octet, so a failure points at the field.
void expect_same_bytes(const Bytes& got, const uint8_t* want, size_t size) {
  const Bytes expected(want, want + size);
  if (got == expected) return;
  size_t i = 0;
  while (i < got.size() && i < size && got[i] == want[i]) ++i;
  ADD_FAILURE() << "first difference at octet " << i << " of " << size << " (got "
                << got.size() << " octets)\n  got:  " << hex(got.data(), got.size())
                << "\n  want: " << hex(want, size);
}

TEST_P(GoldenTest, EncodeGivesTheBytes) {
  const Golden& g = GetParam();
  KalOwned<IKasPdu> pdu(g.build());
  KalOwned<IKasSnmpTarget> target(make_target(g.version, g.community));
  int rc = -99;
  size_t count = 0;
  const Bytes got = encode(pdu.get(), target.get(), &rc, &count);
  ASSERT_EQ(rc, kKalOk);
  EXPECT_EQ(count, pdu->binding_count());
  expect_same_bytes(got, g.bytes, g.size);
}

TEST_P(GoldenTest, DecodeGivesTheFields) {
  const Golden& g = GetParam();
  KalOwned<IKasPdu> pdu(kas_create_pdu());
  KalOwned<IKasSnmpTarget> target(kas_create_target(kKasTargetCommunity));
  ASSERT_EQ(decode(Bytes(g.bytes, g.bytes + g.size), pdu.get(), target.get()), kKalOk);
  EXPECT_EQ(dump(pdu.get(), target.get()), g.fields);
  KalOwned<IKasPdu> built(g.build());
  EXPECT_EQ(dump(pdu.get()), dump(built.get()));
}

TEST_P(GoldenTest, DecodeThenEncodeGivesTheSameBytes) {
  const Golden& g = GetParam();
  KalOwned<IKasPdu> pdu(kas_create_pdu());
  KalOwned<IKasSnmpTarget> target(kas_create_target(kKasTargetCommunity));
  ASSERT_EQ(decode(Bytes(g.bytes, g.bytes + g.size), pdu.get(), target.get()), kKalOk);
  target->set_max_message_size(g.size);  // an exact fit is enough
  int rc = -99;
  const Bytes again = encode(pdu.get(), target.get(), &rc);
  ASSERT_EQ(rc, kKalOk);
  expect_same_bytes(again, g.bytes, g.size);
}

INSTANTIATE_TEST_SUITE_P(Codec, GoldenTest, ::testing::ValuesIn(kVectors),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(GoldenLongLengthsTest, ThreeHundredOctetStringUsesTwoOctetLengths) {
  KalOwned<IKasPdu> pdu(make_pdu(kKasPduResponse, 5, {{"1.3.6.1.2.1.1.1.0", text(long_string())}}));
  KalOwned<IKasSnmpTarget> target(make_target(1, "public"));
  int rc = -99;
  const Bytes got = encode(pdu.get(), target.get(), &rc);
  ASSERT_EQ(rc, kKalOk);
  expect_same_bytes(got, kLongLengths, sizeof kLongLengths);
  KalOwned<IKasPdu> back(kas_create_pdu());
  KalOwned<IKasSnmpTarget> t2(kas_create_target(kKasTargetCommunity));
  ASSERT_EQ(decode(got, back.get(), t2.get()), kKalOk);
  EXPECT_EQ(dump(back.get()), dump(pdu.get()));
}

TEST(GoldenErrorTest, ErrorStatusMarksTheFailingBinding) {
  KalOwned<IKasPdu> pdu(kas_create_pdu());
  KalOwned<IKasSnmpTarget> target(kas_create_target(kKasTargetCommunity));
  ASSERT_EQ(decode(Bytes(std::begin(kResponseError), std::end(kResponseError)), pdu.get(),
                   target.get()),
            kKalOk);
  ASSERT_EQ(pdu->binding_count(), 2u);
  EXPECT_EQ(pdu->get_bindings()->at(0)->get_status(), 2);
  EXPECT_EQ(pdu->get_bindings()->at(1)->get_status(), kKasBindingOtherFailed);
}

// Decoding a second message into the same PDU reuses its bindings and values
// and drops the ones the new message does not have.
TEST(GoldenReuseTest, DecodeIntoAUsedPduKeepsNothingStale) {
  KalOwned<IKasPdu> pdu(kas_create_pdu());
  KalOwned<IKasSnmpTarget> target(kas_create_target(kKasTargetCommunity));
  ASSERT_EQ(decode(Bytes(std::begin(kResponseAllKinds), std::end(kResponseAllKinds)),
                   pdu.get(), target.get()),
            kKalOk);
  ASSERT_EQ(pdu->binding_count(), 15u);
  ASSERT_EQ(decode(Bytes(std::begin(kGetNextV1), std::end(kGetNextV1)), pdu.get(), target.get()),
            kKalOk);
  EXPECT_EQ(dump(pdu.get(), target.get()),
            "v0 community=public type=1 id=4660 es=0 ei=0 | 6:1.3.6.1.2.1.1.1 = 5:"
            " | 6:1.3.6.1.2.1.25.3.2.1.3 = 5:");
}

}  // namespace
