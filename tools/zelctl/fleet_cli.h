// The command-line registration of the fleet commands "capture", "traps" and
// "poll", called from the parser's command registration.
#ifndef TOOLS_ZELCTL_FLEET_CLI_H_
#define TOOLS_ZELCTL_FLEET_CLI_H_

#include <CLI/CLI.hpp>

#include "tools/zelctl/cli.h"

namespace zelctl {

void add_fleet_commands(CLI::App& app, Options* o);

}  // namespace zelctl

#endif  // TOOLS_ZELCTL_FLEET_CLI_H_
