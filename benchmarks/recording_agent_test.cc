// The snmpd form of a recording: each line's snmpd.conf override, and
// snmpd serving the supported-device recording answers every recorded
// object with the recorded value, read back through our request object.
#include "benchmarks/recording_agent.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "common/owned.h"
#include "facade/get_data.h"
#include "testing/snmpd_agent.h"

namespace {

struct OverrideCase {
  const char* name;
  const char* line;
  const char* want;
};

const OverrideCase kOverrideCases[] = {
    {"integer", "1.3.6.1.2.1.1.7.0|2|72", "override .1.3.6.1.2.1.1.7.0 integer 72"},
    {"negative integer", "1.3.6.1.2|2|-1", "override .1.3.6.1.2 integer -1"},
    {"text as hex, quotes and spaces need no escaping", "1.3.6.1.2|4|a \"b\"",
     "override .1.3.6.1.2 octet_str 0x6120226222"},
    {"empty text", "1.3.6.1.2|4|", "override .1.3.6.1.2 octet_str \"\""},
    {"hex octets kept", "1.3.6.1.2|4x|0000c0ffee01", "override .1.3.6.1.2 octet_str 0x0000c0ffee01"},
    {"empty hex octets", "1.3.6.1.2|4x|", "override .1.3.6.1.2 octet_str \"\""},
    {"identifier", "1.3.6.1.2.1.1.2.0|6|1.3.6.1.4.1.61802",
     "override .1.3.6.1.2.1.1.2.0 object_id .1.3.6.1.4.1.61802"},
    {"counter", "1.3.6.1.2|65|123456", "override .1.3.6.1.2 counter 123456"},
    {"gauge", "1.3.6.1.2|66|1000000000", "override .1.3.6.1.2 unsigned 1000000000"},
    {"time ticks", "1.3.6.1.2|67|123456789", "override .1.3.6.1.2 timeticks 123456789"},
    {"a value with a bar stays whole", "1.3.6.1.2|4|a|b", "override .1.3.6.1.2 octet_str 0x617c62"},
    {"IpAddress is not served", "1.3.6.1.2|64|127.0.0.1", ""},
    {"Counter64 is not served", "1.3.6.1.2|70|1", ""},
    {"no type", "1.3.6.1.2", ""},
    {"no value field", "1.3.6.1.2|2", ""},
    {"no identifier", "|2|1", ""},
};

TEST(RecordingAgent, OverrideLines) {
  for (const OverrideCase& c : kOverrideCases) {
    EXPECT_EQ(c.want, snmpd_override_line(c.line)) << c.name;
  }
}

std::string from_hex(const std::string& hex) {
  std::string octets;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    octets += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return octets;
}

TEST(RecordingAgent, SnmpdAnswersEveryRecordedObjectWithItsValue) {
  if (!zeltest::have_snmpd()) GTEST_SKIP() << "snmpd is not installed";
  const std::string recording = zeltest::repo_file("options/testdata/supported-device.snmprec");
  RecordingAgent agent;
  std::string error;
  ASSERT_TRUE(agent.start(RecordingAgent::kSnmpd, "127.0.17.19", recording, "bench", &error))
      << error;
  std::ifstream in(recording);
  std::string line;
  int read = 0;
  while (std::getline(in, line)) {
    const size_t a = line.find('|');
    const size_t b = line.find('|', a + 1);
    const std::string oid = line.substr(0, a);
    const std::string type = line.substr(a + 1, b - a - 1);
    std::string want = line.substr(b + 1);
    // The text form ends at the first NUL octet.
    if (type == "4x") want = from_hex(want).c_str();
    KalOwned<IKalGetData> get(kal_create_get_data());
    ASSERT_TRUE(get);
    get->set_community("bench", sizeof "bench");
    ASSERT_EQ(0, get->init("127.0.17.19", IKalNetworkAddress::IPv4, 161, 0, nullptr, 2000, 2, 0));
    ASSERT_EQ(0, get->add_oid_string(oid.c_str(), false));
    char text[1024] = {};
    ASSERT_EQ(0, get->get_data(text, sizeof text)) << oid;
    EXPECT_EQ(want, std::string(text)) << line;
    ++read;
  }
  EXPECT_GT(read, 400);
}

}  // namespace
