// The options of the fleet commands "capture", "traps" and "poll", kept in
// one member of Options so that the other commands' options stay apart.
#ifndef TOOLS_ZELCTL_FLEET_OPTIONS_H_
#define TOOLS_ZELCTL_FLEET_OPTIONS_H_

#include <cstdint>
#include <string>
#include <vector>

namespace zelctl {

struct FleetOptions {
  // capture: the output file ("" or "-": standard output) and the subtrees
  // to walk (empty: the ones the plug-in reads).
  std::string output;
  std::vector<std::string> subtrees;
  // traps: the UDP port to listen on.
  int32_t port = 162;
  // poll: the devices (empty: discover first), the reading threads, the
  // seconds between rounds (0: one round), one JSON object per device and
  // round, and the node_exporter textfile to write after every round.
  std::vector<std::string> addresses;
  int32_t threads = 8;
  int32_t watch_s = 0;
  bool json_lines = false;
  std::string prometheus;
};

}  // namespace zelctl

#endif  // TOOLS_ZELCTL_FLEET_OPTIONS_H_
