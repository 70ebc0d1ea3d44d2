// The answering hosts of one broadcast: which sources may answer it, and one
// answer per host, found in constant time. A hostile LAN can send a
// broadcast's socket any number of datagrams from any number of source
// ports and addresses; this is where their count and their cost are bounded.
//
// No lock: one broadcast uses its set on one thread.
#ifndef TRANSPORT_BROADCAST_SOURCES_H_
#define TRANSPORT_BROADCAST_SOURCES_H_

#include <cstddef>
#include <string>
#include <unordered_set>

#include "common/status.h"

class IKalNetworkAddress;

// The most answering hosts one broadcast keeps. Far above any printer LAN,
// low enough that a flood of forged sources cannot make the caller hold
// (or the host list) an unbounded number of devices. Answers from further
// new hosts are dropped; the broadcast still runs to the end of its budget.
inline constexpr size_t kKasMaxBroadcastAnswers = 4096;

// Whether `destination` names one host rather than a group: false for IPv4
// 255.255.255.255, an address ending in .255, the broadcast address of one
// of this host's IPv4 networks, 0.0.0.0 and the multicast range 224.0.0.0/4;
// for
// IPv6 multicast (ff00::/8); for the IPX broadcast node ffffffffffff. False
// for a null address or an address without text (nothing is narrowed then).
bool kas_destination_is_unicast(const IKalNetworkAddress* destination);

class BroadcastSources {
 public:
  BroadcastSources() = default;
  BroadcastSources(const BroadcastSources&) = delete;
  BroadcastSources& operator=(const BroadcastSources&) = delete;

  // Takes the broadcast's destination (lent; it must outlive the set). A
  // unicast destination narrows the sources to that host. 0 or
  // kKalErrNoMemory.
  int prepare(const IKalNetworkAddress* destination);

  // Whether a datagram from `source` may answer: the IPX network rule of
  // kas_broadcast_source_passes, and for a unicast destination the
  // destination's own host. Only the host is compared: an agent answers from
  // the port it was asked on, but a host that can forge its source address
  // can forge the port as well, so the port would add no check.
  bool passes(const IKalNetworkAddress* source) const;

  // Whether the host `host` (the source's address text, without port) has
  // already answered. 0, kKalErrInvalidArg (null host) or kKalErrNoMemory
  // (*pAnswered false then).
  int answered(const char* host, bool* pAnswered) const;
  // Records `host` as answered. 0, kKalErrInvalidArg, kKalErrNoMemory.
  int add(const char* host);
  bool full() const { return hosts_.size() >= kKasMaxBroadcastAnswers; }
  size_t count() const { return hosts_.size(); }

 private:
  const IKalNetworkAddress* destination_ = nullptr;
  bool unicast_ = false;
  std::string host_;  // the unicast destination's numeric text
  std::unordered_set<std::string> hosts_;
};

#endif  // TRANSPORT_BROADCAST_SOURCES_H_
