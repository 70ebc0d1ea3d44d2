// The network address value: case rule, classification on set_address,
// one-sided port matching in equals, clone, normalize; every allocation
// failing once.
#include "common/network_address.h"

#include <gtest/gtest.h>

#include "common/address_service.h"
#include "common/owned.h"
#include "common/status.h"

namespace {

using P = IKalNetworkAddress::EProtocol;
using Address = KalOwned<IKalNetworkAddress>;

Address make(const char* text, P protocol, uint16_t port) {
  return Address(kal_create_network_address(text, protocol, port));
}

TEST(NetworkAddress, NewOrEmptyAddressReadsAsNull) {
  Address a(kal_create_network_address());
  ASSERT_TRUE(a);
  EXPECT_EQ(a->text(), nullptr);
  EXPECT_EQ(a->get_text_object(), nullptr);
  EXPECT_EQ(a->get_protocol(), P::Unknown);
  EXPECT_EQ(a->get_port(), 0);
  EXPECT_FALSE(a->is_valid());
  IKalText* t = reinterpret_cast<IKalText*>(1);
  EXPECT_EQ(a->get(&t, nullptr, nullptr), kKalErrInvalidArg);
  EXPECT_EQ(t, nullptr);
  // An empty text is stored but reads as null.
  Address empty = make("", P::IPv4, 1);
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->text(), nullptr);
  ASSERT_NE(empty->get_text_object(), nullptr);
  EXPECT_EQ(empty->get_text_object()->length(), 0u);
}

TEST(NetworkAddress, CaseRuleLowersOnlyAToF) {
  Address a(kal_create_network_address());
  ASSERT_EQ(a->set_address("FE80::1"), 0);
  EXPECT_STREQ(a->text(), "fe80::1");
  EXPECT_EQ(a->get_protocol(), P::IPv6);
  ASSERT_EQ(a->set("ABCDEFGXYZ", P::Unknown, 0), 0);
  EXPECT_STREQ(a->text(), "abcdefGXYZ");
  // An IPX text reads back in lower case, also after normalize.
  Address ipx(kal_create_network_address());
  ASSERT_EQ(ipx->set_address("0000000A:0000C0A80114"), 0);
  EXPECT_STREQ(ipx->text(), "0000000a:0000c0a80114");
  EXPECT_EQ(ipx->get_protocol(), P::IPX);
  ASSERT_EQ(ipx->normalize(), 0);
  EXPECT_STREQ(ipx->text(), "0000000a:0000c0a80114");
}

TEST(NetworkAddress, SetAddressRefusesAnotherProtocolAndChangesNothing) {
  Address a = make("10.0.0.1", P::IPv4, 161);
  EXPECT_EQ(a->set_address("fe80::1"), kKalErrInvalidArg);
  EXPECT_STREQ(a->text(), "10.0.0.1");
  EXPECT_EQ(a->get_protocol(), P::IPv4);
  EXPECT_EQ(a->get_port(), 161);
  EXPECT_EQ(a->set_address(nullptr), kKalErrInvalidArg);
  EXPECT_EQ(a->set_address("printer.example.com"), kKalErrGeneral);
  EXPECT_STREQ(a->text(), "10.0.0.1");
  ASSERT_EQ(a->set_address("10.0.0.2"), 0);
  EXPECT_EQ(a->get_port(), 161);
}

TEST(NetworkAddress, SetWithZerosKeepsProtocolAndPort) {
  Address a = make("fe80::1", P::IPv6, 161);
  ASSERT_EQ(a->set("fe80::2", P::Unknown, 0), 0);
  EXPECT_EQ(a->get_protocol(), P::IPv6);
  EXPECT_EQ(a->get_port(), 161);
  ASSERT_EQ(a->set("10.0.0.1", P::IPv4, 162), 0);
  EXPECT_EQ(a->get_protocol(), P::IPv4);
  EXPECT_EQ(a->get_port(), 162);
  EXPECT_EQ(a->set(nullptr, P::IPv4, 1), kKalErrInvalidArg);
}

TEST(NetworkAddress, GetHandsOutACopy) {
  Address a = make("10.0.0.1", P::IPv4, 161);
  IKalText* raw = nullptr;
  P protocol = P::Unknown;
  uint16_t port = 0;
  ASSERT_EQ(a->get(&raw, &protocol, &port), 0);
  KalOwned<IKalText> copy(raw);
  EXPECT_STREQ(copy->text(), "10.0.0.1");
  EXPECT_NE(copy.get(), a->get_text_object());
  EXPECT_EQ(protocol, P::IPv4);
  EXPECT_EQ(port, 161);
  EXPECT_EQ(a->get(nullptr, nullptr, nullptr), kKalErrInvalidArg);
}

TEST(NetworkAddress, EqualsComparesNumericFormsProtocolsAndOneSidedPorts) {
  Address a = make("10.0.0.1", P::IPv4, 161);
  Address b = make("10.0.0.1", P::IPv4, 0);
  EXPECT_TRUE(a->equals(b.get()));
  EXPECT_FALSE(b->equals(a.get()));
  Address c = make("10.0.0.1", P::IPv4, 162);
  EXPECT_FALSE(a->equals(c.get()));
  EXPECT_FALSE(a->equals(nullptr));
  Address v6 = make("2001:db8::1", P::IPv6, 161);
  Address long_form = make("2001:0DB8:0:0:0:0:0:1", P::IPv6, 161);
  EXPECT_TRUE(v6->equals(long_form.get()));
  Address wrong_protocol = make("2001:db8::1", P::IPv4, 161);
  EXPECT_FALSE(v6->equals(wrong_protocol.get()));
  Address empty(kal_create_network_address());
  EXPECT_FALSE(v6->equals(empty.get()));
  EXPECT_FALSE(empty->equals(v6.get()));
  EXPECT_FALSE(empty->equals(empty.get())) << "no text: the comparison fails";
}

TEST(NetworkAddress, CloneCopiesEverythingAndNeedsText) {
  Address empty(kal_create_network_address());
  IKalNetworkAddress* raw = reinterpret_cast<IKalNetworkAddress*>(1);
  EXPECT_EQ(empty->clone(&raw), kKalErrInvalidArg);
  EXPECT_EQ(raw, nullptr);
  EXPECT_EQ(empty->clone(nullptr), kKalErrInvalidArg);

  Address a = make("fe80::1", P::IPv6, 161);
  ASSERT_EQ(a->clone(&raw), 0);
  Address copy(raw);
  EXPECT_NE(copy.get(), a.get());
  EXPECT_STREQ(copy->text(), "fe80::1");
  EXPECT_EQ(copy->get_protocol(), P::IPv6);
  EXPECT_EQ(copy->get_port(), 161);
  EXPECT_TRUE(copy->equals(a.get()));
  a.reset();  // the copy shares nothing
  EXPECT_STREQ(copy->text(), "fe80::1");
}

TEST(NetworkAddress, NormalizeKeepsProtocolAndPort) {
  Address a = make("2001:0db8:0000:0000:0000:0000:0000:0001", P::IPv6, 161);
  ASSERT_EQ(a->normalize(), 0);
  EXPECT_STREQ(a->text(), "2001:db8::1");
  EXPECT_EQ(a->get_port(), 161);
  Address bad = make("not an address", P::IPv4, 1);
  EXPECT_EQ(bad->normalize(), kKalErrGeneral);
  EXPECT_STREQ(bad->text(), "not an address");
  EXPECT_FALSE(bad->is_valid());
  EXPECT_TRUE(a->is_valid());
}

// Runs `scenario` once per allocation it makes, failing that allocation;
// each run must answer kKalErrNoMemory or succeed, and leak nothing (ASan).
template <class F>
void fail_each_allocation(F scenario) {
  kal_alloc_hook::g_calls = 0;
  ASSERT_EQ(scenario(), 0);
  const long total = kal_alloc_hook::g_calls;
  ASSERT_GT(total, 0);
  for (long n = 0; n < total; ++n) {
    kal_alloc_hook::g_fail_countdown = n;
    const int rc = scenario();
    kal_alloc_hook::g_fail_countdown = -1;
    EXPECT_EQ(rc, kKalErrNoMemory) << "allocation " << n;
  }
}

TEST(NetworkAddress, EveryAllocationFailsOnce) {
  // Made first, so the scenarios do not count its one allocation.
  bool ignored;
  ASSERT_EQ(kal_address_is_address("1.2.3.4", &ignored), 0);
  fail_each_allocation([] {
    int rc = 0;
    Address a(kal_create_network_address("FE80::1", P::IPv6, 161, &rc));
    if (rc) return rc;
    if (!a) return -99;
    IKalNetworkAddress* raw = nullptr;
    if ((rc = a->clone(&raw))) return rc;
    Address copy(raw);
    if ((rc = copy->normalize())) return rc;
    IKalText* t = nullptr;
    if ((rc = copy->get(&t, nullptr, nullptr))) return rc;
    t->release();
    return copy->set_address("fe80::2");
  });
}

}  // namespace
