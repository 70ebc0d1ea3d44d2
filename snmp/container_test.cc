// Bindings, binding lists, PDUs, targets, packets and the two lists: the
// ownership rules (setters take over, getters lend, detach hands over, clone
// deep-copies) and the per-binding statuses of a failed response.
#include <gtest/gtest.h>

#include "common/network_address.h"
#include "common/owned.h"
#include "snmp/binding.h"
#include "snmp/packet.h"
#include "snmp/pdu.h"
#include "snmp/target.h"

namespace {

IKasSnmpValue* oid(const char* text) { return kas_create_oid_from_text(text); }
IKasSnmpValue* integer(int32_t v) { return kas_create_value_from_int(v, kKasTagInteger); }

KalOwned<IKasVarBindList> list_of(int n) {
  KalOwned<IKasVarBindList> list(kas_create_varbind_list());
  for (int i = 0; i < n; ++i) {
    std::string name = "1.3.6.1." + std::to_string(i + 1);
    EXPECT_EQ(list->append_pair(oid(name.c_str()), integer(i + 1)), kKalOk);
  }
  return list;
}

TEST(VarBind, SetWithNullValueStoresNull) {
  KalOwned<IKasVarBind> b(kas_create_varbind());
  EXPECT_EQ(b->get_name(), nullptr);
  EXPECT_EQ(b->get_value(), nullptr);
  EXPECT_EQ(b->get_status(), 0);
  ASSERT_EQ(b->set(oid("1.3.6"), nullptr), kKalOk);
  ASSERT_NE(b->get_value(), nullptr);
  EXPECT_EQ(b->get_value()->tag(), kKasTagNull);
  EXPECT_STREQ(b->get_oid()->text(), "1.3.6");
  // A name that is not an identifier is refused and released (ASan checks).
  EXPECT_EQ(b->set(integer(1), integer(2)), kKalErrInvalidArg);
  EXPECT_STREQ(b->get_oid()->text(), "1.3.6");
  EXPECT_EQ(b->set_name(integer(1)), kKalErrInvalidArg);
}

TEST(VarBind, CloneIsIndependentAndDetachHandsOver) {
  KalOwned<IKasVarBind> b(kas_create_varbind());
  ASSERT_EQ(b->set(oid("1.3.6"), integer(5)), kKalOk);
  b->set_status(2);
  KalOwned<IKasVarBind> c(b->clone());
  EXPECT_TRUE(c->equals(b.get()));
  c->get_value()->set_int(6);
  EXPECT_EQ(b->get_value()->get_int(), 5);
  EXPECT_FALSE(c->equals(b.get()));
  IKasSnmpValue* name = nullptr;
  b->detach(&name, nullptr);  // the value is released, the name handed out
  KalOwned<IKasSnmpValue> held(name);
  EXPECT_STREQ(held->as_oid()->text(), "1.3.6");
  EXPECT_EQ(b->get_name(), nullptr);
  EXPECT_EQ(b->get_value(), nullptr);
  EXPECT_FALSE(b->equals(nullptr));
}

TEST(VarBindList, AppendPrependRemoveAndPop) {
  KalOwned<IKasVarBindList> list(kas_create_varbind_list());
  KalOwned<IKasSnmpValue> keep(integer(9));
  EXPECT_EQ(list->append_pair(nullptr, integer(1)), kKalErrInvalidArg);
  EXPECT_EQ(list->count(), 0u);
  EXPECT_EQ(list->append(nullptr), kKalErrInvalidArg);
  ASSERT_EQ(list->append_pair(oid("1.2"), integer(2)), kKalOk);
  ASSERT_EQ(list->prepend_pair(oid("1.1"), integer(1)), kKalOk);
  ASSERT_EQ(list->count(), 2u);
  EXPECT_STREQ(list->at(0)->get_oid()->text(), "1.1");
  EXPECT_EQ(list->at(2), nullptr);
  EXPECT_EQ(list->remove_at(2), kKalErrInvalidArg);
  IKasVarBind* out = nullptr;
  ASSERT_EQ(list->remove_at(1, &out), kKalOk);
  KalOwned<IKasVarBind> removed(out);
  EXPECT_STREQ(removed->get_oid()->text(), "1.2");
  IKasSnmpValue* name = nullptr;
  IKasSnmpValue* value = nullptr;
  ASSERT_EQ(list->pop_front_parts(&name, &value), kKalOk);
  KalOwned<IKasSnmpValue> n(name), v(value);
  EXPECT_EQ(v->get_int(), 1);
  EXPECT_EQ(list->pop_front_parts(nullptr, nullptr), kKalErrNoData);
  EXPECT_EQ(list->pop_front(), nullptr);
}

TEST(VarBindList, ManyBindingsGrowTheArray) {
  KalOwned<IKasVarBindList> list = list_of(1000);
  ASSERT_EQ(list->count(), 1000u);
  EXPECT_EQ(list->at(999)->get_value()->get_int(), 1000);
  list->truncate(10);
  EXPECT_EQ(list->count(), 10u);
}

TEST(VarBindList, MarkErrorAndMarkAll) {
  struct Row {
    const char* name;
    int status;
    int index;
    int want[4];
  } rows[] = {
      {"third_fails", 2, 3, {100, 100, 2, 100}},
      {"index_zero_marks_all", 5, 0, {100, 100, 100, 100}},
      {"index_beyond_marks_all", 5, 9, {100, 100, 100, 100}},
      {"first_fails", 6, 1, {6, 100, 100, 100}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    KalOwned<IKasVarBindList> list = list_of(4);
    list->mark_error(row.status, row.index);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(list->at(i)->get_status(), row.want[i]);
    list->mark_all(0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(list->at(i)->get_status(), 0);
  }
}

TEST(VarBindList, CopyRangeSplitFrontAndClone) {
  KalOwned<IKasVarBindList> list = list_of(5);
  int rc = 1;
  KalOwned<IKasVarBindList> tail(list->copy_range(3, 10, &rc));
  ASSERT_TRUE(tail);
  EXPECT_EQ(tail->count(), 2u);
  EXPECT_EQ(tail->at(0)->get_value()->get_int(), 4);
  EXPECT_EQ(list->copy_range(5, 1, &rc), nullptr);
  EXPECT_EQ(rc, kKalErrInvalidArg);
  KalOwned<IKasVarBindList> copy(list->clone());
  EXPECT_TRUE(copy->equals(list.get()));
  copy->at(0)->get_value()->set_int(99);
  EXPECT_FALSE(copy->equals(list.get()));
  KalOwned<IKasVarBindList> front(list->split_front(2, &rc));
  EXPECT_EQ(front->count(), 2u);
  EXPECT_EQ(list->count(), 3u);
  EXPECT_EQ(list->at(0)->get_value()->get_int(), 3);
  KalOwned<IKasVarBindList> rest(list->split_front(10, &rc));
  EXPECT_EQ(rest->count(), 3u);
  EXPECT_EQ(list->count(), 0u);
  KalOwned<IKasVarBindList> empty(list->clone());
  EXPECT_EQ(empty->count(), 0u);
  KalOwned<IKasVarBindList> none(empty->split_front(1, &rc));  // an empty list splits too
  ASSERT_TRUE(none);
  EXPECT_EQ(none->count(), 0u);
}

TEST(Pdu, NewClearEqualsAndTrapFields) {
  KalOwned<IKasPdu> a(kas_create_pdu());
  KalOwned<IKasPdu> b(kas_create_pdu());
  EXPECT_EQ(a->get_type(), kKasPduNone);
  EXPECT_EQ(a->get_bindings(), nullptr);
  EXPECT_EQ(a->get_error_status(), 0);
  EXPECT_FALSE(a->equals(b.get()));  // type -1
  a->set_type(kKasPduGet);
  b->set_type(kKasPduGet);
  EXPECT_TRUE(a->equals(b.get()));
  EXPECT_EQ(a->set_trap_timestamp(kas_create_value(kKasTagCounter32)), kKalErrInvalidArg);
  EXPECT_EQ(a->set_trap_timestamp(nullptr), kKalErrInvalidArg);
  ASSERT_EQ(a->set_trap_timestamp(kas_create_value_from_uint(5, kKasTagTimeTicks)), kKalOk);
  ASSERT_EQ(a->set_trap_timestamp(kas_create_value_from_uint(6, kKasTagTimeTicks)), kKalOk);
  EXPECT_EQ(a->get_trap_timestamp()->get_uint(), 6u);
  EXPECT_EQ(a->set_trap_oid(integer(1)), kKalErrInvalidArg);
  ASSERT_EQ(a->set_trap_oid(oid("1.3.6.1.6.3.1.1.5.1")), kKalOk);
  ASSERT_EQ(a->append_pair(oid("1.3"), integer(1)), kKalOk);
  a->clear();
  EXPECT_EQ(a->get_type(), kKasPduNone);
  EXPECT_EQ(a->get_error_status(), -1);
  EXPECT_EQ(a->get_bindings(), nullptr);
  EXPECT_EQ(a->get_trap_oid(), nullptr);
  EXPECT_EQ(a->get_trap_timestamp(), nullptr);
  ASSERT_EQ(a->append_pair(oid("1.3"), integer(1)), kKalOk);
  EXPECT_EQ(a->binding_count(), 1u);
}

TEST(Pdu, CloneAssignAndDetach) {
  KalOwned<IKasPdu> a(kas_create_pdu());
  a->set_type(kKasPduResponse);
  a->set_request_id(77);
  a->set_error_status(2);
  a->set_error_index(1);
  ASSERT_EQ(a->append_pair(oid("1.3.6.1.2"), integer(1)), kKalOk);
  ASSERT_EQ(a->prepend_pair(oid("1.3.6.1.1"), integer(0)), kKalOk);
  KalOwned<IKasPdu> c(a->clone());
  ASSERT_TRUE(c);
  EXPECT_TRUE(c->equals(a.get()));
  c->set_request_id(78);
  EXPECT_FALSE(c->equals(a.get()));
  c->get_bindings()->at(0)->get_value()->set_int(5);
  EXPECT_EQ(a->get_bindings()->at(0)->get_value()->get_int(), 0);
  KalOwned<IKasVarBindList> list(a->detach_bindings());
  EXPECT_EQ(list->count(), 2u);
  EXPECT_EQ(a->get_bindings(), nullptr);
  EXPECT_EQ(a->pop_front(), nullptr);
  EXPECT_EQ(a->pop_front_parts(nullptr, nullptr), kKalErrNoData);
  KalOwned<IKasVarBind> first(c->pop_front());
  EXPECT_STREQ(first->get_oid()->text(), "1.3.6.1.1");
  EXPECT_EQ(a->assign(nullptr), kKalErrInvalidArg);
  ASSERT_EQ(a->assign(c.get()), kKalOk);
  EXPECT_TRUE(a->equals(c.get()));
}

TEST(Target, CommunityTargetDefaultsCopiesAndKinds) {
  int rc = 1;
  KalOwned<IKasSnmpTarget> t(kas_create_target(kKasTargetCommunity, &rc));
  ASSERT_TRUE(t);
  EXPECT_EQ(t->get_version(), -1);
  EXPECT_EQ(t->get_timeout(), -1);
  EXPECT_EQ(t->get_retries(), 0);
  EXPECT_EQ(t->get_max_message_size(), 0u);
  EXPECT_EQ(t->get_local_port(), 0);
  EXPECT_EQ(t->get_address(), nullptr);
  EXPECT_EQ(kas_create_target(2, &rc), nullptr);
  EXPECT_EQ(rc, kKalErrInvalidArg);
  IKasCommunityTarget* c = t->as_community();
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->get_community(), nullptr);
  ASSERT_EQ(c->set_community("public"), kKalOk);
  ASSERT_EQ(c->set_community_bytes("pri\0vate", 8), kKalOk);
  EXPECT_STREQ(c->get_community(), "pri");
  void* iface = nullptr;
  EXPECT_EQ(t->query(kKasTargetQueryCommunity, &iface), kKalOk);
  EXPECT_EQ(iface, c);
  EXPECT_EQ(t->query(kKasTargetQueryUsm, &iface), kKalErrNoInterface);
  EXPECT_EQ(iface, nullptr);
  t->set_version(kKasVersion2c);
  t->set_timeout(50);
  t->set_retries(2);
  t->set_max_message_size(1472);
  KalOwned<IKalNetworkAddress> address(
      kal_create_network_address("127.0.0.1", IKalNetworkAddress::IPv4, 161));
  ASSERT_EQ(t->set_address(address.get()), kKalOk);
  EXPECT_NE(t->get_address(), address.get());  // a clone
  KalOwned<IKasSnmpTarget> copy(t->clone());
  EXPECT_TRUE(copy->equals(t.get()));
  EXPECT_EQ(copy->get_timeout(), 50);
  EXPECT_EQ(copy->get_max_message_size(), 1472u);
  EXPECT_STREQ(copy->get_address()->text(), "127.0.0.1");
  copy->as_community()->set_community("Pri");
  EXPECT_FALSE(copy->equals(t.get()));  // case-sensitive
  copy->reset();
  EXPECT_EQ(copy->as_community()->get_community(), nullptr);
  KalOwned<IKasUsmTarget> usm(kas_create_usm_target());
  EXPECT_EQ(t->assign(usm.get()), kKalErrInvalidArg);
  EXPECT_STREQ(c->get_community(), "pri");
  EXPECT_FALSE(t->equals(usm.get()));
}

TEST(Target, UsmTargetFields) {
  KalOwned<IKasUsmTarget> t(kas_create_usm_target());
  EXPECT_STREQ(t->get_security_name(), "");
  EXPECT_EQ(t->set_security_name("0123456789012345678901234567890123"), kKalErrInvalidArg);
  ASSERT_EQ(t->set_security_name("01234567890123456789012345678901"), kKalOk);  // 32
  t->set_security_level(2);
  t->set_auth_protocol(2);
  t->set_priv_protocol(2);
  ASSERT_EQ(t->set_auth_passphrase("authpass"), kKalOk);
  ASSERT_EQ(t->set_priv_passphrase(nullptr), kKalOk);
  const uint8_t engine[] = {0x80, 0, 0x1f, 0x88};
  ASSERT_EQ(t->set_security_engine_id(engine, 4), kKalOk);
  KalOwned<IKasSnmpTarget> copy(t->clone());
  EXPECT_TRUE(copy->equals(t.get()));
  size_t n = 0;
  EXPECT_EQ(copy->as_usm()->get_security_engine_id(&n)[2], 0x1f);
  EXPECT_EQ(n, 4u);
  ASSERT_EQ(t->set_security_engine_id(nullptr, 4), kKalOk);
  EXPECT_EQ(t->get_security_engine_id(&n), nullptr);
  EXPECT_FALSE(copy->equals(t.get()));
  EXPECT_EQ(t->get_kind(), kKasTargetUsm);
}

TEST(Packet, OwnsTargetAndPdu) {
  KalOwned<IKasSnmpPacket> p(kas_create_packet());
  EXPECT_EQ(p->get_pdu(), nullptr);
  KalOwned<IKasSnmpPacket> empty(kas_create_packet());
  EXPECT_TRUE(p->equals(empty.get()));
  IKasPdu* pdu = kas_create_pdu();
  pdu->set_type(kKasPduGet);
  p->set_pdu(pdu);
  p->set_target(kas_create_target(kKasTargetCommunity));
  KalOwned<IKasSnmpPacket> c(p->clone());
  EXPECT_TRUE(c->equals(p.get()));
  EXPECT_NE(c->get_pdu(), p->get_pdu());
  KalOwned<IKasPdu> taken(p->detach_pdu());
  EXPECT_EQ(taken.get(), pdu);
  EXPECT_EQ(p->get_pdu(), nullptr);
  p->set_pdu(kas_create_pdu());  // replaces nothing; ASan checks the rest
  p->set_pdu(kas_create_pdu());  // releases the previous one
}

TEST(Lists, PacketListCursorTakeCurrent) {
  KalOwned<IKasSnmpPacketList> list(kas_create_packet_list());
  EXPECT_EQ(list->push_back(nullptr), kKalErrInvalidArg);
  IKasSnmpPacket* packets[3];
  for (auto& p : packets) {
    p = kas_create_packet();
    ASSERT_EQ(list->push_back(p), kKalOk);
  }
  EXPECT_EQ(list->count(), 3u);
  KalOwned<IKasListCursor> cursor(list->new_cursor());
  EXPECT_EQ(list->current(cursor.get()), packets[0]);
  list->next(cursor.get());
  IKasSnmpPacket* taken = list->take_current(cursor.get());
  EXPECT_EQ(taken, packets[1]);
  EXPECT_EQ(list->count(), 2u);
  EXPECT_EQ(list->current(cursor.get()), packets[2]);
  list->next(cursor.get());
  EXPECT_EQ(list->current(cursor.get()), nullptr);
  list->next(cursor.get());  // no move at the end
  EXPECT_EQ(list->take_current(cursor.get()), nullptr);
  list->release_element(taken);  // was not released by the list
  list->rewind(cursor.get());
  EXPECT_EQ(list->current(cursor.get()), packets[0]);
  list->pop_front();
  EXPECT_EQ(list->front(), packets[2]);
  list->rewind(cursor.get());
  list->clear();
  EXPECT_EQ(list->count(), 0u);
  EXPECT_EQ(list->interface(), list.get());
}

TEST(Lists, PduListOrderFrontAndBack) {
  KalOwned<IKasPduList> list(kas_create_pdu_list());
  for (int i = 0; i < 4; ++i) {
    IKasPdu* pdu = kas_create_pdu();
    pdu->set_request_id(i);
    ASSERT_EQ(i % 2 ? list->push_back(pdu) : list->push_front(pdu), kKalOk);
  }
  // push_front 0, back 1, front 2, back 3: 2 0 1 3
  KalOwned<IKasListCursor> cursor(list->new_cursor());
  int want[] = {2, 0, 1, 3};
  for (int w : want) {
    ASSERT_NE(list->current(cursor.get()), nullptr);
    EXPECT_EQ(list->current(cursor.get())->get_request_id(), w);
    list->next(cursor.get());
  }
  list->pop_back();
  EXPECT_EQ(list->back()->get_request_id(), 1);
  KalOwned<IKasPdu> first(list->take_front());
  EXPECT_EQ(first->get_request_id(), 2);
  EXPECT_EQ(list->count(), 2u);
}

}  // namespace
