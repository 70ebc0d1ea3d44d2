// Both address-service implementations through one table of texts, the
// process-wide entry points, and the transport-availability query over a
// replaced adapter list.
#include "common/address_service.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "common/adapter_list.h"
#include "common/owned.h"
#include "common/status.h"
#include "common/transport_available.h"
#include "transport/socket_api.h"

namespace {

using P = IKalNetworkAddress::EProtocol;
using Kind = EKalAddressServiceKind;

// What one implementation answers for one text.
struct Answer {
  int rc;            // of get_protocol
  P protocol;        // when rc == 0
  const char* numeric;  // to_numeric, when rc == 0
};

struct Row {
  const char* name;
  const char* text;
  Answer resolver;
  Answer legacy;
};

constexpr Answer kLegacyNo{kKalErrNoData, P::Unknown, nullptr};
constexpr Answer kResolverNo{kKalErrGeneral, P::Unknown, nullptr};

const Row kRows[] = {
    {"ipv4", "192.168.1.20", {0, P::IPv4, "192.168.1.20"}, {0, P::IPv4, "192.168.1.20"}},
    {"ipv4_any", "0.0.0.0", {0, P::IPv4, "0.0.0.0"}, {0, P::IPv4, "0.0.0.0"}},
    {"ipv4_broadcast", "255.255.255.255", {0, P::IPv4, "255.255.255.255"},
     {0, P::IPv4, "255.255.255.255"}},
    // Leading zeros are decimal in both: the datagram socket sends there too.
    {"ipv4_leading_zeros", "192.168.001.010", {0, P::IPv4, "192.168.1.10"},
     {0, P::IPv4, "192.168.1.10"}},
    {"ipv4_trailing_letter", "192.168.1.1x", kResolverNo, kLegacyNo},
    {"ipv4_field_256", "256.1.1.1", kResolverNo, kLegacyNo},
    {"ipv4_five_fields", "1.2.3.4.5", kResolverNo, kLegacyNo},
    {"ipv4_leading_space", " 1.2.3.4", kResolverNo, kLegacyNo},
    {"ipv4_trailing_space", "1.2.3.4 ", kResolverNo, kLegacyNo},
    // The resolver knows the short forms of inet_aton; the legacy reader not.
    {"ipv4_short_form", "127.1", {0, P::IPv4, "127.0.0.1"}, kLegacyNo},
    {"empty", "", kResolverNo, kLegacyNo},
    {"host_name", "printer.example.com", kResolverNo, kLegacyNo},
    {"localhost", "localhost", kResolverNo, kLegacyNo},
    {"ipv6_link_local", "fe80::1", {0, P::IPv6, "fe80::1"}, kLegacyNo},
    {"ipv6_upper", "FE80::1", {0, P::IPv6, "fe80::1"}, kLegacyNo},
    {"ipv6_full_form", "2001:0db8:0000:0000:0000:0000:0000:0001", {0, P::IPv6, "2001:db8::1"},
     kLegacyNo},
    {"ipv6_loopback", "::1", {0, P::IPv6, "::1"}, kLegacyNo},
    {"ipv6_unspecified", "::", {0, P::IPv6, "::"}, kLegacyNo},
    {"ipv6_mapped", "::ffff:192.168.1.1", {0, P::IPv6, "::ffff:192.168.1.1"}, kLegacyNo},
    {"ipv6_mapped_hex", "::ffff:c0a8:101", {0, P::IPv6, "::ffff:192.168.1.1"}, kLegacyNo},
    {"ipv6_zone_index", "fe80::1%1", {0, P::IPv6, "fe80::1%lo"}, kLegacyNo},
    {"ipv6_zone_name", "fe80::1%lo", {0, P::IPv6, "fe80::1%lo"}, kLegacyNo},
    {"ipv6_zone_unknown", "fe80::1%nosuchif0", kResolverNo, kLegacyNo},
    {"ipv6_two_compressions", "1::2::3", kResolverNo, kLegacyNo},
    {"ipv6_group_too_long", "12345::1", kResolverNo, kLegacyNo},
    {"ipx_upper", "0000000A:0000C0A80114", {0, P::IPX, "0000000A:0000C0A80114"},
     {0, P::IPX, "0000000A:0000C0A80114"}},
    {"ipx_lower", "0000000a:0000c0a80114", {0, P::IPX, "0000000a:0000c0a80114"},
     {0, P::IPX, "0000000a:0000c0a80114"}},
    {"ipx_short", "0000000a:0000c0a8011", kResolverNo, kLegacyNo},
    {"ipx_long", "0000000a:0000c0a801145", kResolverNo, kLegacyNo},
    {"ipx_dash", "0000000a-0000c0a80114", kResolverNo, kLegacyNo},
    {"ipx_not_hex", "0000000g:0000c0a80114", kResolverNo, kLegacyNo},
};

struct Case {
  Kind kind;
  Row row;
};

std::string case_name(const testing::TestParamInfo<Case>& info) {
  return std::string(info.param.kind == Kind::kResolver ? "resolver_" : "legacy_") +
         info.param.row.name;
}

std::vector<Case> all_cases() {
  std::vector<Case> cases;
  for (Kind k : {Kind::kResolver, Kind::kLegacy}) {
    for (const Row& r : kRows) cases.push_back({k, r});
  }
  return cases;
}

class ServiceTable : public testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    service_.reset(kal_create_address_service(GetParam().kind));
    ASSERT_TRUE(service_);
  }
  const Answer& expected() const {
    return GetParam().kind == Kind::kResolver ? GetParam().row.resolver : GetParam().row.legacy;
  }
  KalOwned<IKalAddressService> service_;
};

TEST_P(ServiceTable, ClassifiesNormalisesAndCompares) {
  const char* text = GetParam().row.text;
  const Answer& want = expected();
  P protocol = P::IPv4;
  ASSERT_EQ(service_->get_protocol(text, &protocol), want.rc);
  EXPECT_EQ(protocol, want.protocol);

  bool is = true;
  EXPECT_EQ(service_->is_address(text, &is), want.rc);
  EXPECT_EQ(is, want.rc == 0);

  IKalText* raw = nullptr;
  const int rc = service_->to_numeric(text, &raw);
  KalOwned<IKalText> numeric(raw);
  ASSERT_EQ(rc, want.rc);
  if (want.rc != 0) {
    EXPECT_EQ(raw, nullptr);
    bool equal = true;
    EXPECT_EQ(service_->compare(text, text, &equal), want.rc);
    EXPECT_FALSE(equal);
    return;
  }
  EXPECT_STREQ(numeric->text(), want.numeric);
  // The numeric form is its own numeric form and names the same protocol.
  IKalText* again_raw = nullptr;
  ASSERT_EQ(service_->to_numeric(numeric->text(), &again_raw), 0);
  KalOwned<IKalText> again(again_raw);
  EXPECT_STREQ(again->text(), want.numeric);
  P again_protocol = P::Unknown;
  ASSERT_EQ(service_->get_protocol(numeric->text(), &again_protocol), 0);
  EXPECT_EQ(again_protocol, want.protocol);

  bool equal = false;
  ASSERT_EQ(service_->compare(text, want.numeric, &equal), 0);
  EXPECT_TRUE(equal);
}

INSTANTIATE_TEST_SUITE_P(Rows, ServiceTable, testing::ValuesIn(all_cases()), case_name);

TEST(AddressService, NullArgumentsAnswerInvalidArg) {
  for (Kind k : {Kind::kResolver, Kind::kLegacy}) {
    KalOwned<IKalAddressService> s(kal_create_address_service(k));
    P protocol;
    bool b;
    IKalText* t;
    EXPECT_EQ(s->get_protocol(nullptr, &protocol), kKalErrInvalidArg);
    EXPECT_EQ(s->get_protocol("1.2.3.4", nullptr), kKalErrInvalidArg);
    EXPECT_EQ(s->is_address("1.2.3.4", nullptr), kKalErrInvalidArg);
    EXPECT_EQ(s->to_numeric(nullptr, &t), kKalErrInvalidArg);
    EXPECT_EQ(s->to_numeric("1.2.3.4", nullptr), kKalErrInvalidArg);
    EXPECT_EQ(s->compare("1.2.3.4", "1.2.3.4", nullptr), kKalErrInvalidArg);
    EXPECT_EQ(s->compare(nullptr, "1.2.3.4", &b), kKalErrInvalidArg);
    EXPECT_EQ(s->transport_available(1, nullptr), kKalErrInvalidArg);
  }
  EXPECT_EQ(kal_create_address_service(static_cast<Kind>(7)), nullptr);
}

TEST(AddressService, CompareReportsTheFirstFailure) {
  KalOwned<IKalAddressService> s(kal_create_address_service(Kind::kLegacy));
  bool equal = true;
  EXPECT_EQ(s->compare("1.2.3.4", "fe80::1", &equal), kKalErrNoData);
  EXPECT_FALSE(equal);
  ASSERT_EQ(s->compare("010.0.0.1", "10.0.0.1", &equal), 0);
  EXPECT_TRUE(equal);
  ASSERT_EQ(s->compare("10.0.0.1", "10.0.0.2", &equal), 0);
  EXPECT_FALSE(equal);
}

// The resolver brackets its socket-library work: start-ups stay balanced.
TEST(AddressService, ResolverKeepsStartupsBalanced) {
  KalOwned<IKalAddressService> s(kal_create_address_service(Kind::kResolver));
  const long before = NKalSocketAPI::outstanding_startups();
  IKalText* t = nullptr;
  ASSERT_EQ(s->to_numeric("fe80::1", &t), 0);
  t->release();
  P p;
  EXPECT_EQ(s->get_protocol("no.such.host", &p), kKalErrGeneral);
  EXPECT_EQ(NKalSocketAPI::outstanding_startups(), before);
}

// A host name must never reach a name service: getaddrinfo is only ever
// asked with AI_NUMERICHOST.
TEST(AddressService, ResolverAsksNumericOnly) {
  NKalSocketAPI::ScopedTable saved;
  static int calls;
  static int numeric_flag_missing;
  calls = numeric_flag_missing = 0;
  NKalSocketAPI::table().getaddrinfo = [](const char* node, const char* service,
                                          const addrinfo* hints, addrinfo** result) {
    ++calls;
    // Passed on with the service's own hints: they resolve "localhost" only
    // if AI_NUMERICHOST is missing.
    const int rc = NKalSocketAPI::platform_table().getaddrinfo(node, service, hints, result);
    if (rc == 0 && std::strcmp(node, "localhost") == 0) ++numeric_flag_missing;
    return rc;
  };
  KalOwned<IKalAddressService> s(kal_create_address_service(Kind::kResolver));
  P p = P::IPv4;
  EXPECT_EQ(s->get_protocol("localhost", &p), kKalErrGeneral);
  EXPECT_EQ(p, P::Unknown);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(numeric_flag_missing, 0);
}

TEST(AddressService, ResolverFailureAnswersGeneral) {
  NKalSocketAPI::ScopedTable saved;
  NKalSocketAPI::table().getnameinfo = [](const sockaddr*, uint32_t, char*, uint32_t, char*,
                                          uint32_t, int) { return -1; };
  KalOwned<IKalAddressService> s(kal_create_address_service(Kind::kResolver));
  IKalText* t = nullptr;
  EXPECT_EQ(s->to_numeric("fe80::1", &t), kKalErrGeneral);
  EXPECT_EQ(t, nullptr);
}

TEST(AddressServiceGlobal, ResolverChosenWhenTheTableHasIt) {
  kal_address_service_reset_for_testing();
  P p = P::Unknown;
  EXPECT_EQ(kal_address_get_protocol("fe80::1", &p), 0);
  EXPECT_EQ(p, P::IPv6);
  kal_address_service_reset_for_testing();
}

TEST(AddressServiceGlobal, LegacyChosenWithoutResolverFunctions) {
  kal_address_service_reset_for_testing();
  {
    NKalSocketAPI::ScopedTable saved;
    NKalSocketAPI::table().getnameinfo = nullptr;
    P p = P::Unknown;
    EXPECT_EQ(kal_address_get_protocol("fe80::1", &p), kKalErrNoData);
  }
  // Chosen once: the table is whole again, the legacy service stays.
  P p = P::Unknown;
  EXPECT_EQ(kal_address_get_protocol("fe80::1", &p), kKalErrNoData);
  EXPECT_EQ(kal_address_get_protocol("192.168.001.010", &p), 0);
  IKalText* t = nullptr;
  ASSERT_EQ(kal_address_to_numeric("192.168.001.010", &t), 0);
  EXPECT_STREQ(t->text(), "192.168.1.10");
  t->release();
  kal_address_service_reset_for_testing();
}

TEST(AddressServiceGlobal, TestsCanForceEitherService) {
  ASSERT_EQ(kal_address_service_force_for_testing(Kind::kLegacy), 0);
  P p = P::Unknown;
  EXPECT_EQ(kal_address_get_protocol("::1", &p), kKalErrNoData);
  ASSERT_EQ(kal_address_service_force_for_testing(Kind::kResolver), 0);
  EXPECT_EQ(kal_address_get_protocol("::1", &p), 0);
  EXPECT_EQ(p, P::IPv6);
  kal_address_service_reset_for_testing();
}

TEST(AddressServiceGlobal, CreationFailureIsRetried) {
  kal_address_service_reset_for_testing();
  NKalSocketAPI::set_api();  // the table and its log lines allocate on first use
  kal_alloc_hook::g_fail_countdown = 0;
  bool is = true;
  EXPECT_EQ(kal_address_is_address("1.2.3.4", &is), kKalErrNoMemory);
  kal_alloc_hook::g_fail_countdown = -1;
  EXPECT_EQ(kal_address_is_address("1.2.3.4", &is), 0);
  EXPECT_TRUE(is);
  kal_address_service_reset_for_testing();
}

// Threads that reach the service first at the same time share one service
// (run under ThreadSanitizer with ZEL_TSAN).
TEST(AddressServiceGlobal, FirstUseFromManyThreads) {
  kal_address_service_reset_for_testing();
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&failures] {
      bool equal = false;
      if (kal_address_compare("fe80::0001", "FE80::1", &equal) != kKalOk || !equal) ++failures;
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
  kal_address_service_reset_for_testing();
}

// ---- transport availability over a replaced adapter list ----

KalAdapterAddress v4(const char* name, bool loopback, uint8_t a, uint8_t b, uint8_t c,
                     uint8_t d) {
  KalAdapterAddress e{};
  std::strncpy(e.name, name, sizeof e.name - 1);
  e.protocol = P::IPv4;
  e.loopback = loopback;
  e.up = true;
  e.address[0] = a, e.address[1] = b, e.address[2] = c, e.address[3] = d;
  return e;
}

KalAdapterAddress v6(const char* name, bool loopback, bool tunnel, uint8_t last) {
  KalAdapterAddress e{};
  std::strncpy(e.name, name, sizeof e.name - 1);
  e.protocol = P::IPv6;
  e.loopback = loopback;
  e.tunnel = tunnel;
  e.up = true;
  e.address[0] = last ? 0xfe : 0;
  e.address[1] = last ? 0x80 : 0;
  e.address[15] = last;
  return e;
}

std::vector<KalAdapterAddress> g_adapters;
bool g_list_fails = false;

int fake_list(KalAdapterAddress* out, size_t capacity, size_t* pCount) {
  if (g_list_fails) return kKalErrPlatform;
  for (size_t i = 0; i < capacity && i < g_adapters.size(); ++i) out[i] = g_adapters[i];
  *pCount = g_adapters.size();
  return kKalOk;
}

struct AvailRow {
  const char* name;
  std::vector<KalAdapterAddress> adapters;
  bool ipv4;
  bool ipv6;
};

const AvailRow kAvailRows[] = {
    {"no_adapters", {}, false, false},
    {"loopback_only", {v4("lo", true, 127, 0, 0, 1), v6("lo", true, false, 1)}, false, false},
    {"ethernet", {v4("lo", true, 127, 0, 0, 1), v4("eth0", false, 192, 0, 2, 2),
                  v6("eth0", false, false, 1)}, true, true},
    {"zero_address_first",
     {v4("eth0", false, 0, 0, 0, 0), v4("eth0", false, 10, 0, 0, 1)}, false, false},
    {"tunnel_ipv6_only", {v6("sit1", false, true, 1)}, false, false},
    {"tunnel_counts_for_ipv4", {v4("gre1", false, 10, 9, 9, 9)}, true, false},
    {"ipv6_all_zero", {v6("eth0", false, false, 0)}, false, false},
};

class Availability : public testing::TestWithParam<AvailRow> {
 protected:
  void SetUp() override {
    previous_ = kal_set_adapter_list_for_testing(&fake_list);
    g_adapters = GetParam().adapters;
    g_list_fails = false;
  }
  void TearDown() override { kal_set_adapter_list_for_testing(previous_); }
  KalAdapterListFn previous_ = nullptr;
};

TEST_P(Availability, FromTheAdapterList) {
  for (Kind k : {Kind::kResolver, Kind::kLegacy}) {
    KalOwned<IKalAddressService> s(kal_create_address_service(k));
    bool available = !GetParam().ipv4;
    ASSERT_EQ(s->transport_available(P::IPv4, &available), 0);
    EXPECT_EQ(available, GetParam().ipv4);
    available = !GetParam().ipv6;
    ASSERT_EQ(s->transport_available(P::IPv6, &available), 0);
    EXPECT_EQ(available, GetParam().ipv6);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, Availability, testing::ValuesIn(kAvailRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AvailabilityFallback, FailedListFallsBackToASocketForIpv4Only) {
  KalAdapterListFn previous = kal_set_adapter_list_for_testing(&fake_list);
  g_list_fails = true;
  KalOwned<IKalAddressService> s(kal_create_address_service(Kind::kResolver));
  bool available = false;
  ASSERT_EQ(s->transport_available(P::IPv4, &available), 0);
  EXPECT_TRUE(available) << "an IPv4 datagram socket opens on loopback";
  available = true;
  ASSERT_EQ(s->transport_available(P::IPv6, &available), 0);
  EXPECT_FALSE(available);
  g_list_fails = false;
  kal_set_adapter_list_for_testing(previous);
}

TEST(AvailabilityFallback, IpxAndUnknownProtocolsAreUnavailable) {
  KalOwned<IKalAddressService> s(kal_create_address_service(Kind::kResolver));
  for (int protocol : {0, 2, 3, 5}) {
    bool available = true;
    ASSERT_EQ(s->transport_available(protocol, &available), 0);
    EXPECT_FALSE(available) << protocol;
  }
}

TEST(AvailabilityFallback, OutOfMemoryForTheListAnswersNoMemory) {
  KalAdapterListFn previous = kal_set_adapter_list_for_testing(&fake_list);
  g_adapters = {v4("eth0", false, 10, 0, 0, 1)};
  g_list_fails = false;
  KalOwned<IKalAddressService> s(kal_create_address_service(Kind::kResolver));
  kal_alloc_hook::g_fail_countdown = 0;
  bool available = true;
  EXPECT_EQ(s->transport_available(P::IPv4, &available), kKalErrNoMemory);
  kal_alloc_hook::g_fail_countdown = -1;
  kal_set_adapter_list_for_testing(previous);
}

TEST(TransportAvailable, ExportedFormFollowsTheService) {
  KalAdapterListFn previous = kal_set_adapter_list_for_testing(&fake_list);
  g_adapters = {v4("eth0", false, 10, 0, 0, 1)};
  g_list_fails = false;
  int status = -99;
  EXPECT_TRUE(kal_transport_available(P::IPv4, &status));
  EXPECT_EQ(status, 0);
  EXPECT_FALSE(kal_transport_available(P::IPv6, &status));
  EXPECT_EQ(status, 0);
  EXPECT_FALSE(kal_transport_available(P::IPX, nullptr));
  kal_set_adapter_list_for_testing(previous);
}

// The real list on this machine: whatever it holds, the call answers.
TEST(AdapterList, PlatformListSizesItself) {
  size_t count = 0;
  ASSERT_EQ(kal_list_adapters_platform(nullptr, 0, &count), 0);
  ASSERT_GT(count, 0u) << "loopback has at least 127.0.0.1";
  std::vector<KalAdapterAddress> list(count);
  size_t again = 0;
  ASSERT_EQ(kal_list_adapters_platform(list.data(), list.size(), &again), 0);
  bool saw_loopback = false;
  for (size_t i = 0; i < std::min(count, again); ++i) saw_loopback |= list[i].loopback;
  EXPECT_TRUE(saw_loopback);
  EXPECT_EQ(kal_list_adapters_platform(nullptr, 1, &count), kKalErrInvalidArg);
}

}  // namespace
