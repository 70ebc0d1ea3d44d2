// What "poll" reads from one device through the exported interface, on a
// context of the calling thread: the open, sysName, the printer state and
// its errors, the supplies, the input trays and the alerts, each kept as a
// plain value, and how long it all took.
#ifndef TOOLS_ZELCTL_POLL_READ_H_
#define TOOLS_ZELCTL_POLL_READ_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/zelctl/cli.h"
#include "tools/zelctl/plugin_library.h"

namespace zelctl {

struct PolledLevel {
  std::string name;
  int percent = -1;  // -1: the device reports no amount
};

struct PollResult {
  std::string address;
  std::string model;     // from discovery, else the printer's device description
  std::string sys_name;
  int32_t status = 0;    // 0, or the status of the first read that failed
  std::string failed;    // what failed: "device open", "printer", ...
  int32_t printer_status = 0;
  int32_t error_state = 0;
  std::vector<PolledLevel> supplies, trays;
  std::map<std::string, int> alerts;  // severity name -> count
  double seconds = 0;
  bool ok() const { return status == 0; }
  // The lowest supply in percent, or -1 when no supply reports one.
  int lowest_supply() const;
};

// Reads `address` on `context` with the options' protocol, SNMP settings,
// time-out and retries. `model` (may be empty) comes from a discovery.
PollResult poll_device(const ZelApi& api, ZelContext* context, const Options& options,
                       const std::string& address, const std::string& model);

}  // namespace zelctl

#endif  // TOOLS_ZELCTL_POLL_READ_H_
