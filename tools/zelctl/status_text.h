// What the plug-in's result codes mean to a person, the one-line messages the
// command-line host prints for a failing call, and its exit codes. Each exit
// code names one kind of failure, so that scripts can tell them apart.
#ifndef TOOLS_ZELCTL_STATUS_TEXT_H_
#define TOOLS_ZELCTL_STATUS_TEXT_H_

#include <cstdint>
#include <string>

namespace zelctl {

enum ExitCode : int {
  kExitOk = 0,
  kExitFailure = 1,         // any failure without a code of its own
  kExitUsage = 2,           // bad command line: option, protocol, SNMPv3 setting
  kExitLibrary = 3,         // the plug-in could not be loaded or lacks a function
  kExitNoAnswer = 4,        // the device did not answer in any try
  kExitUnsupported = 5,     // the device is not a supported model
  kExitNotAvailable = 6,    // the plug-in does not serve this (-5) or no device (-8)
  kExitSecurity = 7,        // SNMPv3 security failure
  kExitNetwork = 8,         // socket, bind, send or receive failure
  kExitDevice = 9,          // the device's answer was unusable or refused
  kExitNothingFound = 10,   // discovery finished and found no supported device
  kExitPartial = 11,        // status: the device opened but some tables failed
  kExitNoPrinterData = 12,  // status: a supported model that serves none of the printer tables
};

// The short meaning of a result code: "no answer", "invalid argument", ...
// Unknown codes give "unknown status N".
std::string status_meaning(int32_t status);

// The exit code for a failing result code.
int exit_code_for(int32_t status);

// What a call was doing, for the message.
struct CallContext {
  std::string operation;   // "discovery", "device open", "storage table", ...
  std::string address;     // empty for a broadcast
  int32_t protocol = 1;    // host protocol code
  bool raw_protocol = false;  // the code was passed on unchecked
  int32_t timeout_ms = 0;
  int32_t retries = 0;
  bool v3 = false;
};

// One line naming what failed and why, for example
// "no answer from 127.0.0.2 after 2 tries (time-out 1000 ms) (status -203)".
std::string failure_message(int32_t status, const CallContext& context);

// The name of a host protocol code: "IPv4", "IPX", "IPv6", "code 3".
std::string protocol_name(int32_t protocol);

}  // namespace zelctl

#endif  // TOOLS_ZELCTL_STATUS_TEXT_H_
