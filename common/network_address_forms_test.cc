// Text and index forms of the address value kinds, and the strict readers.
#include "common/network_address_forms.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/status.h"

namespace {

using K = EKalAddressKind;

struct ParseRow {
  const char* name;
  K kind;
  const char* text;
  int rc;
  std::vector<uint8_t> octets;  // when rc == 0
  const char* printed;          // the canonical print, when rc == 0
};

const ParseRow kParseRows[] = {
    {"ipv4_plain", K::kIpv4, "192.168.1.20", 0, {192, 168, 1, 20}, "192.168.1.20"},
    {"ipv4_zero", K::kIpv4, "0.0.0.0", 0, {0, 0, 0, 0}, "0.0.0.0"},
    {"ipv4_max", K::kIpv4, "255.255.255.255", 0, {255, 255, 255, 255}, "255.255.255.255"},
    {"ipv4_leading_zeros_decimal", K::kIpv4, "010.001.002.003", 0, {10, 1, 2, 3}, "10.1.2.3"},
    {"ipv4_256", K::kIpv4, "256.1.1.1", -2, {}, nullptr},
    {"ipv4_three_fields", K::kIpv4, "1.2.3", -2, {}, nullptr},
    {"ipv4_five_fields", K::kIpv4, "1.2.3.4.5", -2, {}, nullptr},
    {"ipv4_trailing_letter", K::kIpv4, "192.168.1.1x", -2, {}, nullptr},
    {"ipv4_sign", K::kIpv4, "1.2.3.-0", -2, {}, nullptr},
    {"ipv4_space", K::kIpv4, " 1.2.3.4", -2, {}, nullptr},
    {"ipv4_empty_field", K::kIpv4, "1..3.4", -2, {}, nullptr},
    {"ipv4_huge_field", K::kIpv4, "1.2.3.99999999999999999999", -2, {}, nullptr},
    {"ipv4_empty", K::kIpv4, "", -2, {}, nullptr},
    {"ipv6_full", K::kIpv6, "2001:0db8:0000:0000:0000:0000:0000:0001", 0,
     {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, "2001:db8:0:0:0:0:0:1"},
    {"ipv6_upper", K::kIpv6, "FE80:0:0:0:0:0:0:ABCD", 0,
     {0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xab, 0xcd}, "fe80:0:0:0:0:0:0:abcd"},
    {"ipv6_compressed_rejected", K::kIpv6, "fe80::1", -2, {}, nullptr},
    {"ipv6_seven_groups", K::kIpv6, "1:2:3:4:5:6:7", -2, {}, nullptr},
    {"ipv6_nine_groups", K::kIpv6, "1:2:3:4:5:6:7:8:9", -2, {}, nullptr},
    {"ipv6_group_too_big", K::kIpv6, "10000:2:3:4:5:6:7:8", -2, {}, nullptr},
    {"ipv6_not_hex", K::kIpv6, "g:2:3:4:5:6:7:8", -2, {}, nullptr},
    {"udp_plain", K::kUdp, "10.0.0.1/161", 0, {10, 0, 0, 1, 0, 161}, "10.0.0.1/161"},
    {"udp_port_max", K::kUdp, "1.2.3.4/65535", 0, {1, 2, 3, 4, 0xff, 0xff}, "1.2.3.4/65535"},
    {"udp_port_too_big", K::kUdp, "10.0.0.1/70000", -2, {}, nullptr},
    {"udp_port_65536", K::kUdp, "10.0.0.1/65536", -2, {}, nullptr},
    {"udp_no_port", K::kUdp, "10.0.0.1", -2, {}, nullptr},
    {"udp_address_too_big", K::kUdp, "10.0.0.256/1", -2, {}, nullptr},
    {"ipx_plain", K::kIpx, "0000000a:0000c0a80114/8f8f", 0,
     {0, 0, 0, 0x0a, 0, 0, 0xc0, 0xa8, 0x01, 0x14, 0x8f, 0x8f}, "0000000a:0000c0a80114/8f8f"},
    {"ipx_upper_short_socket", K::kIpx, "0000000A:0000C0A80114/1", 0,
     {0, 0, 0, 0x0a, 0, 0, 0xc0, 0xa8, 0x01, 0x14, 0, 1}, "0000000a:0000c0a80114/1"},
    {"ipx_socket_too_big", K::kIpx, "0000000a:0000c0a80114/10000", -2, {}, nullptr},
    {"ipx_short_network", K::kIpx, "000000a:0000c0a80114/1", -2, {}, nullptr},
    {"ipx_no_socket", K::kIpx, "0000000a:0000c0a80114", -2, {}, nullptr},
    {"ipx_dash", K::kIpx, "0000000a-0000c0a80114/1", -2, {}, nullptr},
};

class AddressParse : public testing::TestWithParam<ParseRow> {};

TEST_P(AddressParse, ParsesAndPrintsBack) {
  const ParseRow& row = GetParam();
  uint8_t octets[16] = {};
  ASSERT_EQ(kal_address_parse(row.kind, row.text, octets, sizeof octets), row.rc);
  if (row.rc != 0) return;
  ASSERT_EQ(row.octets.size(), kal_address_octets(row.kind));
  EXPECT_EQ(0, std::memcmp(octets, row.octets.data(), row.octets.size()));
  char printed[kKalAddressTextSize];
  ASSERT_EQ(kal_address_print(row.kind, octets, row.octets.size(), printed, sizeof printed), 0);
  EXPECT_STREQ(printed, row.printed);
  uint8_t again[16] = {};
  ASSERT_EQ(kal_address_parse(row.kind, printed, again, sizeof again), 0);
  EXPECT_EQ(0, std::memcmp(octets, again, row.octets.size()));
}

INSTANTIATE_TEST_SUITE_P(Rows, AddressParse, testing::ValuesIn(kParseRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AddressPrint, RefusesWrongCountAndSmallBuffer) {
  const uint8_t o[16] = {};
  char buf[kKalAddressTextSize];
  EXPECT_EQ(kal_address_print(K::kIpv4, o, 3, buf, sizeof buf), kKalErrInvalidArg);
  char small[8];
  EXPECT_EQ(kal_address_print(K::kIpv4, o, 4, small, sizeof small), 0);  // "0.0.0.0"
  const uint8_t wide[4] = {255, 255, 255, 255};
  EXPECT_EQ(kal_address_print(K::kIpv4, wide, 4, small, sizeof small), kKalErrInvalidArg);
  EXPECT_STREQ(small, "");
  uint8_t three[3];
  EXPECT_EQ(kal_address_parse(K::kIpv4, "1.2.3.4", three, sizeof three), kKalErrInvalidArg)
      << "an octet buffer shorter than the kind";
}

TEST(AddressPrint, LongestFormsFit) {
  uint8_t ff[16];
  std::memset(ff, 0xff, sizeof ff);
  char buf[kKalAddressTextSize];
  for (K kind : {K::kIpv4, K::kIpv6, K::kUdp, K::kIpx}) {
    EXPECT_EQ(kal_address_print(kind, ff, kal_address_octets(kind), buf, sizeof buf), 0);
  }
  EXPECT_STREQ(buf, "ffffffff:ffffffffffff/ffff");
}

struct IndexRow {
  const char* name;
  K kind;
  bool implied;
  std::vector<uint32_t> subids;
  int rc;
};

const IndexRow kIndexRows[] = {
    {"ipv4", K::kIpv4, false, {4, 10, 0, 0, 1}, 0},
    {"ipv4_implied", K::kIpv4, true, {10, 0, 0, 1}, 0},
    {"ipv4_wrong_length", K::kIpv4, false, {5, 10, 0, 0, 1}, -401},
    {"ipv4_subid_256", K::kIpv4, false, {4, 10, 256, 0, 1}, -401},
    {"ipv4_too_short", K::kIpv4, false, {4, 10, 0, 0}, -401},
    {"ipv6", K::kIpv6, false, {16, 0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, 0},
    {"udp", K::kUdp, false, {1, 6, 10, 0, 0, 1, 0, 161}, 0},
    {"udp_implied", K::kUdp, true, {1, 10, 0, 0, 1, 0, 161}, 0},
    {"udp_wrong_domain", K::kUdp, false, {2, 6, 10, 0, 0, 1, 0, 161}, -401},
    {"ipx", K::kIpx, false, {5, 12, 0, 0, 0, 10, 0, 0, 0xc0, 0xa8, 1, 0x14, 0x8f, 0x8f}, 0},
    {"ipx_wrong_domain", K::kIpx, false, {1, 12, 0, 0, 0, 10, 0, 0, 0xc0, 0xa8, 1, 0x14, 0, 1},
     -401},
    {"ipx_wrong_length", K::kIpx, false, {5, 6, 0, 0, 0, 10, 0, 0, 0xc0, 0xa8, 1, 0x14, 0, 1},
     -401},
    {"empty", K::kIpx, false, {}, -401},
};

class AddressIndex : public testing::TestWithParam<IndexRow> {};

TEST_P(AddressIndex, ReadsAndWritesBack) {
  const IndexRow& row = GetParam();
  std::vector<uint32_t> input = row.subids;
  input.push_back(77);  // a following sub-identifier that is not part of the index
  uint8_t octets[16] = {};
  size_t used = 0;
  ASSERT_EQ(kal_address_from_index(row.kind, input.data(), row.subids.size(), row.implied, octets,
                                   sizeof octets, &used),
            row.rc);
  if (row.rc != 0) return;
  EXPECT_EQ(used, row.subids.size());
  uint32_t out[32];
  size_t count = 0;
  ASSERT_EQ(kal_address_to_index(row.kind, octets, kal_address_octets(row.kind), row.implied, out,
                                 32, &count),
            0);
  EXPECT_EQ(std::vector<uint32_t>(out, out + count), row.subids);
  // With the extra sub-identifier counted, only the index is read.
  ASSERT_EQ(kal_address_from_index(row.kind, input.data(), input.size(), row.implied, octets,
                                   sizeof octets, &used),
            0);
  EXPECT_EQ(used, row.subids.size());
}

INSTANTIATE_TEST_SUITE_P(Rows, AddressIndex, testing::ValuesIn(kIndexRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AddressIndex, ToIndexNeedsRoom) {
  const uint8_t o[4] = {1, 2, 3, 4};
  uint32_t out[4];
  size_t count = 0;
  EXPECT_EQ(kal_address_to_index(K::kIpv4, o, 4, false, out, 4, &count), kKalErrInvalidArg);
  EXPECT_EQ(kal_address_to_index(K::kIpv4, o, 4, true, out, 4, &count), 0);
  EXPECT_EQ(count, 4u);
}

struct GroupRow {
  const char* name;
  const char* text;
  int rc;
  const char* full;  // the eight groups printed, when rc == 0
};

const GroupRow kGroupRows[] = {
    {"all_nodes", "ff02::1", 0, "ff02:0:0:0:0:0:0:1"},
    {"leading", "::1", 0, "0:0:0:0:0:0:0:1"},
    {"trailing", "ff05::", 0, "ff05:0:0:0:0:0:0:0"},
    {"only", "::", 0, "0:0:0:0:0:0:0:0"},
    {"middle_one_group", "1:2:3::5:6:7:8", 0, "1:2:3:0:5:6:7:8"},
    {"no_compression", "ff15:0:0:0:0:0:1:3", 0, "ff15:0:0:0:0:0:1:3"},
    {"seven_and_trailing_zero", "1:2:3:4:5:6:7::", 0, "1:2:3:4:5:6:7:0"},
    {"two_compressions", "1::2::3", -2, nullptr},
    {"eight_plus_compression", "1:2:3:4:5:6:7:8::", -2, nullptr},
    {"nine_groups", "1:2:3:4:5:6:7:8:9", -2, nullptr},
    {"single_leading_colon", ":1:2:3:4:5:6:7", -2, nullptr},
    {"single_trailing_colon", "1:2:3:4:5:6:7:", -2, nullptr},
    {"triple_colon", ":::1", -2, nullptr},
    {"five_digits", "12345::1", -2, nullptr},
    {"zone", "fe80::1%1", -2, nullptr},
    {"dotted_tail", "::ffff:1.2.3.4", -2, nullptr},
    {"empty", "", -2, nullptr},
};

class Ipv6Groups : public testing::TestWithParam<GroupRow> {};

TEST_P(Ipv6Groups, Reads) {
  const GroupRow& row = GetParam();
  uint8_t o[16] = {};
  ASSERT_EQ(kal_read_ipv6_groups(row.text, o), row.rc);
  if (row.rc != 0) return;
  char printed[kKalAddressTextSize];
  ASSERT_EQ(kal_address_print(K::kIpv6, o, 16, printed, sizeof printed), 0);
  EXPECT_STREQ(printed, row.full);
}

INSTANTIATE_TEST_SUITE_P(Rows, Ipv6Groups, testing::ValuesIn(kGroupRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(IpxText, TestNeedsExactForm) {
  uint8_t net[4], node[6];
  EXPECT_TRUE(kal_read_ipx_text("0000000A:0000C0A80114", net, node));
  EXPECT_EQ(net[3], 0x0a);
  EXPECT_EQ(node[5], 0x14);
  EXPECT_FALSE(kal_read_ipx_text("0000000a:0000c0a8011", nullptr, nullptr));    // 20
  EXPECT_FALSE(kal_read_ipx_text("0000000a:0000c0a801145", nullptr, nullptr));  // 22
  EXPECT_FALSE(kal_read_ipx_text("0000000a:0000c0a8011g", nullptr, nullptr));
  EXPECT_FALSE(kal_read_ipx_text(" 000000a:0000c0a80114", nullptr, nullptr));
  EXPECT_FALSE(kal_read_ipx_text("0000000a::000c0a80114", nullptr, nullptr));
}

}  // namespace
