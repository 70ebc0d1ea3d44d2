// Table indexes: every kind's index form written and read back, and
// malformed indexes refused with kKasErrBadIndex without changing the value.
#include <gtest/gtest.h>

#include <string>

#include "common/owned.h"
#include "snmp/value.h"

namespace {

using Value = KalOwned<IKasSnmpValue>;

std::string bytes_of(const IKasSnmpValue* v) {
  size_t n = 0;
  const uint8_t* p = v->get_bytes(&n);
  return std::string(reinterpret_cast<const char*>(p), n);
}

Value oid(const char* text) {
  Value v(kas_create_oid());
  EXPECT_EQ(v->set_text(text), kKalOk);
  return v;
}

TEST(IndexForms, RoundTrips) {
  const struct {
    const char* name;
    int tag;
    const char* text;  // the value's text form
    bool implied;
    const char* index;  // its index form
  } rows[] = {
      {"integer", kKasTagInteger, "42", false, "42"},
      {"integer_zero", kKasTagInteger, "0", true, "0"},
      {"integer_negative", kKasTagInteger, "-1", false, "4294967295"},
      {"gauge_max", kKasTagGauge32, "4294967295", false, "4294967295"},
      {"counter", kKasTagCounter32, "7", false, "7"},
      {"timeticks", kKasTagTimeTicks, "100", false, "100"},
      {"string", kKasTagOctetString, "abc", false, "3.97.98.99"},
      {"string_implied", kKasTagOctetString, "abc", true, "97.98.99"},
      {"string_empty", kKasTagOctetString, "", false, "0"},
      {"opaque", kKasTagOpaque, "\x01\xff", false, "2.1.255"},
      {"oid", kKasTagOid, "1.3.6.1", false, "4.1.3.6.1"},
      {"oid_implied", kKasTagOid, "1.3.6.1", true, "1.3.6.1"},
      {"oid_empty", kKasTagOid, "", false, "0"},
      {"oid_max_arc", kKasTagOid, "1.4294967295", false, "2.1.4294967295"},
      {"ip_address", kKasTagIpAddress, "192.168.0.1", false, "192.168.0.1"},
      {"ip_address_implied", kKasTagIpAddress, "10.0.0.255", true, "10.0.0.255"},
      {"ipv6", kKasTagIpv6Address, "fe80:0:0:0:0:0:0:1", false,
       "16.254.128.0.0.0.0.0.0.0.0.0.0.0.0.0.1"},
      {"ipv6_implied", kKasTagIpv6Address, "fe80:0:0:0:0:0:0:1", true,
       "254.128.0.0.0.0.0.0.0.0.0.0.0.0.0.1"},
      {"udp", kKasTagUdpAddress, "10.0.0.1/161", false, "1.6.10.0.0.1.0.161"},
      {"udp_implied", kKasTagUdpAddress, "10.0.0.1/161", true, "1.10.0.0.1.0.161"},
      {"ipx", kKasTagIpxAddress, "0000000a:0000c0a80114/451", false,
       "5.12.0.0.0.10.0.0.192.168.1.20.4.81"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Value v(kas_create_value(row.tag));
    ASSERT_EQ(v->set_text(row.text), kKalOk);
    Value index(kas_create_oid());
    ASSERT_EQ(v->set_oid_to_index(index->as_oid(), row.implied), kKalOk);
    EXPECT_STREQ(index->as_oid()->text(), row.index);
    EXPECT_EQ(v->index_length(row.implied), index->size());
    // Read back, with a column prefix removed and a trailing index after it.
    Value instance = oid("1.3.6.1.2.1.99.1.1");
    ASSERT_EQ(instance->as_oid()->append_value_as_index(v.get(), row.implied), kKalOk);
    ASSERT_EQ(instance->as_oid()->remove_prefix_text("1.3.6.1.2.1.99.1.1"), kKalOk);
    if (!row.implied) {
      ASSERT_EQ(instance->as_oid()->append_number(77), kKalOk);
    }
    int rc = 1;
    Value back(instance->as_oid()->new_value_from_index(row.tag, row.implied, kKasAll, &rc));
    ASSERT_TRUE(back) << rc;
    EXPECT_TRUE(back->equals(v.get()));
    EXPECT_STREQ(instance->as_oid()->text(), row.implied ? "" : "77");
  }
}

// The address kinds' own readers have their table in the common layer; here
// one refusal each shows the value and the index are left as they were.
TEST(IndexForms, MalformedIndexesAreRefused) {
  const struct {
    const char* name;
    int tag;
    bool implied;
    const char* index;
  } rows[] = {
      {"integer_empty", kKasTagInteger, false, ""},
      {"integer_too_big", kKasTagInteger, false, "4294967296"},
      {"string_length_beyond", kKasTagOctetString, false, "4.97.98.99"},
      {"string_octet_above_255", kKasTagOctetString, false, "2.97.300"},
      {"string_empty_index", kKasTagOctetString, false, ""},
      {"string_implied_octet_above_255", kKasTagOctetString, true, "97.256"},
      {"oid_count_beyond", kKasTagOid, false, "3.1.3"},
      {"oid_huge_count", kKasTagOid, false, "4294967295.1"},
      {"oid_arc_beyond_32_bits", kKasTagOid, false, "2.1.4294967296"},
      {"ip_octet_above_255", kKasTagIpAddress, false, "10.0.0.256"},
      {"ipv6_wrong_length", kKasTagIpv6Address, false, "4.1.2.3.4"},
      {"udp_wrong_domain", kKasTagUdpAddress, false, "2.6.10.0.0.1.0.161"},
      {"ipx_wrong_domain", kKasTagIpxAddress, false, "1.12.0.0.0.10.0.0.192.168.1.20.4.81"},
      {"ipx_octet_above_255", kKasTagIpxAddress, true, "5.0.0.0.10.0.0.192.168.1.20.4.810"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Value index = oid(row.index);
    Value v(kas_create_value(row.tag));
    Value before(v->clone());
    EXPECT_EQ(index->as_oid()->take_value_from_index(v.get(), row.implied, kKasAll),
              kKasErrBadIndex);
    EXPECT_TRUE(v->equals(before.get()));              // value unchanged
    EXPECT_STREQ(index->as_oid()->text(), row.index);  // nothing consumed
    int rc = 0;
    EXPECT_EQ(index->as_oid()->new_value_reading_index(row.tag, row.implied, kKasAll, &rc),
              nullptr);
    EXPECT_EQ(rc, kKasErrBadIndex);
  }
}

TEST(IndexForms, StringIndexFromTheFront) {
  Value index = oid("3.97.98.99.5");
  Value v(kas_create_value(kKasTagOctetString));
  ASSERT_EQ(index->as_oid()->take_value_from_index(v.get(), false, kKasAll), kKalOk);
  EXPECT_EQ(bytes_of(v.get()), "abc");
  EXPECT_STREQ(index->as_oid()->text(), "5");
  // Implied with a given length reads only that many.
  Value two = oid("97.98.99");
  ASSERT_EQ(two->as_oid()->take_value_from_index(v.get(), true, 2), kKalOk);
  EXPECT_EQ(bytes_of(v.get()), "ab");
  EXPECT_STREQ(two->as_oid()->text(), "99");
}

TEST(IndexForms, KindsWithoutIndexFormAndNullArguments) {
  for (int tag : {kKasTagNull, kKasTagCounter64, kKasTagNoSuchObject, kKasTagEndOfMibView}) {
    Value v(kas_create_value(tag));
    Value index = oid("1.2");
    EXPECT_EQ(v->set_oid_to_index(index->as_oid(), false), kKalErrNotSupported);
    EXPECT_STREQ(index->as_oid()->text(), "1.2");  // left alone
    EXPECT_EQ(v->set_from_index(index->as_oid(), false), kKalErrNotSupported);
    EXPECT_EQ(v->set_from_index(nullptr, false), kKalErrInvalidArg);
  }
  Value s(kas_create_value(kKasTagOctetString));
  EXPECT_EQ(s->append_to_index(nullptr, false), kKalErrInvalidArg);
  EXPECT_EQ(s->set_from_index(nullptr, false), kKalErrInvalidArg);
}

TEST(IndexForms, AppendTextAsIndexAndWriteIntoItself) {
  Value v = oid("1.3.6.1.2.1.25.3.2.1.3");
  IKasOid* o = v->as_oid();
  EXPECT_EQ(o->append_text_as_index("ab", kKasTagOctetString, false), kKalOk);
  EXPECT_STREQ(o->text(), "1.3.6.1.2.1.25.3.2.1.3.2.97.98");
  EXPECT_EQ(o->append_text_as_index("1.2.3.999", kKasTagIpAddress, false), kKalErrInvalidArg);
  EXPECT_EQ(o->append_text_as_index("x", 0x47, false), kKalErrInvalidArg);
  Value self = oid("1.3");
  EXPECT_EQ(self->as_oid()->write_value_as_index(self.get(), false), kKalOk);
  EXPECT_STREQ(self->as_oid()->text(), "2.1.3");
  EXPECT_EQ(self->as_oid()->append_value_as_index(self.get(), true), kKalOk);
  EXPECT_STREQ(self->as_oid()->text(), "2.1.3.2.1.3");
}

// Regression: an identifier index read from a loosely stored text ("..",
// "01") kept the text as it was, so its cached count (1) disagreed with its
// text ("") and writing it back lost a sub-identifier. The fuzzer found it.
TEST(IndexForms, LooseSourceTextIsWrittenAgainAsNumbers) {
  Value source(kas_create_oid());
  ASSERT_EQ(source->set_text(".."), kKalOk);
  Value v(kas_create_oid());
  ASSERT_EQ(v->set_from_index(source->as_oid(), true, 1), kKalOk);
  EXPECT_STREQ(v->as_oid()->text(), "0");
  EXPECT_EQ(v->size(), 1u);
  ASSERT_EQ(source->set_text("2.01.007"), kKalOk);
  ASSERT_EQ(v->set_from_index(source->as_oid(), false), kKalOk);
  EXPECT_STREQ(v->as_oid()->text(), "1.7");
  EXPECT_TRUE(v->is_valid());
}

}  // namespace
