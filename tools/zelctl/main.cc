// zelctl: the command-line host of the printer plug-in. It loads the plug-in
// library with dlopen, as a host application does, and drives it through the
// exported functions only. "zelctl --help" lists the commands and options.
#include <cstdio>
#include <string>

#include "tools/zelctl/cli.h"
#include "tools/zelctl/commands.h"
#include "tools/zelctl/outcome.h"
#include "tools/zelctl/fleet_commands.h"
#include "tools/zelctl/status_text.h"

int main(int argc, char** argv) {
  zelctl::Options options;
  std::string output;
  // --json is looked for in argv as well: a command line that does not parse
  // still answers with one document.
  const bool json = zelctl::wants_json(argc, argv);
  const int parsed = zelctl::parse_command_line(argc, argv, &options, &output);
  if (parsed == 0) {
    std::fputs((output + (output.empty() || output.back() == '\n' ? "" : "\n")).c_str(), stdout);
    return 0;
  }
  if (parsed > 0) {
    const std::string prefix = "zelctl: ";
    if (output.rfind(prefix, 0) == 0) output.erase(0, prefix.size());
    return zelctl::report_failure(json, zelctl::kNoPluginStatus, parsed, output);
  }
  if (options.version) return zelctl::run_version(options);
  const std::string why = zelctl::check_options(&options);
  if (!why.empty()) {
    return zelctl::report_failure(options.json, zelctl::kNoPluginStatus, zelctl::kExitUsage,
                                  why + " (see zelctl " + options.command + " --help)");
  }
  if (options.command == "discover") return zelctl::run_discover(options);
  if (options.command == "status") return zelctl::run_status(options);
  if (options.command == "capture") return zelctl::run_capture(options);
  if (options.command == "traps") return zelctl::run_traps(options);
  if (options.command == "poll") return zelctl::run_poll(options);
  return zelctl::run_cancel_job(options);
}
