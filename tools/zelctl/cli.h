// The command line of zelctl, parsed with CLI11: global options (library,
// output, log, time-out, retries, communities, protocol, SNMPv3) and the
// commands "discover", "status" and "cancel-job". Parsing and checking are
// kept apart from running, so that tests can feed argument vectors.
#ifndef TOOLS_ZELCTL_CLI_H_
#define TOOLS_ZELCTL_CLI_H_

#include <cstdint>
#include <string>
#include <vector>

#include "common/secret.h"
#include "plugin/zel_api.h"
#include "tools/zelctl/report_sections.h"
#include "tools/zelctl/fleet_options.h"

namespace zelctl {

// Where a pass phrase comes from when the command line gives none.
inline constexpr char kAuthPassEnv[] = "ZELCTL_V3_AUTH_PASS";
inline constexpr char kPrivPassEnv[] = "ZELCTL_V3_PRIV_PASS";

struct V3Options {
  // The pass phrases' buffers are reserved up front, so that no assignment
  // moves them (a moved buffer would leave its old copy in freed memory),
  // and wiped when the options go.
  V3Options() {
    auth_pass.reserve(kPassCapacity);
    priv_pass.reserve(kPassCapacity);
  }
  V3Options(const V3Options&) = default;
  V3Options& operator=(const V3Options&) = default;
  ~V3Options() {
    kal_wipe(&auth_pass);
    kal_wipe(&priv_pass);
  }
  static constexpr size_t kPassCapacity = 255;

  std::string user, level, auth, auth_pass, priv, priv_pass, context;
  // --v3-auth-pass-file, --v3-priv-pass-file: the first line is the phrase.
  std::string auth_pass_file, priv_pass_file;
};

struct Options {
  std::string command;      // "discover", "status", "cancel-job", "capture", "traps", "poll"
  std::string library;      // --library; empty: next to the program
  bool json = false;
  bool log = false;
  std::string log_level = "debug";
  bool progress = true;     // --no-progress turns the countdown off
  int32_t timeout_ms = 1000;
  int32_t retries = 1;
  std::string community;    // discovery and read community
  std::string read_community, write_community;
  std::string protocol_text;  // ipv4, ipv6, ipx or a raw host code
  bool ipv6 = false;          // discover: IPv6 multicast instead of IPv4 broadcast
  bool family4 = false, family6 = false;  // -4, -6: the family a host name resolves to
  std::string snmp_version;   // -v: "1", "2c" or "3"; empty: from the other options
  bool v3 = false;
  bool version = false;       // --version
  V3Options v3_options;

  std::string address;                // discover (optional), status, cancel-job
  std::string address_text;           // the address as given, before resolving
  std::vector<std::string> filters;   // discover --filter
  bool all = false;                   // discover --all: list the other agents too
  int32_t job_list = 0;               // status --job-list
  ReportSelection report;             // status --options, --section
  std::string job_id;                 // cancel-job
  FleetOptions fleet;                 // capture, traps, poll

  // Filled by check_options.
  int32_t protocol = 1;      // host protocol code
  bool raw_protocol = false; // given as a number: passed on unchecked
  uint32_t log_mask = 0;
  ZelSnmpV3Settings v3_settings{};

  ~Options() { kal_wipe(&v3_settings, sizeof v3_settings); }
};

// The longest job ID cancel-job sends: the plug-in writes the job's row index
// as text of at most 1023 characters, "101.<length>" and ".<byte>" per byte,
// so 254 bytes always fit, whatever they are.
inline constexpr size_t kMaxJobIdLength = 254;

// Parses argv into *options. Answers -1 to go on; otherwise the exit code to
// leave with, with the text to print in *output (help: exit 0 on stdout;
// errors: exit 2, one line for stderr).
int parse_command_line(int argc, const char* const* argv, Options* options,
                       std::string* output);

// True when argv asks for --json (before any "--"), also where parsing fails.
bool wants_json(int argc, const char* const* argv);

// Checks what CLI11 cannot: the job ID, the SNMP version, the protocol and
// the address (a host name is resolved here; [v6] and ":161" are accepted,
// any other port is refused), the SNMPv3 settings
// (user at most 32 characters, pass phrases of 8 to 63, context at most 511)
// and the log level; fills the derived fields. A pass phrase not on the
// command line is read from the first line of its file option, else from its
// environment variable (kAuthPassEnv, kPrivPassEnv). Answers "" or a
// one-line reason.
std::string check_options(Options* options);

// The SNMP mode the plug-in is given: 2 for SNMPv3, 0 otherwise.
inline int32_t snmp_mode(const Options& o) { return o.v3 ? 2 : 0; }

}  // namespace zelctl

#endif  // TOOLS_ZELCTL_CLI_H_
