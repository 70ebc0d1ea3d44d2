// Parsing of the routing socket's dump answers into host-network table rows,
// apart from the socket so that tests and the fuzzer can feed it any bytes.
#ifndef COMMON_NETLINK_PARSE_LINUX_H_
#define COMMON_NETLINK_PARSE_LINUX_H_

#include <cstddef>
#include <cstdint>

#include "common/host_network.h"

// Where the rows of a dump go: the table of the dump's kind; the others null.
struct KalNetlinkSink {
  KalRouteTable* routes;
  KalInterfaceTable* interfaces;
  KalAddressTable* addresses;
};

// Parses one received batch (`len` bytes at `buf`, 4-byte aligned) of the
// answer to the dump request `seq` sent from port `port`; messages of other
// requests are skipped, and parsing stops at the first message that does not
// fit in the batch. Kept rows: IPv4 unicast routes of the main table and the
// host's own addresses from the local table; every link; IPv4 addresses.
// 0 with *pDone true at the end of the dump, or false when more is to come;
// kKalErrPlatform when the kernel answered an error; kKalErrNoMemory.
int kal_netlink_parse_batch(const void* buf, size_t len, uint32_t seq, uint32_t port,
                            const KalNetlinkSink& sink, bool* pDone);

#endif  // COMMON_NETLINK_PARSE_LINUX_H_
