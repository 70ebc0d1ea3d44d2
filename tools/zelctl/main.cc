// zelctl: the command-line host of the printer plug-in. It loads the plug-in
// library with dlopen, as a host application does, and drives it through the
// exported functions only. "zelctl --help" lists the commands and options.
#include <cstdio>
#include <string>

#include "tools/zelctl/cli.h"
#include "tools/zelctl/commands.h"
#include "tools/zelctl/fleet_commands.h"
#include "tools/zelctl/status_text.h"

int main(int argc, char** argv) {
  zelctl::Options options;
  std::string output;
  const int parsed = zelctl::parse_command_line(argc, argv, &options, &output);
  if (parsed >= 0) {
    std::fputs((output + (output.empty() || output.back() == '\n' ? "" : "\n")).c_str(),
               parsed == 0 ? stdout : stderr);
    return parsed;
  }
  const std::string why = zelctl::check_options(&options);
  if (!why.empty()) {
    std::fprintf(stderr, "zelctl: %s (see zelctl %s --help)\n", why.c_str(),
                 options.command.c_str());
    return zelctl::kExitUsage;
  }
  if (options.command == "discover") return zelctl::run_discover(options);
  if (options.command == "status") return zelctl::run_status(options);
  if (options.command == "capture") return zelctl::run_capture(options);
  if (options.command == "traps") return zelctl::run_traps(options);
  if (options.command == "poll") return zelctl::run_poll(options);
  return zelctl::run_cancel_job(options);
}
