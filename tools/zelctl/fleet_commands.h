// The fleet commands of zelctl: "capture" records a device into an snmprec
// file, "traps" prints the traps that arrive, "poll" reads many devices at
// once. Each answers the process exit code.
#ifndef TOOLS_ZELCTL_FLEET_COMMANDS_H_
#define TOOLS_ZELCTL_FLEET_COMMANDS_H_

#include "tools/zelctl/cli.h"

namespace zelctl {

int run_capture(const Options& options);
int run_traps(const Options& options);
int run_poll(const Options& options);

}  // namespace zelctl

#endif  // TOOLS_ZELCTL_FLEET_COMMANDS_H_
