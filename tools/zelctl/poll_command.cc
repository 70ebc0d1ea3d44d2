// "poll": reads every device of a list (or of a discovery) at the same time,
// one plug-in context per thread, and prints one line or one JSON object per
// device; with --watch it does so every N seconds until SIGINT or SIGTERM.
#include <arpa/inet.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

#include "tools/zelctl/discovery.h"
#include "tools/zelctl/fleet_commands.h"
#include "tools/zelctl/fleet_output.h"
#include "tools/zelctl/poll_format.h"
#include "tools/zelctl/poll_read.h"
#include "tools/zelctl/status_text.h"

namespace zelctl {
namespace {

struct Target {
  std::string address, model;
};

// A context with the command line's communities; null (and the reason on
// standard error) when the plug-in refuses.
ZelContext* make_context(const ZelApi& api, const Options& o) {
  ZelContext* ctx = nullptr;
  const int32_t rc = api.ZelInit(&ctx);
  if (rc != 0) {
    CallContext c;
    c.operation = "ZelInit";
    std::fprintf(stderr, "zelctl: %s\n", failure_message(rc, c).c_str());
    return nullptr;
  }
  const std::string& read = o.read_community.empty() ? o.community : o.read_community;
  if (!o.community.empty()) api.ZelCommandString(ctx, "CmdSetCommunityFind", o.community.c_str());
  if (!read.empty()) api.ZelCommandString(ctx, "CmdSetCommunityGetOption", read.c_str());
  return ctx;
}

std::vector<PollResult> poll_round(const ZelApi& api, const Options& o,
                                   const std::vector<Target>& targets) {
  std::vector<PollResult> results(targets.size());
  std::atomic<size_t> next{0};
  auto work = [&] {
    ZelContext* ctx = make_context(api, o);
    for (size_t i; (i = next.fetch_add(1)) < targets.size();) {
      if (!ctx) {
        results[i].address = targets[i].address;
        results[i].status = -3;
        results[i].failed = "ZelInit";
        continue;
      }
      results[i] = poll_device(api, ctx, o, targets[i].address, targets[i].model);
    }
    if (ctx) api.ZelUnInit(ctx);
  };
  const size_t n = std::min<size_t>(static_cast<size_t>(o.fleet.threads), targets.size());
  std::vector<std::thread> threads;
  for (size_t t = 1; t < n; ++t) threads.emplace_back(work);
  work();
  for (auto& t : threads) t.join();
  return results;
}

// The targets from the command line, or from a discovery. Answers an exit
// code (kExitOk to go on).
int find_targets(const ZelApi& api, const Options& o, std::vector<Target>* targets) {
  for (const auto& a : o.fleet.addresses) {
    in_addr v4;
    in6_addr v6;
    if (inet_pton(AF_INET, a.c_str(), &v4) != 1 && inet_pton(AF_INET6, a.c_str(), &v6) != 1) {
      std::fprintf(stderr, "zelctl: '%s' is not an IPv4 or IPv6 address (see zelctl poll --help)\n",
                   a.c_str());
      return kExitUsage;
    }
    targets->push_back({a, ""});
  }
  if (!targets->empty()) return kExitOk;
  ZelContext* ctx = make_context(api, o);
  if (!ctx) return kExitFailure;
  const DiscoveryResult r = run_discovery(api, ctx, o);
  api.ZelUnInit(ctx);
  if (r.status != 0) {
    CallContext c;
    c.operation = "discovery";
    c.protocol = o.protocol;
    c.timeout_ms = o.timeout_ms;
    c.retries = o.retries;
    std::fprintf(stderr, "zelctl: %s\n", failure_message(r.status, c).c_str());
    return exit_code_for(r.status);
  }
  for (const auto& d : r.devices) targets->push_back({d.address, d.model});
  if (targets->empty()) {
    std::fprintf(stderr, "zelctl: discovery found no supported device to poll\n");
    return kExitNothingFound;
  }
  return kExitOk;
}

// Prints one round; answers whether every device was read.
bool report_round(const Options& o, const std::vector<PollResult>& results, int round,
                  double seconds) {
  const std::string time = utc_timestamp();
  size_t failed = 0;
  std::string out = (o.fleet.json_lines || o.json) ? "" : poll_header_line();
  for (const auto& r : results) {
    if (!r.ok()) ++failed;
    out += (o.fleet.json_lines || o.json)
               ? poll_json(r, round, time).dump(-1, ' ', false, Json::error_handler_t::replace) + "\n"
               : poll_line(r);
  }
  std::fputs(out.c_str(), stdout);
  std::fflush(stdout);
  if (!o.fleet.prometheus.empty()) {
    const std::string why = write_file_atomically(o.fleet.prometheus, prometheus_text(results));
    if (!why.empty()) std::fprintf(stderr, "zelctl: %s\n", why.c_str());
  }
  std::fprintf(stderr, "zelctl: round %d: %zu devices, %zu failed, %.3f s\n", round,
               results.size(), failed, seconds);
  return failed == 0;
}

}  // namespace

int run_poll(const Options& o) {
  // Ctrl-C during a round lets the round finish; between rounds it ends the
  // watch at once.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  if (o.fleet.watch_s > 0) pthread_sigmask(SIG_BLOCK, &stop, nullptr);

  PluginLibrary library;
  std::string error;
  if (!library.open(o.library, &error, o.log)) {
    std::fprintf(stderr, "zelctl: %s\n", error.c_str());
    return kExitLibrary;
  }
  const ZelApi& api = library.api();
  if (o.log && api.log_to_stderr) api.log_to_stderr(o.log_mask);
  std::vector<Target> targets;
  if (const int rc = find_targets(api, o, &targets); rc != kExitOk) return rc;

  bool all_read = true;
  for (int round = 1;; ++round) {
    const auto start = std::chrono::steady_clock::now();
    const auto results = poll_round(api, o, targets);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    all_read = report_round(o, results, round, seconds);
    if (o.fleet.watch_s <= 0) break;
    const auto next = start + std::chrono::seconds(o.fleet.watch_s);
    const auto left = next - std::chrono::steady_clock::now();
    const auto ns = std::max<int64_t>(
        0, std::chrono::duration_cast<std::chrono::nanoseconds>(left).count());
    timespec wait{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    if (sigtimedwait(&stop, nullptr, &wait) > 0) break;
  }
  return all_read ? kExitOk : kExitFailure;
}

}  // namespace zelctl
