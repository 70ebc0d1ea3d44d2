#include "tools/zelctl/discovery.h"

#include <chrono>
#include <cstring>

#include "tools/zelctl/progress.h"

namespace zelctl {

std::string default_destination(int32_t protocol) {
  return protocol == 5 ? "ff02::1" : "255.255.255.255";
}

int64_t discovery_budget_ms(const Options& o) {
  return static_cast<int64_t>(o.timeout_ms) * (static_cast<int64_t>(o.retries) + 1);
}

DiscoveryResult run_discovery(const ZelApi& api, ZelContext* ctx, const Options& o) {
  DiscoveryResult r;
  api.ZelFindClearFilter(ctx);
  for (const auto& f : o.filters) {
    const int32_t rc = api.ZelFindAddFilter(ctx, f.c_str());
    if (rc != 0 && r.filter_status == 0) r.filter_status = rc;
  }
  if (r.filter_status != 0) return r;
  {
    const std::string target = o.address.empty() ? default_destination(o.protocol) : o.address;
    Countdown countdown("discovering at " + target,
                        std::chrono::milliseconds(discovery_budget_ms(o)), o.progress);
    const auto start = std::chrono::steady_clock::now();
    r.status = api.ZelFindDeviceSNMPEx(ctx, o.address.empty() ? nullptr : o.address.c_str(),
                                       o.protocol, snmp_mode(o), &o.v3_settings,
                                       o.timeout_ms, o.retries, &r.count);
    r.elapsed_ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now() - start)
                       .count();
  }
  if (r.status != 0) return r;
  api.ZelFindResetPosition(ctx);
  // The plug-in fills each buffer with at most its size; the spare byte keeps
  // every text terminated. The loop is bounded by the count it reported (and
  // a generous cap), whatever ZelGetDeviceNext answers.
  const int32_t cap = r.count > 0 ? r.count : 0;
  for (int32_t i = 0; i < cap && i < 100000; ++i) {
    char address[ZEL_ADDRESS_SIZE + 1] = {};
    char model[ZEL_MODEL_NAME_SIZE + 1] = {};
    char oid[ZEL_OID_TEXT_SIZE + 1] = {};
    uint8_t flag = 0xff;
    if (api.ZelGetDeviceNext(ctx, address, model, &flag, oid) != 1) break;
    r.devices.push_back({address, model, oid, flag});
  }
  return r;
}

}  // namespace zelctl
