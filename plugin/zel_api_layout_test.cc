// The host records' layout as C++ sees it (the C file checks the same list),
// plus the run-time view a host gets: a record copied through memcpy with
// explicit offsets reads back field by field.
#include <gtest/gtest.h>

#include <cstring>

#include "plugin/zel_api_layout_asserts.h"

namespace {

TEST(ZelApiLayout, LittleEndianFieldsAtDocumentedOffsets) {
  // A host that builds the record as raw bytes (as a Windows host does) must
  // land its values in our fields.
  unsigned char raw[sizeof(ZelSnmpV3Settings)] = {};
  raw[64] = 1;  // security level 1
  raw[68] = 2;  // authentication protocol 2
  raw[72] = 2;  // privacy protocol 2
  std::memcpy(raw + 204, "ctx", 4);
  ZelSnmpV3Settings s;
  std::memcpy(&s, raw, sizeof s);
  EXPECT_EQ(1, s.securityLevel);
  EXPECT_EQ(2, s.authProtocol);
  EXPECT_EQ(2, s.privProtocol);
  EXPECT_STREQ("ctx", s.contextName);
}

}  // namespace
