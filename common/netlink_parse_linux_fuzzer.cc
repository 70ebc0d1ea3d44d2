// Any bytes as a routing-socket dump batch: the parser must answer a
// documented status and never read outside the batch.
#include <cstdint>
#include <cstring>
#include <vector>

#include "common/netlink_parse_linux.h"
#include "common/status.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The kernel hands the parser word-aligned buffers; keep that, and keep
  // the end exact so that AddressSanitizer sees any overread.
  std::vector<uint32_t> words((size + 3) / 4);
  if (size) std::memcpy(words.data(), data, size);
  KalRouteTable routes;
  KalInterfaceTable interfaces;
  KalAddressTable addresses;
  bool done = false;
  const int rc = kal_netlink_parse_batch(words.data(), size, 1, 0,
                                         KalNetlinkSink{&routes, &interfaces, &addresses}, &done);
  if (rc != kKalOk && rc != kKalErrPlatform && rc != kKalErrNoMemory) __builtin_trap();
  for (const KalInterfaceEntry& i : interfaces) {
    if (strnlen(i.description, sizeof i.description) == sizeof i.description) __builtin_trap();
  }
  return 0;
}
