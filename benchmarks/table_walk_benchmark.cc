// A walk of a 1,000-row, 4-column table (4,000 values, integers and short
// octet strings mixed) under 1.3.6.1.4.1.61802.99.1.1, served by snmpsimd on
// 127.0.15.2 and by Net-SNMP's snmpd on 127.0.15.3 (one `override` line per
// value), walked in the same run by:
//   - our request object the way the readers walk: the four columns in one
//     GetNext, 1,001 exchanges ("rows");
//   - our request object with the table's root alone, one value per GetNext
//     as snmpwalk asks, 4,001 exchanges ("subtree");
//   - `snmpwalk -v1 -c zelbench ADDR 1.3.6.1.4.1.61802.99.1.1` as a child
//     process, output to a file;
//   - `snmpwalk` of a one-value subtree: what starting the process costs.
// Each iteration is one whole walk. Reported per walk: wall time (manual
// time), client CPU time (ours: the walking thread's CPU clock around the
// walk, the request object's making and release included; snmpwalk: the
// child's rusage from wait4), datagrams sent and received (ours: counted in
// the socket function table; snmpwalk: counted once per agent from
// `snmpwalk -d`). Every walk is checked against the generated table after
// its clock stops. The recordings and the snmpd configuration are written
// into a temporary folder at start.
//
// Rerun: scripts/bench-walk.sh (10 interleaved repetitions, median, min, max).
// Build with -DZEL_BENCHMARKS=ON; snmpsimd, snmpd and snmpwalk must be
// installed.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "benchmarks/cpu_clock.h"
#include "common/owned.h"
#include "common/status.h"
#include "facade/get_data.h"
#include "snmp/binding.h"
#include "snmp/packet.h"
#include "snmp/pdu.h"
#include "snmp/value.h"
#include "testing/snmpd_agent.h"
#include "testing/snmpsim_agent.h"
#include "transport/socket_api.h"

extern char** environ;

namespace {

constexpr char kSnmpsimAddress[] = "127.0.15.2";
constexpr char kSnmpdAddress[] = "127.0.15.3";
constexpr char kCommunity[] = "zelbench";
constexpr char kTable[] = "1.3.6.1.4.1.61802.99.1.1";
// One value after the table, so that every walk ends by leaving the subtree
// rather than at the end of the agent's MIB.
constexpr char kAfterTable[] = "1.3.6.1.4.1.61802.99.2";
constexpr int kRows = 1000;
constexpr int kColumns = 4;
constexpr uint32_t kTimeoutMs = 1000;  // snmpwalk's defaults: 1 s, 5 retries
constexpr uint32_t kRetries = 5;

enum Agent { kSnmpsim = 0, kSnmpd = 1 };

const char* agent_address(int agent) {
  return agent == kSnmpsim ? kSnmpsimAddress : kSnmpdAddress;
}

// ---- The table ----

struct Cell {
  std::string oid;  // dotted, no leading dot
  bool is_int;
  int32_t number;
  std::string text;
};

std::string column_oid(int column) {
  return std::string(kTable) + "." + std::to_string(column);
}

// Odd columns hold integers (the index, then a signed spread), even columns
// short octet strings; in the order a GetNext walk meets them.
std::vector<Cell> make_table() {
  std::vector<Cell> cells;
  cells.reserve(kRows * kColumns);
  for (int c = 1; c <= kColumns; ++c) {
    for (int r = 1; r <= kRows; ++r) {
      Cell cell;
      cell.oid = column_oid(c) + "." + std::to_string(r);
      cell.is_int = (c % 2) == 1;
      if (c == 1) cell.number = r;
      if (c == 3) cell.number = (r * 7919) % 200000 - 100000;
      // Appended, not "literal" + string: g++ 12 at -O3 warns falsely
      // (-Wrestrict) on that form.
      if (c == 2) cell.text.append("tray ").append(std::to_string(r));
      if (c == 4) cell.text.append("s").append(std::to_string(r * 13));
      cells.push_back(std::move(cell));
    }
  }
  return cells;
}

const std::vector<Cell>& table() {
  static const std::vector<Cell> cells = make_table();
  return cells;
}

const Cell& cell_at(int column, int row) {
  return table()[static_cast<size_t>((column - 1) * kRows + (row - 1))];
}

bool write_snmprec(const std::string& dir) {
  std::ofstream out(dir + "/" + kCommunity + ".snmprec");
  out << "1.3.6.1.2.1.1.2.0|6|1.3.6.1.4.1.61802.99\n";
  for (const Cell& cell : table()) {
    out << cell.oid << (cell.is_int ? "|2|" : "|4|")
        << (cell.is_int ? std::to_string(cell.number) : cell.text) << "\n";
  }
  out << kAfterTable << ".0|2|1\n";
  return static_cast<bool>(out);
}

// One `override` per value: each becomes an instance registration of its
// own, which snmpd serves to gets and GetNexts like any other object.
std::string snmpd_table_conf() {
  std::ostringstream conf;
  conf << "rocommunity " << kCommunity << " 127.0.0.0/8\n";
  conf << "dontLogTCPWrappersConnects yes\n";
  for (const Cell& cell : table()) {
    if (cell.is_int) {
      conf << "override ." << cell.oid << " integer " << cell.number << "\n";
    } else {
      conf << "override ." << cell.oid << " octet_str \"" << cell.text << "\"\n";
    }
  }
  conf << "override ." << kAfterTable << ".0 integer 1\n";
  return conf.str();
}

// ---- Our walk ----

// Counts the datagrams that go through the socket function table.
long g_sent = 0;
long g_received = 0;
long (*g_real_sendto)(int, const void*, size_t, int, const sockaddr*, uint32_t);
long (*g_real_recvfrom)(int, void*, size_t, int, sockaddr*, uint32_t*);

long counting_sendto(int fd, const void* buffer, size_t length, int flags,
                     const sockaddr* to, uint32_t to_length) {
  ++g_sent;
  return g_real_sendto(fd, buffer, length, flags, to, to_length);
}

long counting_recvfrom(int fd, void* buffer, size_t length, int flags,
                       sockaddr* from, uint32_t* from_length) {
  const long n = g_real_recvfrom(fd, buffer, length, flags, from, from_length);
  if (n >= 0) ++g_received;
  return n;
}

bool value_matches(const IKasVarBind* binding, const Cell& cell) {
  const IKasOid* oid = binding ? binding->get_oid() : nullptr;
  const IKasSnmpValue* value = binding ? binding->get_value() : nullptr;
  if (!oid || !value || !oid->text() || cell.oid != oid->text()) return false;
  if (cell.is_int) return value->get_int() == cell.number;
  size_t length = 0;
  int rc = kKalOk;
  const uint8_t* bytes = value->get_bytes(&length, &rc);
  return rc == kKalOk && bytes &&
         std::string(reinterpret_cast<const char*>(bytes), length) == cell.text;
}

// `rows`: PDUs of four bindings, one per row. Otherwise one binding per PDU
// in column order.
bool walk_matches(IKasPduList* list, bool rows) {
  const size_t expected = rows ? kRows : static_cast<size_t>(kRows) * kColumns;
  if (list->count() != expected) return false;
  KalOwned<IKasListCursor> cursor(list->new_cursor());
  if (!cursor) return false;
  for (size_t i = 0; i < expected; ++i) {
    const IKasPdu* pdu = list->current(cursor.get());
    const IKasVarBindList* bindings = pdu ? pdu->get_bindings() : nullptr;
    if (!bindings) return false;
    if (rows) {
      if (bindings->count() != kColumns) return false;
      for (int c = 1; c <= kColumns; ++c) {
        if (!value_matches(bindings->at(static_cast<size_t>(c - 1)),
                           cell_at(c, static_cast<int>(i) + 1)))
          return false;
      }
    } else if (bindings->count() != 1 ||
               !value_matches(bindings->at(0), table()[i])) {
      return false;
    }
    list->next(cursor.get());
  }
  return true;
}

// One walk as a reader makes it: a request object made, initialised, the
// columns added, the walk, everything released. Answers the walk's status;
// the rows go to *rows.
int walk_once(int agent, bool rows, KalOwned<IKasPduList>* out) {
  int rc = kKalOk;
  KalOwned<IKalGetData> request(kal_create_get_data(&rc));
  if (!request) return rc;
  request->set_community(kCommunity);
  rc = request->init(agent_address(agent), IKalNetworkAddress::IPv4, 161, 0,
                     nullptr, kTimeoutMs, kRetries, 0);
  if (rc != kKalOk) return rc;
  if (rows) {
    for (int c = 1; c <= kColumns; ++c) {
      rc = request->add_oid_string(column_oid(c).c_str(), false);
      if (rc != kKalOk) return rc;
    }
  } else {
    rc = request->add_oid_string(kTable, false);
    if (rc != kKalOk) return rc;
  }
  KalOwned<IKasPduList> list(kas_create_pdu_list(&rc));
  if (!list) return rc;
  rc = request->get_data(list.get(),
                         rows ? column_oid(1).c_str() : kTable);
  out->reset(list.detach());
  return rc;
}

void add_statistics(benchmark::internal::Benchmark* b) {
  b->ComputeStatistics("min", [](const std::vector<double>& v) {
    return *std::min_element(v.begin(), v.end());
  });
  b->ComputeStatistics("max", [](const std::vector<double>& v) {
    return *std::max_element(v.begin(), v.end());
  });
}

void BM_OurWalk(benchmark::State& state, int agent, bool rows) {
  NKalSocketAPI::set_api();
  NKalSocketAPI::ScopedTable saved;
  g_real_sendto = NKalSocketAPI::table().sendto;
  g_real_recvfrom = NKalSocketAPI::table().recvfrom;
  NKalSocketAPI::table().sendto = counting_sendto;
  NKalSocketAPI::table().recvfrom = counting_recvfrom;
  double cpu = 0;
  double system = 0;
  long sent = 0;
  long received = 0;
  for (auto _ : state) {
    g_sent = g_received = 0;
    KalOwned<IKasPduList> list;
    // The walk and the release of its rows are timed; the check between
    // them is not.
    const auto start = std::chrono::steady_clock::now();
    const double system_start = zelbench::thread_system_seconds();
    const double cpu_start = zelbench::thread_cpu_seconds();
    const int rc = walk_once(agent, rows, &list);
    const double cpu_walked = zelbench::thread_cpu_seconds();
    const double system_walked = zelbench::thread_system_seconds();
    const auto walked = std::chrono::steady_clock::now();
    const bool ok = rc == kKalOk && list && walk_matches(list.get(), rows);
    const auto checked = std::chrono::steady_clock::now();
    const double cpu_checked = zelbench::thread_cpu_seconds();
    const double system_checked = zelbench::thread_system_seconds();
    list.reset();
    const double cpu_end = zelbench::thread_cpu_seconds();
    const double system_end = zelbench::thread_system_seconds();
    const auto end = std::chrono::steady_clock::now();
    state.SetIterationTime(
        std::chrono::duration<double>((walked - start) + (end - checked))
            .count());
    if (!ok) {
      state.SkipWithError(("walk failed or differs, status " +
                           std::to_string(rc)).c_str());
      break;
    }
    cpu += (cpu_walked - cpu_start) + (cpu_end - cpu_checked);
    system += (system_walked - system_start) + (system_end - system_checked);
    sent += g_sent;
    received += g_received;
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["cpu_ms"] = cpu * 1e3 / n;
  state.counters["sys_ms"] = system * 1e3 / n;
  state.counters["sent"] = static_cast<double>(sent) / n;
  state.counters["received"] = static_cast<double>(received) / n;
}

// ---- snmpwalk ----

struct ChildRun {
  bool ok = false;
  double wall_s = 0;
  double cpu_s = 0;
  double system_s = 0;
};

// Runs argv with stdout (and stderr with `merge`) into `out_path`.
ChildRun run_child(const std::vector<std::string>& args,
                   const std::string& out_path, bool merge) {
  ChildRun run;
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (merge) posix_spawn_file_actions_adddup2(&actions, 1, 2);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = -1;
  const int spawned =
      posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return run;
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return run;
  const auto end = std::chrono::steady_clock::now();
  run.wall_s = std::chrono::duration<double>(end - start).count();
  run.cpu_s =
      static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) /
          1e6;
  run.system_s = static_cast<double>(usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_stime.tv_usec) / 1e6;
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

std::string g_output_dir;

std::vector<std::string> snmpwalk_args(int agent, const char* root,
                                       bool dump) {
  std::vector<std::string> args = {"snmpwalk", "-v1", "-c", kCommunity};
  if (dump) args.push_back("-d");
  args.push_back(agent_address(agent));
  args.push_back(root);
  return args;
}

// snmpwalk prints "iso.3.6.1...": every line must name the next cell of the
// table, in order, with its value.
bool snmpwalk_output_matches(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  size_t i = 0;
  while (std::getline(in, line)) {
    if (i >= table().size()) return false;
    const Cell& cell = table()[i++];
    std::string expected("iso.");
    expected.append(cell.oid, 2).append(" = ");
    if (cell.is_int) {
      expected.append("INTEGER: ").append(std::to_string(cell.number));
    } else {
      expected.append("STRING: \"").append(cell.text).append("\"");
    }
    if (line != expected) return false;
  }
  return i == table().size();
}

// Datagrams snmpwalk sends and receives for one walk, from its packet dump
// (a separate, untimed run).
void count_snmpwalk_datagrams(int agent, const char* root, long* sent,
                              long* received) {
  const std::string path = g_output_dir + "/dump.txt";
  *sent = *received = -1;
  if (!run_child(snmpwalk_args(agent, root, true), path, true).ok) return;
  std::ifstream in(path);
  std::string line;
  *sent = *received = 0;
  while (std::getline(in, line)) {
    if (line.rfind("Sending ", 0) == 0) ++*sent;
    if (line.rfind("Received ", 0) == 0) ++*received;
  }
}

void BM_Snmpwalk(benchmark::State& state, int agent, bool whole_table) {
  const char* root = whole_table ? kTable : kAfterTable;
  const std::string path = g_output_dir + "/snmpwalk.txt";
  const std::vector<std::string> args = snmpwalk_args(agent, root, false);
  double cpu = 0;
  double system = 0;
  for (auto _ : state) {
    const ChildRun run = run_child(args, path, false);
    state.SetIterationTime(run.wall_s);
    if (!run.ok || (whole_table && !snmpwalk_output_matches(path))) {
      state.SkipWithError("snmpwalk failed or printed another table");
      break;
    }
    cpu += run.cpu_s;
    system += run.system_s;
  }
  long sent = 0;
  long received = 0;
  count_snmpwalk_datagrams(agent, root, &sent, &received);
  const double n = static_cast<double>(state.iterations());
  state.counters["cpu_ms"] = cpu * 1e3 / n;
  state.counters["sys_ms"] = system * 1e3 / n;
  state.counters["sent"] = static_cast<double>(sent);
  state.counters["received"] = static_cast<double>(received);
}

void register_benchmarks() {
  const struct {
    const char* name;
    int agent;
  } agents[] = {{"snmpsimd", kSnmpsim}, {"snmpd", kSnmpd}};
  for (const auto& a : agents) {
    const int agent = a.agent;
    const std::string suffix = std::string("/") + a.name;
    for (auto* b : {
             benchmark::RegisterBenchmark(
                 ("ours_rows" + suffix).c_str(),
                 [agent](benchmark::State& s) { BM_OurWalk(s, agent, true); }),
             benchmark::RegisterBenchmark(
                 ("ours_subtree" + suffix).c_str(),
                 [agent](benchmark::State& s) { BM_OurWalk(s, agent, false); }),
             benchmark::RegisterBenchmark(
                 ("snmpwalk" + suffix).c_str(),
                 [agent](benchmark::State& s) { BM_Snmpwalk(s, agent, true); }),
             benchmark::RegisterBenchmark(
                 ("snmpwalk_one_value" + suffix).c_str(),
                 [agent](benchmark::State& s) {
                   BM_Snmpwalk(s, agent, false);
                 }),
         }) {
      b->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
      add_statistics(b);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const std::string dir = zeltest::make_temp_dir("tablewalk");
  g_output_dir = dir;
  if (dir.empty() || !write_snmprec(dir)) {
    fprintf(stderr, "cannot write the recording\n");
    return 1;
  }
  zeltest::SnmpsimAgent snmpsim;
  std::string error;
  if (!snmpsim.start(kSnmpsimAddress, dir, kCommunity, &error)) {
    fprintf(stderr, "cannot start snmpsimd: %s\n", error.c_str());
    return 1;
  }
  zeltest::SnmpdAgent snmpd;
  if (!snmpd.start(kSnmpdAddress, {}, &error, snmpd_table_conf())) {
    fprintf(stderr, "cannot start snmpd: %s\n", error.c_str());
    return 1;
  }
  register_benchmarks();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  snmpd.stop();
  snmpsim.stop();
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  return 0;
}
