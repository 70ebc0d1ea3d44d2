// Object identifiers: the syntax check, both orders (by text and by number),
// and the editing operations.
#include <gtest/gtest.h>

#include <string>

#include "common/owned.h"
#include "common/text.h"
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

struct ValidRow {
  const char* name;
  const char* text;
  bool valid;
};

TEST(OidSyntax, Table) {
  const ValidRow rows[] = {
      {"empty", "", true},
      {"single", "1", true},
      {"zero_zero", "0.0", true},
      {"sys_descr", "1.3.6.1.2.1.1.1.0", true},
      {"arc_127", "1.3.127", true},
      {"arc_128", "1.3.128", true},
      {"arc_16383", "1.3.16383", true},
      {"arc_16384", "1.3.16384", true},
      {"arc_max", "1.3.4294967295", true},
      {"arc_beyond_max", "1.3.4294967296", false},
      {"arc_eleven_digits", "1.3.10000000000", false},
      {"leading_dot", ".1.3", false},
      {"trailing_dot", "1.3.", false},
      {"double_dot", "1..3", false},
      {"only_dot", ".", false},
      {"leading_zero", "01.3", false},
      {"leading_zero_later", "1.3.06", false},
      {"letters", "1.3.a", false},
      {"sign", "1.-3", false},
      {"space", "1. 3", false},
      {"trailing_space", "1.3 ", false},
  };
  for (const ValidRow& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(kas_oid_text_is_valid(row.text, std::char_traits<char>::length(row.text)),
              row.valid);
    int rc = 1;
    Value v(kas_create_oid_from_text(row.text, &rc));
    EXPECT_EQ(rc, row.valid ? kKalOk : kKalErrInvalidArg);
    EXPECT_EQ(static_cast<bool>(v), row.valid);
    if (v) {
      EXPECT_TRUE(v->is_valid());
    }
  }
  // Stored unchecked; is_valid tells.
  Value loose = oid("1..3");
  EXPECT_FALSE(loose->is_valid());
}

TEST(OidCount, CountsAndSubIdentifiers) {
  EXPECT_EQ(oid("1.3.6.1.2.1.1.1.0")->size(), 9u);
  EXPECT_EQ(oid("")->size(), 0u);
  Value v = oid("1.3.6");
  int rc = 0;
  EXPECT_EQ(v->element_at(2, &rc), 6u);
  EXPECT_EQ(rc, kKalOk);
  EXPECT_EQ(v->element_at(3, &rc), 0xFFFFFFFFu);
  EXPECT_EQ(rc, kKalErrNoData);
  EXPECT_EQ(oid("")->element_at(0, &rc), 0xFFFFFFFFu);
  EXPECT_EQ(rc, kKalErrNotReady);
  EXPECT_EQ(oid("1.4294967295")->element_at(1), 4294967295u);
  EXPECT_EQ(v->get_int(), 1);
  EXPECT_EQ(v->as_oid()->pop_first(&rc), 1u);
  EXPECT_STREQ(v->as_oid()->text(), "3.6");
  EXPECT_EQ(v->size(), 2u);
  v->as_oid()->pop_first();
  v->as_oid()->pop_first();
  EXPECT_EQ(v->as_oid()->pop_first(&rc), 0xFFFFFFFFu);
  EXPECT_EQ(rc, kKalErrNotReady);
}

// By text and by number, across the 9 -> 10 and 99 -> 100 steps.
TEST(OidOrder, TextAndNumericRelations) {
  const struct {
    const char* name;
    const char* a;
    const char* b;
    int by_text;
    int by_number;
  } rows[] = {
      {"equal", "1.3.6.1", "1.3.6.1", kKasOidEqual, kKasOidEqual},
      {"ancestor", "1.3.6.1", "1.3.6.1.2", kKasOidAncestor, kKasOidAncestor},
      {"descendant", "1.3.6.1.2", "1.3.6.1", kKasOidDescendant, kKasOidDescendant},
      {"ten_after_nine", "1.3.6.1.10", "1.3.6.1.9", kKasOidBefore, kKasOidAfter},
      {"hundred_after_ninety_nine", "1.3.6.1.100", "1.3.6.1.99", kKasOidBefore, kKasOidAfter},
      {"1.2_before_1.10", "1.3.6.1.2", "1.3.6.1.10", kKasOidAfter, kKasOidBefore},
      {"root_without_dot_is_not_ancestor", "1.3.6.1.2", "1.3.6.1.25", kKasOidBefore,
       kKasOidBefore},
      {"sibling_by_prefix", "1.3.6.10", "1.3.6.1", kKasOidAfter, kKasOidAfter},
      {"long_arcs", "1.4294967295", "1.4294967294", kKasOidAfter, kKasOidAfter},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Value a = oid(row.a);
    Value b = oid(row.b);
    int rc = 1;
    EXPECT_EQ(a->as_oid()->compare_text(row.b, &rc), row.by_text);
    EXPECT_EQ(rc, kKalOk);
    EXPECT_EQ(a->as_oid()->compare(b->as_oid()), row.by_text);
    EXPECT_EQ(a->as_oid()->compare_numeric(b->as_oid()), row.by_number);
    EXPECT_EQ(a->as_oid()->compare_numeric_text(row.b), row.by_number);
  }
  int rc = 0;
  EXPECT_EQ(oid("1")->as_oid()->compare_text(nullptr, &rc), -1);
  EXPECT_EQ(rc, kKalErrInvalidArg);
}

TEST(OidOrder, WalkRootTest) {
  Value root = oid("1.3.6.1.2.1.2");
  EXPECT_TRUE(oid("1.3.6.1.2.1.2")->as_oid()->is_within(root->as_oid()));
  EXPECT_TRUE(oid("1.3.6.1.2.1.2.2.1.1.10")->as_oid()->is_within(root->as_oid()));
  EXPECT_FALSE(oid("1.3.6.1.2.1.25")->as_oid()->is_within(root->as_oid()));
  EXPECT_FALSE(oid("1.3.6.1.2.1")->as_oid()->is_within(root->as_oid()));
  EXPECT_FALSE(oid("1.3.6.1.2.1.3")->as_oid()->is_within(root->as_oid()));
  EXPECT_TRUE(oid("1.3")->as_oid()->is_within(oid("")->as_oid()));
}

TEST(OidEdit, RemovePrefix) {
  Value v = oid("1.3.6.1.2.1.25.3.2.1.3.1");
  EXPECT_EQ(v->as_oid()->remove_prefix_text("1.3.6.1.2.1.25.3.2.1.3"), kKalOk);
  EXPECT_STREQ(v->as_oid()->text(), "1");
  EXPECT_EQ(v->size(), 1u);
  Value w = oid("1.3.6.1.2.1.25.3.2.1.4.1");
  EXPECT_EQ(w->as_oid()->remove_prefix_text("1.3.6.1.2.1.25.3.2.1.3"), kKalErrInvalidArg);
  EXPECT_STREQ(w->as_oid()->text(), "1.3.6.1.2.1.25.3.2.1.4.1");
  EXPECT_EQ(w->as_oid()->remove_prefix(w->as_oid()), kKalOk);  // equal: empties
  EXPECT_EQ(w->size(), 0u);
  Value x = oid("1.3.6.1.25");
  EXPECT_EQ(x->as_oid()->remove_prefix_text("1.3.6.1.2"), kKalErrInvalidArg);
}

TEST(OidEdit, AppendForms) {
  Value v = oid("");
  IKasOid* o = v->as_oid();
  EXPECT_EQ(o->append_text("1.3"), kKalOk);
  EXPECT_EQ(o->append_text(nullptr), kKalOk);
  EXPECT_EQ(o->append_text(""), kKalOk);
  EXPECT_EQ(o->append_number(6), kKalOk);
  EXPECT_EQ(o->append_number(4294967295u), kKalOk);
  EXPECT_STREQ(o->text(), "1.3.6.4294967295");
  EXPECT_EQ(o->count(), 4u);
  EXPECT_EQ(o->append_oid(o), kKalOk);  // itself
  EXPECT_STREQ(o->text(), "1.3.6.4294967295.1.3.6.4294967295");
  EXPECT_EQ(o->count(), 8u);
  Value empty = oid("");
  EXPECT_EQ(o->append_oid(empty->as_oid()), kKalOk);
  EXPECT_EQ(o->count(), 8u);
  Value z(kas_create_oid());
  EXPECT_EQ(z->as_oid()->append_number(0), kKalOk);
  EXPECT_STREQ(z->as_oid()->text(), "0");
}

TEST(OidEdit, EraseAndPrefixes) {
  Value v = oid("1.3.6.1.2");
  IKasOid* o = v->as_oid();
  EXPECT_EQ(o->erase(5, 1), kKalErrInvalidArg);
  EXPECT_EQ(o->erase(1, 2), kKalOk);
  EXPECT_STREQ(o->text(), "1.1.2");
  EXPECT_EQ(o->erase(1, kKasAll), kKalOk);
  EXPECT_STREQ(o->text(), "1");
  EXPECT_EQ(o->erase(0, kKasAll), kKalOk);
  EXPECT_EQ(o->count(), 0u);

  Value w = oid("1.3.6.1.2.1");
  int rc = 1;
  Value prefix(w->as_oid()->new_prefix(3, &rc));
  ASSERT_TRUE(prefix);
  EXPECT_STREQ(prefix->as_oid()->text(), "1.3.6");
  EXPECT_STREQ(w->as_oid()->text(), "1.2.1");
  KalOwned<IKalText> t(w->as_oid()->new_prefix_text(2, &rc));
  ASSERT_TRUE(t);
  EXPECT_STREQ(t->text(), "1.2");
  EXPECT_STREQ(w->as_oid()->text(), "1");
  Value whole = oid("5.6.7");
  Value into(kas_create_value(kKasTagOctetString));
  EXPECT_EQ(whole->as_oid()->move_prefix_to_value(10, into.get()), kKalOk);
  EXPECT_EQ(whole->size(), 0u);
  EXPECT_EQ(bytes_of(into.get()), "5.6.7");
  Value part = oid("5.6.7");
  Value num(kas_create_value(kKasTagInteger));
  EXPECT_EQ(part->as_oid()->move_prefix_to_value(1, num.get()), kKalOk);
  EXPECT_EQ(num->get_int(), 5);
  EXPECT_STREQ(part->as_oid()->text(), "6.7");  // the text around the cut is intact
}

TEST(OidValue, AsValueConversions) {
  Value v = oid("1.3.6");
  KalOwned<IKalText> t(v->to_text());
  EXPECT_STREQ(t->text(), "1.3.6");
  EXPECT_EQ(bytes_of(v.get()), "1.3.6");
  EXPECT_EQ(v->set_bytes("2.5", 3), kKalOk);
  EXPECT_EQ(v->size(), 2u);
  EXPECT_EQ(v->set_text(nullptr), kKalOk);
  EXPECT_EQ(v->size(), 0u);
  Value a = oid("1.3");
  Value b = oid("1.3");
  EXPECT_TRUE(a->equals(b.get()));
  EXPECT_EQ(b->as_oid()->append_number(0), kKalOk);
  EXPECT_FALSE(a->equals(b.get()));
  EXPECT_EQ(a->assign(b.get()), kKalOk);
  EXPECT_TRUE(a->equals(b.get()));
  Value c(a->as_oid()->clone());
  EXPECT_EQ(c->as_oid()->append_number(9), kKalOk);
  EXPECT_STREQ(a->as_oid()->text(), "1.3.0");  // clone independence
}

}  // namespace
