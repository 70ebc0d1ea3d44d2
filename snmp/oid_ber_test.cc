// The BER octets an object identifier keeps beside its text: every change of
// the text must drop them, copies carry them, received octets are kept only
// when they are what the encoder writes, and the codec's fast paths give the
// same octets and statuses as the text. Each case compares a message with
// the message of a freshly made identifier of the same text.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "common/owned.h"
#include "common/text.h"
#include "log/capture_output.h"
#include "snmp/binding.h"
#include "snmp/codec_buffer.h"
#include "snmp/codec_service.h"
#include "snmp/codec_test_util.h"
#include "snmp/pdu.h"
#include "snmp/target.h"
#include "snmp/value.h"

namespace {

using codectest::Bytes;

constexpr char kName[] = "1.3.6.1.2.1.1.2.0";

IKasSnmpValue* first_value(IKasPdu* pdu) { return pdu->get_bindings()->at(0)->get_value(); }

// The message of a GetResponse whose one binding carries an identifier of
// `text` made afresh (and its status).
Bytes fresh_message(const std::string& text, int* rc) {
  IKasSnmpValue* v = kas_create_oid();
  v->set_text(text.c_str());
  KalOwned<IKasPdu> pdu(codectest::make_pdu(kKasPduResponse, 7, {{kName, v}}));
  KalOwned<IKasSnmpTarget> target(codectest::make_target(1, "public"));
  return codectest::encode(pdu.get(), target.get(), rc);
}

struct ChangeRow {
  const char* name;
  const char* start;
  std::function<void(IKasOid*)> change;
};

const ChangeRow kChanges[] = {
    {"append_number", "1.3.6.1", [](IKasOid* o) { o->append_number(300); }},
    {"append_text", "1.3.6.1", [](IKasOid* o) { o->append_text("4.1.61801"); }},
    {"append_oid_self", "1.3.6", [](IKasOid* o) { o->append_oid(o); }},
    {"set_text", "1.3.6.1", [](IKasOid* o) { o->value()->set_text("1.3.6.1.2.1.25"); }},
    {"set_text_bytes", "1.3.6.1", [](IKasOid* o) { o->set_text_bytes("2.999.1", 7); }},
    {"set_int_one_arc", "1.3.6.1", [](IKasOid* o) { o->value()->set_int(5); }},
    {"clear", "1.3.6.1", [](IKasOid* o) { o->value()->clear(); }},
    {"erase_middle", "1.3.6.1.2.1", [](IKasOid* o) { o->erase(2, 2); }},
    {"erase_tail", "1.3.6.1.2.1", [](IKasOid* o) { o->erase(3, kKasAll); }},
    {"pop_first", "1.3.6.1.2.1", [](IKasOid* o) { o->pop_first(); }},
    {"remove_prefix", "1.3.6.1.2.1.25.3", [](IKasOid* o) { o->remove_prefix_text("1.3.6.1"); }},
    {"new_prefix", "1.3.6.1.2.1.25",
     [](IKasOid* o) { KalOwned<IKasSnmpValue> p(o->new_prefix(2)); }},
    {"move_prefix_to_text", "1.3.6.1.2.1.25",
     [](IKasOid* o) {
       KalOwned<IKalText> t(kal_create_text());
       o->move_prefix_to_text(3, t.get());
     }},
    {"set_from_index", "1.3.6.1",
     [](IKasOid* o) {
       KalOwned<IKasSnmpValue> index(kas_create_oid_from_text("3.1.3.9.7"));
       o->value()->set_from_index(index->as_oid(), false, kKasAll);
     }},
    {"assign", "1.3.6.1",
     [](IKasOid* o) {
       KalOwned<IKasSnmpValue> other(kas_create_oid_from_text("1.3.6.1.4.1.61802.1"));
       o->value()->assign(other.get());
     }},
    {"malformed_text", "1.3.6.1", [](IKasOid* o) { o->value()->set_text("1.3..6"); }},
};

// An identifier encoded once (its octets kept), then changed: the next
// message equals that of a fresh identifier of the new text.
TEST(OidBerTest, EveryChangeDropsTheKeptOctets) {
  for (const auto& row : kChanges) {
    SCOPED_TRACE(row.name);
    KalOwned<IKasPdu> pdu(
        codectest::make_pdu(kKasPduResponse, 7, {{kName, codectest::oid(row.start)}}));
    KalOwned<IKasSnmpTarget> target(codectest::make_target(1, "public"));
    int rc = -99;
    ASSERT_FALSE(codectest::encode(pdu.get(), target.get(), &rc).empty());
    IKasOid* held = first_value(pdu.get())->as_oid();
    row.change(held);
    const Bytes got = codectest::encode(pdu.get(), target.get(), &rc);
    int want_rc = -99;
    const Bytes want = fresh_message(held->text(), &want_rc);
    EXPECT_EQ(rc, want_rc) << held->text();
    EXPECT_EQ(got, want) << held->text();
  }
}

// The same changes on an identifier that came out of a decode, whose kept
// octets are the received ones and whose text is written only when first
// asked for: each change is made before anything reads the text.
TEST(OidBerTest, ChangesAfterADecodeDropTheReceivedOctets) {
  for (const auto& row : kChanges) {
    SCOPED_TRACE(row.name);
    int rc = -99;
    const Bytes msg = fresh_message(row.start, &rc);
    ASSERT_EQ(rc, kKalOk);
    KalOwned<IKasPdu> pdu(kas_create_pdu());
    KalOwned<IKasSnmpTarget> target(kas_create_target(kKasTargetCommunity));
    ASSERT_EQ(codectest::decode(msg, pdu.get(), target.get()), kKalOk);
    IKasOid* held = first_value(pdu.get())->as_oid();
    KalOwned<IKasSnmpTarget> sender(codectest::make_target(1, "public"));
    EXPECT_EQ(codectest::encode(pdu.get(), sender.get(), &rc), msg) << "unchanged";
    row.change(held);
    const Bytes got = codectest::encode(pdu.get(), sender.get(), &rc);
    int want_rc = -99;
    const Bytes want = fresh_message(held->text(), &want_rc);
    EXPECT_EQ(rc, want_rc) << held->text();
    EXPECT_EQ(got, want) << held->text();
  }
}

// What a received identifier answers before its text was ever read: every
// reading operation sees the received identifier.
TEST(OidBerTest, AReceivedIdentifierReadsAsItsText) {
  const char* kText = "1.3.6.1.4.1.61801.1.400";
  int rc = -99;
  const Bytes msg = fresh_message(kText, &rc);
  ASSERT_EQ(rc, kKalOk);
  KalOwned<IKasSnmpValue> same(kas_create_oid_from_text(kText));
  KalOwned<IKasSnmpValue> root(kas_create_oid_from_text("1.3.6.1.4.1.61801"));
  const std::function<void(IKasSnmpValue*)> reads[] = {
      [&](IKasSnmpValue* v) { EXPECT_EQ(v->size(), 9u); },
      [&](IKasSnmpValue* v) { EXPECT_TRUE(v->equals(same.get())); },
      [&](IKasSnmpValue* v) { EXPECT_TRUE(same->equals(v)); },
      [&](IKasSnmpValue* v) { EXPECT_TRUE(v->as_oid()->is_within(root->as_oid())); },
      [&](IKasSnmpValue* v) { EXPECT_EQ(v->as_oid()->compare(same->as_oid()), kKasOidEqual); },
      [&](IKasSnmpValue* v) { EXPECT_EQ(v->element_at(7), 1u); },
      [&](IKasSnmpValue* v) { EXPECT_EQ(v->as_oid()->text_length(), std::strlen(kText)); },
      [&](IKasSnmpValue* v) { EXPECT_TRUE(v->is_valid()); },
      [&](IKasSnmpValue* v) {
        KalOwned<IKalText> t(v->to_text());
        EXPECT_EQ(std::string(t->data(), t->length()), kText);
      },
      [&](IKasSnmpValue* v) {
        KalOwned<IKasSnmpValue> copy(v->clone());
        EXPECT_STREQ(copy->as_oid()->text(), kText);
      },
      [&](IKasSnmpValue* v) {
        KalOwned<IKasSnmpValue> other(kas_create_oid());
        other->assign(v);
        EXPECT_STREQ(other->as_oid()->text(), kText);
      },
  };
  for (const auto& read : reads) {
    KalOwned<IKasPdu> pdu(kas_create_pdu());
    KalOwned<IKasSnmpTarget> target(kas_create_target(kKasTargetCommunity));
    ASSERT_EQ(codectest::decode(msg, pdu.get(), target.get()), kKalOk);
    read(first_value(pdu.get()));
    EXPECT_STREQ(first_value(pdu.get())->as_oid()->text(), kText);
    // Decoded again into the same identifier, unread, then read.
    ASSERT_EQ(codectest::decode(fresh_message("1.3.6.1.2.1.1", &rc), pdu.get(), target.get()),
              kKalOk);
    ASSERT_EQ(codectest::decode(msg, pdu.get(), target.get()), kKalOk);
    read(first_value(pdu.get()));
  }
  // The text length and a copy of identifiers never read, for arcs of one
  // to five octets and first octets of each kind.
  for (const char* text : {"0.39", "1.0.127.128", "2.40.16383.16384",
                           "2.999.4294967295.2097151.2097152.268435456"}) {
    SCOPED_TRACE(text);
    const Bytes m = fresh_message(text, &rc);
    ASSERT_EQ(rc, kKalOk);
    KalOwned<IKasPdu> pdu(kas_create_pdu());
    KalOwned<IKasSnmpTarget> target(kas_create_target(kKasTargetCommunity));
    ASSERT_EQ(codectest::decode(m, pdu.get(), target.get()), kKalOk);
    KalOwned<IKasSnmpValue> copy(kas_create_oid());
    ASSERT_EQ(copy->assign(first_value(pdu.get())), kKalOk);
    EXPECT_EQ(copy->as_oid()->text_length(), std::strlen(text));
    EXPECT_EQ(first_value(pdu.get())->as_oid()->text_length(), std::strlen(text));
    EXPECT_STREQ(copy->as_oid()->text(), text);
    KalOwned<IKasSnmpTarget> sender(codectest::make_target(1, "public"));
    KalOwned<IKasPdu> again(codectest::make_pdu(kKasPduResponse, 7, {{kName, copy.detach()}}));
    EXPECT_EQ(codectest::encode(again.get(), sender.get(), &rc), m);
  }
}

// Copies of a decoded identifier carry text, count and octets.
TEST(OidBerTest, CloneAndAssignOfADecodedIdentifier) {
  int rc = -99;
  const Bytes msg = fresh_message("1.3.6.1.4.1.61801.1.400", &rc);
  ASSERT_EQ(rc, kKalOk);
  KalOwned<IKasPdu> pdu(kas_create_pdu());
  KalOwned<IKasSnmpTarget> target(kas_create_target(kKasTargetCommunity));
  ASSERT_EQ(codectest::decode(msg, pdu.get(), target.get()), kKalOk);
  const IKasSnmpValue* decoded = first_value(pdu.get());
  EXPECT_EQ(decoded->size(), 9u);
  KalOwned<IKasSnmpTarget> sender(codectest::make_target(1, "public"));

  KalOwned<IKasSnmpValue> copy(decoded->clone());
  KalOwned<IKasSnmpValue> assigned(kas_create_oid_from_text("1.3"));
  ASSERT_EQ(assigned->assign(decoded), kKalOk);
  for (IKasSnmpValue* v : {copy.get(), assigned.get()}) {
    EXPECT_TRUE(v->equals(decoded));
    EXPECT_EQ(v->size(), 9u);
    KalOwned<IKasPdu> again(codectest::make_pdu(kKasPduResponse, 7, {{kName, v->clone()}}));
    EXPECT_EQ(codectest::encode(again.get(), sender.get(), &rc), msg);
  }
}

// A number padded with 0x80 octets reads as its value; the identifier is
// then sent in the minimal form, not with the received octets.
TEST(OidBerTest, PaddedReceivedNumbersAreSentMinimal) {
  // Response, v2c, "public", request-id 7, one binding sysObjectID.0 =
  // OBJECT IDENTIFIER 1.3.6.1 with the last arc written as 80 01.
  const Bytes padded = {
      0x30, 0x2a, 0x02, 0x01, 0x01, 0x04, 0x06, 'p',  'u',  'b',  'l',  'i',  'c',  0xa2,
      0x1d, 0x02, 0x01, 0x07, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00, 0x30, 0x12, 0x30, 0x10,
      0x06, 0x08, 0x2b, 0x06, 0x01, 0x02, 0x01, 0x01, 0x02, 0x00, 0x06, 0x04, 0x2b, 0x06,
      0x80, 0x01};
  KalOwned<IKasPdu> pdu(kas_create_pdu());
  KalOwned<IKasSnmpTarget> target(kas_create_target(kKasTargetCommunity));
  ASSERT_EQ(codectest::decode(padded, pdu.get(), target.get()), kKalOk);
  EXPECT_STREQ(first_value(pdu.get())->as_oid()->text(), "1.3.6.1");
  int rc = -99, want_rc = -99;
  KalOwned<IKasSnmpTarget> sender(codectest::make_target(1, "public"));
  const Bytes got = codectest::encode(pdu.get(), sender.get(), &rc);
  EXPECT_EQ(got, fresh_message("1.3.6.1", &want_rc));
  EXPECT_EQ(rc, kKalOk);
  EXPECT_EQ(got.size() + 1, padded.size());
}

// Identifiers whose octets are too long to keep go the text's way, with
// the same result.
TEST(OidBerTest, LongIdentifiersRoundTrip) {
  std::string text = "1.3.6.1.4.1.61801";
  for (int i = 0; i < 40; ++i) {
    text += '.';
    text += std::to_string(100000 + i);
  }
  int rc = -99;
  const Bytes msg = fresh_message(text, &rc);
  ASSERT_EQ(rc, kKalOk);
  KalOwned<IKasPdu> pdu(kas_create_pdu());
  KalOwned<IKasSnmpTarget> target(kas_create_target(kKasTargetCommunity));
  ASSERT_EQ(codectest::decode(msg, pdu.get(), target.get()), kKalOk);
  EXPECT_EQ(first_value(pdu.get())->as_oid()->text(), text);
  KalOwned<IKasSnmpTarget> sender(codectest::make_target(1, "public"));
  EXPECT_EQ(codectest::encode(pdu.get(), sender.get(), &rc), msg);
  EXPECT_EQ(codectest::encode(pdu.get(), sender.get(), &rc), msg) << "second time";
}

// A text the encoder refuses is refused every time, with its log line each
// time, although the verdict is kept.
TEST(OidBerTest, RefusedTextsAreRefusedEveryTime) {
  KalScopedLogCapture log;
  KalOwned<IKasSnmpTarget> target(codectest::make_target(1, "public"));
  for (const char* bad : {"1", "1.3..6", "1.3.4294967296", "7.4294967295"}) {
    SCOPED_TRACE(bad);
    IKasSnmpValue* v = kas_create_oid();
    v->set_text(bad);
    KalOwned<IKasPdu> pdu(codectest::make_pdu(kKasPduResponse, 7, {{kName, v}}));
    for (int i = 0; i < 2; ++i) {
      int rc = -99;
      EXPECT_TRUE(codectest::encode(pdu.get(), target.get(), &rc).empty());
      EXPECT_EQ(rc, kKalErrInvalidArg);
    }
  }
  size_t one_arc_lines = 0;
  for (const auto& line : log.lines()) {
    if (line.find("encode error:oid size is 1.") != std::string::npos) ++one_arc_lines;
  }
  EXPECT_EQ(one_arc_lines, 2u);
}

// A decode into a reused PDU makes nothing through the allocation hook.
TEST(OidBerTest, DecodeIntoAReusedPduAllocatesNothing) {
  int rc = -99;
  const Bytes msg = fresh_message("1.3.6.1.4.1.61801.1.400", &rc);
  ASSERT_EQ(rc, kKalOk);
  KalOwned<IKasPdu> pdu(kas_create_pdu());
  KalOwned<IKasSnmpTarget> target(kas_create_target(kKasTargetCommunity));
  ASSERT_EQ(codectest::decode(msg, pdu.get(), target.get()), kKalOk);
  const long before = kal_alloc_hook::g_calls.load();
  ASSERT_EQ(codectest::decode(msg, pdu.get(), target.get()), kKalOk);
  EXPECT_EQ(kal_alloc_hook::g_calls.load(), before);
  KalOwned<IKasSnmpTarget> sender(codectest::make_target(1, "public"));
  KalOwned<IKasMessageBuffer> buffer(kas_create_message_buffer());
  ASSERT_EQ(kas_codec_service()->encode(pdu.get(), sender.get(), buffer.get()), kKalOk);
  const long after_first = kal_alloc_hook::g_calls.load();
  ASSERT_EQ(kas_codec_service()->encode(pdu.get(), sender.get(), buffer.get()), kKalOk);
  EXPECT_EQ(kal_alloc_hook::g_calls.load(), after_first) << "encode into a sized buffer";
}

}  // namespace
