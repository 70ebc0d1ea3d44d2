// Table-driven edges of the backwards BER writer: length forms, minimal
// two's complement and unsigned contents, base-128 numbers, overflow.
#include "snmp/ber_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "snmp/ber_tags.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Runs `write` on a writer over a buffer of `size` octets and answers what
// it wrote (everything from the cursor to the end).
template <class F>
Bytes written_by(F write, size_t size = 64) {
  std::vector<uint8_t> buf(size, 0xee);
  BerWriter w(buf.data(), buf.size());
  write(w);
  EXPECT_FALSE(w.overflowed());
  return Bytes(w.data(), buf.data() + buf.size());
}

struct LengthRow {
  const char* name;
  size_t length;
  Bytes octets;
};

TEST(BerWriterTest, LengthForms) {
  const LengthRow rows[] = {
      {"zero", 0, {0x00}},
      {"short_max_127", 127, {0x7f}},
      {"long_128", 128, {0x81, 0x80}},
      {"long_200", 200, {0x81, 0xc8}},
      {"long_255", 255, {0x81, 0xff}},
      {"two_octets_256", 256, {0x82, 0x01, 0x00}},
      {"two_octets_65535", 65535, {0x82, 0xff, 0xff}},
      {"three_octets_65536", 65536, {0x83, 0x01, 0x00, 0x00}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(written_by([&](BerWriter& w) { w.put_length(r.length); }), r.octets);
  }
}

struct IntRow {
  const char* name;
  int32_t value;
  Bytes octets;
};

TEST(BerWriterTest, IntegerMinimalTwosComplement) {
  const IntRow rows[] = {
      {"zero", 0, {0x02, 0x01, 0x00}},
      {"127", 127, {0x02, 0x01, 0x7f}},
      {"128_needs_leading_zero", 128, {0x02, 0x02, 0x00, 0x80}},
      {"minus_1", -1, {0x02, 0x01, 0xff}},
      {"minus_128", -128, {0x02, 0x01, 0x80}},
      {"minus_129", -129, {0x02, 0x02, 0xff, 0x7f}},
      {"256", 256, {0x02, 0x02, 0x01, 0x00}},
      {"32768", 32768, {0x02, 0x03, 0x00, 0x80, 0x00}},
      {"int32_min", INT32_MIN, {0x02, 0x04, 0x80, 0x00, 0x00, 0x00}},
      {"int32_max", INT32_MAX, {0x02, 0x04, 0x7f, 0xff, 0xff, 0xff}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(written_by([&](BerWriter& w) { w.put_integer(kKasBerInteger, r.value); }),
              r.octets);
  }
}

struct UintRow {
  const char* name;
  uint8_t tag;
  uint32_t value;
  Bytes octets;
};

TEST(BerWriterTest, UnsignedGetsLeadingZeroWhenTopBitSet) {
  const UintRow rows[] = {
      {"counter32_zero", kKasBerCounter32, 0, {0x41, 0x01, 0x00}},
      {"gauge32_7fffffff", kKasBerGauge32, 0x7fffffff, {0x42, 0x04, 0x7f, 0xff, 0xff, 0xff}},
      {"gauge32_80000000", kKasBerGauge32, 0x80000000u,
       {0x42, 0x05, 0x00, 0x80, 0x00, 0x00, 0x00}},
      {"gauge32_ffffffff", kKasBerGauge32, 0xffffffffu,
       {0x42, 0x05, 0x00, 0xff, 0xff, 0xff, 0xff}},
      {"timeticks_128", kKasBerTimeTicks, 128, {0x43, 0x02, 0x00, 0x80}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(written_by([&](BerWriter& w) { w.put_unsigned(r.tag, r.value); }), r.octets);
  }
}

struct U64Row {
  const char* name;
  uint32_t high, low;
  Bytes octets;
};

TEST(BerWriterTest, Counter64) {
  const U64Row rows[] = {
      {"zero", 0, 0, {0x46, 0x01, 0x00}},
      {"high_1", 1, 0, {0x46, 0x05, 0x01, 0x00, 0x00, 0x00, 0x00}},
      {"two_to_63", 0x80000000u, 0,
       {0x46, 0x09, 0x00, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
      {"max", 0xffffffffu, 0xffffffffu,
       {0x46, 0x09, 0x00, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(written_by([&](BerWriter& w) { w.put_unsigned64(kKasBerCounter64, r.high, r.low); }),
              r.octets);
  }
}

struct SubidRow {
  const char* name;
  uint64_t value;
  Bytes octets;
};

TEST(BerWriterTest, SubidentifiersBase128) {
  const SubidRow rows[] = {
      {"0", 0, {0x00}},
      {"127", 127, {0x7f}},
      {"128", 128, {0x81, 0x00}},
      {"16383", 16383, {0xff, 0x7f}},
      {"16384", 16384, {0x81, 0x80, 0x00}},
      {"4294967295", 4294967295u, {0x8f, 0xff, 0xff, 0xff, 0x7f}},
      {"first_pair_1_3", 1 * 40 + 3, {0x2b}},
      {"first_pair_2_999", 2 * 40 + 999, {0x88, 0x37}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(written_by([&](BerWriter& w) { w.put_subid(r.value); }), r.octets);
  }
}

TEST(BerWriterTest, WritesEndAtBufferEndInForwardOrder) {
  uint8_t buf[8] = {};
  BerWriter w(buf, sizeof buf);
  const uint8_t community[] = {'a', 'b', 'c'};
  w.put_octets(kKasBerOctetString, community, sizeof community);
  ASSERT_FALSE(w.overflowed());
  EXPECT_EQ(w.data(), buf + 3);
  EXPECT_EQ(Bytes(w.data(), buf + 8), (Bytes{0x04, 0x03, 'a', 'b', 'c'}));
}

TEST(BerWriterTest, OverflowIsStickyAndKeepsCounting) {
  uint8_t buf[4] = {};
  BerWriter w(buf, sizeof buf);
  const uint8_t data[6] = {1, 2, 3, 4, 5, 6};
  w.put_octets(kKasBerOctetString, data, sizeof data);
  EXPECT_TRUE(w.overflowed());
  EXPECT_EQ(w.written(), 8u);
  // Nothing after the overflow may land in the buffer.
  w.put_byte(0x30);
  EXPECT_TRUE(w.overflowed());
  EXPECT_EQ(w.written(), 9u);
  EXPECT_EQ(w.data(), buf + 4);
}

TEST(BerWriterTest, ExactFitIsNotOverflow) {
  uint8_t buf[3] = {};
  BerWriter w(buf, sizeof buf);
  w.put_integer(kKasBerInteger, 5);
  EXPECT_FALSE(w.overflowed());
  EXPECT_EQ(w.data(), buf);
  w.put_byte(0);
  EXPECT_TRUE(w.overflowed());
}

}  // namespace
