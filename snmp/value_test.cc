// Value kinds: creation by tag, conversions at the edges of each kind, the
// address text forms, and the "not supported" answers.
#include "snmp/value.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "common/owned.h"
#include "common/text.h"
#include "snmp/value_base.h"

namespace {

using Value = KalOwned<IKasSnmpValue>;

std::string text_of(const IKasSnmpValue* v) {
  KalOwned<IKalText> t(kal_create_text());
  EXPECT_EQ(v->to_text_into(t.get()), kKalOk);
  return std::string(t->data(), t->length());
}

struct KindRow {
  const char* name;
  int tag;
  size_t size;
  int visitor_entry;
};

// Records which visitor entry a value called.
class EntryRecorder final : public IKasValueVisitor {
 public:
  int entry = -1;
  int visit_oid(IKasSnmpValue*) override { return rec(0); }
  int visit_octet_string(IKasSnmpValue*) override { return rec(1); }
  int visit_integer(IKasSnmpValue*) override { return rec(2); }
  int visit_null(IKasSnmpValue*) override { return rec(3); }
  int visit_counter32(IKasSnmpValue*) override { return rec(4); }
  int visit_gauge32(IKasSnmpValue*) override { return rec(5); }
  int visit_timeticks(IKasSnmpValue*) override { return rec(6); }
  int visit_counter64(IKasSnmpValue*) override { return rec(7); }
  int visit_ip_address(IKasSnmpValue*) override { return rec(8); }
  int visit_ipv6_address(IKasSnmpValue*) override { return rec(9); }
  int visit_udp_address(IKasSnmpValue*) override { return rec(10); }
  int visit_ipx_address(IKasSnmpValue*) override { return rec(11); }
  int visit_exception(IKasSnmpValue*) override { return rec(12); }

 private:
  int rec(int e) {
    entry = e;
    return 100 + e;
  }
};

const KindRow kKinds[] = {
    {"integer", kKasTagInteger, 1, 2},        {"octet_string", kKasTagOctetString, 0, 1},
    {"null", kKasTagNull, 0, 3},              {"oid", kKasTagOid, 0, 0},
    {"ip_address", kKasTagIpAddress, 4, 8},   {"counter32", kKasTagCounter32, 1, 4},
    {"gauge32", kKasTagGauge32, 1, 5},        {"timeticks", kKasTagTimeTicks, 1, 6},
    {"opaque", kKasTagOpaque, 0, 1},          {"counter64", kKasTagCounter64, 1, 7},
    {"ipv6", kKasTagIpv6Address, 16, 9},      {"no_such_object", kKasTagNoSuchObject, 0, 12},
    {"no_such_instance", kKasTagNoSuchInstance, 0, 12},
    {"end_of_mib_view", kKasTagEndOfMibView, 0, 12},
    {"udp_address", kKasTagUdpAddress, 6, 10},  {"ipx_address", kKasTagIpxAddress, 12, 11},
};

TEST(ValueKinds, EveryTagMakesItsKindWithItsInitialContent) {
  for (const KindRow& row : kKinds) {
    SCOPED_TRACE(row.name);
    int rc = 1;
    Value v(kas_create_value(row.tag, &rc));
    ASSERT_TRUE(v);
    EXPECT_EQ(rc, kKalOk);
    EXPECT_EQ(v->tag(), row.tag);
    EXPECT_EQ(v->size(), row.size);
    EXPECT_TRUE(v->is_valid());
    EXPECT_EQ(v->as_oid() != nullptr, row.tag == kKasTagOid);
    EntryRecorder rec;
    EXPECT_EQ(v->accept(&rec), 100 + row.visitor_entry);
    EXPECT_EQ(rec.entry, row.visitor_entry);
    EXPECT_EQ(v->accept(nullptr), kKalErrInvalidArg);
    // Fixed-length address kinds start all zero.
    size_t n = 0;
    int brc = 0;
    const uint8_t* bytes = v->get_bytes(&n, &brc);
    if (brc == kKalOk && row.tag != kKasTagOid) {
      ASSERT_EQ(n, row.size);
      for (size_t i = 0; i < n; ++i) EXPECT_EQ(bytes[i], 0);
    }
    Value copy(v->clone());
    ASSERT_TRUE(copy);
    EXPECT_TRUE(copy->equals(v.get()));
  }
}

TEST(ValueKinds, UnassignedTagsAreRefused) {
  for (int tag : {0, 1, 3, 7, 0x45, 0x47, 0x49, 0x83, 0xFF01, 0xFF04, -1}) {
    int rc = 0;
    EXPECT_EQ(kas_create_value(tag, &rc), nullptr) << tag;
    EXPECT_EQ(rc, kKalErrInvalidArg) << tag;
  }
}

TEST(ValueKinds, AssignAndEqualsRequireTheSameTag) {
  Value gauge(kas_create_value_from_uint(7, kKasTagGauge32));
  Value counter(kas_create_value_from_uint(7, kKasTagCounter32));
  Value integer(kas_create_value(kKasTagInteger));
  EXPECT_EQ(integer->assign(gauge.get()), kKalErrInvalidArg);
  EXPECT_EQ(integer->assign(nullptr), kKalErrInvalidArg);
  EXPECT_FALSE(gauge->equals(counter.get()));
  EXPECT_FALSE(gauge->equals(nullptr));
  int rc = 0;
  EXPECT_EQ(gauge->get_int(&rc), -1);
  EXPECT_EQ(rc, kKalErrNotSupported);
  EXPECT_EQ(integer->get_uint(&rc), 0xFFFFFFFFu);
  EXPECT_EQ(rc, kKalErrNotSupported);
  EXPECT_EQ(integer->get_port(&rc), 0xFFFF);
  EXPECT_EQ(rc, kKalErrNotSupported);
  EXPECT_EQ(integer->set_high(1), kKalErrNotSupported);
  Value null(kas_create_value(kKasTagNull));
  KalOwned<IKalText> t(kal_create_text());
  EXPECT_EQ(null->to_text_into(t.get()), kKalErrNotSupported);
  EXPECT_EQ(null->set_text("1"), kKalErrNotSupported);
  EXPECT_EQ(null->to_text(&rc), nullptr);
  EXPECT_EQ(rc, kKalErrNotSupported);
}

TEST(IntegerValue, TextEdges) {
  const struct {
    const char* name;
    const char* text;
    int32_t want;
  } rows[] = {
      {"zero", "0", 0},
      {"max", "2147483647", INT32_MAX},
      {"min", "-2147483648", INT32_MIN},
      {"above_max_saturates", "2147483648", INT32_MAX},
      {"below_min_saturates", "-99999999999999999999", INT32_MIN},
      {"trailing_junk", "12abc", 12},
      {"no_digits", "abc", 0},
      {"leading_space_and_sign", "  +42", 42},
      {"empty", "", 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Value v(kas_create_value(kKasTagInteger));
    ASSERT_EQ(v->set_text(row.text), kKalOk);
    EXPECT_EQ(v->get_int(), row.want);
  }
  Value v(kas_create_value(kKasTagInteger));
  EXPECT_EQ(v->set_text(nullptr), kKalErrInvalidArg);
  for (int32_t n : {0, 127, 128, -1, -128, -129, INT32_MIN, INT32_MAX}) {
    ASSERT_EQ(v->set_int(n), kKalOk);
    EXPECT_EQ(text_of(v.get()), std::to_string(n));
    Value back(kas_create_value_from_text(text_of(v.get()).c_str(), kKasTagInteger));
    EXPECT_EQ(back->get_int(), n);
  }
}

TEST(UnsignedValues, TextEdgesForEveryUnsignedKind) {
  const struct {
    const char* name;
    const char* text;
    uint32_t want;
  } rows[] = {
      {"zero", "0", 0},
      {"int_max", "2147483647", 0x7FFFFFFFu},
      {"top_bit", "2147483648", 0x80000000u},
      {"max", "4294967295", 0xFFFFFFFFu},
      {"beyond_saturates", "4294967296", 0xFFFFFFFFu},
      {"minus_one_keeps_its_bits", "-1", 0xFFFFFFFFu},
      {"junk", "x", 0},
  };
  for (int tag : {kKasTagCounter32, kKasTagGauge32, kKasTagTimeTicks}) {
    for (const auto& row : rows) {
      SCOPED_TRACE(std::string(row.name) + " tag " + std::to_string(tag));
      Value v(kas_create_value(tag));
      ASSERT_EQ(v->set_text(row.text), kKalOk);
      EXPECT_EQ(v->get_uint(), row.want);
      EXPECT_EQ(text_of(v.get()), std::to_string(row.want));
    }
  }
}

TEST(Counter64Value, TextEdges) {
  const struct {
    const char* name;
    const char* text;
    int rc;
    uint64_t want;
  } rows[] = {
      {"empty_is_zero", "", kKalOk, 0},
      {"zero", "0", kKalOk, 0},
      {"two_pow_32", "4294967296", kKalOk, uint64_t{1} << 32},
      {"two_pow_63", "9223372036854775808", kKalOk, uint64_t{1} << 63},
      {"max", "18446744073709551615", kKalOk, UINT64_MAX},
      {"beyond_max", "18446744073709551616", kKalErrInvalidArg, 0},
      {"sign", "-1", kKalErrInvalidArg, 0},
      {"junk", "12a", kKalErrInvalidArg, 0},
      {"space", " 1", kKalErrInvalidArg, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Value v(kas_create_value(kKasTagCounter64));
    ASSERT_EQ(v->set_text(row.text), row.rc);
    if (row.rc != kKalOk) continue;
    EXPECT_EQ(v->get_high(), static_cast<uint32_t>(row.want >> 32));
    EXPECT_EQ(v->get_low(), static_cast<uint32_t>(row.want));
    EXPECT_EQ(text_of(v.get()), std::to_string(row.want));
  }
  Value v(kas_create_value(kKasTagCounter64));
  EXPECT_EQ(v->set_text(nullptr), kKalErrInvalidArg);
  v->set_high(9);
  v->set_uint(5);
  EXPECT_EQ(v->get_high(), 0u);
  EXPECT_EQ(v->get_low(), 5u);
  EXPECT_EQ(v->get_uint(), 5u);
}

TEST(OctetStringValue, GrowsInStepsOf128AndNeverShrinks) {
  struct Row {
    const char* name;
    size_t length;
    size_t capacity;
  } rows[] = {{"127", 127, 128}, {"128", 128, 256}, {"200", 200, 256}, {"255", 255, 256},
              {"256", 256, 384}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Value v(kas_create_value(kKasTagOctetString));
    std::string data(row.length, 'x');
    ASSERT_EQ(v->set_bytes(data.data(), data.size()), kKalOk);
    EXPECT_EQ(v->size(), row.length);
    EXPECT_EQ(kas_octet_value_capacity(v.get()), row.capacity);
    ASSERT_EQ(v->set_text("ab"), kKalOk);
    EXPECT_EQ(kas_octet_value_capacity(v.get()), row.capacity);
  }
}

TEST(OctetStringValue, BytesWithZerosAndTextForms) {
  Value v(kas_create_value(kKasTagOctetString));
  const char raw[] = {'a', 0, 'b'};
  ASSERT_EQ(v->set_bytes(raw, 3), kKalOk);
  EXPECT_EQ(text_of(v.get()), std::string(raw, 3));
  int rc = 0;
  EXPECT_EQ(v->element_at(1, &rc), 0u);
  EXPECT_EQ(rc, kKalOk);
  EXPECT_EQ(v->element_at(3, &rc), 0xFFFFFFFFu);
  EXPECT_EQ(rc, kKalErrInvalidArg);
  ASSERT_EQ(v->set_text(nullptr), kKalOk);
  EXPECT_EQ(v->size(), 0u);
  EXPECT_EQ(v->set_bytes(nullptr, 1), kKalErrInvalidArg);
  KalOwned<IKalText> t(kal_create_text());
  t->assign(raw, 3);
  ASSERT_EQ(v->set_text_object(t.get()), kKalOk);
  EXPECT_EQ(v->size(), 3u);
  Value opaque(kas_create_value(kKasTagOpaque));
  ASSERT_EQ(opaque->set_bytes(raw, 3), kKalOk);
  EXPECT_FALSE(opaque->equals(v.get()));
  Value copy(v->clone());
  ASSERT_EQ(copy->set_text("zz"), kKalOk);
  EXPECT_EQ(v->size(), 3u);  // the clone is independent
}

// The strict readers have their own table; here each kind once read, once
// refused, and the printed form.
TEST(AddressValues, TextForms) {
  const struct {
    const char* name;
    int tag;
    const char* text;
    const char* printed;  // null: refused with -2
  } rows[] = {
      {"ipv4", kKasTagIpAddress, "192.168.0.1", "192.168.0.1"},
      {"ipv4_leading_zeros", kKasTagIpAddress, "010.001.002.003", "10.1.2.3"},
      {"ipv4_256", kKasTagIpAddress, "1.2.3.256", nullptr},
      {"ipv4_empty", kKasTagIpAddress, "", nullptr},
      {"ipv6", kKasTagIpv6Address, "2001:0db8:0:0:0:0:0:0001", "2001:db8:0:0:0:0:0:1"},
      {"ipv6_upper", kKasTagIpv6Address, "FE80:0:0:0:0:0:0:1", "fe80:0:0:0:0:0:0:1"},
      {"ipv6_compressed_refused", kKasTagIpv6Address, "fe80::1", nullptr},
      {"udp", kKasTagUdpAddress, "10.0.0.1/161", "10.0.0.1/161"},
      {"udp_port_too_big", kKasTagUdpAddress, "10.0.0.1/70000", nullptr},
      {"ipx", kKasTagIpxAddress, "0000000A:0000C0A80114/451", "0000000a:0000c0a80114/451"},
      {"ipx_socket_too_big", kKasTagIpxAddress, "0000000a:0000c0a80114/10000", nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Value v(kas_create_value(row.tag));
    ASSERT_EQ(v->set_text(row.text), row.printed ? kKalOk : kKalErrInvalidArg);
    if (row.printed) {
      EXPECT_EQ(text_of(v.get()), row.printed);
    }
  }
}

TEST(AddressValues, NumbersPortsAndFixedLengths) {
  Value ip(kas_create_value_from_uint(0xC0A80001u, kKasTagIpAddress));
  ASSERT_TRUE(ip);
  EXPECT_EQ(text_of(ip.get()), "192.168.0.1");
  EXPECT_EQ(ip->get_uint(), 0xC0A80001u);
  const uint8_t three[3] = {1, 2, 3};
  EXPECT_EQ(ip->set_bytes(three, 3), kKalErrInvalidArg);
  EXPECT_EQ(text_of(ip.get()), "192.168.0.1");  // unchanged
  Value udp(kas_create_value_from_text("10.0.0.1/161", kKasTagUdpAddress));
  size_t n = 0;
  const uint8_t* b = udp->get_bytes(&n);
  ASSERT_EQ(n, 6u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b), 6), std::string("\x0a\0\0\x01\0\xa1", 6));
  EXPECT_EQ(udp->get_port(), 161);
  EXPECT_EQ(udp->set_port(8161), kKalOk);
  EXPECT_EQ(text_of(udp.get()), "10.0.0.1/8161");
  Value ipx(kas_create_value(kKasTagIpxAddress));
  EXPECT_EQ(ipx->set_port(0x451), kKalOk);
  EXPECT_EQ(text_of(ipx.get()), "00000000:000000000000/451");
  ipx->clear();
  EXPECT_EQ(ipx->size(), 12u);
  EXPECT_EQ(ipx->get_port(), 0);
  int rc = 0;
  EXPECT_EQ(ip->get_port(&rc), 0xFFFF);
  EXPECT_EQ(rc, kKalErrNotSupported);
}

TEST(CreationFunctions, FromIntUintTextAndTheirFailures) {
  int rc = 0;
  Value v1(kas_create_value_from_int(1, kKasTagInteger, &rc));
  EXPECT_EQ(rc, kKalOk);
  EXPECT_EQ(v1->get_int(), 1);
  EXPECT_EQ(kas_create_value_from_int(1, kKasTagGauge32, &rc), nullptr);
  EXPECT_EQ(rc, kKalErrNotSupported);
  EXPECT_EQ(kas_create_value_from_uint(1, kKasTagInteger, &rc), nullptr);
  EXPECT_EQ(rc, kKalErrNotSupported);
  EXPECT_EQ(kas_create_value_from_text(nullptr, kKasTagInteger, &rc), nullptr);
  EXPECT_EQ(rc, kKalErrInvalidArg);
  EXPECT_EQ(kas_create_value_from_text("1..3", kKasTagOid, &rc), nullptr);
  EXPECT_EQ(rc, kKalErrInvalidArg);
  EXPECT_EQ(kas_create_value_from_text("1.2.3.300", kKasTagIpAddress, &rc), nullptr);
  EXPECT_EQ(rc, kKalErrInvalidArg);
  EXPECT_EQ(kas_create_value_from_text("1", kKasTagNull, &rc), nullptr);
  EXPECT_EQ(rc, kKalErrNotSupported);
  Value oid(kas_create_value_from_int(-1, kKasTagOid));
  EXPECT_STREQ(oid->as_oid()->text(), "4294967295");
}

}  // namespace
