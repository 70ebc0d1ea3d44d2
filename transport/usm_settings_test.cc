// Peer names and the USM mapping into a library session, without traffic.
#include "transport/usm_settings.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <cstring>
#include <string>

#include "common/network_address.h"
#include "common/owned.h"
#include "gtest/gtest.h"
#include "snmp/target.h"
#include "transport/netsnmp_library.h"
#include "transport/v3_test_util.h"

namespace {

struct PeerRow {
  const char* name;
  const char* address;
  IKalNetworkAddress::EProtocol protocol;
  uint16_t port;
  uint16_t local_port;
  const char* peer;  // null: refused
};

const PeerRow kPeerRows[] = {
    {"Ipv4", "192.168.1.20", IKalNetworkAddress::IPv4, 161, 0, "udp:192.168.1.20:161"},
    {"Ipv6", "fe80::1", IKalNetworkAddress::IPv6, 161, 0, "udp6:[fe80::1]:161"},
    {"Ipx", "00000001:0000c0a80101", IKalNetworkAddress::IPX, 36879, 0,
     "ipx:00000001:0000c0a80101/36879"},
    {"PortZeroTakesLocalPort", "10.0.0.1", IKalNetworkAddress::IPv4, 0, 1161,
     "udp:10.0.0.1:1161"},
    {"BothPortsZeroAppendNothing", "10.0.0.1", IKalNetworkAddress::IPv4, 0, 0, "udp:10.0.0.1"},
    {"UnknownProtocol", "10.0.0.1", IKalNetworkAddress::Unknown, 161, 0, nullptr},
};

class PeerNameTest : public ::testing::TestWithParam<PeerRow> {};

TEST_P(PeerNameTest, Builds) {
  const PeerRow& row = GetParam();
  KalOwned<IKasUsmTarget> target(kas_create_usm_target());
  KalOwned<IKalNetworkAddress> a(kal_create_network_address(row.address, row.protocol, row.port));
  ASSERT_EQ(target->set_address(a.get()), kKalOk);
  target->set_local_port(row.local_port);
  char peer[kKasPeerNameSize];
  if (row.peer) {
    ASSERT_EQ(kas_usm_peer_name(target.get(), peer, sizeof peer), kKalOk);
    EXPECT_STREQ(peer, row.peer);
  } else {
    EXPECT_EQ(kas_usm_peer_name(target.get(), peer, sizeof peer), kKalErrInvalidArg);
  }
}

INSTANTIATE_TEST_SUITE_P(Destinations, PeerNameTest, ::testing::ValuesIn(kPeerRows),
                         [](const ::testing::TestParamInfo<PeerRow>& info) {
                           return std::string(info.param.name);
                         });

TEST(PeerNameTest, RefusesNoAddressAndAShortBuffer) {
  KalOwned<IKasUsmTarget> target(kas_create_usm_target());
  char peer[kKasPeerNameSize];
  EXPECT_EQ(kas_usm_peer_name(target.get(), peer, sizeof peer), kKalErrInvalidArg);
  EXPECT_EQ(kas_usm_peer_name(nullptr, peer, sizeof peer), kKalErrInvalidArg);
  KalOwned<IKalNetworkAddress> a(
      kal_create_network_address("192.168.100.200", IKalNetworkAddress::IPv4, 161));
  target->set_address(a.get());
  // "udp:192.168.100.200:161" needs 24 bytes with its NUL.
  char small[20];
  EXPECT_EQ(kas_usm_peer_name(target.get(), small, sizeof small), kKalErrInvalidArg);
  EXPECT_STREQ(small, "");
  char exact[24];
  EXPECT_EQ(kas_usm_peer_name(target.get(), exact, sizeof exact), kKalOk);
}

class UsmFillTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(library_.status(), kKalOk); }
  int fill(const zeltest::UsmSettings& s, netsnmp_session* session) {
    target_.reset(zeltest::make_usm_target(s, "10.0.0.1", 161, 1500, 3));
    snmp_sess_init(session);
    return kas_usm_fill_session(target_.get(), peer_, session);
  }
  static std::string key(const oid* hash, size_t hash_length, const char* pass) {
    u_char out[USM_AUTH_KU_LEN];
    size_t length = sizeof out;
    EXPECT_EQ(generate_Ku(hash, static_cast<u_int>(hash_length),
                          reinterpret_cast<const u_char*>(pass), strlen(pass), out, &length),
              SNMPERR_SUCCESS);
    return std::string(reinterpret_cast<char*>(out), length);
  }

  NetSnmpLibraryScope library_;
  KalOwned<IKasUsmTarget> target_;
  char peer_[kKasPeerNameSize] = "udp:10.0.0.1:161";
};

TEST_F(UsmFillTest, NoAuthNoPrivHasNoKeys) {
  netsnmp_session s;
  ASSERT_EQ(fill({"user", 0, 0, 0, "", ""}, &s), kKalOk);
  EXPECT_EQ(s.version, SNMP_VERSION_3);
  EXPECT_EQ(s.securityLevel, SNMP_SEC_LEVEL_NOAUTH);
  EXPECT_EQ(s.securityAuthKeyLen, 0u);
  EXPECT_EQ(s.securityPrivKeyLen, 0u);
  EXPECT_EQ(s.securityAuthProtoLen, 0u);
  EXPECT_EQ(s.retries, 3);
  EXPECT_EQ(s.timeout, 1500000);
  EXPECT_STREQ(s.peername, "udp:10.0.0.1:161");
  EXPECT_EQ(std::string(s.securityName, s.securityNameLen), "user");
}

TEST_F(UsmFillTest, AuthNoPrivMd5KeyIsTheLibrarysKu) {
  netsnmp_session s;
  ASSERT_EQ(fill({"user", 1, 1, 9, "md5passphrase", ""}, &s), kKalOk);
  EXPECT_EQ(s.securityLevel, SNMP_SEC_LEVEL_AUTHNOPRIV);
  ASSERT_EQ(s.securityAuthProtoLen, OID_LENGTH(usmHMACMD5AuthProtocol));
  EXPECT_EQ(snmp_oid_compare(s.securityAuthProto, s.securityAuthProtoLen, usmHMACMD5AuthProtocol,
                             OID_LENGTH(usmHMACMD5AuthProtocol)),
            0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(s.securityAuthKey), s.securityAuthKeyLen),
            key(usmHMACMD5AuthProtocol, OID_LENGTH(usmHMACMD5AuthProtocol), "md5passphrase"));
  EXPECT_EQ(s.securityAuthKeyLen, 16u);
  // Privacy protocol 9 is not looked at below authPriv.
  EXPECT_EQ(s.securityPrivProtoLen, 0u);
}

TEST_F(UsmFillTest, AuthPrivShaAesMakesBothKeysWithSha) {
  netsnmp_session s;
  ASSERT_EQ(fill({"user", 2, 2, 2, "shapassphrase", "aesprivpass"}, &s), kKalOk);
  EXPECT_EQ(s.securityLevel, SNMP_SEC_LEVEL_AUTHPRIV);
  EXPECT_EQ(snmp_oid_compare(s.securityAuthProto, s.securityAuthProtoLen, usmHMACSHA1AuthProtocol,
                             OID_LENGTH(usmHMACSHA1AuthProtocol)),
            0);
  EXPECT_EQ(snmp_oid_compare(s.securityPrivProto, s.securityPrivProtoLen, usmAESPrivProtocol,
                             OID_LENGTH(usmAESPrivProtocol)),
            0);
  const oid* sha = usmHMACSHA1AuthProtocol;
  const size_t sha_length = OID_LENGTH(usmHMACSHA1AuthProtocol);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(s.securityAuthKey), s.securityAuthKeyLen),
            key(sha, sha_length, "shapassphrase"));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(s.securityPrivKey), s.securityPrivKeyLen),
            key(sha, sha_length, "aesprivpass"));
  EXPECT_EQ(s.securityPrivKeyLen, 20u);
}

TEST_F(UsmFillTest, AuthPrivMd5DesAndEmptyPassPhrasesGiveEmptyKeys) {
  netsnmp_session s;
  ASSERT_EQ(fill({"user", 2, 1, 1, "", ""}, &s), kKalOk);
  EXPECT_EQ(snmp_oid_compare(s.securityPrivProto, s.securityPrivProtoLen, usmDESPrivProtocol,
                             OID_LENGTH(usmDESPrivProtocol)),
            0);
  EXPECT_EQ(s.securityAuthKeyLen, 0u);
  EXPECT_EQ(s.securityPrivKeyLen, 0u);
}

TEST_F(UsmFillTest, ContextNameAndEngineIdWhenGiven) {
  netsnmp_session s;
  target_.reset(zeltest::make_usm_target({"user", 0, 0, 0, "", ""}, "10.0.0.1"));
  target_->set_context_name("printer");
  const uint8_t engine[] = {0x80, 0x00, 0x1f, 0x88, 0x04, 0x01};
  target_->set_security_engine_id(engine, sizeof engine);
  snmp_sess_init(&s);
  ASSERT_EQ(kas_usm_fill_session(target_.get(), peer_, &s), kKalOk);
  EXPECT_EQ(std::string(s.contextName, s.contextNameLen), "printer");
  ASSERT_EQ(s.securityEngineIDLen, sizeof engine);
  EXPECT_EQ(memcmp(s.securityEngineID, engine, sizeof engine), 0);
}

TEST_F(UsmFillTest, NegativeTimeOutAndRetriesTakeSafeValues) {
  netsnmp_session s;
  target_.reset(zeltest::make_usm_target({"user", 0, 0, 0, "", ""}, "10.0.0.1", 161, -1, -1));
  snmp_sess_init(&s);
  ASSERT_EQ(kas_usm_fill_session(target_.get(), peer_, &s), kKalOk);
  EXPECT_EQ(s.timeout, SNMP_DEFAULT_TIMEOUT);
  EXPECT_EQ(s.retries, 0);
}

TEST_F(UsmFillTest, RefusedSettings) {
  netsnmp_session s;
  EXPECT_EQ(fill({"user", 3, 1, 1, "md5passphrase", ""}, &s), kKalErrInvalidArg);
  EXPECT_EQ(fill({"user", 1, 3, 0, "md5passphrase", ""}, &s), kKalErrInvalidArg);
  EXPECT_EQ(fill({"user", 1, 0, 0, "md5passphrase", ""}, &s), kKalErrInvalidArg);
  EXPECT_EQ(fill({"user", 2, 1, 0, "md5passphrase", "desprivpass"}, &s), kKalErrInvalidArg);
  EXPECT_EQ(fill({"user", 2, 1, 3, "md5passphrase", "desprivpass"}, &s), kKalErrInvalidArg);
  EXPECT_EQ(fill({"user", 1, 1, 0, "seven77", ""}, &s), kKalErrInvalidArg);
  EXPECT_EQ(fill({"user", 2, 1, 1, "md5passphrase", "seven77"}, &s), kKalErrInvalidArg);
  target_->set_version(kKasVersion2c);
  snmp_sess_init(&s);
  EXPECT_EQ(kas_usm_fill_session(target_.get(), peer_, &s), kKalErrInvalidArg);
  EXPECT_EQ(kas_usm_fill_session(nullptr, peer_, &s), kKalErrInvalidArg);
}

}  // namespace
