// One full device read through the built plug-in, loaded with dlopen as a
// host loads it, against snmpsimd (or snmpd) serving the supported-device
// recording: ZelInit, ZelInitDevice, ZelRefreshOptions and every option
// value, every table reader (storage, devices, printer, input trays plain
// and Ex, output trays, toner, alerts, jobs) with every record, ZelUnInit.
//
// Counted in this process for each read (benchmarks/call_counters.h):
// request datagrams sent and answers received, octets both ways, the time
// spent waiting for answers, and heap allocations (malloc, calloc and
// realloc; operator new reaches them too). The number of requests is
// compared with the least the readers can do with the recording's rows: a
// walk of a column with r rows takes r + 1 GetNext exchanges (the last one
// leaves the column), a single get takes one.
//
// Modes (the first two run before Google Benchmark's own flags are read):
//   --breakdown        one read, step by step: requests, least possible,
//                      octets, allocations, wall, waiting and CPU time of
//                      each step; exits 1 unless the read succeeds with
//                      exactly the least number of requests
//   --endurance=N      N full reads in this process; resident memory
//                      (VmRSS) at the start, after 100 reads and at the end;
//                      every read must give the records of the first
//   (none)             the Google Benchmark BM_FullDeviceRead
//   --address=A        the agent's loopback address (default 127.0.17.2)
//   --agent=snmpd      Net-SNMP's agent serves the recording instead of
//                      snmpsimd (about twenty times faster per request)
//
// snmpsimd (or snmpd) must be installed. Build with -DZEL_BENCHMARKS=ON.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "benchmarks/call_counters.h"
#include "benchmarks/cpu_clock.h"
#include "benchmarks/recording_agent.h"
#include "plugin/zel_api.h"
#include "testing/snmpsim_agent.h"

namespace {

// --- the library -------------------------------------------------------------

#define ZEL_FUNCTIONS(X)                                                                 \
  X(ZelInit) X(ZelUnInit) X(ZelCommandString) X(ZelInitDevice) X(ZelRefreshOptions)      \
  X(ZelGetOptionValueBoolean) X(ZelGetOptionValueInteger) X(ZelGetOptionValueString)     \
  X(ZelGetNumberOfStorageInfo) X(ZelGetStorageInfo) X(ZelGetNumberOfDeviceInfo)          \
  X(ZelGetDeviceInfo) X(ZelGetPrinterInfo) X(ZelGetNumberOfInputTrayInfo)               \
  X(ZelGetInputTrayInfo) X(ZelGetNumberOfInputTrayInfoEx) X(ZelGetInputTrayInfoEx)       \
  X(ZelGetNumberOfOutputTrayInfo) X(ZelGetOutputTrayInfo) X(ZelGetNumberOfTonerInfo)     \
  X(ZelGetTonerInfo) X(ZelGetNumberOfAlertInfo) X(ZelGetAlertInfo)                       \
  X(ZelGetNumberOfJobInfo) X(ZelGetJobInfo)

struct Api {
#define ZEL_MEMBER(name) decltype(&::name) name = nullptr;
  ZEL_FUNCTIONS(ZEL_MEMBER)
#undef ZEL_MEMBER
  bool load(std::string* error) {
    void* const library = dlopen(ZEL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
      *error = dlerror();
      return false;
    }
#define ZEL_BIND(name)                                                 \
  name = reinterpret_cast<decltype(&::name)>(dlsym(library, #name)); \
  if (!name) {                                                       \
    *error = "missing " #name;                                       \
    return false;                                                    \
  }
    ZEL_FUNCTIONS(ZEL_BIND)
#undef ZEL_BIND
    return true;
  }
};

constexpr char kCommunity[] = "supported";
constexpr int32_t kProtocolIpv4 = 1;  // the host's code for IPv4
constexpr int32_t kTimeoutMs = 2000;
constexpr int32_t kRetries = 1;

const char* const kBooleanKeys[] = {
    "Scanner", "Copier", "FAXUnit", "HardDisk", "DuplexModule", "OffsetCatch", "InTrayMSI",
    "OutTraySide", "InTrayExistHCF", "InTrayExistHCF2", "InTrayExistTTM", "InTrayExistHCFA3",
    "InTrayExistHCFPF35", "InTrayExistHCFPF31", "InTrayExistHCFPF32", "InTrayExistSTM",
    "OutTrayOffsetCatch", "OutTrayCenter2", "Finisher", "FinisherStaple", "FinisherPunch",
    "FinisherPunchHole2", "FinisherPunchHole3", "FinisherPunchHole4", "FinisherBooklet",
    "FinisherFolder", "FAXISDNG4Kit", "FAXLineSwitchKit"};
const char* const kIntegerKeys[] = {
    "MemorySizeInKByte", "MemorySizeInMByte", "FAXMaxSpeedDial", "FAXType",
    "NumberOfInputTray", "NumberOfOutputTray", "PrinterRomVersionMajor",
    "PrinterRomVersionMinor", "PrinterRomVersionRevision", "PaperSizeGroupSetting",
    "PaperSize8KSetting", "FinisherBookletImpression", "FinisherType",
    "PrintLimitedColorSetting", "UserPromptSetting", "MinPasswordLength"};
const char* const kTextKeys[] = {"PrinterRomVersion", "SysName", "NetWareSAPUnitName"};
const char* const kInputTrayIntegerKeys[] = {
    "InputTrayIndex", "InputTrayType", "InputTrayMaxCapacityInSheets",
    "InputTrayCurrentLevelInPercent", "InputTrayMediaSize", "InputTrayMediaDirection",
    "InputTrayMediaDimFeedDirChosen", "InputTrayMediaDimXFeedDirChosen"};
const char* const kInputTrayTextKeys[] = {"InputTrayName", "InputTrayDescription",
                                          "InputTrayMediaType"};

// FNV-1a over everything a read delivers, so that 10,000 reads can be
// compared with the first without keeping them.
struct Digest {
  uint64_t value = 1469598103934665603ull;
  void add(const void* data, size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) value = (value ^ p[i]) * 1099511628211ull;
  }
  template <class T>
  void add(const T& record) { add(&record, sizeof record); }
};

// One step of a full read: its name and what it does with the open context.
struct Step {
  const char* name;
  std::function<int32_t(const Api&, ZelContext*, Digest*)> run;
};

// Count call, then every record; records are zeroed first so that the
// digest sees only what the library wrote.
template <class Record>
int32_t read_table(Digest* digest, const std::function<int32_t(int32_t*)>& count,
                   const std::function<int32_t(uint32_t, Record*)>& get) {
  int32_t n = 0;
  int32_t rc = count(&n);
  digest->add(rc);
  if (rc != 0) return rc;
  digest->add(n);
  for (int32_t i = 0; i < n; ++i) {
    Record record;
    std::memset(&record, 0, sizeof record);
    rc = get(static_cast<uint32_t>(i), &record);
    if (rc != 0) return rc;
    digest->add(record);
  }
  return 0;
}

int32_t read_options(const Api& api, ZelContext* ctx, Digest* digest) {
  const int32_t rc = api.ZelRefreshOptions(ctx);
  if (rc != 0) return rc;
  // An option answered with a code is part of what the read delivers; only
  // the refresh itself must succeed.
  for (const char* key : kBooleanKeys) {
    int16_t b = 0;
    digest->add(api.ZelGetOptionValueBoolean(ctx, key, 0, &b));
    digest->add(b);
  }
  int32_t inputs = 0;
  int32_t outputs = 0;
  for (const char* key : kIntegerKeys) {
    int32_t n = 0;
    digest->add(api.ZelGetOptionValueInteger(ctx, key, 0, &n));
    digest->add(n);
    if (std::strcmp(key, "NumberOfInputTray") == 0) inputs = n;
    if (std::strcmp(key, "NumberOfOutputTray") == 0) outputs = n;
  }
  char text[ZEL_OPTION_TEXT_SIZE];
  for (const char* key : kTextKeys) {
    std::memset(text, 0, sizeof text);
    digest->add(api.ZelGetOptionValueString(ctx, key, 0, text));
    digest->add(text);
  }
  for (int32_t i = 0; i < inputs && i < 20; ++i) {
    const auto index = static_cast<uint16_t>(i);
    for (const char* key : kInputTrayIntegerKeys) {
      int32_t n = 0;
      digest->add(api.ZelGetOptionValueInteger(ctx, key, index, &n));
      digest->add(n);
    }
    for (const char* key : kInputTrayTextKeys) {
      std::memset(text, 0, sizeof text);
      digest->add(api.ZelGetOptionValueString(ctx, key, index, text));
      digest->add(text);
    }
  }
  for (int32_t i = 0; i < outputs && i < 20; ++i) {
    const auto index = static_cast<uint16_t>(i);
    std::memset(text, 0, sizeof text);
    digest->add(api.ZelGetOptionValueString(ctx, "OutputTrayName", index, text));
    digest->add(text);
    int16_t b = 0;
    digest->add(api.ZelGetOptionValueBoolean(ctx, "OutputOffsetStacking", index, &b));
    digest->add(b);
  }
  return 0;
}

// The steps after device open, in the order a host's status page reads them.
std::vector<Step> device_steps() {
  return {
      {"options", read_options},
      {"storage",
       [](const Api& a, ZelContext* c, Digest* d) {
         return read_table<ZelStorageInfo>(
             d, [&](int32_t* n) { return a.ZelGetNumberOfStorageInfo(c, n); },
             [&](uint32_t i, ZelStorageInfo* r) { return a.ZelGetStorageInfo(c, i, r); });
       }},
      {"devices",
       [](const Api& a, ZelContext* c, Digest* d) {
         return read_table<ZelDeviceInfo>(
             d, [&](int32_t* n) { return a.ZelGetNumberOfDeviceInfo(c, n); },
             [&](uint32_t i, ZelDeviceInfo* r) { return a.ZelGetDeviceInfo(c, i, r); });
       }},
      {"printer",
       [](const Api& a, ZelContext* c, Digest* d) {
         ZelPrinterInfo printer;
         std::memset(&printer, 0, sizeof printer);
         const int32_t rc = a.ZelGetPrinterInfo(c, &printer);
         d->add(printer);
         return rc;
       }},
      {"input trays",
       [](const Api& a, ZelContext* c, Digest* d) {
         return read_table<ZelInputTrayInfo>(
             d, [&](int32_t* n) { return a.ZelGetNumberOfInputTrayInfo(c, n); },
             [&](uint32_t i, ZelInputTrayInfo* r) { return a.ZelGetInputTrayInfo(c, i, r); });
       }},
      {"input trays Ex",
       [](const Api& a, ZelContext* c, Digest* d) {
         return read_table<ZelInputTrayInfoEx>(
             d, [&](int32_t* n) { return a.ZelGetNumberOfInputTrayInfoEx(c, n); },
             [&](uint32_t i, ZelInputTrayInfoEx* r) { return a.ZelGetInputTrayInfoEx(c, i, r); });
       }},
      {"output trays",
       [](const Api& a, ZelContext* c, Digest* d) {
         return read_table<ZelOutputTrayInfo>(
             d, [&](int32_t* n) { return a.ZelGetNumberOfOutputTrayInfo(c, n); },
             [&](uint32_t i, ZelOutputTrayInfo* r) { return a.ZelGetOutputTrayInfo(c, i, r); });
       }},
      {"toner",
       [](const Api& a, ZelContext* c, Digest* d) {
         return read_table<ZelTonerInfo>(
             d, [&](int32_t* n) { return a.ZelGetNumberOfTonerInfo(c, n); },
             [&](uint32_t i, ZelTonerInfo* r) { return a.ZelGetTonerInfo(c, i, r); });
       }},
      {"alerts",
       [](const Api& a, ZelContext* c, Digest* d) {
         return read_table<ZelAlertInfo>(
             d, [&](int32_t* n) { return a.ZelGetNumberOfAlertInfo(c, n); },
             [&](uint32_t i, ZelAlertInfo* r) { return a.ZelGetAlertInfo(c, i, r); });
       }},
      {"jobs",
       [](const Api& a, ZelContext* c, Digest* d) {
         return read_table<ZelJobInfo>(
             d, [&](int32_t* n) { return a.ZelGetNumberOfJobInfo(c, 0, n); },
             [&](uint32_t i, ZelJobInfo* r) { return a.ZelGetJobInfo(c, i, r); });
       }},
  };
}

// --- the least number of exchanges -------------------------------------------

// Rows of each column in the recording.
class Recording {
 public:
  explicit Recording(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
      const size_t bar = line.find('|');
      if (bar != std::string::npos) oids_.insert(line.substr(0, bar));
    }
  }
  bool empty() const { return oids_.empty(); }
  int rows(const std::string& column) const {
    const std::string prefix = column + ".";
    int n = 0;
    for (auto it = oids_.lower_bound(prefix); it != oids_.end() && it->rfind(prefix, 0) == 0; ++it)
      ++n;
    return n;
  }
  bool has(const std::string& oid) const { return oids_.count(oid) != 0; }

 private:
  std::set<std::string> oids_;
};

// A walk of a column with r rows: r answers inside it and one that leaves it.
int walk(const Recording& r, const char* column) { return r.rows(column) + 1; }

// The least number of request datagrams of each step, from the readers'
// order of work and the recording's rows.
int least_requests(const Recording& r, const std::string& step) {
  const bool fax = r.has("1.3.6.1.2.1.25.3.2.1.1.104");
  const bool booklet = r.has("1.3.6.1.2.1.25.3.2.1.1.124");
  if (step == "open") return 1;  // sysObjectID.0, the model check
  if (step == "options") {
    return 1                                   // sysName.0
           + walk(r, "1.3.6.1.2.1.25.3.2.1.1")  // hrDeviceIndex
           + walk(r, "1.3.6.1.2.1.43.8.2.1.2")  // prtInputType
           + walk(r, "1.3.6.1.2.1.43.9.2.1.2")  // prtOutputType
           + 1                                  // hrMemorySize.0
           + walk(r, "1.3.6.1.2.1.43.13.4.1.9")  // prtMediaPathType
           + 1                                   // NetWare SAP unit name
           + (fax ? 1 : 0)                       // the three fax integers
           + 1                                   // the vendor detail settings
           + (booklet ? 1 : 0);                  // the booklet text
  }
  if (step == "storage") return walk(r, "1.3.6.1.2.1.25.2.3.1.2");
  if (step == "devices") return walk(r, "1.3.6.1.2.1.25.3.2.1.2");
  if (step == "printer") return walk(r, "1.3.6.1.2.1.25.3.5.1.1");
  if (step == "input trays") return walk(r, "1.3.6.1.2.1.43.8.2.1.2");
  if (step == "input trays Ex")
    return walk(r, "1.3.6.1.2.1.43.8.2.1.2") + walk(r, "1.3.6.1.4.1.61802.2.9999.43.8.2.1.2");
  if (step == "output trays") return walk(r, "1.3.6.1.2.1.43.9.2.1.2");
  if (step == "toner") return walk(r, "1.3.6.1.2.1.43.11.1.1.5");
  if (step == "alerts") return walk(r, "1.3.6.1.2.1.43.18.1.1.2");
  if (step == "jobs") {
    // The vendor character set (first read of a device object): a walk of
    // the index column and one get per row; then the job walk and three
    // string-table gets per job.
    const int charsets = r.rows("1.3.6.1.4.1.61801.8.51.3.1.1.1");
    const int jobs = r.rows("1.3.6.1.4.1.61801.8.59.6.1.1.4");
    return charsets + 1 + charsets + jobs + 1 + 3 * jobs;
  }
  return 0;  // close
}

// --- one full read --------------------------------------------------------------

struct Options {
  std::string address = "127.0.17.2";
  std::string agent = "snmpsimd";  // or "snmpd"
  long endurance = 0;
  bool breakdown = false;
  // --breakdown fails when the read makes more heap allocations (0: no
  // ceiling; a build whose allocator we cannot count reads 0 and passes).
  unsigned long long max_allocations = 0;
};

Options g_options;
Api g_api;
std::string g_recording;

double cpu_seconds() {
  return zelbench::process_cpu_seconds(true) + zelbench::process_cpu_seconds(false);
}

struct StepResult {
  std::string name;
  int32_t status = 0;
  CallCounts counts;
  double wall_ms = 0;
  double cpu_ms = 0;
};

// Init, open, every step, close. `per_step` (may be null) gets one entry
// per step. Answers the first failing status, or 0.
int32_t full_read(const Api& api, Digest* digest, std::vector<StepResult>* per_step) {
  ZelContext* ctx = nullptr;
  std::vector<Step> steps = {
      {"open",
       [&](const Api& a, ZelContext*, Digest*) {
         int32_t rc = a.ZelInit(&ctx);
         if (rc != 0) return rc;
         rc = a.ZelCommandString(ctx, "CmdSetCommunityGetOption", kCommunity);
         if (rc != 0) return rc;
         return a.ZelInitDevice(ctx, g_options.address.c_str(), kProtocolIpv4, kTimeoutMs,
                                kRetries);
       }}};
  for (Step& s : device_steps()) steps.push_back(std::move(s));
  steps.push_back({"close", [&](const Api& a, ZelContext*, Digest*) {
                     a.ZelUnInit(ctx);
                     ctx = nullptr;
                     return 0;
                   }});
  int32_t first_failure = 0;
  for (const Step& step : steps) {
    const CallCounts before = call_counts_now();
    const auto wall = std::chrono::steady_clock::now();
    const double cpu = cpu_seconds();
    const int32_t rc = step.run(api, ctx, digest);
    if (per_step) {
      StepResult r;
      r.name = step.name;
      r.status = rc;
      r.cpu_ms = (cpu_seconds() - cpu) * 1e3;
      r.wall_ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall)
                      .count();
      r.counts = call_counts_now() - before;
      per_step->push_back(r);
    }
    if (rc != 0 && first_failure == 0) {
      first_failure = rc;
      // Without a device nothing after the open can succeed; still close.
      if (std::strcmp(step.name, "open") == 0) {
        api.ZelUnInit(ctx);
        return rc;
      }
    }
  }
  return first_failure;
}

// --- the agent ------------------------------------------------------------------

RecordingAgent g_agent;

long resident_kib() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

// --- modes ----------------------------------------------------------------------

void print_step(const char* name, int32_t status, const CallCounts& c, int least, double wall_ms,
                double cpu_ms) {
  std::printf("%-15s %6d %8llu %6d %9llu %9llu %7llu %9.2f %8.2f %8.2f\n", name, status,
              static_cast<unsigned long long>(c.sent), least,
              static_cast<unsigned long long>(c.sent_octets),
              static_cast<unsigned long long>(c.received_octets),
              static_cast<unsigned long long>(c.allocations), wall_ms,
              static_cast<double>(c.wait_us) / 1e3, cpu_ms);
}

int run_breakdown() {
  const Recording recording(g_recording);
  // One read first: snmpsimd indexes the recording on its first requests.
  Digest warm;
  full_read(g_api, &warm, nullptr);
  Digest digest;
  std::vector<StepResult> steps;
  const int32_t rc = full_read(g_api, &digest, &steps);
  std::printf("%-15s %6s %8s %6s %9s %9s %7s %9s %8s %8s\n", "step", "status", "requests",
              "least", "octets>", "octets<", "allocs", "wall ms", "wait ms", "cpu ms");
  CallCounts total;
  double wall_ms = 0;
  double cpu_ms = 0;
  int least_total = 0;
  for (const StepResult& s : steps) {
    const int least = least_requests(recording, s.name);
    least_total += least;
    print_step(s.name.c_str(), s.status, s.counts, least, s.wall_ms, s.cpu_ms);
    total.add(s.counts);
    wall_ms += s.wall_ms;
    cpu_ms += s.cpu_ms;
  }
  print_step("full read", rc, total, least_total, wall_ms, cpu_ms);
  std::printf("answers received: %llu; records digest %016llx\n",
              static_cast<unsigned long long>(total.received),
              static_cast<unsigned long long>(digest.value));
  if (g_options.max_allocations != 0 && total.allocations > g_options.max_allocations) {
    std::printf("more heap allocations than the ceiling of %llu\n", g_options.max_allocations);
    return 1;
  }
  return rc == 0 && total.sent == static_cast<uint64_t>(least_total) ? 0 : 1;
}

int run_endurance(long reads) {
  Digest first;
  const long rss_start = resident_kib();
  const auto start = std::chrono::steady_clock::now();
  const CallCounts counts_start = call_counts_now();
  long failures = 0;
  long mismatches = 0;
  long rss_100 = -1;
  for (long i = 0; i < reads; ++i) {
    Digest digest;
    const int32_t rc = full_read(g_api, &digest, nullptr);
    if (rc != 0) {
      if (failures < 10) std::printf("read %ld: status %d\n", i + 1, rc);
      ++failures;
    } else if (i == 0) {
      first = digest;
    } else if (digest.value != first.value) {
      if (mismatches < 10) std::printf("read %ld: records differ from the first read\n", i + 1);
      ++mismatches;
    }
    if (i + 1 == 100) rss_100 = resident_kib();
    if ((i + 1) % 1000 == 0) {
      const double s =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      std::printf("reads %6ld  VmRSS %6ld KiB  %.1f s\n", i + 1, resident_kib(), s);
      std::fflush(stdout);
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const CallCounts c = call_counts_now() - counts_start;
  const double n = static_cast<double>(reads);
  std::printf("full reads: %ld, failed: %ld, records unlike the first: %ld\n", reads, failures,
              mismatches);
  if (rss_100 >= 0) {
    std::printf("VmRSS KiB: start %ld, after 100 reads %ld, end %ld\n", rss_start, rss_100,
                resident_kib());
  } else {
    std::printf("VmRSS KiB: start %ld, end %ld\n", rss_start, resident_kib());
  }
  std::printf("wall %.1f s (%.2f ms per read); per read: %.1f requests, %.1f answers, "
              "%.0f octets out, %.0f octets in, %.0f allocations\n",
              seconds, seconds * 1e3 / n, static_cast<double>(c.sent) / n,
              static_cast<double>(c.received) / n, static_cast<double>(c.sent_octets) / n,
              static_cast<double>(c.received_octets) / n, static_cast<double>(c.allocations) / n);
  return failures == 0 && mismatches == 0 ? 0 : 1;
}

void BM_FullDeviceRead(benchmark::State& state) {
  Digest warm;
  if (full_read(g_api, &warm, nullptr) != 0) {
    state.SkipWithError("the full read failed");
    return;
  }
  const CallCounts before = call_counts_now();
  const double user = zelbench::process_cpu_seconds(true);
  const double kernel = zelbench::process_cpu_seconds(false);
  for (auto _ : state) {
    Digest digest;
    if (full_read(g_api, &digest, nullptr) != 0) {
      state.SkipWithError("the full read failed");
      return;
    }
    benchmark::DoNotOptimize(digest.value);
  }
  const CallCounts c = call_counts_now() - before;
  const auto avg = benchmark::Counter::kAvgIterations;
  state.counters["requests"] = benchmark::Counter(static_cast<double>(c.sent), avg);
  state.counters["answers"] = benchmark::Counter(static_cast<double>(c.received), avg);
  state.counters["octets_out"] = benchmark::Counter(static_cast<double>(c.sent_octets), avg);
  state.counters["octets_in"] = benchmark::Counter(static_cast<double>(c.received_octets), avg);
  state.counters["allocs"] = benchmark::Counter(static_cast<double>(c.allocations), avg);
  state.counters["client_user_ms"] =
      benchmark::Counter((zelbench::process_cpu_seconds(true) - user) * 1e3, avg);
  state.counters["client_sys_ms"] =
      benchmark::Counter((zelbench::process_cpu_seconds(false) - kernel) * 1e3, avg);
}
BENCHMARK(BM_FullDeviceRead)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> rest = {argv[0]};
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--breakdown") {
      g_options.breakdown = true;
    } else if (a.rfind("--endurance=", 0) == 0) {
      g_options.endurance = std::strtol(a.c_str() + 12, nullptr, 10);
    } else if (a.rfind("--max-allocations=", 0) == 0) {
      g_options.max_allocations = std::strtoull(a.c_str() + 18, nullptr, 10);
    } else if (a.rfind("--agent=", 0) == 0) {
      g_options.agent = a.substr(8);
    } else if (a.rfind("--address=", 0) == 0) {
      g_options.address = a.substr(10);
    } else {
      rest.push_back(argv[i]);
    }
  }
  std::string error;
  if (!g_api.load(&error)) {
    std::fprintf(stderr, "cannot load the plug-in: %s\n", error.c_str());
    return 2;
  }
  g_recording = zeltest::repo_file("options/testdata/supported-device.snmprec");
  const RecordingAgent::Kind kind =
      g_options.agent == "snmpd" ? RecordingAgent::kSnmpd : RecordingAgent::kSnmpsimd;
  if (!g_agent.start(kind, g_options.address, g_recording, kCommunity, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  int rc = 0;
  if (g_options.breakdown) {
    rc = run_breakdown();
  } else if (g_options.endurance > 0) {
    rc = run_endurance(g_options.endurance);
  } else {
    int n = static_cast<int>(rest.size());
    benchmark::Initialize(&n, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
  }
  g_agent.stop();
  return rc;
}
