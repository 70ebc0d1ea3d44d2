// The formats of the fleet commands: snmprec lines (type codes, when octets
// go in hex, OID order), Prometheus label values, and the names of the
// Printer MIB alert columns in traps.
#include <gtest/gtest.h>

#include "tools/zelctl/poll_format.h"
#include "tools/zelctl/snmprec_writer.h"
#include "tools/zelctl/trap_text.h"

namespace zelctl {
namespace {

TEST(FleetFormatTest, SnmprecLines) {
  struct Row {
    const char* name;
    SnmprecRecord record;
    std::string line;
  };
  const Row rows[] = {
      {"integer", {"1.3.6.1.2.1.25.3.5.1.1.1", 0x02, "-3"}, "1.3.6.1.2.1.25.3.5.1.1.1|2|-3"},
      {"text", {"1.3.6.1.2.1.1.5.0", 0x04, "SORREL5 | office"},
       "1.3.6.1.2.1.1.5.0|4|SORREL5 | office"},
      {"empty text", {"1.3.6.1.2.1.1.4.0", 0x04, ""}, "1.3.6.1.2.1.1.4.0|4|"},
      {"binary octets in hex", {"1.3.6.1.2.1.2.2.1.6.1", 0x04, std::string("\x00\x00\xc0\xff", 4)},
       "1.3.6.1.2.1.2.2.1.6.1|4x|0000c0ff"},
      {"line feed in hex", {"1.3.6.1.2.1.1.1.0", 0x04, "a\nb"}, "1.3.6.1.2.1.1.1.0|4x|610a62"},
      {"UTF-8 in hex", {"1.3.6.1.2.1.1.6.0", 0x04, "K\xc3\xb6ln"}, "1.3.6.1.2.1.1.6.0|4x|4bc3b66c6e"},
      {"a space that snmpsim would trim", {"1.3.6.1.2.1.1.6.0", 0x04, "room "},
       "1.3.6.1.2.1.1.6.0|4x|726f6f6d20"},
      {"null", {"1.3.6.1.2.1.1.9.0", 0x05, "x"}, "1.3.6.1.2.1.1.9.0|5|"},
      {"object identifier", {"1.3.6.1.2.1.1.2.0", 0x06, "1.3.6.1.4.1.61802.1"},
       "1.3.6.1.2.1.1.2.0|6|1.3.6.1.4.1.61802.1"},
      {"IpAddress", {"1.3.6.1.2.1.4.20.1.1.10.0.0.1", 0x40, "10.0.0.1"},
       "1.3.6.1.2.1.4.20.1.1.10.0.0.1|64|10.0.0.1"},
      {"Counter32", {"1.3.6.1.2.1.2.2.1.10.1", 0x41, "4294967295"},
       "1.3.6.1.2.1.2.2.1.10.1|65|4294967295"},
      {"Gauge32", {"1.3.6.1.2.1.2.2.1.5.1", 0x42, "1000000000"}, "1.3.6.1.2.1.2.2.1.5.1|66|1000000000"},
      {"TimeTicks", {"1.3.6.1.2.1.1.3.0", 0x43, "123456789"}, "1.3.6.1.2.1.1.3.0|67|123456789"},
      {"Opaque always hex", {"1.3.6.1.4.1.61801.1.0", 0x44, "ab"}, "1.3.6.1.4.1.61801.1.0|68x|6162"},
      {"Counter64", {"1.3.6.1.2.1.31.1.1.1.6.1", 0x46, "18446744073709551615"},
       "1.3.6.1.2.1.31.1.1.1.6.1|70|18446744073709551615"},
      {"noSuchObject is left out", {"1.3.6.1.2.1.1.7.0", 0x80, ""}, ""},
      {"endOfMibView is left out", {"1.3.6.1.2.1.1.7.0", 0x82, ""}, ""},
  };
  for (const auto& row : rows) EXPECT_EQ(snmprec_line(row.record), row.line) << row.name;
}

TEST(FleetFormatTest, SnmprecDocumentSortsByArcsAndKeepsEachOidOnce) {
  const std::string doc = snmprec_document(
      {"zelctl capture of 10.0.0.1", "sysDescr: two\nlines"},
      {{"1.3.6.1.2.1.43.10", 0x02, "1"},
       {"1.3.6.1.2.1.43.9", 0x02, "2"},
       {"1.3.6.1.2.1.25.3.2.1.3.1", 0x04, "x"},
       {"1.3.6.1.2.1.43.9", 0x02, "3"},
       {"1.3.6.1.2.1.25.3.2.1.3", 0x04, "y"}});
  EXPECT_EQ(doc,
            "# zelctl capture of 10.0.0.1\n"
            "# sysDescr: two lines\n"
            "1.3.6.1.2.1.25.3.2.1.3|4|y\n"
            "1.3.6.1.2.1.25.3.2.1.3.1|4|x\n"
            "1.3.6.1.2.1.43.9|2|2\n"
            "1.3.6.1.2.1.43.10|2|1\n");
  EXPECT_TRUE(oid_before("1.3.6.1.2", "1.3.6.1.10"));
  EXPECT_FALSE(oid_before("1.3.6.1.2", "1.3.6.1.2"));
}

TEST(FleetFormatTest, PrometheusLabelValues) {
  struct Row {
    const char* name;
    std::string value, label;
  };
  const Row rows[] = {
      {"plain", "Black Toner", "Black Toner"},
      {"quote", "Tray \"A\"", "Tray \\\"A\\\""},
      {"backslash", "C:\\tray", "C:\\\\tray"},
      {"line feed", "two\nlines", "two\\nlines"},
      {"other control octets", "a\tb\rc", "a?b?c"},
      {"beyond ASCII", "K\xc3\xb6ln", "K??ln"},
  };
  for (const auto& row : rows) EXPECT_EQ(prometheus_label(row.value), row.label) << row.name;
}

TEST(FleetFormatTest, PrometheusSeriesOfADeviceStayDistinct) {
  PollResult r;
  r.address = "10.0.0.1";
  r.supplies = {{"Toner", 40}, {"Toner", 60}, {"Drum", -1}};
  const std::string text = prometheus_text({r});
  EXPECT_NE(text.find("zel_supply_level_percent{device=\"10.0.0.1\",supply=\"Toner\"} 40\n"),
            std::string::npos);
  EXPECT_NE(text.find("zel_supply_level_percent{device=\"10.0.0.1\",supply=\"Toner #2\"} 60\n"),
            std::string::npos);
  EXPECT_EQ(text.find("Drum"), std::string::npos) << "a supply without an amount has no series";
}

TEST(FleetFormatTest, AlertColumnsInTraps) {
  struct Row {
    const char* oid;
    const char* value;
    std::string name, meaning;
  };
  const Row rows[] = {
      {"1.3.6.1.2.1.43.18.1.1.2.1.5", "3", "prtAlertSeverityLevel.1.5", "critical"},
      {"1.3.6.1.2.1.43.18.1.1.4.1.5", "8", "prtAlertGroup.1.5", "input"},
      {"1.3.6.1.2.1.43.18.1.1.7.1.5", "808", "prtAlertCode.1.5", "inputMediaSupplyEmpty"},
      {"1.3.6.1.2.1.43.18.1.1.8.1.5", "Toner low", "prtAlertDescription.1.5", ""},
      {"1.3.6.1.2.1.43.18.1.1.10.1.5", "1", "", ""},
      {"1.3.6.1.2.1.43.18.1.2.2.1.5", "3", "", ""},
      {"1.3.6.1.2.1.1.5.0", "3", "", ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(alert_column_name(row.oid), row.name) << row.oid;
    EXPECT_EQ(alert_column_meaning(row.oid, row.value), row.meaning) << row.oid;
  }
  EXPECT_EQ(printable_or_hex("public"), "public");
  EXPECT_EQ(printable_or_hex(std::string("\x01\xff", 2)), "0x01ff");
}

}  // namespace
}  // namespace zelctl
