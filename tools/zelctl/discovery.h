// Discovery as the command-line host runs it: filters, one
// ZelFindDeviceSNMPEx, then every found device read with ZelGetDeviceNext.
#ifndef TOOLS_ZELCTL_DISCOVERY_H_
#define TOOLS_ZELCTL_DISCOVERY_H_

#include <cstdint>
#include <string>
#include <vector>

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
  std::vector<FoundDevice> devices;
};

// The destination the plug-in uses when no address is given.
std::string default_destination(int32_t protocol);

// The longest a discovery blocks: (retries + 1) tries of the time-out each.
int64_t discovery_budget_ms(const Options& options);

// Runs a discovery on `context` with the options' address, protocol, SNMP
// settings, time-out, retries and filters; shows a countdown when asked.
DiscoveryResult run_discovery(const ZelApi& api, ZelContext* context, const Options& options);

}  // namespace zelctl

#endif  // TOOLS_ZELCTL_DISCOVERY_H_
