// The commands of zelctl. Each loads the plug-in, makes a context,
// does its work through the exported interface only, prints its result (a
// table, or one JSON document with --json) and answers the exit code.
#ifndef TOOLS_ZELCTL_COMMANDS_H_
#define TOOLS_ZELCTL_COMMANDS_H_

#include "tools/zelctl/cli.h"

namespace zelctl {

int run_discover(const Options& options);
int run_status(const Options& options);
int run_cancel_job(const Options& options);
// --version: zelctl's version, and the plug-in library's when it loads.
int run_version(const Options& options);

}  // namespace zelctl

#endif  // TOOLS_ZELCTL_COMMANDS_H_
