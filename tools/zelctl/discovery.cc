#include "tools/zelctl/discovery.h"

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <set>
#include <thread>

#include "tools/zelctl/progress.h"

namespace zelctl {
namespace {

// (family rank, bytes): 0 for IPv4, 1 for IPv6, 2 for anything else.
std::pair<int, std::array<uint8_t, 16>> address_key(const std::string& text) {
  std::array<uint8_t, 16> bytes{};
  if (inet_pton(AF_INET, text.c_str(), bytes.data()) == 1) return {0, bytes};
  if (inet_pton(AF_INET6, text.c_str(), bytes.data()) == 1) return {1, bytes};
  return {2, bytes};
}

// One plug-in discovery: the count it answered, or its status.
int32_t find(const ZelApi& api, ZelContext* ctx, const Options& o, int32_t* count) {
  return api.ZelFindDeviceSNMPEx(ctx, o.address.empty() ? nullptr : o.address.c_str(),
                                 o.protocol, snmp_mode(o), &o.v3_settings, o.timeout_ms,
                                 o.retries, count);
}

}  // namespace

std::string default_destination(int32_t protocol) {
  return protocol == 5 ? "ff02::1" : "255.255.255.255";
}

int64_t discovery_budget_ms(const Options& o) {
  return static_cast<int64_t>(o.timeout_ms) * (static_cast<int64_t>(o.retries) + 1);
}

bool address_less(const std::string& a, const std::string& b) {
  const auto ka = address_key(a), kb = address_key(b);
  if (ka != kb) return ka < kb;
  return ka.first == 2 && a < b;
}

DiscoveryResult run_discovery(const ZelApi& api, ZelContext* ctx, const Options& o) {
  DiscoveryResult r;
  api.ZelFindClearFilter(ctx);
  for (const auto& f : o.filters) {
    const int32_t rc = api.ZelFindAddFilter(ctx, f.c_str());
    if (rc != 0 && r.filter_status == 0) r.filter_status = rc;
  }
  if (r.filter_status != 0) return r;
  const std::string target = o.address.empty() ? default_destination(o.protocol) : o.address;
  // The probe speaks IPv4 and IPv6 in community mode; under SNMPv3, or for
  // a protocol passed on unchecked, the other agents are not counted.
  const bool probe = !o.v3 && !o.raw_protocol && (o.protocol == 1 || o.protocol == 5);
  std::vector<AgentAnswer> answered;
  {
    Countdown countdown("discovering at " + target,
                        std::chrono::milliseconds(discovery_budget_ms(o)), o.progress);
    std::thread prober;
    if (probe) {
      ProbeSettings ps;
      ps.destination = target;
      ps.ipv6 = o.protocol == 5;
      ps.community = o.community.empty() ? kDefaultDiscoveryCommunity : o.community;
      ps.timeout_ms = o.timeout_ms;
      ps.retries = o.retries;
      prober = std::thread([ps, &answered, &r] { r.probe_failure = probe_agents(ps, &answered); });
    }
    const auto start = std::chrono::steady_clock::now();
    r.status = find(api, ctx, o, &r.count);
    r.elapsed_ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now() - start)
                       .count();
    if (prober.joinable()) prober.join();
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
  // The plug-in lists the latest answer first: sort for a stable order.
  std::stable_sort(r.devices.begin(), r.devices.end(),
                   [](const FoundDevice& a, const FoundDevice& b) {
                     return address_less(a.address, b.address);
                   });

  if (probe && r.probe_failure.empty()) {
    r.others_probed = true;
    std::set<std::pair<int, std::array<uint8_t, 16>>> found;
    for (const auto& d : r.devices) found.insert(address_key(d.address));
    for (auto& a : answered) {
      if (!found.count(address_key(a.address))) r.others.push_back(std::move(a));
    }
    std::stable_sort(r.others.begin(), r.others.end(),
                     [](const AgentAnswer& a, const AgentAnswer& b) {
                       return address_less(a.address, b.address);
                     });
  }

  if (r.devices.empty() && !o.filters.empty()) {
    // Did the filters drop what answered, or did nothing answer? A second
    // pass without them asks the plug-in's own model check.
    api.ZelFindClearFilter(ctx);
    Countdown countdown("checking without the filters at " + target,
                        std::chrono::milliseconds(discovery_budget_ms(o)), o.progress);
    int32_t count = 0;
    if (find(api, ctx, o, &count) == 0) r.unfiltered_count = count;
  }
  return r;
}

}  // namespace zelctl
