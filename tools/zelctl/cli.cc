#include "tools/zelctl/cli.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstring>
#include <map>

#include "log/log.h"
#include "tools/zelctl/address.h"
#include "tools/zelctl/status_text.h"
#include "tools/zelctl/fleet_cli.h"

namespace zelctl {
namespace {

void add_global_options(CLI::App& app, Options* o) {
  app.add_option("--library", o->library,
                 "the plug-in .so to load (default: the one built beside zelctl, "
                 "else the installed one)");
  app.add_flag("--json", o->json, "write one JSON document to standard output");
  app.add_flag("--log", o->log, "send the plug-in's own log lines to standard error");
  app.add_option("--log-level", o->log_level,
                 "with --log: error, warn, info, debug or trace (default debug)");
  app.add_flag_callback("--no-progress", [o] { o->progress = false; },
                        "no progress line on standard error (it shows only on a terminal)");
  app.add_option("-t,--timeout", o->timeout_ms, "time-out per try in milliseconds")
      ->check(CLI::Range(1, 600000))
      ->capture_default_str();
  app.add_option("-r,--retries", o->retries, "retries after the first try")
      ->check(CLI::Range(0, 100))
      ->capture_default_str();
  app.add_option("-c,--community", o->community,
                 "community for discovery and reads (default: the plug-in's)");
  app.add_option("--read-community", o->read_community, "community for reads only");
  app.add_option("--write-community", o->write_community, "community for cancel-job");
  app.add_option("-p,--protocol", o->protocol_text,
                 "ipv4, ipv6 or ipx, or a host protocol code passed on unchecked "
                 "(default: from the address)");
  app.add_flag("-4", o->family4, "resolve a host name to an IPv4 address only");
  app.add_flag("-6", o->family6,
               "resolve a host name to an IPv6 address only (discover: IPv6 multicast)");
  app.add_option("-v,--snmp-version", o->snmp_version,
                 "1 or 2c: community mode (the default); 3: SNMPv3");
  app.add_flag("--v3", o->v3, "use SNMPv3 (any --v3-* option implies it)");
  app.add_option("-u,--v3-user", o->v3_options.user, "SNMPv3 security name (at most 32)");
  app.add_option("-l,--v3-level", o->v3_options.level, "noAuthNoPriv, authNoPriv or authPriv");
  app.add_option("-a,--v3-auth", o->v3_options.auth, "authentication protocol: MD5 or SHA");
  app.add_option("-A,--v3-auth-pass", o->v3_options.auth_pass,
                 "authentication pass phrase (visible to ps: prefer the file or " +
                     std::string(kAuthPassEnv) + ")");
  app.add_option("--v3-auth-pass-file", o->v3_options.auth_pass_file,
                 "read the authentication pass phrase from the first line of this file");
  app.add_option("-x,--v3-priv", o->v3_options.priv, "privacy protocol: DES or AES");
  app.add_option("-X,--v3-priv-pass", o->v3_options.priv_pass,
                 "privacy pass phrase (visible to ps: prefer the file or " +
                     std::string(kPrivPassEnv) + ")");
  app.add_option("--v3-priv-pass-file", o->v3_options.priv_pass_file,
                 "read the privacy pass phrase from the first line of this file");
  app.add_option("-n,--v3-context", o->v3_options.context, "SNMPv3 context name");
  app.add_flag("--version", o->version, "print zelctl's version and the plug-in library's");
}

// -4 and -6 on a command too: there CLI11 would otherwise take "-4" for a
// negative number and so for the address.
void add_family_flags(CLI::App* command, Options* o, bool six) {
  command->add_flag("-4", o->family4, "resolve a host name to an IPv4 address only");
  if (six) command->add_flag("-6", o->family6, "resolve a host name to an IPv6 address only");
}

void add_commands(CLI::App& app, Options* o) {
  auto* discover = app.add_subcommand(
      "discover", "find supported devices by broadcast, multicast or at one address");
  discover->add_option("address", o->address,
                       "ask only this address or host name (default: 255.255.255.255, or "
                       "ff02::1 with -6)");
  discover->add_option("-f,--filter", o->filters, "keep devices whose sysObjectID starts so");
  discover->add_flag("-6,--ipv6", o->ipv6, "IPv6 multicast (ff02::1)");
  discover->add_flag("--all", o->all,
                     "also list the other agents that answered, with sysObjectID and sysDescr");
  add_family_flags(discover, o, false);
  discover->callback([o] { o->command = "discover"; });

  auto* status = app.add_subcommand("status", "read everything from one device");
  status->add_option("address", o->address,
                     "the device: IPv4, IPv6 or [IPv6] address or host name, optionally :161")
      ->required();
  status->add_option("--job-list", o->job_list,
                     "0 every job, 1 jobs whose state is not 17, 2 jobs in state 17")
      ->check(CLI::Range(0, 2))
      ->capture_default_str();
  add_family_flags(status, o, true);
  add_report_options(status, &o->report);
  status->callback([o] { o->command = "status"; });

  auto* cancel = app.add_subcommand("cancel-job", "cancel one job on a device");
  cancel->add_option("address", o->address,
                     "the device: IPv4, IPv6 or [IPv6] address or host name, optionally :161")
      ->required();
  cancel->add_option("id", o->job_id,
                     "the job identifier (as status shows it, 1 to " +
                         std::to_string(kMaxJobIdLength) + " characters)")
      ->required();
  add_family_flags(cancel, o, true);
  cancel->callback([o] { o->command = "cancel-job"; });
  add_fleet_commands(app, o);
}

std::string lower(std::string s) {
  for (auto& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return s;
}

// Maps a setting name onto its number; "" keeps the plug-in's default (-1).
bool pick(const std::string& text, const std::map<std::string, int32_t>& names,
          int32_t* out) {
  if (text.empty()) {
    *out = -1;
    return true;
  }
  const auto it = names.find(lower(text));
  if (it == names.end()) return false;
  *out = it->second;
  return true;
}

std::string check_protocol(Options* o) {
  if (o->family4 && o->family6) return "-4 and -6 exclude each other";
  // discover's own -6 and the global one both mean IPv6.
  if (o->command == "discover" && o->family6) o->ipv6 = true;
  if (o->ipv6) o->family6 = true;
  const std::string p = lower(o->protocol_text);
  Family family = o->family4 ? Family::kIPv4 : o->family6 ? Family::kIPv6 : Family::kAny;
  if (p.empty()) {
    o->protocol = family == Family::kIPv6 ? 5 : 1;
  } else if (p == "ipv4" || p == "udp") {
    if (family == Family::kIPv6) return "-p " + o->protocol_text + " and -6 exclude each other";
    o->protocol = 1;
    family = Family::kIPv4;
  } else if (p == "ipv6" || p == "udp6") {
    if (family == Family::kIPv4) return "-p " + o->protocol_text + " and -4 exclude each other";
    o->protocol = 5;
    family = Family::kIPv6;
  } else if (p == "ipx") {
    o->protocol = 2;
    return "";  // an IPX address goes to the plug-in as it is
  } else if (!p.empty() && p.find_first_not_of("-0123456789") == std::string::npos &&
             p.size() < 10) {
    o->protocol = static_cast<int32_t>(std::stol(p));
    o->raw_protocol = true;
    return "";
  } else {
    return "unknown protocol '" + o->protocol_text + "' (ipv4, ipv6, ipx or a number)";
  }
  if (o->address.empty()) return "";
  DeviceAddress a;
  if (std::string why = parse_device_address(o->address, family, &a); !why.empty()) return why;
  o->address_text = o->address;
  o->address = a.numeric;
  o->protocol = a.ipv6 ? 5 : 1;
  return "";
}

// The job ID goes out as the row index of one set: refused here when the
// plug-in could not send it, so that nothing reaches the network.
std::string check_job_id(Options* o) {
  if (o->command != "cancel-job") return "";
  if (o->job_id.empty()) return "the job ID is empty";
  if (o->job_id.size() > kMaxJobIdLength)
    return "the job ID has " + std::to_string(o->job_id.size()) + " characters; at most " +
           std::to_string(kMaxJobIdLength) + " can be sent";
  return "";
}

// -v 1 and -v 2c keep community mode; -v 3 is --v3.
std::string check_version(Options* o) {
  const std::string v = lower(o->snmp_version);
  if (v.empty()) return "";
  if (v == "3") {
    o->v3 = true;
    return "";
  }
  if (v != "1" && v != "2c" && v != "2")
    return "-v must be 1, 2c or 3 (not '" + o->snmp_version + "')";
  const V3Options& u = o->v3_options;
  if (o->v3 || !u.user.empty() || !u.level.empty() || !u.auth.empty() ||
      !u.auth_pass.empty() || !u.priv.empty() || !u.priv_pass.empty() ||
      !u.context.empty() || !u.auth_pass_file.empty() || !u.priv_pass_file.empty())
    return "-v " + o->snmp_version + " is community mode; SNMPv3 options need -v 3";
  return "";
}

// Reads the first line of `path`, without its line end, into *pass. The
// phrase goes through a stack buffer that is wiped, never through a stdio
// buffer that would be freed with the phrase in it. "" or a reason.
std::string read_pass_file(const std::string& path, const char* option, std::string* pass) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::string(option) + ": cannot open '" + path + "'";
  char line[V3Options::kPassCapacity + 1];
  const KalWipeOnExit wipe(line);
  size_t used = 0;
  bool failed = false;
  while (used < sizeof line && !memchr(line, '\n', used)) {
    const ssize_t got = read(fd, line + used, sizeof line - used);
    if (got < 0) failed = true;
    if (got <= 0) break;
    used += static_cast<size_t>(got);
  }
  close(fd);
  if (failed) return std::string(option) + ": cannot read '" + path + "'";
  size_t length = 0;
  while (length < used && line[length] != '\n' && line[length] != '\r') ++length;
  if (length == sizeof line) return std::string(option) + ": the first line is too long";
  if (length == 0) return std::string(option) + ": the first line of '" + path + "' is empty";
  pass->assign(line, length);
  return "";
}

// A pass phrase not on the command line comes from its file, else from the
// environment. *source names where it came from, for the reasons below.
std::string fill_pass(std::string* pass, const std::string& file, const char* option,
                      const char* file_option, const char* env, std::string* source) {
  *source = option;
  if (!pass->empty()) return "";
  if (!file.empty()) {
    *source = file_option;
    return read_pass_file(file, file_option, pass);
  }
  const char* value = getenv(env);
  if (value) {
    *source = env;
    pass->assign(value);
  }
  return "";
}

std::string check_v3(Options* o) {
  V3Options& v = o->v3_options;
  // The environment alone does not select SNMPv3: it only fills in.
  if (!v.user.empty() || !v.level.empty() || !v.auth.empty() || !v.auth_pass.empty() ||
      !v.priv.empty() || !v.priv_pass.empty() || !v.context.empty() ||
      !v.auth_pass_file.empty() || !v.priv_pass_file.empty()) {
    o->v3 = true;
  }
  ZelSnmpV3Settings& s = o->v3_settings;
  std::memset(&s, 0, sizeof s);
  if (!o->v3) return "";
  if (v.user.size() > 32) return "--v3-user is longer than 32 characters";
  std::string sources[2];
  std::string why = fill_pass(&v.auth_pass, v.auth_pass_file, "--v3-auth-pass",
                              "--v3-auth-pass-file", kAuthPassEnv, &sources[0]);
  if (why.empty()) {
    why = fill_pass(&v.priv_pass, v.priv_pass_file, "--v3-priv-pass", "--v3-priv-pass-file",
                    kPrivPassEnv, &sources[1]);
  }
  if (!why.empty()) return why;
  for (int i = 0; i < 2; ++i) {
    const std::string& pass = i == 0 ? v.auth_pass : v.priv_pass;
    if (!pass.empty() && (pass.size() < 8 || pass.size() > 63))
      return sources[i] + " must have 8 to 63 characters";
  }
  if (v.context.size() > 511) return "--v3-context is longer than 511 characters";
  if (!pick(v.level, {{"noauthnopriv", 0}, {"authnopriv", 1}, {"authpriv", 2}, {"0", 0},
                      {"1", 1}, {"2", 2}},
            &s.securityLevel))
    return "--v3-level must be noAuthNoPriv, authNoPriv or authPriv";
  if (!pick(v.auth, {{"md5", 1}, {"sha", 2}, {"sha1", 2}, {"sha-1", 2}}, &s.authProtocol))
    return "--v3-auth must be md5 or sha";
  if (!pick(v.priv, {{"des", 1}, {"aes", 2}, {"aes128", 2}, {"aes-128", 2}}, &s.privProtocol))
    return "--v3-priv must be des or aes";
  std::memcpy(s.securityName, v.user.data(), v.user.size());
  std::memcpy(s.authPassphrase, v.auth_pass.data(), v.auth_pass.size());
  std::memcpy(s.privPassphrase, v.priv_pass.data(), v.priv_pass.size());
  std::memcpy(s.contextName, v.context.data(), v.context.size());
  return "";
}

std::string check_log(Options* o) {
  static const std::map<std::string, uint32_t> masks = {
      {"error", kKalLogError},
      {"warn", kKalLogError | kKalLogWarn},
      {"info", kKalLogError | kKalLogWarn | kKalLogInfo},
      {"debug", kKalLogAll & ~kKalLogTrace},
      {"trace", kKalLogAll},
      {"all", kKalLogAll}};
  const auto it = masks.find(lower(o->log_level));
  if (it == masks.end()) return "--log-level must be error, warn, info, debug or trace";
  o->log_mask = it->second;
  return "";
}

}  // namespace

int parse_command_line(int argc, const char* const* argv, Options* options,
                       std::string* output) {
  CLI::App app("zelctl: find printers of the supported family and read their state "
               "through the plug-in library",
               "zelctl");
  app.fallthrough();
  app.set_help_all_flag("--help-all", "print the help of every command");
  app.footer(std::string("SNMPv3 pass phrases: --v3-auth-pass and --v3-priv-pass win over the "
                         "first line of --v3-auth-pass-file and --v3-priv-pass-file, which win "
                         "over the environment variables ") +
             kAuthPassEnv + " and " + kPrivPassEnv + ".\n\n" + exit_code_help());
  add_global_options(app, options);
  add_commands(app, options);
  app.require_subcommand(0, 1);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    // The help of the command that was named, else the whole program's.
    const CLI::App* which = &app;
    for (const auto* sub : app.get_subcommands()) which = sub;
    *output = which->help();
    return 0;
  } catch (const CLI::CallForAllHelp&) {
    *output = app.help("", CLI::AppFormatMode::All);
    return 0;
  } catch (const CLI::ParseError& e) {
    std::string what = e.what();
    if (what.empty()) what = "bad command line";
    *output = "zelctl: " + what + " (see zelctl --help)";
    return 2;
  }
  if (options->command.empty() && !options->version) {
    *output = "zelctl: A subcommand is required (see zelctl --help)";
    return 2;
  }
  if (!options->log_level.empty() && options->log_level != "debug") options->log = true;
  return -1;
}

bool wants_json(int argc, const char* const* argv) {
  for (int i = 1; i < argc && argv[i]; ++i) {
    if (std::strcmp(argv[i], "--") == 0) return false;
    if (std::strcmp(argv[i], "--json") == 0) return true;
  }
  return false;
}

std::string check_options(Options* options) {
  for (auto check : {check_job_id, check_version, check_v3, check_log, check_protocol}) {
    std::string why = check(options);
    if (!why.empty()) return why;
  }
  return "";
}

}  // namespace zelctl
