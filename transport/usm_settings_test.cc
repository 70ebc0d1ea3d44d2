// Peer names and the USM mapping into a library session, without traffic.
#include "transport/usm_settings.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <cstring>
#include <string>
#include <vector>

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
  int fill(const zeltest::UsmSettings& settings, int32_t timeout_ms = 1500, int32_t retries = 3) {
    target_.reset(zeltest::make_usm_target(settings, "10.0.0.1", 161, timeout_ms, retries));
    return refill();
  }
  int refill() {
    snmp_sess_init(&s_);
    return kas_usm_fill_session(target_.get(), peer_, &s_);
  }
  static std::string key(const oid* hash, size_t hash_length, const char* pass) {
    u_char out[USM_AUTH_KU_LEN];
    size_t length = sizeof out;
    EXPECT_EQ(generate_Ku(hash, static_cast<u_int>(hash_length),
                          reinterpret_cast<const u_char*>(pass), strlen(pass), out, &length),
              SNMPERR_SUCCESS);
    return std::string(reinterpret_cast<char*>(out), length);
  }
  static std::string bytes(const u_char* p, size_t n) {
    return std::string(reinterpret_cast<const char*>(p), n);
  }
  static std::vector<oid> oids(const oid* p, size_t n) { return std::vector<oid>(p, p + n); }

  NetSnmpLibraryScope library_;
  KalOwned<IKasUsmTarget> target_;
  char peer_[kKasPeerNameSize] = "udp:10.0.0.1:161";
  netsnmp_session s_;
};

#define ZEL_OIDS(name) oids(name, OID_LENGTH(name))

TEST_F(UsmFillTest, NoAuthNoPrivHasNoKeys) {
  ASSERT_EQ(fill({"user", 0, 0, 0, "", ""}), kKalOk);
  EXPECT_EQ(s_.version, SNMP_VERSION_3);
  EXPECT_EQ(s_.securityLevel, SNMP_SEC_LEVEL_NOAUTH);
  EXPECT_EQ(s_.securityAuthKeyLen, 0u);
  EXPECT_EQ(s_.securityPrivKeyLen, 0u);
  EXPECT_EQ(s_.securityAuthProtoLen, 0u);
  EXPECT_EQ(s_.retries, 3);
  EXPECT_EQ(s_.timeout, 1500000);
  EXPECT_STREQ(s_.peername, "udp:10.0.0.1:161");
  EXPECT_EQ(std::string(s_.securityName, s_.securityNameLen), "user");
}

TEST_F(UsmFillTest, AuthNoPrivMd5KeyIsTheLibrarysKu) {
  ASSERT_EQ(fill({"user", 1, 1, 9, "md5passphrase", ""}), kKalOk);
  EXPECT_EQ(s_.securityLevel, SNMP_SEC_LEVEL_AUTHNOPRIV);
  EXPECT_EQ(oids(s_.securityAuthProto, s_.securityAuthProtoLen), ZEL_OIDS(usmHMACMD5AuthProtocol));
  EXPECT_EQ(bytes(s_.securityAuthKey, s_.securityAuthKeyLen),
            key(usmHMACMD5AuthProtocol, OID_LENGTH(usmHMACMD5AuthProtocol), "md5passphrase"));
  EXPECT_EQ(s_.securityAuthKeyLen, 16u);
  // Privacy protocol 9 is not looked at below authPriv.
  EXPECT_EQ(s_.securityPrivProtoLen, 0u);
}

TEST_F(UsmFillTest, AuthPrivShaAesMakesBothKeysWithSha) {
  ASSERT_EQ(fill({"user", 2, 2, 2, "shapassphrase", "aesprivpass"}), kKalOk);
  EXPECT_EQ(s_.securityLevel, SNMP_SEC_LEVEL_AUTHPRIV);
  EXPECT_EQ(oids(s_.securityAuthProto, s_.securityAuthProtoLen), ZEL_OIDS(usmHMACSHA1AuthProtocol));
  EXPECT_EQ(oids(s_.securityPrivProto, s_.securityPrivProtoLen), ZEL_OIDS(usmAESPrivProtocol));
  const oid* sha = usmHMACSHA1AuthProtocol;
  const size_t sha_length = OID_LENGTH(usmHMACSHA1AuthProtocol);
  EXPECT_EQ(bytes(s_.securityAuthKey, s_.securityAuthKeyLen), key(sha, sha_length, "shapassphrase"));
  EXPECT_EQ(bytes(s_.securityPrivKey, s_.securityPrivKeyLen), key(sha, sha_length, "aesprivpass"));
  EXPECT_EQ(s_.securityPrivKeyLen, 20u);
}

TEST_F(UsmFillTest, AuthPrivMd5DesAndEmptyPassPhrasesGiveEmptyKeys) {
  ASSERT_EQ(fill({"user", 2, 1, 1, "", ""}), kKalOk);
  EXPECT_EQ(oids(s_.securityPrivProto, s_.securityPrivProtoLen), ZEL_OIDS(usmDESPrivProtocol));
  EXPECT_EQ(s_.securityAuthKeyLen, 0u);
  EXPECT_EQ(s_.securityPrivKeyLen, 0u);
}

TEST_F(UsmFillTest, ContextEngineIdAndSafeTimeOutAndRetries) {
  ASSERT_EQ(fill({"user", 0, 0, 0, "", ""}, -1, -1), kKalOk);
  EXPECT_EQ(s_.timeout, SNMP_DEFAULT_TIMEOUT);
  EXPECT_EQ(s_.retries, 0);
  target_->set_context_name("printer");
  const uint8_t engine[] = {0x80, 0x00, 0x1f, 0x88, 0x04, 0x01};
  target_->set_security_engine_id(engine, sizeof engine);
  ASSERT_EQ(refill(), kKalOk);
  EXPECT_EQ(std::string(s_.contextName, s_.contextNameLen), "printer");
  EXPECT_EQ(bytes(s_.securityEngineID, s_.securityEngineIDLen), bytes(engine, sizeof engine));
}

TEST_F(UsmFillTest, RefusedSettings) {
  EXPECT_EQ(fill({"user", 3, 1, 1, "md5passphrase", ""}), kKalErrInvalidArg);
  EXPECT_EQ(fill({"user", 1, 3, 0, "md5passphrase", ""}), kKalErrInvalidArg);
  EXPECT_EQ(fill({"user", 1, 0, 0, "md5passphrase", ""}), kKalErrInvalidArg);
  EXPECT_EQ(fill({"user", 2, 1, 0, "md5passphrase", "desprivpass"}), kKalErrInvalidArg);
  EXPECT_EQ(fill({"user", 2, 1, 3, "md5passphrase", "desprivpass"}), kKalErrInvalidArg);
  EXPECT_EQ(fill({"user", 1, 1, 0, "seven77", ""}), kKalErrInvalidArg);
  EXPECT_EQ(fill({"user", 2, 1, 1, "md5passphrase", "seven77"}), kKalErrInvalidArg);
  target_->set_version(kKasVersion2c);
  EXPECT_EQ(refill(), kKalErrInvalidArg);
  EXPECT_EQ(kas_usm_fill_session(nullptr, peer_, &s_), kKalErrInvalidArg);
}

}  // namespace
