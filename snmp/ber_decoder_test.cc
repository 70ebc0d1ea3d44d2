// Hostile input: each row is a named change to a good message, with the
// status and the log line it must give. Also peek, the window against the
// buffer, and every allocation failing once.
#include "snmp/ber_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "log/capture_output.h"
#include "log/log.h"
#include "log/log_config.h"
#include "snmp/codec_golden_vectors.h"
#include "snmp/codec_test_util.h"
#include "snmp/packet.h"

namespace {

using namespace codectest;    // NOLINT
using namespace codecgolden;  // NOLINT

// kGetV2c offsets: message length 1, version 4, PDU tag 13, PDU length 14,
// request-id 15..17, error-status 18..20, list length 25, binding length 27,
// name 28..37, value 38..39.
Bytes good_get() { return Bytes(std::begin(kGetV2c), std::end(kGetV2c)); }

// Replaces msg[at, at + n) with `with` and adds the size difference to the
// short-form lengths at `lengths` (the enclosing elements).
Bytes splice(Bytes msg, size_t at, size_t n, const Bytes& with, std::vector<size_t> lengths) {
  const int delta = static_cast<int>(with.size()) - static_cast<int>(n);
  msg.erase(msg.begin() + static_cast<long>(at), msg.begin() + static_cast<long>(at + n));
  msg.insert(msg.begin() + static_cast<long>(at), with.begin(), with.end());
  for (size_t l : lengths) msg[l] = static_cast<uint8_t>(msg[l] + delta);
  return msg;
}
// The lengths around kGetV2c's name and value.
const std::vector<size_t> kAroundBinding = {1, 14, 25, 27};

Bytes set_at(Bytes msg, size_t at, uint8_t b) {
  msg[at] = b;
  return msg;
}

Bytes nested_sequences(int depth) {
  Bytes inner;
  for (int i = 0; i < depth; ++i) {
    Bytes outer = {0x30};
    const size_t n = inner.size();
    if (n < 128) {
      outer.push_back(static_cast<uint8_t>(n));
    } else {
      outer.insert(outer.end(), {0x82, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)});
    }
    outer.insert(outer.end(), inner.begin(), inner.end());
    inner.swap(outer);
  }
  return inner;
}

struct HostileRow {
  const char* name;
  std::function<Bytes()> message;
  int status;
  const char* line;  // the log line's message, or "" for none
};

const HostileRow kRows[] = {
    {"one_octet_cut_off", [] { Bytes m = good_get(); m.pop_back(); return m; }, kKasErrUndecodable,
     "decode error: lack of received packet. can't go on decoding any more."},
    {"message_length_one_too_long", [] { return set_at(good_get(), 1, 0x27); },
     kKasErrUndecodable, "decode error: lack of received packet. can't go on decoding any more."},
    {"message_length_one_too_short", [] { return set_at(good_get(), 1, 0x25); },
     kKasErrUndecodable, "decode error: pdu length is wrong."},
    {"indefinite_length_0x80", [] { return set_at(good_get(), 1, 0x80); }, kKasErrUndecodable, ""},
    {"reserved_length_0xff", [] { return set_at(good_get(), 1, 0xff); }, kKasErrUndecodable, ""},
    {"not_a_sequence", [] { return set_at(good_get(), 0, 0x31); }, kKasErrUndecodable, ""},
    {"empty_datagram", [] { return Bytes(); }, kKasErrUndecodable, ""},
    {"only_a_tag", [] { return Bytes{0x30}; }, kKasErrUndecodable, ""},
    {"unsupported_version_3", [] { return set_at(good_get(), 4, 3); }, kKasErrUndecodable,
     "decode error: unsupported snmp version."},
    {"unknown_pdu_type_0xa9", [] { return set_at(good_get(), 13, 0xa9); }, kKasErrUndecodable,
     "decode error: unknown pdu type."},
    {"pdu_length_mismatch", [] { return set_at(good_get(), 14, 0x18); }, kKasErrUndecodable,
     "decode error: pdu length is wrong."},
    {"five_octet_integer_without_leading_zero",
     [] { return splice(good_get(), 15, 3, {0x02, 0x05, 0x01, 0, 0, 0, 0}, {1, 14}); },
     kKasErrUndecodable, ""},
    {"error_status_19",
     [] { return set_at(set_at(good_get(), 13, 0xa2), 20, 19); }, kKasErrUndecodable,
     "decode error: error_status's value is wrong."},
    {"error_status_negative",
     [] { return set_at(set_at(good_get(), 13, 0xa2), 20, 0xff); }, kKasErrUndecodable,
     "decode error: error_status's value is wrong."},
    {"binding_list_length_wrong", [] { return set_at(good_get(), 25, 0x0d); }, kKasErrUndecodable,
     "decode error: length of var bind list is wrong."},
    {"binding_length_wrong", [] { return set_at(good_get(), 27, 0x0b); }, kKasErrUndecodable,
     "decode error: length of var bind is wrong."},
    {"binding_length_past_window", [] { return set_at(good_get(), 27, 0x0d); }, kKasErrUndecodable,
     ""},
    {"unknown_tag_0x47_in_binding", [] { return set_at(good_get(), 38, 0x47); }, kKasErrUndecodable,
     "decode error: unknown asn type."},
    {"ipv6_tag_0x48_in_binding",
     [] {
       Bytes value(18, 0x00);
       value[0] = 0x48;  // written by the encoder, refused here
       value[1] = 16;
       return splice(good_get(), 38, 2, value, kAroundBinding);
     },
     kKasErrUndecodable, "decode error: unknown asn type."},
    {"oid_subidentifier_overflow",
     [] { return splice(good_get(), 28, 10, {0x06, 0x06, 0x2b, 0x90, 0x80, 0x80, 0x80, 0x00},
                        kAroundBinding); },
     kKasErrUndecodable, "decode error. oid format is wrong."},
    {"oid_cut_mid_number_at_message_end",
     [] { return splice(good_get(), 38, 2, {0x06, 0x01, 0x86}, kAroundBinding); },
     kKasErrUndecodable, "decode error. oid format is wrong."},
    {"oid_number_ends_past_its_length", [] { return set_at(good_get(), 37, 0x80); },
     kKasErrUndecodable, ""},
    {"counter64_of_ten_octets",
     [] { return splice(good_get(), 38, 2, {0x46, 0x0a, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                        kAroundBinding); },
     kKasErrUndecodable, "decode error: counter64 format is wrong."},
    {"null_with_content", [] { return splice(good_get(), 38, 2, {0x05, 0x01, 0x00}, kAroundBinding); },
     kKasErrUndecodable, ""},
    {"ip_address_of_three_octets",
     [] { return splice(good_get(), 38, 2, {0x40, 0x03, 1, 2, 3}, kAroundBinding); },
     kKalErrInvalidArg, ""},
    {"snmpv2_trap_0xa7", [] { return set_at(good_get(), 13, 0xa7); }, kKalErrNotSupported, ""},
    {"trap_v1_generic_7",
     [] { Bytes m(std::begin(kTrapColdStart), std::end(kTrapColdStart)); return set_at(m, 33, 7); },
     kKasErrUndecodable, "decode error: generic trap No. > 6. "},
    {"deep_nesting", [] { return nested_sequences(2000); }, kKasErrUndecodable, ""},
    // Accepted inputs next to the refused ones.
    {"trailing_bytes_are_cut",
     [] { Bytes m = good_get(); m.insert(m.end(), {0xde, 0xad, 0xbe}); return m; }, kKalOk,
     "received packet is redundancy. be cut down."},
    {"five_octet_integer_with_leading_zero",
     [] { return splice(good_get(), 15, 3, {0x02, 0x05, 0x00, 0xff, 0xff, 0xff, 0xff}, {1, 14}); },
     kKalOk, ""},
    {"non_minimal_long_length",
     [] { return splice(good_get(), 0, 2, {0x30, 0x82, 0x00, 0x26}, {}); }, kKalOk, ""},
};

class CaptureLog {
 public:
  CaptureLog() { kal_log_configure_output(&capture_, kKalLogAll); }
  ~CaptureLog() { kal_log_detach_output(&capture_); }
  std::vector<std::string> lines() const { return capture_.lines(); }
  // True when some line ends with `message`.
  bool has(const std::string& message) const {
    for (const auto& l : capture_.lines()) {
      if (l.size() >= message.size() && l.compare(l.size() - message.size(), message.size(),
                                                  message) == 0) {
        return true;
      }
    }
    return false;
  }

 private:
  KalCaptureOutput capture_;
};

class HostileTest : public ::testing::TestWithParam<HostileRow> {};

TEST_P(HostileTest, GivesItsStatusAndLine) {
  const HostileRow& row = GetParam();
  const Bytes msg = row.message();
  // An exact heap copy: AddressSanitizer sees a read one octet too far.
  std::unique_ptr<uint8_t[]> exact(new uint8_t[msg.size() + 1]);
  std::copy(msg.begin(), msg.end(), exact.get());
  CKasMessageView view(static_cast<const uint8_t*>(exact.get()), msg.size());
  KalOwned<IKasPdu> pdu(kas_create_pdu());
  KalOwned<IKasSnmpTarget> target(kas_create_target(kKasTargetCommunity));
  CaptureLog log;
  EXPECT_EQ(kas_codec_service()->decode(&view, pdu.get(), target.get(), kKasTargetCommunity),
            row.status);
  if (*row.line) {
    EXPECT_TRUE(log.has(row.line)) << "missing line: " << row.line;
  } else {
    for (const auto& l : log.lines()) {
      EXPECT_EQ(l.find("decode error"), std::string::npos) << "unexpected: " << l;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Decoder, HostileTest, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DecoderTest, NoTargetAndNoKindIsRefused) {
  CKasMessageView view(kGetV2c, sizeof kGetV2c);
  KalOwned<IKasSnmpPacket> packet(kas_create_packet());
  CaptureLog log;
  EXPECT_EQ(kas_codec_service()->decode_packet(&view, packet.get(), -1), kKalErrInvalidArg);
  EXPECT_TRUE(log.has("decode error: unknown translate type."));
  EXPECT_EQ(kas_codec_service()->decode_packet(&view, packet.get(), kKasTargetUsm),
            kKalErrInvalidArg);
}

TEST(DecoderTest, PacketReceivesTargetAndPdu) {
  CKasMessageView view(kGetV2c, sizeof kGetV2c);
  KalOwned<IKasSnmpPacket> packet(kas_create_packet());
  ASSERT_EQ(kas_codec_service()->decode_packet(&view, packet.get(), kKasTargetCommunity), kKalOk);
  ASSERT_NE(packet->get_target(), nullptr);
  ASSERT_NE(packet->get_pdu(), nullptr);
  EXPECT_EQ(dump(packet->get_pdu(), packet->get_target()),
            "v1 community=public type=0 id=1 es=0 ei=0 | 6:1.3.6.1.2.1.1.1.0 = 5:");
}

TEST(DecoderTest, CommunityStopsAtFirstZeroOctet) {
  Bytes msg = splice(good_get(), 5, 8, {0x04, 0x06, 'p', 'u', 0, 'l', 'i', 'c'}, {});
  KalOwned<IKasPdu> pdu(kas_create_pdu());
  KalOwned<IKasSnmpTarget> target(kas_create_target(kKasTargetCommunity));
  ASSERT_EQ(decode(msg, pdu.get(), target.get()), kKalOk);
  EXPECT_STREQ(target->as_community()->get_community(), "pu");
}

// A receiver that claims more octets than its buffer holds must not make
// the decoder read past the buffer.
TEST(DecoderTest, ReceivedCountBeyondBufferIsClamped) {
  std::unique_ptr<uint8_t[]> exact(new uint8_t[sizeof kGetV2c - 1]);
  std::copy(kGetV2c, kGetV2c + sizeof kGetV2c - 1, exact.get());
  CKasMessageView view(exact.get(), sizeof kGetV2c - 1);
  view.set_received(4096);
  KalOwned<IKasPdu> pdu(kas_create_pdu());
  EXPECT_EQ(kas_codec_service()->decode(&view, pdu.get(), nullptr, kKasTargetCommunity),
            kKasErrUndecodable);
}

TEST(DecoderTest, GetBulkNonRepeatersAboveEighteenAreNotAnErrorStatus) {
  // Regression: non-repeaters travel in the error-status field of a GetBulk
  // request; 20 is a valid request, not error-status 20.
  Bytes msg(std::begin(kGetBulk), std::end(kGetBulk));
  const Bytes non_repeaters_0 = {0x02, 0x01, 0x00};
  auto it = std::search(msg.begin(), msg.end(), non_repeaters_0.begin(), non_repeaters_0.end());
  ASSERT_NE(it, msg.end());
  it[2] = 20;
  KalOwned<IKasPdu> pdu(kas_create_pdu());
  KalOwned<IKasSnmpTarget> target(kas_create_target(kKasTargetCommunity));
  ASSERT_EQ(decode(msg, pdu.get(), target.get()), kKalOk);
  EXPECT_EQ(pdu->get_error_status(), 20);
  EXPECT_EQ(pdu->get_bindings()->at(0)->get_status(), 0);
}

TEST(PeekTest, AnswersRequestIdAndErrorStatus) {
  int32_t es = -1, rid = -1;
  CKasMessageView get(kGetV2c, sizeof kGetV2c);
  ASSERT_EQ(kas_codec_service()->peek(&get, &es, &rid, kKasTargetCommunity), kKalOk);
  EXPECT_EQ(rid, 1);
  EXPECT_EQ(es, 0);
  CKasMessageView err(kResponseError, sizeof kResponseError);
  ASSERT_EQ(kas_codec_service()->peek(&err, &es, &rid, kKasTargetCommunity), kKalOk);
  EXPECT_EQ(rid, 77);
  EXPECT_EQ(es, 2);
  // Peek stops before the bindings: a broken binding does not matter.
  Bytes broken = set_at(good_get(), 38, 0x47);
  CKasMessageView b(broken.data(), broken.size());
  EXPECT_EQ(kas_codec_service()->peek(&b, &es, &rid, kKasTargetCommunity), kKalOk);
}

TEST(PeekTest, RefusesNullsAndBadMessages) {
  int32_t es = 0, rid = 0;
  CKasMessageView get(kGetV2c, sizeof kGetV2c);
  EXPECT_EQ(kas_codec_service()->peek(nullptr, &es, &rid, 0), kKalErrInvalidArg);
  EXPECT_EQ(kas_codec_service()->peek(&get, nullptr, &rid, 0), kKalErrInvalidArg);
  EXPECT_EQ(kas_codec_service()->peek(&get, &es, nullptr, 0), kKalErrInvalidArg);
  EXPECT_EQ(kas_codec_service()->peek(&get, &es, &rid, -1), kKalErrInvalidArg);
  Bytes cut = good_get();
  cut.resize(20);
  CKasMessageView c(cut.data(), cut.size());
  EXPECT_EQ(kas_codec_service()->peek(&c, &es, &rid, 0), kKasErrUndecodable);
}

TEST(CodecServiceTest, SelectKeepsTheCodecCurrent) {
  IKasCodecService* codec = kas_codec_service();
  EXPECT_STREQ(codec->name(), "VedivUzirav");
  EXPECT_EQ(codec->select("VedivUzirav"), kKalOk);
  EXPECT_EQ(codec->select("Other"), kKalErrInvalidArg);
  EXPECT_STREQ(codec->name(), "VedivUzirav");
  // No component current: every operation answers -8.
  EXPECT_EQ(codec->select(nullptr), kKalOk);
  int32_t es = 0, rid = 0;
  CKasMessageView get(kGetV2c, sizeof kGetV2c);
  KalOwned<IKasPdu> pdu(kas_create_pdu());
  EXPECT_EQ(codec->decode(&get, pdu.get(), nullptr, 0), kKalErrNotReady);
  EXPECT_EQ(codec->peek(&get, &es, &rid, 0), kKalErrNotReady);
  EXPECT_EQ(codec->select("VedivUzirav"), kKalOk);
  EXPECT_EQ(codec->peek(&get, &es, &rid, 0), kKalOk);
}

// Every allocation of a decode fails once in turn: each run answers -3 and,
// under LeakSanitizer, leaks nothing.
TEST(DecoderTest, EveryAllocationFailsOnce) {
  const Bytes msg(std::begin(kResponseAllKinds), std::end(kResponseAllKinds));
  kal_alloc_hook::g_calls = 0;
  {
    KalOwned<IKasSnmpPacket> packet(kas_create_packet());
    CKasMessageView view(msg.data(), msg.size());
    ASSERT_EQ(kas_codec_service()->decode_packet(&view, packet.get(), 0), kKalOk);
  }
  const long calls = kal_alloc_hook::g_calls.load();
  ASSERT_GT(calls, 1);
  for (long i = 1; i < calls; ++i) {
    KalOwned<IKasSnmpPacket> packet(kas_create_packet());
    CKasMessageView view(msg.data(), msg.size());
    kal_alloc_hook::g_fail_countdown = i - 1;  // the packet took call 0
    const int rc = kas_codec_service()->decode_packet(&view, packet.get(), 0);
    kal_alloc_hook::g_fail_countdown = -1;
    EXPECT_TRUE(rc == kKalErrNoMemory || rc == kKalOk) << "allocation " << i << ": " << rc;
  }
}

}  // namespace
