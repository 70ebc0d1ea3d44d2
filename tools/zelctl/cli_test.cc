// Command-line parsing and checking: named rows of argument vectors and what
// they must give.
#include "tools/zelctl/cli.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include <string>
#include <vector>

namespace zelctl {
namespace {

struct Parsed {
  int rc;
  Options options;
  std::string output;
  std::string check;  // check_options' reason, when parsing went on
};

Parsed parse(std::vector<std::string> args) {
  args.insert(args.begin(), "zelctl");
  std::vector<const char*> argv;
  for (const auto& a : args) argv.push_back(a.c_str());
  Parsed p;
  p.rc = parse_command_line(static_cast<int>(argv.size()), argv.data(), &p.options, &p.output);
  if (p.rc < 0) p.check = check_options(&p.options);
  return p;
}

TEST(CliTest, DiscoverDefaultsToIpv4BroadcastWithPluginDefaults) {
  const Parsed p = parse({"discover"});
  ASSERT_EQ(p.rc, -1) << p.output;
  EXPECT_EQ(p.check, "");
  EXPECT_EQ(p.options.command, "discover");
  EXPECT_EQ(p.options.address, "");
  EXPECT_EQ(p.options.protocol, 1);
  EXPECT_EQ(p.options.timeout_ms, 1000);
  EXPECT_EQ(p.options.retries, 1);
  EXPECT_FALSE(p.options.v3);
  EXPECT_EQ(snmp_mode(p.options), 0);
}

TEST(CliTest, GlobalOptionsMayFollowTheCommand) {
  const Parsed p = parse({"status", "10.0.0.7", "--json", "-t", "250", "-r", "3",
                          "--community", "vorovo", "--job-list", "2"});
  ASSERT_EQ(p.rc, -1) << p.output;
  EXPECT_EQ(p.check, "");
  EXPECT_TRUE(p.options.json);
  EXPECT_EQ(p.options.timeout_ms, 250);
  EXPECT_EQ(p.options.retries, 3);
  EXPECT_EQ(p.options.community, "vorovo");
  EXPECT_EQ(p.options.job_list, 2);
  EXPECT_EQ(p.options.address, "10.0.0.7");
}

TEST(CliTest, ProtocolFollowsTheAddress) {
  struct Row {
    const char* name;
    std::vector<std::string> args;
    int protocol;
    bool raw;
  };
  const Row rows[] = {
      {"ipv4 literal", {"status", "192.0.2.1"}, 1, false},
      {"ipv6 literal", {"status", "2001:db8::5"}, 5, false},
      {"discover -6", {"discover", "-6"}, 5, false},
      {"named ipx", {"status", "-p", "ipx", "0000000a:00c0a8010101"}, 2, false},
      {"raw code 4 passes unchecked", {"status", "-p", "4", "192.0.2.1"}, 4, true},
      {"raw code 3", {"discover", "--protocol", "3"}, 3, true},
      {"bracketed ipv6 with port", {"status", "[2001:db8::5]:161"}, 5, false},
      {"ipv4 with port", {"status", "192.0.2.1:161"}, 1, false},
      {"host name", {"status", "localhost"}, 1, false},
      {"host name with port, -4", {"status", "-4", "localhost:161"}, 1, false},
      {"global -6 is discover's multicast", {"-6", "discover"}, 5, false},
  };
  for (const auto& row : rows) {
    const Parsed p = parse(row.args);
    ASSERT_EQ(p.rc, -1) << row.name << ": " << p.output;
    EXPECT_EQ(p.check, "") << row.name;
    EXPECT_EQ(p.options.protocol, row.protocol) << row.name;
    EXPECT_EQ(p.options.raw_protocol, row.raw) << row.name;
  }
}

TEST(CliTest, RejectsWhatTheCommandLineCanTell) {
  struct Row {
    const char* name;
    std::vector<std::string> args;
    int rc;            // 2 from the parser, -1 when check_options refuses
    const char* why;   // part of the reason
  };
  const Row rows[] = {
      {"no command", {}, 2, "subcommand"},
      {"status without address", {"status"}, 2, "address"},
      {"cancel without id", {"cancel-job", "192.0.2.1"}, 2, "id"},
      {"time-out zero", {"discover", "-t", "0"}, 2, "timeout"},
      {"retries negative", {"discover", "-r", "-1"}, 2, "retries"},
      {"job list 3", {"status", "192.0.2.1", "--job-list", "3"}, 2, "job-list"},
      {"unknown option", {"discover", "--bogus"}, 2, "bogus"},
      {"not a host name", {"status", "printer_1.example"}, -1, "nor a host name"},
      {"other port", {"status", "192.0.2.1:1161"}, -1, "the device port is fixed at 161"},
      {"other port, ipv6", {"status", "[2001:db8::5]:16100"}, -1, "fixed at 161"},
      {"name in brackets", {"status", "[printer]"}, -1, "only an IPv6 address"},
      {"ipv4 text with -6", {"status", "-6", "192.0.2.1"}, -1, "not an IPv6 address"},
      {"-4 and -6", {"status", "-4", "-6", "192.0.2.1"}, -1, "exclude each other"},
      {"empty job id", {"cancel-job", "192.0.2.1", ""}, -1, "the job ID is empty"},
      {"job id too long", {"cancel-job", "192.0.2.1", std::string(255, '7')}, -1, "at most 254"},
      {"snmp version 4", {"status", "192.0.2.1", "-v", "4"}, -1, "-v must be 1, 2c or 3"},
      {"v2c with a user", {"status", "192.0.2.1", "-v", "2c", "-u", "me"}, -1, "need -v 3"},
      {"no command with --json", {"--json"}, 2, "A subcommand is required"},
      {"ipv4 text for ipv6", {"status", "-p", "ipv6", "192.0.2.1"}, -1, "not an IPv6 address"},
      {"protocol word", {"discover", "-p", "appletalk"}, -1, "unknown protocol"},
      {"v3 user too long", {"discover", "--v3-user", std::string(33, 'u')}, -1, "32"},
      {"v3 pass too short", {"discover", "--v3-auth-pass", "short"}, -1, "8 to 63"},
      {"v3 priv pass too long", {"discover", "--v3-priv-pass", std::string(64, 'p')}, -1,
       "8 to 63"},
      {"v3 level", {"discover", "--v3-level", "authAndPriv"}, -1, "--v3-level"},
      {"v3 auth", {"discover", "--v3-auth", "sha256"}, -1, "--v3-auth"},
      {"v3 priv", {"discover", "--v3-priv", "3des"}, -1, "--v3-priv"},
      {"log level", {"discover", "--log", "--log-level", "loud"}, -1, "--log-level"},
      {"v3 pass file missing", {"discover", "--v3-priv-pass-file", "/nonexistent/zel"}, -1,
       "--v3-priv-pass-file: cannot open"},
  };
  for (const auto& row : rows) {
    const Parsed p = parse(row.args);
    EXPECT_EQ(p.rc, row.rc) << row.name << ": " << p.output;
    const std::string& why = row.rc == -1 ? p.check : p.output;
    EXPECT_NE(why.find(row.why), std::string::npos) << row.name << ": " << why;
    EXPECT_EQ(why.find('\n'), std::string::npos) << row.name << ": one line";
  }
}

// The SNMPv3 options and their Net-SNMP-style aliases fill the same record.
TEST(CliTest, SnmpV3SettingsAndTheirAliasesFillTheRecord) {
  const std::vector<std::string> forms[] = {
      {"discover", "--v3-user", "simulator", "--v3-level", "authPriv", "--v3-auth", "SHA",
       "--v3-auth-pass", "auctoritas", "--v3-priv", "aes", "--v3-priv-pass", "privatus",
       "--v3-context", "ctx"},
      {"status", "192.0.2.1", "-v", "3", "-u", "simulator", "-l", "AUTHPRIV", "-a", "Sha", "-A",
       "auctoritas", "-x", "Aes", "-X", "privatus", "-n", "ctx"},
  };
  for (const auto& args : forms) {
    SCOPED_TRACE(args[0]);
    const Parsed p = parse(args);
    ASSERT_EQ(p.rc, -1) << p.output;
    ASSERT_EQ(p.check, "");
    const ZelSnmpV3Settings& s = p.options.v3_settings;
    EXPECT_TRUE(p.options.v3);
    EXPECT_EQ(snmp_mode(p.options), 2);
    EXPECT_STREQ(s.securityName, "simulator");
    EXPECT_EQ(s.securityLevel, 2);
    EXPECT_EQ(s.authProtocol, 2);
    EXPECT_EQ(s.privProtocol, 2);
    EXPECT_STREQ(s.authPassphrase, "auctoritas");
    EXPECT_STREQ(s.privPassphrase, "privatus");
    EXPECT_STREQ(s.contextName, "ctx");
  }
  for (const char* v : {"1", "2c"}) {
    const Parsed c = parse({"status", "192.0.2.1", "-v", v, "-c", "public"});
    ASSERT_EQ(c.check, "") << v;
    EXPECT_EQ(snmp_mode(c.options), 0) << v;
  }
  const Parsed m = parse({"status", "192.0.2.1", "-a", "MD5", "-x", "DES"});
  ASSERT_EQ(m.check, "");
  EXPECT_EQ(m.options.v3_settings.authProtocol, 1);
  EXPECT_EQ(m.options.v3_settings.privProtocol, 1);
}

TEST(CliTest, TheResolvedAddressIsWhatThePluginGets) {
  struct Row {
    std::vector<std::string> args;
    const char* address;
  };
  const Row rows[] = {
      {{"status", "[2001:DB8::5]"}, "2001:DB8::5"},
      {{"status", "192.0.2.1:161"}, "192.0.2.1"},
      {{"status", "-4", "localhost"}, "127.0.0.1"},
      {{"cancel-job", "localhost:161", std::string(254, '7')}, "127.0.0.1"},
  };
  for (const auto& row : rows) {
    const Parsed p = parse(row.args);
    ASSERT_EQ(p.check, "") << row.args[1];
    EXPECT_EQ(p.options.address, row.address) << row.args[1];
  }
}

// Pass phrases kept off the command line (where ps shows them): the command
// line wins over the file, the file over the environment, and the
// environment alone does not turn SNMPv3 on.
TEST(CliTest, PassPhrasesFromFilesAndTheEnvironment) {
  char path[] = "/tmp/zelctl-pass-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  const char kFile[] = "from-the-file\r\nsecond line\n";
  ASSERT_EQ(write(fd, kFile, sizeof kFile - 1), static_cast<ssize_t>(sizeof kFile - 1));
  close(fd);
  ASSERT_EQ(0, setenv(kAuthPassEnv, "from-the-environment", 1));
  ASSERT_EQ(0, setenv(kPrivPassEnv, "private-environment", 1));
  struct Row {
    const char* name;
    std::vector<std::string> args;
    const char* auth;
    const char* priv;
  };
  const Row rows[] = {
      {"environment", {"discover", "--v3"}, "from-the-environment", "private-environment"},
      {"file over environment", {"discover", "--v3-auth-pass-file", path}, "from-the-file",
       "private-environment"},
      {"command line over file",
       {"discover", "--v3-auth-pass", "from-the-command", "--v3-auth-pass-file", path,
        "--v3-priv-pass-file", path},
       "from-the-command", "from-the-file"},
      {"environment alone is no SNMPv3", {"discover"}, "", ""},
  };
  for (const auto& row : rows) {
    const Parsed p = parse(row.args);
    ASSERT_EQ(p.rc, -1) << row.name << ": " << p.output;
    EXPECT_EQ(p.check, "") << row.name;
    EXPECT_STREQ(p.options.v3_settings.authPassphrase, row.auth) << row.name;
    EXPECT_STREQ(p.options.v3_settings.privPassphrase, row.priv) << row.name;
  }
  ASSERT_EQ(0, setenv(kAuthPassEnv, "short", 1));
  EXPECT_EQ(parse({"discover", "--v3"}).check,
            std::string(kAuthPassEnv) + " must have 8 to 63 characters");
  unsetenv(kAuthPassEnv);
  unsetenv(kPrivPassEnv);
  unlink(path);
}

TEST(CliTest, UnsetSnmpV3IntegersKeepThePluginDefaults) {
  // Values outside 0..2 keep the plug-in's defaults; 0 would select "none".
  const Parsed p = parse({"discover", "--v3"});
  ASSERT_EQ(p.rc, -1);
  ASSERT_EQ(p.check, "");
  EXPECT_EQ(p.options.v3_settings.securityLevel, -1);
  EXPECT_EQ(p.options.v3_settings.authProtocol, -1);
  EXPECT_EQ(p.options.v3_settings.privProtocol, -1);
  EXPECT_STREQ(p.options.v3_settings.securityName, "");
}

TEST(CliTest, LongestAcceptedSnmpV3TextsStayTerminated) {
  const Parsed p = parse({"discover", "--v3-user", std::string(32, 'u'), "--v3-auth-pass",
                          std::string(63, 'a'), "--v3-context", std::string(511, 'c')});
  ASSERT_EQ(p.check, "");
  EXPECT_EQ(std::string(p.options.v3_settings.securityName).size(), 32u);
  EXPECT_EQ(p.options.v3_settings.authPassphrase[63], '\0');
  EXPECT_EQ(p.options.v3_settings.contextName[511], '\0');
}

TEST(CliTest, HelpOfEveryCommandExitsZero) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--help"}, {"discover", "--help"}, {"status", "--help"}, {"cancel-job", "--help"}}) {
    const Parsed p = parse(args);
    EXPECT_EQ(p.rc, 0) << args[0];
    EXPECT_NE(p.output.find("Usage"), std::string::npos) << p.output;
  }
  EXPECT_NE(parse({"status", "--help"}).output.find("--job-list"), std::string::npos);
  EXPECT_NE(parse({"discover", "--help"}).output.find("--filter"), std::string::npos);
  EXPECT_NE(parse({"--help"}).output.find("\n  12  status: a supported model"), std::string::npos);
  EXPECT_TRUE(parse({"--version"}).options.version);
}

TEST(CliTest, LogLevelGivesTheMask) {
  Parsed p = parse({"discover", "--log"});
  ASSERT_EQ(p.check, "");
  EXPECT_TRUE(p.options.log);
  EXPECT_EQ(p.options.log_mask, 15u);  // error..debug
  p = parse({"discover", "--log-level", "error"});
  ASSERT_EQ(p.check, "");
  EXPECT_TRUE(p.options.log);  // a level turns logging on
  EXPECT_EQ(p.options.log_mask, 1u);
}

}  // namespace
}  // namespace zelctl
