// zelctl run as a program against the built plug-in library: every failure
// path prints one line naming the status's meaning and exits with its own
// code; --json writes one parsable document.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "testing/snmpsim_agent.h"
#include "tools/zelctl/plugin_library.h"
#include "tools/zelctl/report_json.h"
#include "tools/zelctl/status_text.h"

extern char** environ;

namespace zelctl {
namespace {

struct Result {
  int exit_code = -1;
  std::string out, err;
};

std::string slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

Result run_zelctl(std::vector<std::string> args) {
  static const std::string dir = zeltest::make_temp_dir("zelctl");
  const std::string out = dir + "/out", err = dir + "/err";
  args.insert(args.begin(), {ZELCTL_BINARY, "--library", ZELCTL_LIBRARY});
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&fa, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = -1;
  Result r;
  if (posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&fa);
  r.out = slurp(out);
  r.err = slurp(err);
  return r;
}

// The one line on stderr, without its newline.
std::string one_line(const Result& r) {
  EXPECT_FALSE(r.err.empty());
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "more than one line: " << r.err;
  return r.err.substr(0, r.err.find('\n'));
}

TEST(ZelctlRunTest, UnreachableAddressNamesTheFailure) {
  const Result r = run_zelctl({"status", "127.0.6.1", "-t", "200", "-r", "1"});
  EXPECT_EQ(one_line(r), "zelctl: no answer from 127.0.6.1 after 2 tries (time-out 200 ms) "
                         "(status -203)");
  EXPECT_EQ(r.exit_code, kExitNoAnswer);
  EXPECT_EQ(r.out, "");
}

TEST(ZelctlRunTest, UnreachableAddressAsJsonStillOneDocument) {
  const Result r = run_zelctl({"--json", "status", "127.0.6.1", "-t", "200", "-r", "0"});
  const auto doc = nlohmann::json::parse(r.out);
  EXPECT_EQ(doc["command"], "status");
  EXPECT_EQ(doc["request"]["address"], "127.0.6.1");
  EXPECT_EQ(doc["request"]["timeout_ms"], 200);
  const int status = doc["open"]["status"];
  EXPECT_EQ(doc["open"]["meaning"], status_meaning(status));
  EXPECT_EQ(r.exit_code, exit_code_for(status));
}

TEST(ZelctlRunTest, BadOrUnservedProtocolCodeIsNamed) {
  // Host protocol code 4 does not exist: the plug-in answers invalid argument.
  const std::string refused =
      "invalid argument: the plug-in refused the protocol (code 4) or the address (status -2)";
  for (const char* command : {"status", "cancel-job"}) {
    std::vector<std::string> args = {command, "-p", "4", "127.0.6.1"};
    if (std::string(command) == "cancel-job") args.push_back("JOB1");
    const Result r = run_zelctl(args);
    EXPECT_EQ(one_line(r), "zelctl: device open: " + refused);
    EXPECT_EQ(r.exit_code, kExitUsage);
  }
  const Result d = run_zelctl({"discover", "-p", "4", "--no-progress"});
  EXPECT_EQ(one_line(d), "zelctl: discovery: " + refused);
  EXPECT_EQ(d.exit_code, kExitUsage);
  // Code 3 passes the check, but no transport serves it.
  const Result r = run_zelctl({"discover", "-p", "3", "--no-progress"});
  EXPECT_EQ(one_line(r),
            "zelctl: discovery is not supported by this plug-in for code 3 (not served by "
            "this protocol, or not built yet) (status -5)");
  EXPECT_EQ(r.exit_code, kExitNotAvailable);
}

TEST(ZelctlRunTest, BadCommandLineNeverReachesThePlugin) {
  struct Row {
    const char* name;
    std::vector<std::string> args;
    const char* message;
  };
  const Row rows[] = {
      {"address of the other protocol", {"status", "-p", "ipv6", "127.0.6.1"},
       "zelctl: '127.0.6.1' is not an IPv6 address (numeric, like 2001:db8::7) "
       "(see zelctl status --help)"},
      {"v3 user too long", {"status", "127.0.6.1", "--v3-user", std::string(40, 'x')},
       "zelctl: --v3-user is longer than 32 characters (see zelctl status --help)"},
      {"v3 pass phrase too short", {"discover", "--v3-auth-pass", "abc"},
       "zelctl: --v3-auth-pass must have 8 to 63 characters (see zelctl discover --help)"},
      {"v3 level", {"discover", "--v3-level", "high"},
       "zelctl: --v3-level must be noAuthNoPriv, authNoPriv or authPriv "
       "(see zelctl discover --help)"},
  };
  for (const auto& row : rows) {
    const Result r = run_zelctl(row.args);
    EXPECT_EQ(one_line(r), row.message) << row.name;
    EXPECT_EQ(r.exit_code, kExitUsage) << row.name;
  }
}

TEST(ZelctlRunTest, MissingLibraryIsNamed) {
  const std::string cmd = std::string("'") + ZELCTL_BINARY +
                          "' --library /nonexistent/libzel.so discover 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  ASSERT_NE(p, nullptr);
  char line[512] = {};
  ASSERT_NE(std::fgets(line, sizeof line, p), nullptr);
  const int status = pclose(p);
  EXPECT_EQ(std::string(line).rfind("zelctl: cannot load the plug-in /nonexistent/libzel.so: ", 0),
            0u)
      << line;
  EXPECT_EQ(WEXITSTATUS(status), kExitLibrary);
}

TEST(ZelctlRunTest, HelpForEveryCommand) {
  for (const char* command : {"discover", "status", "cancel-job"}) {
    const Result r = run_zelctl({command, "--help"});
    EXPECT_EQ(r.exit_code, 0) << command;
    EXPECT_NE(r.out.find("Usage"), std::string::npos) << command;
    EXPECT_EQ(r.err, "") << command;
  }
}

TEST(ZelctlRunTest, UnsupportedModelIsNamed) {
  // A real agent answering with a foreign sysObjectID.
  const std::string src = zeltest::shared_recording("printer-02.snmprec");
  if (src.empty() || !zeltest::have_snmpsimd()) GTEST_SKIP() << "no shared recordings or snmpsimd";
  const std::string dir = zeltest::make_temp_dir("zelctl-agent");
  ASSERT_TRUE(zeltest::write_recording(src, dir, "vorovo"));
  zeltest::SnmpsimAgent agent;
  std::string error;
  ASSERT_TRUE(agent.start("127.0.6.2", dir, "vorovo", &error)) << error;
  const Result r = run_zelctl({"status", "127.0.6.2", "-t", "500", "-r", "1"});
  EXPECT_EQ(one_line(r), "zelctl: 127.0.6.2 is not a supported model, or the address is not an "
                         "IPv4 address: invalid argument (status -2)");
  EXPECT_EQ(r.exit_code, kExitUnsupported);
}

TEST(ZelctlRunTest, StatusTextMatchesTheGoldenFile) {
  // The whole text report of our supported-device recording; only the
  // address varies from run to run. ZELCTL_UPDATE_GOLDEN=1 rewrites the file.
  if (!zeltest::have_snmpsimd()) GTEST_SKIP() << "snmpsimd is not installed";
  const std::string dir = zeltest::make_temp_dir("zelctl-golden");
  ASSERT_TRUE(zeltest::write_recording(
      zeltest::repo_file("options/testdata/supported-device.snmprec"), dir, "vorovo"));
  zeltest::SnmpsimAgent agent;
  std::string error;
  const std::string address = "127.0.31.10";
  ASSERT_TRUE(agent.start(address, dir, "vorovo", &error)) << error;
  const Result r = run_zelctl({"status", address, "-t", "1000", "-r", "1", "--no-progress"});
  EXPECT_EQ(r.exit_code, kExitOk);
  EXPECT_EQ(r.err, "");
  std::string text = r.out;
  for (size_t at; (at = text.find(address)) != std::string::npos;)
    text.replace(at, address.size(), "ADDRESS");
  const std::string golden = zeltest::repo_file("tools/zelctl/testdata/status.golden");
  if (getenv("ZELCTL_UPDATE_GOLDEN")) std::ofstream(golden) << text;
  EXPECT_EQ(text, slurp(golden));
}

// Reads one table straight through the exported functions.
template <class Record, class Count, class Get>
Json direct_records(Count count, Get get, int32_t* status) {
  int32_t n = 0;
  *status = count(&n);
  Json rows = Json::array();
  for (int32_t i = 0; *status == 0 && i < n; ++i) {
    Record r{};
    if (get(static_cast<uint32_t>(i), &r) != 0) break;
    rows.push_back(record_json(r));
  }
  return rows;
}

TEST(ZelctlRunTest, StatusJsonMatchesTheExportedRecords) {
  // Three recordings served as supported devices; zelctl's document must give
  // the records that the exported functions give, field by field.
  struct Row {
    const char* address;
    std::string recording;
  };
  const Row rows[] = {
      {"127.0.6.10", zeltest::repo_file("options/testdata/supported-device.snmprec")},
      {"127.0.6.11", zeltest::shared_recording("printer-06.snmprec")},
      {"127.0.6.12", zeltest::shared_recording("printer-11.snmprec")},
  };
  if (!zeltest::have_snmpsimd()) GTEST_SKIP() << "snmpsimd is not installed";
  PluginLibrary lib;
  std::string error;
  ASSERT_TRUE(lib.open(ZELCTL_LIBRARY, &error)) << error;
  const ZelApi& api = lib.api();
  for (const auto& row : rows) {
    if (row.recording.empty()) continue;
    SCOPED_TRACE(row.recording);
    const std::string dir = zeltest::make_temp_dir("zelctl-json");
    ASSERT_TRUE(zeltest::write_recording(row.recording, dir, "vorovo",
                                         "1.3.6.1.4.1.61802.1.11.93.1.37.22.4"));
    zeltest::SnmpsimAgent agent;
    ASSERT_TRUE(agent.start(row.address, dir, "vorovo", &error)) << error;

    ZelContext* ctx = nullptr;
    ASSERT_EQ(api.ZelInit(&ctx), 0);
    const ZelSnmpV3Settings none{};
    ASSERT_EQ(api.ZelInitDeviceEx(ctx, row.address, 1, 0, &none, 1000, 1), 0);
    int32_t st = 0;
    const Json storage = direct_records<ZelStorageInfo>(
        [&](int32_t* n) { return api.ZelGetNumberOfStorageInfo(ctx, n); },
        [&](uint32_t i, ZelStorageInfo* p) { return api.ZelGetStorageInfo(ctx, i, p); }, &st);
    const Json devices = direct_records<ZelDeviceInfo>(
        [&](int32_t* n) { return api.ZelGetNumberOfDeviceInfo(ctx, n); },
        [&](uint32_t i, ZelDeviceInfo* p) { return api.ZelGetDeviceInfo(ctx, i, p); }, &st);
    const Json inputs = direct_records<ZelInputTrayInfoEx>(
        [&](int32_t* n) { return api.ZelGetNumberOfInputTrayInfoEx(ctx, n); },
        [&](uint32_t i, ZelInputTrayInfoEx* p) { return api.ZelGetInputTrayInfoEx(ctx, i, p); },
        &st);
    const Json toner = direct_records<ZelTonerInfo>(
        [&](int32_t* n) { return api.ZelGetNumberOfTonerInfo(ctx, n); },
        [&](uint32_t i, ZelTonerInfo* p) { return api.ZelGetTonerInfo(ctx, i, p); }, &st);
    ZelPrinterInfo printer{};
    const int32_t printer_status = api.ZelGetPrinterInfo(ctx, &printer);
    api.ZelUnInit(ctx);

    const Result r = run_zelctl({"--json", "status", row.address, "-t", "1000", "-r", "1"});
    const Json doc = Json::parse(r.out);
    EXPECT_EQ(doc["storage"]["records"], storage);
    EXPECT_EQ(doc["devices"]["records"], devices);
    EXPECT_EQ(doc["input_trays"]["records"], inputs);
    EXPECT_EQ(doc["toner"]["records"], toner);
    EXPECT_EQ(doc["printer"]["status"], printer_status);
    if (printer_status == 0) {
      EXPECT_EQ(doc["printer"]["record"], record_json(printer));
    }
  }
}

}  // namespace
}  // namespace zelctl
