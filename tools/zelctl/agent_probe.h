// The agents the plug-in's discovery drops. The plug-in keeps only supported
// devices that pass the filters and its interface has no way to see the
// rest, so zelctl asks itself: one SNMPv1 get of sysObjectID.0 and
// sysDescr.0 to the same destination with the same community, sent beside
// the plug-in's discovery and bounded by the same budget. Community mode
// only. Every answer is hostile until it decodes as a GetResponse with our
// community and request ID, from port 161 (and from the address asked, when
// it was one device).
#ifndef TOOLS_ZELCTL_AGENT_PROBE_H_
#define TOOLS_ZELCTL_AGENT_PROBE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zelctl {

// The plug-in's discovery community when none is given (the README names it;
// the interface does not tell).
inline constexpr char kDefaultDiscoveryCommunity[] = "vorovo";
// At most this many agents are kept; the longest sysDescr kept.
inline constexpr size_t kMaxProbedAgents = 4096;
inline constexpr size_t kMaxSysDescr = 255;

struct AgentAnswer {
  std::string address, sys_object_id, sys_descr;  // "" when the agent gave none
};

struct ProbeSettings {
  std::string destination;  // numeric; broadcast, multicast or one address
  bool ipv6 = false;
  std::string community;
  int32_t timeout_ms = 1000;
  int32_t retries = 1;
};

// The request, and the decoding of one answer to it: false unless it is a
// GetResponse of SNMPv1 with this community and request ID. A varbind that
// is not the expected object or type leaves its text empty.
std::vector<uint8_t> encode_agent_probe(const std::string& community, int32_t request_id);
bool decode_agent_answer(const uint8_t* data, size_t size, const std::string& community,
                         int32_t request_id, AgentAnswer* answer);

// Sends the request once per try and collects distinct answering addresses
// until (retries + 1) x time-out have passed. Answers "" or a one-line
// reason (socket or send failure).
std::string probe_agents(const ProbeSettings& settings, std::vector<AgentAnswer>* agents);

}  // namespace zelctl

#endif  // TOOLS_ZELCTL_AGENT_PROBE_H_
