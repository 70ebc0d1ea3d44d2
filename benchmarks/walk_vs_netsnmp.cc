// The same table walk made by our reader and by Net-SNMP's library, against
// one snmpd agent, in one run. The agent serves the supported-device
// recording with its input-tray table (prtInputTable) grown to 1,000 rows of
// the 15 columns the reader asks for.
//   - ours: the input-tray count call of the built plug-in (dlopen, as a
//     host loads it): 1,001 GetNext exchanges of 15 bindings each, every
//     row turned into a ZelInputTrayInfo record;
//   - netsnmp: Net-SNMP's single-session API doing the identical exchanges
//     (the 15 columns, then the 15 names of the last answer, SNMPv1, the
//     same community, time-out and retries), every row turned into the same
//     record.
// Per walk it prints wall time, the walking thread's CPU time (user and
// system), heap allocations (malloc, calloc, realloc; operator new and
// Net-SNMP's library reach them too) and exchanges. Each walk is checked:
// 1,000 records, the last one as generated.
//
// Instructions are counted by callgrind around the two walk functions
// (walk_vs_netsnmp_ours, walk_vs_netsnmp_netsnmp); scripts/bench-walk-vs-netsnmp.sh
// runs it so, three walks minus one, and prints the ratio.
//
//   walk_vs_netsnmp [--client=ours|netsnmp|both] [--walks=N] [--address=A]
//
// Needs snmpd. Build with -DZEL_BENCHMARKS=ON.
#include <dlfcn.h>
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "benchmarks/call_counters.h"
#include "benchmarks/cpu_clock.h"
#include "benchmarks/recording_agent.h"
#include "plugin/zel_api.h"

namespace {

constexpr char kCommunity[] = "supported";
constexpr int32_t kProtocolIpv4 = 1;
constexpr int32_t kTimeoutMs = 2000;
constexpr int32_t kRetries = 1;
constexpr int kRows = 1000;
constexpr char kTable[] = "1.3.6.1.2.1.43.8.2.1";
// The reader's columns, in its order: ten integers, then five texts.
constexpr int kColumns[] = {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 18, 21, 22};
constexpr size_t kColumnCount = sizeof(kColumns) / sizeof(kColumns[0]);
constexpr size_t kIntegerColumns = 10;

bool is_text_column(size_t i) { return i >= kIntegerColumns; }

int32_t cell_number(size_t column, int row) {
  return static_cast<int32_t>((row * 37 + static_cast<int>(column) * 1009) % 300000);
}

std::string cell_text(size_t column, int row) {
  std::string text("tray ");
  text.append(std::to_string(row)).append(" col ").append(std::to_string(kColumns[column]));
  return text;
}

// The supported-device recording with its input-tray rows replaced by ours.
bool write_recording(const std::string& source, const std::string& path) {
  std::ifstream in(source);
  std::ofstream out(path);
  const std::string prefix = std::string(kTable) + ".";
  std::string line;
  bool written = false;
  while (std::getline(in, line)) {
    if (line.rfind(prefix, 0) != 0) {
      out << line << "\n";
      continue;
    }
    if (written) continue;
    written = true;
    for (size_t c = 0; c < kColumnCount; ++c) {
      for (int r = 1; r <= kRows; ++r) {
        out << prefix << kColumns[c] << ".1." << r;
        if (is_text_column(c)) {
          out << "|4|" << cell_text(c, r) << "\n";
        } else {
          out << "|2|" << cell_number(c, r) << "\n";
        }
      }
    }
  }
  return written && static_cast<bool>(out);
}

bool record_matches(const ZelInputTrayInfo& record, int row) {
  const int32_t* numbers = &record.type;
  for (size_t c = 0; c < kIntegerColumns; ++c) {
    if (numbers[c] != cell_number(c, row)) return false;
  }
  const char* texts[] = {record.mediaName, record.name, record.description, record.mediaType,
                         record.mediaColor};
  for (size_t c = kIntegerColumns; c < kColumnCount; ++c) {
    if (cell_text(c, row) != texts[c - kIntegerColumns]) return false;
  }
  return true;
}

// ---- ours: the built plug-in ----

struct Plugin {
  decltype(&::ZelInit) init = nullptr;
  decltype(&::ZelUnInit) uninit = nullptr;
  decltype(&::ZelCommandString) command = nullptr;
  decltype(&::ZelInitDevice) open = nullptr;
  decltype(&::ZelGetNumberOfInputTrayInfo) count = nullptr;
  decltype(&::ZelGetInputTrayInfo) record = nullptr;
  ZelContext* ctx = nullptr;

  bool load(std::string* error) {
    void* const library = dlopen(ZEL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
      *error = dlerror();
      return false;
    }
    init = reinterpret_cast<decltype(init)>(dlsym(library, "ZelInit"));
    uninit = reinterpret_cast<decltype(uninit)>(dlsym(library, "ZelUnInit"));
    command = reinterpret_cast<decltype(command)>(dlsym(library, "ZelCommandString"));
    open = reinterpret_cast<decltype(open)>(dlsym(library, "ZelInitDevice"));
    count = reinterpret_cast<decltype(count)>(dlsym(library, "ZelGetNumberOfInputTrayInfo"));
    record = reinterpret_cast<decltype(record)>(dlsym(library, "ZelGetInputTrayInfo"));
    if (!init || !uninit || !command || !open || !count || !record) {
      *error = "missing exports";
      return false;
    }
    return true;
  }

  bool start(const std::string& address, std::string* error) {
    int32_t rc = init(&ctx);
    if (rc == 0) rc = command(ctx, "CmdSetCommunityGetOption", kCommunity);
    if (rc == 0) rc = open(ctx, address.c_str(), kProtocolIpv4, kTimeoutMs, kRetries);
    if (rc != 0) *error = "plug-in open failed: " + std::to_string(rc);
    return rc == 0;
  }
};

Plugin g_plugin;

}  // namespace

// One walk of ours: the count call. Kept out of line under a plain name so
// that callgrind can collect inside it alone.
extern "C" __attribute__((noinline)) int32_t walk_vs_netsnmp_ours(int32_t* count) {
  return g_plugin.count(g_plugin.ctx, count);
}

namespace {

// ---- Net-SNMP's library ----

struct NetSnmpClient {
  void* session = nullptr;
  oid columns[kColumnCount][MAX_OID_LEN];
  size_t column_lengths[kColumnCount] = {};
  oid root[MAX_OID_LEN];
  size_t root_length = MAX_OID_LEN;
  std::vector<ZelInputTrayInfo> records;

  bool start(const std::string& address, std::string* error) {
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
    netsnmp_ds_set_int(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_ERRORS, 0);
    setenv("MIBS", "", 1);
    init_snmp("walk_vs_netsnmp");
    netsnmp_session config;
    snmp_sess_init(&config);
    config.version = SNMP_VERSION_1;
    std::string peer = "udp:" + address + ":161";
    config.peername = peer.data();
    config.community = reinterpret_cast<u_char*>(const_cast<char*>(kCommunity));
    config.community_len = std::strlen(kCommunity);
    config.timeout = kTimeoutMs * 1000L;
    config.retries = kRetries;
    session = snmp_sess_open(&config);
    if (!session) {
      *error = "snmp_sess_open failed";
      return false;
    }
    for (size_t c = 0; c < kColumnCount; ++c) {
      const std::string text = std::string(kTable) + "." + std::to_string(kColumns[c]);
      column_lengths[c] = MAX_OID_LEN;
      if (!read_objid(text.c_str(), columns[c], &column_lengths[c])) {
        *error = "read_objid failed";
        return false;
      }
    }
    std::memcpy(root, columns[0], column_lengths[0] * sizeof(oid));
    root_length = column_lengths[0];
    return true;
  }

  static void copy_text(const netsnmp_variable_list* v, char* out, size_t size) {
    out[0] = '\0';
    if (v->type != ASN_OCTET_STR || !v->val.string) return;
    const size_t n = std::min(v->val_len, size - 1);
    std::memcpy(out, v->val.string, n);
    out[n] = '\0';
  }

  // The row of one answer as the reader's record.
  static void to_record(const netsnmp_variable_list* vars, ZelInputTrayInfo* record) {
    std::memset(record, 0, sizeof(*record));
    int32_t* numbers = &record->type;
    char* texts[] = {record->mediaName, record->name, record->description, record->mediaType,
                     record->mediaColor};
    const size_t sizes[] = {sizeof record->mediaName, sizeof record->name,
                            sizeof record->description, sizeof record->mediaType,
                            sizeof record->mediaColor};
    size_t c = 0;
    for (const netsnmp_variable_list* v = vars; v && c < kColumnCount; v = v->next_variable, ++c) {
      if (c < kIntegerColumns) {
        numbers[c] = (v->type == ASN_INTEGER && v->val.integer)
                         ? static_cast<int32_t>(*v->val.integer)
                         : 0;
      } else {
        copy_text(v, texts[c - kIntegerColumns], sizes[c - kIntegerColumns]);
      }
    }
  }

  // The walk: GetNext of the columns, then of the names just received,
  // until the first name leaves the first column (or the agent answers an
  // error or stops advancing). Answers the number of exchanges, -1 on a
  // failed exchange.
  long walk() {
    records.clear();
    long exchanges = 0;
    netsnmp_pdu* request = snmp_pdu_create(SNMP_MSG_GETNEXT);
    for (size_t c = 0; c < kColumnCount; ++c)
      snmp_add_null_var(request, columns[c], column_lengths[c]);
    const oid* previous = columns[0];
    size_t previous_length = column_lengths[0];
    oid last[MAX_OID_LEN];
    for (;;) {
      netsnmp_pdu* response = nullptr;
      const int status = snmp_sess_synch_response(session, request, &response);
      ++exchanges;
      if (status != STAT_SUCCESS || !response) {
        if (response) snmp_free_pdu(response);
        return -1;
      }
      const netsnmp_variable_list* first = response->variables;
      const bool row = response->errstat == SNMP_ERR_NOERROR && first &&
                       snmp_oidtree_compare(root, root_length, first->name,
                                            first->name_length) == 0 &&
                       snmp_oid_compare(first->name, first->name_length, previous,
                                        previous_length) > 0;
      if (!row) {
        snmp_free_pdu(response);
        return exchanges;
      }
      ZelInputTrayInfo record;
      to_record(first, &record);
      records.push_back(record);
      request = snmp_pdu_create(SNMP_MSG_GETNEXT);
      for (const netsnmp_variable_list* v = first; v; v = v->next_variable)
        snmp_add_null_var(request, v->name, v->name_length);
      std::memcpy(last, first->name, first->name_length * sizeof(oid));
      previous = last;
      previous_length = first->name_length;
      snmp_free_pdu(response);
    }
  }
};

NetSnmpClient g_netsnmp;

}  // namespace

// One walk of Net-SNMP's library; out of line for callgrind, as above.
extern "C" __attribute__((noinline)) long walk_vs_netsnmp_netsnmp() {
  return g_netsnmp.walk();
}

namespace {

struct Totals {
  double wall_s = 0;
  double cpu_s = 0;
  double system_s = 0;
  uint64_t allocations = 0;
  long exchanges = 0;
  int walks = 0;
};

void print(const char* client, const Totals& t) {
  const double n = t.walks > 0 ? t.walks : 1;
  std::printf(
      "%-8s walks=%d wall_ms=%.2f cpu_ms=%.2f sys_ms=%.2f allocations=%.0f "
      "exchanges=%.0f allocations_per_exchange=%.3f\n",
      client, t.walks, t.wall_s * 1e3 / n, t.cpu_s * 1e3 / n, t.system_s * 1e3 / n,
      static_cast<double>(t.allocations) / n, static_cast<double>(t.exchanges) / n,
      t.exchanges > 0 ? static_cast<double>(t.allocations) / static_cast<double>(t.exchanges)
                      : 0.0);
}

// One walk of `client`, measured into *t; false when it failed or its
// records differ from the table.
bool measure(bool ours, Totals* t) {
  const CallCounts before = call_counts_now();
  const auto start = std::chrono::steady_clock::now();
  const double system_start = zelbench::thread_system_seconds();
  const double cpu_start = zelbench::thread_cpu_seconds();
  long exchanges = 0;
  int32_t count = 0;
  bool ok = false;
  if (ours) {
    const uint64_t sent = call_counts_now().sent;
    ok = walk_vs_netsnmp_ours(&count) == 0;
    exchanges = static_cast<long>(call_counts_now().sent - sent);
  } else {
    exchanges = walk_vs_netsnmp_netsnmp();
    ok = exchanges > 0;
  }
  const double cpu_end = zelbench::thread_cpu_seconds();
  const double system_end = zelbench::thread_system_seconds();
  const auto end = std::chrono::steady_clock::now();
  const CallCounts after = call_counts_now();
  t->wall_s += std::chrono::duration<double>(end - start).count();
  t->cpu_s += cpu_end - cpu_start;
  t->system_s += system_end - system_start;
  t->allocations += (after - before).allocations;
  t->exchanges += exchanges;
  ++t->walks;
  if (!ok) return false;
  ZelInputTrayInfo last{};
  if (ours) {
    if (count != kRows || g_plugin.record(g_plugin.ctx, kRows - 1, &last) != 0) return false;
  } else {
    if (g_netsnmp.records.size() != kRows) return false;
    last = g_netsnmp.records.back();
  }
  return record_matches(last, kRows);
}

}  // namespace

int main(int argc, char** argv) {
  std::string client = "both";
  std::string address = "127.0.30.1";
  int walks = 10;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a.rfind("--client=", 0) == 0) {
      client = a.substr(9);
    } else if (a.rfind("--walks=", 0) == 0) {
      walks = std::atoi(a.c_str() + 8);
    } else if (a.rfind("--address=", 0) == 0) {
      address = a.substr(10);
    } else {
      std::fprintf(stderr,
                   "usage: %s [--client=ours|netsnmp|both] [--walks=N] [--address=A]\n",
                   argv[0]);
      return 2;
    }
  }
  const bool run_ours = client == "ours" || client == "both";
  const bool run_netsnmp = client == "netsnmp" || client == "both";
  if ((!run_ours && !run_netsnmp) || walks < 1) {
    std::fprintf(stderr, "bad --client or --walks\n");
    return 2;
  }
  char dir_template[] = "/tmp/walk_vs_netsnmp.XXXXXX";
  if (!mkdtemp(dir_template)) return 2;
  const std::string dir = dir_template;
  const std::string recording = dir + "/trays.snmprec";
  if (!write_recording(zeltest::repo_file("options/testdata/supported-device.snmprec"),
                       recording)) {
    std::fprintf(stderr, "cannot write the recording\n");
    return 2;
  }
  std::string error;
  RecordingAgent agent;
  if (!agent.start(RecordingAgent::kSnmpd, address, recording, kCommunity, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  if ((run_ours && (!g_plugin.load(&error) || !g_plugin.start(address, &error))) ||
      (run_netsnmp && !g_netsnmp.start(address, &error))) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  // Alternating walks, so that a change in the machine's load falls on both.
  Totals ours;
  Totals netsnmp;
  bool ok = true;
  for (int i = 0; i < walks && ok; ++i) {
    if (run_ours) ok = measure(true, &ours) && ok;
    if (run_netsnmp) ok = measure(false, &netsnmp) && ok;
  }
  if (run_ours) print("ours", ours);
  if (run_netsnmp) print("netsnmp", netsnmp);
  if (run_ours && run_netsnmp && netsnmp.cpu_s > 0 && netsnmp.wall_s > 0) {
    std::printf("ratio    wall=%.2fx cpu=%.2fx allocations=%.2fx\n", ours.wall_s / netsnmp.wall_s,
                ours.cpu_s / netsnmp.cpu_s,
                netsnmp.allocations > 0 ? static_cast<double>(ours.allocations) /
                                              static_cast<double>(netsnmp.allocations)
                                        : 0.0);
  }
  if (run_ours) g_plugin.uninit(g_plugin.ctx);
  if (run_netsnmp) snmp_sess_close(g_netsnmp.session);
  agent.stop();
  std::filesystem::remove_all(dir);
  if (!ok) {
    std::fprintf(stderr, "a walk failed or its records differ from the table\n");
    return 1;
  }
  return 0;
}
