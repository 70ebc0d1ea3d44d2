// Table-driven edges of the forward BER reader: length forms and their
// limits, sign extension, over-long numbers, base-128 overflow, and that
// nothing is read past the window.
#include "snmp/ber_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "snmp/ber_tags.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A copy on the heap of exactly the given size, so that AddressSanitizer
// catches a read one octet past the end.
struct Exact {
  explicit Exact(const Bytes& b) : data(new uint8_t[b.size() + 1]), size(b.size()) {
    std::copy(b.begin(), b.end(), data);
  }
  ~Exact() { delete[] data; }
  uint8_t* data;
  size_t size;
};

struct LengthRow {
  const char* name;
  Bytes octets;  // length octets, then that many content octets (or fewer)
  bool ok;
  size_t length;
};

TEST(BerReaderTest, Lengths) {
  auto with_content = [](Bytes head, size_t n) {
    head.resize(head.size() + n, 0x00);
    return head;
  };
  const LengthRow rows[] = {
      {"zero", {0x00}, true, 0},
      {"short_127", with_content({0x7f}, 127), true, 127},
      {"long_128", with_content({0x81, 0x80}, 128), true, 128},
      {"long_255", with_content({0x81, 0xff}, 255), true, 255},
      {"long_256", with_content({0x82, 0x01, 0x00}, 256), true, 256},
      {"long_65535", with_content({0x82, 0xff, 0xff}, 65535), true, 65535},
      {"non_minimal_leading_zero", with_content({0x82, 0x00, 0x05}, 5), true, 5},
      {"indefinite_0x80", with_content({0x80}, 4), false, 0},
      {"runs_past_window", with_content({0x05}, 4), false, 0},
      {"long_runs_past_window", with_content({0x81, 0x80}, 127), false, 0},
      {"length_octets_cut_off", {0x82, 0x01}, false, 0},
      {"huge_length", {0x88, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}, false, 0},
      {"more_octets_than_size_t",
       {0x89, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01}, false, 0},
      {"count_0x7f_zeros", with_content({0xff}, 127), false, 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    Exact e(r.octets);
    BerReader rd(e.data, e.size);
    size_t n = 12345;
    EXPECT_EQ(rd.read_length(&n), r.ok);
    EXPECT_EQ(rd.failed(), !r.ok);
    if (r.ok) {
      EXPECT_EQ(n, r.length);
    }
  }
}

struct IntRow {
  const char* name;
  Bytes content;
  bool ok;
  uint32_t bits;
};

TEST(BerReaderTest, Int32Contents) {
  const IntRow rows[] = {
      {"empty_is_zero", {}, true, 0},
      {"0", {0x00}, true, 0},
      {"127", {0x7f}, true, 127},
      {"128", {0x00, 0x80}, true, 128},
      {"minus_1", {0xff}, true, 0xffffffffu},
      {"minus_128", {0x80}, true, static_cast<uint32_t>(-128)},
      {"minus_129", {0xff, 0x7f}, true, static_cast<uint32_t>(-129)},
      {"int32_min", {0x80, 0x00, 0x00, 0x00}, true, 0x80000000u},
      {"int32_max", {0x7f, 0xff, 0xff, 0xff}, true, 0x7fffffffu},
      {"unsigned_80000000", {0x00, 0x80, 0x00, 0x00, 0x00}, true, 0x80000000u},
      {"unsigned_ffffffff", {0x00, 0xff, 0xff, 0xff, 0xff}, true, 0xffffffffu},
      {"five_octets_no_leading_zero", {0x01, 0x00, 0x00, 0x00, 0x00}, false, 0},
      {"five_octets_ff", {0xff, 0xff, 0xff, 0xff, 0xff}, false, 0},
      {"six_octets_zero_padded", {0x00, 0x00, 0x12, 0x34, 0x56, 0x78}, true, 0x12345678u},
      {"six_octets_value_too_big", {0x00, 0x01, 0x12, 0x34, 0x56, 0x78}, false, 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    Exact e(r.content);
    BerReader rd(e.data, e.size);
    uint32_t bits = 77;
    EXPECT_EQ(rd.read_int32_content(r.content.size(), &bits), r.ok);
    if (r.ok) {
      EXPECT_EQ(bits, r.bits);
      EXPECT_EQ(rd.remaining(), 0u);
    }
  }
}

struct U64Row {
  const char* name;
  Bytes content;
  bool ok;
  uint32_t high, low;
};

TEST(BerReaderTest, Counter64Contents) {
  const U64Row rows[] = {
      {"empty", {}, true, 0, 0},
      {"one_octet", {0x05}, true, 0, 5},
      {"high_1", {0x01, 0x00, 0x00, 0x00, 0x00}, true, 1, 0},
      {"two_to_63", {0x00, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, true, 0x80000000u, 0},
      {"max", {0x00, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}, true, 0xffffffffu,
       0xffffffffu},
      {"nine_octets_too_big", {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, false, 0, 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    Exact e(r.content);
    BerReader rd(e.data, e.size);
    uint32_t high = 7, low = 7;
    EXPECT_EQ(rd.read_uint64_content(r.content.size(), &high, &low), r.ok);
    if (r.ok) {
      EXPECT_EQ(high, r.high);
      EXPECT_EQ(low, r.low);
    }
  }
}

struct OidRow {
  const char* name;
  Bytes content;
  size_t window_extra;  // octets of window after the content
  BerOidResult result;
  const char* text;
};

TEST(BerReaderTest, ObjectIdentifierContents) {
  const OidRow rows[] = {
      {"empty", {}, 0, BerOidResult::kOk, ""},
      {"sysDescr", {0x2b, 0x06, 0x01, 0x02, 0x01, 0x01, 0x01, 0x00}, 0, BerOidResult::kOk,
       "1.3.6.1.2.1.1.1.0"},
      {"arc_127", {0x2b, 0x7f}, 0, BerOidResult::kOk, "1.3.127"},
      {"arc_128", {0x2b, 0x81, 0x00}, 0, BerOidResult::kOk, "1.3.128"},
      {"arc_16383", {0x2b, 0xff, 0x7f}, 0, BerOidResult::kOk, "1.3.16383"},
      {"arc_16384", {0x2b, 0x81, 0x80, 0x00}, 0, BerOidResult::kOk, "1.3.16384"},
      {"arc_4294967295", {0x2b, 0x8f, 0xff, 0xff, 0xff, 0x7f}, 0, BerOidResult::kOk,
       "1.3.4294967295"},
      {"first_pair_0_0", {0x00}, 0, BerOidResult::kOk, "0.0"},
      {"first_pair_0_39", {0x27}, 0, BerOidResult::kOk, "0.39"},
      {"first_pair_1_0", {0x28}, 0, BerOidResult::kOk, "1.0"},
      {"first_pair_2_999", {0x88, 0x37}, 0, BerOidResult::kOk, "2.999"},
      {"first_pair_2_large", {0x8f, 0xff, 0xff, 0xff, 0x7f}, 0, BerOidResult::kOk,
       "2.4294967215"},
      {"arc_overflows_32_bits", {0x2b, 0x90, 0x80, 0x80, 0x80, 0x00}, 0,
       BerOidResult::kOverflow, ""},
      {"endless_continuation", {0x2b, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x7f}, 0,
       BerOidResult::kOverflow, ""},
      {"last_number_cut_at_window_end", {0x2b, 0x86}, 0, BerOidResult::kOutOfData, ""},
      {"last_number_cut_at_length", {0x2b, 0x86}, 2, BerOidResult::kPastLength, ""},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    Bytes all = r.content;
    all.resize(all.size() + r.window_extra, 0x05);
    Exact e(all);
    BerReader rd(e.data, e.size);
    char text[128];
    size_t len = 99;
    const BerOidResult got = rd.read_oid_text(r.content.size(), text, sizeof text, &len);
    EXPECT_EQ(got, r.result);
    EXPECT_EQ(rd.failed(), r.result != BerOidResult::kOk);
    if (r.result == BerOidResult::kOk) {
      EXPECT_EQ(std::string(text, len), r.text);
      EXPECT_EQ(rd.remaining(), r.window_extra);
    }
  }
}

TEST(BerReaderTest, OidTextCapacityIsEnoughForWorstCase) {
  // Every number at its widest: the first octet pair as 2.4294967215, then
  // ten-digit arcs of five octets each.
  Bytes content = {0x8f, 0xff, 0xff, 0xff, 0x7f};
  for (int i = 0; i < 20; ++i) content.insert(content.end(), {0x8f, 0xff, 0xff, 0xff, 0x7f});
  Exact e(content);
  BerReader rd(e.data, e.size);
  std::string text(BerReader::oid_text_capacity(content.size()), '\0');
  size_t len = 0;
  EXPECT_EQ(rd.read_oid_text(content.size(), text.data(), text.size(), &len), BerOidResult::kOk);
  // One-octet arcs are the densest case in text per octet.
  Bytes ones(200, 0x01);
  Exact e2(ones);
  BerReader rd2(e2.data, e2.size);
  std::string text2(BerReader::oid_text_capacity(ones.size()), '\0');
  EXPECT_EQ(rd2.read_oid_text(ones.size(), text2.data(), text2.size(), &len), BerOidResult::kOk);
  char tiny[4];
  BerReader rd3(e.data, e.size);
  EXPECT_EQ(rd3.read_oid_text(content.size(), tiny, sizeof tiny, &len), BerOidResult::kNoRoom);
}

TEST(BerReaderTest, ErrorsAreSticky) {
  const uint8_t msg[] = {0x30, 0x03, 0x02, 0x01, 0x05};
  BerReader rd(msg, sizeof msg);
  size_t n = 0;
  EXPECT_FALSE(rd.read_header(kKasBerInteger, &n));  // tag is 0x30
  EXPECT_TRUE(rd.failed());
  uint8_t b = 0;
  EXPECT_FALSE(rd.read_byte(&b));
  EXPECT_FALSE(rd.peek_byte(&b));
  EXPECT_FALSE(rd.read_length(&n));
}

TEST(BerReaderTest, WindowLimitsEveryRead) {
  const uint8_t msg[] = {0x30, 0x03, 0x02, 0x01, 0x05, 0xde, 0xad};
  BerReader rd(msg, sizeof msg);
  ASSERT_TRUE(rd.set_window(5));
  size_t n = 0;
  uint32_t v = 0;
  ASSERT_TRUE(rd.read_header(kKasBerSequence, &n));
  EXPECT_EQ(n, 3u);
  ASSERT_TRUE(rd.read_header(kKasBerInteger, &n));
  ASSERT_TRUE(rd.read_int32_content(n, &v));
  EXPECT_EQ(v, 5u);
  EXPECT_EQ(rd.remaining(), 0u);
  uint8_t b = 0;
  EXPECT_FALSE(rd.read_byte(&b));
  BerReader wide(msg, sizeof msg);
  EXPECT_FALSE(wide.set_window(sizeof msg + 1));
}

TEST(BerReaderTest, TagMismatchConsumesNothingUseful) {
  const uint8_t msg[] = {0x04, 0x00};
  BerReader rd(msg, sizeof msg);
  uint8_t tag = 0;
  ASSERT_TRUE(rd.peek_byte(&tag));
  EXPECT_EQ(tag, kKasBerOctetString);
  EXPECT_EQ(rd.offset(), 0u);
  EXPECT_FALSE(rd.expect_tag(kKasBerNull));
}

TEST(BerTagsTest, PduTagMapping) {
  EXPECT_EQ(kas_ber_pdu_tag(0, 1), 0xa0);
  EXPECT_EQ(kas_ber_pdu_tag(4, 0), 0xa4);
  EXPECT_EQ(kas_ber_pdu_tag(4, 1), 0xa7);
  EXPECT_EQ(kas_ber_pdu_tag(8, 1), 0xa8);
  EXPECT_EQ(kas_ber_pdu_type(0xa4), 4);
  EXPECT_EQ(kas_ber_pdu_type(0xa7), 4);
  EXPECT_EQ(kas_ber_pdu_type(0xa8), 8);
  EXPECT_EQ(kas_ber_pdu_type(0xa9), -1);
  EXPECT_EQ(kas_ber_pdu_type(0x30), -1);
  EXPECT_TRUE(kas_ber_is_value_tag(0x82));
  EXPECT_FALSE(kas_ber_is_value_tag(0x47));
  EXPECT_FALSE(kas_ber_is_value_tag(0x48));
}

}  // namespace

namespace {

// The decoder writes an identifier's text straight into a buffer of
// oid_text_bound(n) octets, with four-octet stores for one-octet arcs. Each
// row reads into a heap block of exactly that size, so AddressSanitizer
// sees any store past it, and must give the text a roomy buffer gives.
TEST(BerReaderTest, OidTextFitsTheTightBound) {
  struct Row {
    const char* name;
    Bytes content;
  };
  const Row rows[] = {
      {"first_pair_only_1_3", {0x2b}},
      {"first_pair_widest_one_octet_2_47", {0x7f}},
      {"first_pair_two_octets_2_48", {0x81, 0x00}},
      {"arcs_of_127", {0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f}},
      {"arcs_of_0", {0x00, 0x00, 0x00}},
      {"two_octet_arcs_16383", {0x2b, 0xff, 0x7f, 0xff, 0x7f}},
      {"widest_32_bit_arcs", {0x2b, 0x8f, 0xff, 0xff, 0xff, 0x7f, 0x8f, 0xff, 0xff, 0xff, 0x7f}},
      {"first_pair_32_bit", {0x8f, 0xff, 0xff, 0xff, 0x7f}},
      {"padded_numbers", {0x2b, 0x80, 0x80, 0x01, 0x80, 0x7f}},
      {"printer_mib_name", {0x2b, 0x06, 0x01, 0x02, 0x01, 0x2b, 0x0b, 0x01, 0x01, 0x06, 0x01, 0x01}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    Exact e(r.content);
    BerReader roomy(e.data, e.size);
    std::string want(BerReader::oid_text_capacity(r.content.size()), '\0');
    size_t want_len = 0;
    ASSERT_EQ(roomy.read_oid_text(r.content.size(), want.data(), want.size(), &want_len),
              BerOidResult::kOk);
    want.resize(want_len);

    const size_t bound = BerReader::oid_text_bound(r.content.size());
    std::unique_ptr<char[]> tight(new char[bound]);
    BerReader rd(e.data, e.size);
    size_t len = 0;
    BerOidShape shape;
    ASSERT_EQ(rd.read_oid_text(r.content.size(), tight.get(), bound, &len, &shape),
              BerOidResult::kOk);
    EXPECT_EQ(std::string(tight.get(), len), want);
    EXPECT_LT(len, bound);
    EXPECT_EQ(shape.arcs, static_cast<size_t>(std::count(want.begin(), want.end(), '.') + 1));
    EXPECT_EQ(shape.minimal, std::string(r.name) != "padded_numbers");
  }
}

}  // namespace
