// The device address as an operator types it: a numeric IPv4 or IPv6
// address, an IPv6 address in brackets, a host name, each optionally with
// ":161". zelctl resolves names itself; the plug-in only ever gets the
// numeric text.
#ifndef TOOLS_ZELCTL_ADDRESS_H_
#define TOOLS_ZELCTL_ADDRESS_H_

#include <string>

namespace zelctl {

// The only port a device is asked on.
inline constexpr int kDevicePort = 161;

// Which address family a name may resolve to.
enum class Family { kAny, kIPv4, kIPv6 };

struct DeviceAddress {
  std::string numeric;   // what the plug-in gets
  bool ipv6 = false;
  bool resolved = false; // the text was a host name
};

// Splits off brackets and a ":161" suffix, then takes a numeric address of
// the family as it is or resolves a host name with getaddrinfo (the first
// answer of the family; without one, the first IPv4 answer, else the first
// IPv6 one). Answers "" or a one-line reason; a port other than
// 161 is refused, since the device port is fixed.
std::string parse_device_address(const std::string& text, Family family, DeviceAddress* out);

}  // namespace zelctl

#endif  // TOOLS_ZELCTL_ADDRESS_H_
