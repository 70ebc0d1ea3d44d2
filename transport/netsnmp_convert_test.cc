// Library PDUs built by hand (one binding of every library type, error
// fields, trap and report commands, sender addresses) turned into our PDU,
// values and answering target.
#include "transport/netsnmp_convert.h"

#include <arpa/inet.h>
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "common/network_address.h"
#include "common/owned.h"
#include "gtest/gtest.h"
#include "snmp/binding.h"
#include "snmp/pdu.h"
#include "snmp/target.h"
#include "snmp/value.h"
#include "transport/netsnmp_library.h"
#include "transport/v3_test_util.h"

namespace {

using zeltest::oid_at;
using zeltest::text_at;
using zeltest::value_at;

struct LibraryPdu {
  // snmp_pdu_create leaves the error fields at -1 ("not set"); a received
  // response carries numbers.
  explicit LibraryPdu(int command) : pdu(snmp_pdu_create(command)) {
    pdu->errstat = 0;
    pdu->errindex = 0;
  }
  ~LibraryPdu() { snmp_free_pdu(pdu); }
  void add(const char* name, u_char type, const void* value, size_t length) {
    oid arcs[MAX_OID_LEN];
    size_t n = MAX_OID_LEN;
    ASSERT_NE(read_objid(name, arcs, &n), 0) << name;
    ASSERT_NE(snmp_pdu_add_variable(pdu, arcs, n, type, value, length), nullptr);
  }
  netsnmp_pdu* pdu;
};

class NetSnmpConvertTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(library_.status(), kKalOk); }
  NetSnmpLibraryScope library_;
};

TEST_F(NetSnmpConvertTest, EveryLibraryTypeBecomesItsValue) {
  const long integer = -5;
  const u_char octets[] = {'a', 0, 'b'};
  const oid arcs[] = {1, 3, 6, 1, 4, 1, 61801, 4294967295UL};
  const u_char ip[] = {192, 168, 1, 7};
  const u_long counter = 0xFFFFFFFFUL;
  const u_long gauge = 12;
  const u_long ticks = 360000;
  const counter64 big = {0x1, 0x80000000UL};
  const struct {
    u_char type;
    const void* value;
    size_t length;
    int tag;
    std::string text;  // "" to leave unchecked
  } rows[] = {
      {ASN_INTEGER, &integer, sizeof integer, kKasTagInteger, "-5"},
      {ASN_OCTET_STR, octets, sizeof octets, kKasTagOctetString, std::string("a\0b", 3)},
      {ASN_NULL, nullptr, 0, kKasTagNull, ""},
      {ASN_OBJECT_ID, arcs, sizeof arcs, kKasTagOid, "1.3.6.1.4.1.61801.4294967295"},
      {ASN_IPADDRESS, ip, sizeof ip, kKasTagIpAddress, "192.168.1.7"},
      {ASN_COUNTER, &counter, sizeof counter, kKasTagCounter32, "4294967295"},
      {ASN_GAUGE, &gauge, sizeof gauge, kKasTagGauge32, "12"},
      {ASN_UINTEGER, &gauge, sizeof gauge, kKasTagGauge32, "12"},
      {ASN_TIMETICKS, &ticks, sizeof ticks, kKasTagTimeTicks, "360000"},
      {ASN_OPAQUE, octets, sizeof octets, kKasTagOpaque, ""},
      {ASN_COUNTER64, &big, sizeof big, kKasTagCounter64, "6442450944"},
      {SNMP_NOSUCHOBJECT, nullptr, 0, kKasTagNoSuchObject, ""},
      {SNMP_NOSUCHINSTANCE, nullptr, 0, kKasTagNoSuchInstance, ""},
      {SNMP_ENDOFMIBVIEW, nullptr, 0, kKasTagEndOfMibView, ""},
  };
  LibraryPdu response(SNMP_MSG_RESPONSE);
  response.pdu->reqid = 4711;
  for (size_t i = 0; i < std::size(rows); ++i) {
    const std::string name = "1.3.6.1.2.1.1." + std::to_string(i + 1);
    response.add(name.c_str(), rows[i].type, rows[i].value, rows[i].length);
  }
  KalOwned<IKasPdu> pdu(kas_create_pdu());
  ASSERT_EQ(kas_netsnmp_convert_pdu(response.pdu, pdu.get()), kKalOk);
  EXPECT_EQ(pdu->get_type(), 2);
  EXPECT_EQ(pdu->get_request_id(), 4711);
  ASSERT_EQ(pdu->binding_count(), std::size(rows));
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(oid_at(pdu.get(), i), "1.3.6.1.2.1.1." + std::to_string(i + 1));
    EXPECT_EQ(value_at(pdu.get(), i)->tag(), rows[i].tag);
    if (!rows[i].text.empty()) {
      EXPECT_EQ(text_at(pdu.get(), i), rows[i].text);
    }
    EXPECT_EQ(pdu->get_bindings()->at(i)->get_status(), 0);
  }
}

TEST_F(NetSnmpConvertTest, ErrorStatusMarksTheBindings) {
  LibraryPdu response(SNMP_MSG_RESPONSE);
  response.pdu->errstat = SNMP_ERR_NOSUCHNAME;
  response.pdu->errindex = 2;
  response.add("1.3.6.1.2.1.1.1.0", ASN_NULL, nullptr, 0);
  response.add("1.3.6.1.2.1.1.2.0", ASN_NULL, nullptr, 0);
  KalOwned<IKasPdu> pdu(kas_create_pdu());
  ASSERT_EQ(kas_netsnmp_convert_pdu(response.pdu, pdu.get()), kKalOk);
  EXPECT_EQ(pdu->get_error_status(), 2);
  EXPECT_EQ(pdu->get_error_index(), 2);
  EXPECT_EQ(pdu->get_bindings()->at(0)->get_status(), 100);
  EXPECT_EQ(pdu->get_bindings()->at(1)->get_status(), 2);
  // A status beyond the standard ones becomes 100.
  response.pdu->errstat = 19;
  ASSERT_EQ(kas_netsnmp_convert_pdu(response.pdu, pdu.get()), kKalOk);
  EXPECT_EQ(pdu->get_error_status(), 100);
}

// A value the library gives that we cannot take fails the conversion and
// leaves the request as it was.
TEST_F(NetSnmpConvertTest, UnknownTypeOrOddIpAddressLeavesThePduUnchanged) {
  LibraryPdu response(SNMP_MSG_RESPONSE);
  response.add("1.3.6.1.2.1.1.1.0", ASN_INTEGER, std::array<long, 1>{7}.data(), sizeof(long));
  const float f = 1.5f;
  response.add("1.3.6.1.2.1.1.2.0", ASN_OPAQUE_FLOAT, &f, sizeof f);
  LibraryPdu odd(SNMP_MSG_RESPONSE);
  const u_char five[] = {1, 2, 3, 4, 5};
  odd.add("1.3.6.1.2.1.1.1.0", ASN_IPADDRESS, five, sizeof five);
  for (const auto& [library, rc] : {std::pair{response.pdu, kKalErrPlatform},
                                    std::pair{odd.pdu, kKasErrUndecodable}}) {
    KalOwned<IKasPdu> pdu(zeltest::make_request(0, {"1.3.6.1.9"}));
    pdu->set_request_id(3);
    EXPECT_EQ(kas_netsnmp_convert_pdu(library, pdu.get()), rc);
    EXPECT_EQ(pdu->get_type(), 0);
    EXPECT_EQ(pdu->get_request_id(), 3);
    ASSERT_EQ(pdu->binding_count(), 1u);
    EXPECT_EQ(oid_at(pdu.get(), 0), "1.3.6.1.9");
  }
}

TEST(NetSnmpTypeTest, CommandsBothWays) {
  EXPECT_EQ(kas_netsnmp_pdu_type(SNMP_MSG_GET), 0);
  EXPECT_EQ(kas_netsnmp_pdu_type(SNMP_MSG_GETNEXT), 1);
  EXPECT_EQ(kas_netsnmp_pdu_type(SNMP_MSG_RESPONSE), 2);
  EXPECT_EQ(kas_netsnmp_pdu_type(SNMP_MSG_SET), 3);
  EXPECT_EQ(kas_netsnmp_pdu_type(SNMP_MSG_TRAP2), 4);
  EXPECT_EQ(kas_netsnmp_pdu_type(SNMP_MSG_GETBULK), 5);
  EXPECT_EQ(kas_netsnmp_pdu_type(SNMP_MSG_INFORM), 6);
  EXPECT_EQ(kas_netsnmp_pdu_type(SNMP_MSG_REPORT), 8);
  EXPECT_EQ(kas_netsnmp_pdu_type(SNMP_MSG_TRAP), -1);
  EXPECT_EQ(kas_netsnmp_pdu_type(0), -1);
  EXPECT_EQ(kas_netsnmp_request_command(0), SNMP_MSG_GET);
  EXPECT_EQ(kas_netsnmp_request_command(1), SNMP_MSG_GETNEXT);
  EXPECT_EQ(kas_netsnmp_request_command(3), SNMP_MSG_SET);
  EXPECT_EQ(kas_netsnmp_request_command(4), SNMP_MSG_TRAP2);
  for (int type : {-1, 2, 5, 6, 7, 8}) EXPECT_EQ(kas_netsnmp_request_command(type), -1) << type;
}

// The library keeps the sender of a UDP datagram as the first member of an
// address pair in transport_data.
void set_sender(netsnmp_pdu* pdu, const char* text, uint16_t port, bool v6) {
  auto* pair = static_cast<netsnmp_indexed_addr_pair*>(calloc(1, sizeof(netsnmp_indexed_addr_pair)));
  if (v6) {
    pair->remote_addr.sin6.sin6_family = AF_INET6;
    pair->remote_addr.sin6.sin6_port = htons(port);
    inet_pton(AF_INET6, text, &pair->remote_addr.sin6.sin6_addr);
  } else {
    pair->remote_addr.sin.sin_family = AF_INET;
    pair->remote_addr.sin.sin_port = htons(port);
    inet_pton(AF_INET, text, &pair->remote_addr.sin.sin_addr);
  }
  pdu->transport_data = pair;
  pdu->transport_data_length = sizeof *pair;
}

TEST_F(NetSnmpConvertTest, SourceAddressOfIpv4AndIpv6Senders) {
  const struct {
    const char* text;
    uint16_t port;
    bool v6;
  } rows[] = {{"10.9.0.2", 161, false}, {"fe80::1", 1161, true}};
  for (const auto& row : rows) {
    LibraryPdu a(SNMP_MSG_RESPONSE);
    set_sender(a.pdu, row.text, row.port, row.v6);
    IKalNetworkAddress* raw = nullptr;
    ASSERT_EQ(kas_netsnmp_source_address(a.pdu, &raw), kKalOk);
    KalOwned<IKalNetworkAddress> from(raw);
    EXPECT_STREQ(from->text(), row.text);
    EXPECT_EQ(from->get_protocol(), row.v6 ? IKalNetworkAddress::IPv6 : IKalNetworkAddress::IPv4);
    EXPECT_EQ(from->get_port(), row.port);
  }
}

TEST_F(NetSnmpConvertTest, SourceAddressRefusesMissingOrShortData) {
  LibraryPdu a(SNMP_MSG_RESPONSE);
  IKalNetworkAddress* raw = nullptr;
  EXPECT_EQ(kas_netsnmp_source_address(a.pdu, &raw), kKalErrInvalidArg);
  set_sender(a.pdu, "10.9.0.2", 161, false);
  a.pdu->transport_data_length = 4;
  EXPECT_EQ(kas_netsnmp_source_address(a.pdu, &raw), kKalErrInvalidArg);
  // An IPv6 family in a buffer too short for a sockaddr_in6.
  a.pdu->transport_data_length = sizeof(netsnmp_indexed_addr_pair);
  static_cast<netsnmp_indexed_addr_pair*>(a.pdu->transport_data)->remote_addr.sa.sa_family =
      AF_INET6;
  a.pdu->transport_data_length = sizeof(sockaddr_in);
  EXPECT_EQ(kas_netsnmp_source_address(a.pdu, &raw), kKalErrInvalidArg);
  EXPECT_EQ(raw, nullptr);
}

TEST_F(NetSnmpConvertTest, AnsweringTargetOfAnSnmpV3Response) {
  LibraryPdu report(SNMP_MSG_REPORT);
  set_sender(report.pdu, "10.9.0.3", 161, false);
  report.pdu->securityLevel = SNMP_SEC_LEVEL_AUTHPRIV;
  report.pdu->securityName = strdup("operator");
  report.pdu->securityNameLen = 8;
  report.pdu->contextName = strdup("ctx");
  report.pdu->contextNameLen = 3;
  const u_char engine[] = {0x80, 0x00, 0x1f, 0x88, 0x80, 0x12};
  report.pdu->securityEngineID = static_cast<u_char*>(malloc(sizeof engine));
  memcpy(report.pdu->securityEngineID, engine, sizeof engine);
  report.pdu->securityEngineIDLen = sizeof engine;
  KalOwned<IKasUsmTarget> target(kas_create_usm_target());
  ASSERT_EQ(kas_netsnmp_fill_target(report.pdu, target.get()), kKalOk);
  EXPECT_EQ(target->get_version(), kKasVersion3);
  EXPECT_EQ(target->get_security_level(), 2);
  EXPECT_STREQ(target->get_security_name(), "operator");
  EXPECT_STREQ(target->get_context_name(), "ctx");
  EXPECT_STREQ(target->get_address()->text(), "10.9.0.3");
  size_t length = 0;
  const uint8_t* got = target->get_security_engine_id(&length);
  ASSERT_EQ(length, sizeof engine);
  EXPECT_EQ(memcmp(got, engine, length), 0);

  report.pdu->securityLevel = 7;
  EXPECT_EQ(kas_netsnmp_fill_target(report.pdu, target.get()), kKalErrInvalidArg);
}

}  // namespace
