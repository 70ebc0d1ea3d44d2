// Discovery as the command-line host runs it: filters, one
// ZelFindDeviceSNMPEx, then every found device read with ZelGetDeviceNext,
// in a stable order. Beside it, in community mode, zelctl's own probe sees
// the agents the plug-in drops; when filters leave nothing, a second pass
// without them tells whether any supported device answered at all.
#ifndef TOOLS_ZELCTL_DISCOVERY_H_
#define TOOLS_ZELCTL_DISCOVERY_H_

#include <cstdint>
#include <string>
#include <vector>

#include "tools/zelctl/agent_probe.h"
#include "tools/zelctl/cli.h"
#include "tools/zelctl/plugin_library.h"

namespace zelctl {

struct FoundDevice {
  std::string address, model, sys_object_id;
  int flag = 0;
};

struct DiscoveryResult {
  int32_t filter_status = 0;  // first failing ZelFindAddFilter, else 0
  int32_t status = 0;         // ZelFindDeviceSNMPEx
  int32_t count = 0;          // the count it answered
  int64_t elapsed_ms = 0;     // how long ZelFindDeviceSNMPEx took
  std::vector<FoundDevice> devices;  // by address, IPv4 before IPv6
  // The agents that answered zelctl's probe but are not among the devices
  // (other models, or supported ones the filters dropped), by address.
  bool others_probed = false;  // false under SNMPv3, or when the probe failed
  std::string probe_failure;   // why the probe could not run
  std::vector<AgentAnswer> others;
  // Filters given and nothing found: the count of a second pass without
  // them (-1 when it was not made or failed).
  int32_t unfiltered_count = -1;
};

// The destination the plug-in uses when no address is given.
std::string default_destination(int32_t protocol);

// The longest a discovery blocks: (retries + 1) tries of the time-out each.
int64_t discovery_budget_ms(const Options& options);

// Orders numeric addresses: IPv4 before IPv6, each by its bytes; anything
// else after them, by its text.
bool address_less(const std::string& a, const std::string& b);

// Runs a discovery on `context` with the options' address, protocol, SNMP
// settings, time-out, retries and filters; shows a countdown when asked.
DiscoveryResult run_discovery(const ZelApi& api, ZelContext* context, const Options& options);

}  // namespace zelctl

#endif  // TOOLS_ZELCTL_DISCOVERY_H_
