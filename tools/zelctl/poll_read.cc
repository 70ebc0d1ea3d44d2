#include "tools/zelctl/poll_read.h"

#include <arpa/inet.h>

#include <chrono>
#include <cstring>

#include "tools/zelctl/names.h"

namespace zelctl {
namespace {

constexpr int32_t kNotSupported = -5, kNotReady = -6;
constexpr int32_t kHrDevicePrinter = 5;  // hrDeviceType, last arc
// A device answers at most this many rows per table into the poll result.
constexpr int32_t kMaxRows = 256;

template <size_t N>
std::string field(const char (&f)[N]) {
  return std::string(f, strnlen(f, N));
}

// Reads a table by count and record calls; answers the count call's status,
// or the first failing record's.
template <class Record, class Count, class Get, class Use>
int32_t read_rows(Count count, Get get, Use use) {
  int32_t n = 0;
  const int32_t rc = count(&n);
  if (rc != 0) return rc;
  for (int32_t i = 0; i < n && i < kMaxRows; ++i) {
    Record r;
    std::memset(&r, 0, sizeof r);
    const int32_t got = get(static_cast<uint32_t>(i), &r);
    if (got != 0) return got;
    use(r);
  }
  return 0;
}

}  // namespace

int PollResult::lowest_supply() const {
  int lowest = -1;
  for (const auto& s : supplies)
    if (s.percent >= 0 && (lowest < 0 || s.percent < lowest)) lowest = s.percent;
  return lowest;
}

PollResult poll_device(const ZelApi& api, ZelContext* ctx, const Options& o,
                       const std::string& address, const std::string& model) {
  const auto start = std::chrono::steady_clock::now();
  PollResult r;
  r.address = address;
  r.model = model;
  // A step that fails marks the device failed, unless the plug-in only says
  // that it does not serve it.
  auto step = [&r](const char* what, int32_t rc) {
    if (rc == 0 || r.status != 0 || rc == kNotSupported || rc == kNotReady) return rc == 0;
    r.status = rc;
    r.failed = what;
    return false;
  };
  in6_addr scratch;
  const int32_t protocol = o.raw_protocol ? o.protocol
                           : inet_pton(AF_INET6, address.c_str(), &scratch) == 1 ? 5 : 1;
  if (step("device open", api.ZelInitDeviceEx(ctx, address.c_str(), protocol, snmp_mode(o),
                                              &o.v3_settings, o.timeout_ms, o.retries))) {
    ZelPrinterInfo printer{};
    if (step("printer", api.ZelGetPrinterInfo(ctx, &printer))) {
      r.printer_status = printer.printerStatus;
      r.error_state = printer.detectedErrorState;
    }
    if (step("options", api.ZelRefreshOptions(ctx))) {
      char name[ZEL_OPTION_TEXT_SIZE + 1] = {};
      if (api.ZelGetOptionValueString(ctx, "SysName", 0, name) == 0) r.sys_name = name;
    }
    step("toner", read_rows<ZelTonerInfo>(
                      [&](int32_t* n) { return api.ZelGetNumberOfTonerInfo(ctx, n); },
                      [&](uint32_t i, ZelTonerInfo* t) { return api.ZelGetTonerInfo(ctx, i, t); },
                      [&](const ZelTonerInfo& t) {
                        r.supplies.push_back(
                            {field(t.description), percent_of(t.level, t.maxCapacity)});
                      }));
    const int32_t trays = read_rows<ZelInputTrayInfoEx>(
        [&](int32_t* n) { return api.ZelGetNumberOfInputTrayInfoEx(ctx, n); },
        [&](uint32_t i, ZelInputTrayInfoEx* t) { return api.ZelGetInputTrayInfoEx(ctx, i, t); },
        [&](const ZelInputTrayInfoEx& t) {
          std::string name = field(t.tray.name);
          if (name.empty()) name = field(t.tray.description);
          r.trays.push_back({name, percent_of(t.tray.currentLevel, t.tray.maxCapacity)});
        });
    if (trays != -1) step("input trays", trays);  // -1: the device has none
    step("alerts", read_rows<ZelAlertInfo>(
                       [&](int32_t* n) { return api.ZelGetNumberOfAlertInfo(ctx, n); },
                       [&](uint32_t i, ZelAlertInfo* a) { return api.ZelGetAlertInfo(ctx, i, a); },
                       [&](const ZelAlertInfo& a) {
                         ++r.alerts[alert_severity_name(a.severityLevel)];
                       }));
    if (r.model.empty()) {
      step("devices", read_rows<ZelDeviceInfo>(
                          [&](int32_t* n) { return api.ZelGetNumberOfDeviceInfo(ctx, n); },
                          [&](uint32_t i, ZelDeviceInfo* d) {
                            return api.ZelGetDeviceInfo(ctx, i, d);
                          },
                          [&](const ZelDeviceInfo& d) {
                            if (r.model.empty() && d.type == kHrDevicePrinter)
                              r.model = field(d.description);
                          }));
    }
  }
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return r;
}

}  // namespace zelctl
