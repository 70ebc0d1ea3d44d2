// zelctl's own probe: the request it sends, and answers that must match it
// before anything in them is kept.
#include "tools/zelctl/agent_probe.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zelctl {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes tlv(uint8_t tag, const Bytes& body) {
  Bytes out;
  out.reserve(body.size() + 4);
  out.push_back(tag);
  if (body.size() > 0xff) {
    out.push_back(0x82);
    out.push_back(static_cast<uint8_t>(body.size() >> 8));
  } else if (body.size() >= 0x80) {
    out.push_back(0x81);
  }
  out.push_back(static_cast<uint8_t>(body.size()));
  for (const uint8_t b : body) out.push_back(b);
  return out;
}
Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) {
    for (const uint8_t b : p) out.push_back(b);
  }
  return out;
}
Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

const Bytes kObjectIdName = {0x2b, 6, 1, 2, 1, 1, 2, 0};
const Bytes kDescrName = {0x2b, 6, 1, 2, 1, 1, 1, 0};

Bytes answer(int version, const std::string& community, uint8_t pdu, uint8_t id, uint8_t error,
             const Bytes& oid_value, const Bytes& descr) {
  const Bytes list = cat({tlv(0x30, cat({tlv(0x06, kObjectIdName), tlv(0x06, oid_value)})),
                          tlv(0x30, cat({tlv(0x06, kDescrName), tlv(0x04, descr)}))});
  const Bytes body = cat({tlv(0x02, {id}), tlv(0x02, {error}), tlv(0x02, {0}), tlv(0x30, list)});
  return tlv(0x30, cat({tlv(0x02, {static_cast<uint8_t>(version)}), tlv(0x04, text(community)),
                        tlv(pdu, body)}));
}

TEST(AgentProbeTest, OnlyTheMatchingAnswerIsKept) {
  const Bytes oid = {0x2b, 6, 1, 4, 1, 9, 1};  // 1.3.6.1.4.1.9.1
  const Bytes good = answer(0, "public", 0xa2, 42, 0, oid, text("Printer\x01X "));
  const Bytes truncated(good.begin(), good.end() - 1);
  Bytes overlong = good;
  overlong[1] = 0x83;  // a length of three bytes that runs past the data
  struct Row {
    const char* name;
    Bytes data;
    bool kept;
    const char* oid;
    const char* descr;
  };
  const Row rows[] = {
      {"matching answer", good, true, "1.3.6.1.4.1.9.1", "Printer X"},
      {"other community", answer(0, "private", 0xa2, 42, 0, oid, text("x")), false, "", ""},
      {"other request ID", answer(0, "public", 0xa2, 43, 0, oid, text("x")), false, "", ""},
      {"our own request echoed", answer(0, "public", 0xa0, 42, 0, oid, text("x")), false, "", ""},
      {"SNMPv2c", answer(1, "public", 0xa2, 42, 0, oid, text("x")), false, "", ""},
      {"truncated", truncated, false, "", ""},
      {"length past the data", overlong, false, "", ""},
      {"noSuchName still answered", answer(0, "public", 0xa2, 42, 2, oid, text("x")), true, "", ""},
      {"sub-identifier overflow", answer(0, "public", 0xa2, 42, 0, {0x2b, 0x90, 0x80, 0x80, 0x80, 0x80, 0}, text("x")),
       true, "", "x"},
      {"unfinished sub-identifier", answer(0, "public", 0xa2, 42, 0, {0x2b, 0x86}, text("x")), true, "", "x"},
  };
  for (const auto& row : rows) {
    AgentAnswer a;
    EXPECT_EQ(decode_agent_answer(row.data.data(), row.data.size(), "public", 42, &a), row.kept)
        << row.name;
    if (!row.kept) continue;
    EXPECT_EQ(a.sys_object_id, row.oid) << row.name;
    EXPECT_EQ(a.sys_descr, row.descr) << row.name;
  }
  AgentAnswer a;
  const Bytes long_descr = answer(0, "public", 0xa2, 42, 0, oid, Bytes(300, 'd'));
  ASSERT_TRUE(decode_agent_answer(long_descr.data(), long_descr.size(), "public", 42, &a));
  EXPECT_EQ(a.sys_descr.size(), kMaxSysDescr);
}

TEST(AgentProbeTest, RequestIsAnSnmpV1GetOfBothObjects) {
  const Bytes r = encode_agent_probe("public", 42);
  const Bytes want = tlv(
      0x30, cat({tlv(0x02, {0}), tlv(0x04, text("public")),
                 tlv(0xa0, cat({tlv(0x02, {42}), tlv(0x02, {0}), tlv(0x02, {0}),
                                tlv(0x30, cat({tlv(0x30, cat({tlv(0x06, kObjectIdName), tlv(0x05, {})})),
                                               tlv(0x30, cat({tlv(0x06, kDescrName), tlv(0x05, {})}))}))}))}));
  EXPECT_EQ(r, want);
  EXPECT_EQ(encode_agent_probe(std::string(200, 'c'), 0x12345678).size(), 253u);
}

}  // namespace
}  // namespace zelctl
