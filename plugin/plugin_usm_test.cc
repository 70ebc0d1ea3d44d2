// The USM provider: defaults, the set rules (every set starts from the
// defaults; texts only when non-empty; integers only when 0..2), and texts that
// fill their record fields without a NUL.
#include "plugin/plugin_usm.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "common/owned.h"
#include "common/status.h"
#include "log/capture_output.h"

namespace {

KalOwned<IZelPluginUSM> make_usm() {
  int status = 1;
  KalOwned<IZelPluginUSM> usm(zel_create_plugin_usm(&status));
  EXPECT_EQ(kKalOk, status);
  return usm;
}

ZelSnmpV3Settings zeroed() {
  ZelSnmpV3Settings s;
  std::memset(&s, 0, sizeof s);
  return s;
}

void expect_defaults(const IZelPluginUSM& usm, const std::string& name,
                     const std::string& auth, const std::string& priv) {
  EXPECT_EQ(-1, usm.get_mode());
  EXPECT_EQ(name, usm.get_security_name());
  EXPECT_EQ(2, usm.get_security_level());
  EXPECT_EQ(1, usm.get_auth_protocol());
  EXPECT_EQ(1, usm.get_priv_protocol());
  EXPECT_EQ(auth, usm.get_auth_passphrase());
  EXPECT_EQ(priv, usm.get_priv_passphrase());
  EXPECT_STREQ("", usm.get_context_name());
}

TEST(PluginUsm, DefaultsHaveTheBuiltInLengths) {
  auto usm = make_usm();
  ASSERT_TRUE(usm);
  EXPECT_EQ(8u, std::strlen(usm->get_security_name()));
  EXPECT_EQ(20u, std::strlen(usm->get_auth_passphrase()));
  EXPECT_EQ(20u, std::strlen(usm->get_priv_passphrase()));
  EXPECT_STRNE(usm->get_auth_passphrase(), usm->get_priv_passphrase());
  expect_defaults(*usm.get(), usm->get_security_name(), usm->get_auth_passphrase(),
                  usm->get_priv_passphrase());
}

// Mode and the three integers are taken over only from 0 to 2 (the all-zero
// record of the non-Ex functions takes its zeros); empty texts keep the
// defaults.
TEST(PluginUsm, IntegersAreTakenOverOnlyFromZeroToTwo) {
  const struct {
    int32_t given;
    int32_t mode_after;   // for the mode
    int32_t level_after;  // default 2
    int32_t proto_after;  // default 1
  } kRows[] = {{0, 0, 0, 0},          {1, 1, 1, 1},          {2, 2, 2, 2},
               {3, -1, 2, 1},         {-1, -1, 2, 1},        {INT32_MIN, -1, 2, 1},
               {INT32_MAX, -1, 2, 1}};
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.given);
    auto usm = make_usm();
    const std::string name = usm->get_security_name();
    ZelSnmpV3Settings s = zeroed();
    s.securityLevel = row.given;
    s.authProtocol = row.given;
    s.privProtocol = row.given;
    usm->set(row.given, s);
    EXPECT_EQ(row.mode_after, usm->get_mode());
    EXPECT_EQ(row.level_after, usm->get_security_level());
    EXPECT_EQ(row.proto_after, usm->get_auth_protocol());
    EXPECT_EQ(row.proto_after, usm->get_priv_protocol());
    EXPECT_EQ(name, usm->get_security_name());
  }
}

// Authenticating with a built-in pass phrase is authenticating with a phrase
// every copy of the plug-in knows: said once per set, at Warn, without the
// phrase.
TEST(PluginUsm, BuiltInPassPhrasesInUseAreWarnedOf) {
  const struct {
    const char* name;
    int32_t mode, level;
    const char* auth;
    const char* priv;
    const char* warning;  // null: no line
  } kRows[] = {
      {"authPriv, both empty", 2, 2, "", "", "default authentication and privacy pass phrase"},
      {"authPriv, priv empty", 2, 2, "auth-phrase", "", "default privacy pass phrase"},
      {"authNoPriv, auth empty", 2, 1, "", "", "default authentication pass phrase"},
      {"authNoPriv needs no priv", 2, 1, "auth-phrase", "", nullptr},
      {"noAuthNoPriv", 2, 0, "", "", nullptr},
      {"level left to the default", 2, -1, "auth-phrase", "", "default privacy pass phrase"},
      {"community mode", 0, 2, "", "", nullptr},
      {"both given", 2, 2, "auth-phrase", "priv-phrase", nullptr},
  };
  KalCaptureOutput capture;
  ASSERT_EQ(kKalOk, kal_log_configure_output(&capture, kKalLogAll));
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.name);
    capture.clear();
    auto usm = make_usm();
    ZelSnmpV3Settings s = zeroed();
    s.securityLevel = row.level;
    std::strcpy(s.authPassphrase, row.auth);
    std::strcpy(s.privPassphrase, row.priv);
    usm->set(row.mode, s);
    const std::vector<std::string> lines = capture.lines();
    if (!row.warning) {
      EXPECT_TRUE(lines.empty()) << lines[0];
      continue;
    }
    ASSERT_EQ(1u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find("Zel             , Warn , IZelPluginUSM::set(): "))
        << lines[0];
    EXPECT_TRUE(lines[0].size() > std::strlen(row.warning) &&
                lines[0].compare(lines[0].size() - std::strlen(row.warning),
                                 std::string::npos, row.warning) == 0)
        << lines[0];
    EXPECT_EQ(std::string::npos, lines[0].find(usm->get_auth_passphrase()));
  }
  kal_log_detach_output(&capture);
}

TEST(PluginUsm, EverySetStartsFromTheDefaults) {
  auto usm = make_usm();
  const std::string name = usm->get_security_name();
  const std::string auth = usm->get_auth_passphrase();
  const std::string priv = usm->get_priv_passphrase();
  ZelSnmpV3Settings s = zeroed();
  std::strcpy(s.securityName, "operator");
  std::strcpy(s.authPassphrase, "authphrase123");
  std::strcpy(s.privPassphrase, "privphrase456");
  std::strcpy(s.contextName, "ctx");
  s.securityLevel = 1;
  s.authProtocol = 2;
  s.privProtocol = 2;
  usm->set(2, s);
  EXPECT_EQ(2, usm->get_mode());
  EXPECT_STREQ("operator", usm->get_security_name());
  EXPECT_STREQ("authphrase123", usm->get_auth_passphrase());
  EXPECT_STREQ("privphrase456", usm->get_priv_passphrase());
  EXPECT_STREQ("ctx", usm->get_context_name());
  EXPECT_EQ(1, usm->get_security_level());

  // Level 3 and empty texts: everything is back at its default, not at the
  // values of the previous set.
  ZelSnmpV3Settings empty = zeroed();
  empty.securityLevel = 3;
  empty.authProtocol = 7;
  empty.privProtocol = -4;
  usm->set(5, empty);
  expect_defaults(*usm.get(), name, auth, priv);
}

TEST(PluginUsm, LentBuffersFollowEverySet) {
  auto usm = make_usm();
  const char* lent = usm->get_security_name();
  ZelSnmpV3Settings s = zeroed();
  std::strcpy(s.securityName, "second");
  usm->set(0, s);
  EXPECT_STREQ("second", lent);
}

TEST(PluginUsm, UnterminatedRecordTextsAreCutAndNeverOverread) {
  // The record lives on the heap with exactly its own size, so that reading
  // past any field's end (the context name is the last one) trips ASan.
  auto record = std::make_unique<ZelSnmpV3Settings>();
  std::memset(record.get(), 'x', sizeof *record);
  record->securityLevel = 1;
  record->authProtocol = 2;
  record->privProtocol = 2;
  auto usm = make_usm();
  usm->set(2, *record);
  EXPECT_EQ(std::string(63, 'x'), usm->get_security_name());
  EXPECT_EQ(std::string(63, 'x'), usm->get_auth_passphrase());
  EXPECT_EQ(std::string(63, 'x'), usm->get_priv_passphrase());
  EXPECT_EQ(std::string(511, 'x'), usm->get_context_name());
  EXPECT_EQ(1, usm->get_security_level());
}

TEST(PluginUsm, CreationFailsCleanlyWithoutMemory) {
  kal_alloc_hook::g_fail_countdown = 0;
  int status = 0;
  IZelPluginUSM* usm = zel_create_plugin_usm(&status);
  kal_alloc_hook::g_fail_countdown = -1;
  EXPECT_EQ(nullptr, usm);
  EXPECT_EQ(kKalErrNoMemory, status);
}

}  // namespace
